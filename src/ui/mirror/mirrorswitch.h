#pragma once

#include <QAbstractButton>

// A small on/off switch (a checkable button drawn as a track and a knob),
// as the platform draws a switch-style toggle. Space toggles it.
class MirrorSwitch final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MirrorSwitch)

public:
    explicit MirrorSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override { return { 32, 18 }; }

protected:
    void paintEvent(QPaintEvent *event) override;
};
