#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The phone drawn around the mirrored screen: the picture at the screen's
// aspect (390:844) fitted into the space, clipped to rounded corners
// (radius 34), inside a 12-point bezel of a dark body (radius 42) with a
// rim, side buttons and a soft shadow, 20 points from the edges. The frame
// is drawn once per size; each new picture only repaints the screen.
class PhoneFrameView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhoneFrameView)

public:
    static constexpr double kAspect = 390.0 / 844.0;

    explicit PhoneFrameView(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    // Where the screen is drawn, in this widget's coordinates.
    QRectF screenRect() const;
    // Pictures painted so far (each painted at least once).
    int framesShown() const { return m_framesShown; }

    QSize minimumSizeHint() const override { return { 120, 220 }; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void renderFrame();

    QImage m_picture;
    QPixmap m_frame;
    bool m_pictureShown = true;
    int m_framesShown = 0;
};
