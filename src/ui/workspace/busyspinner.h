#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate progress indicator: a rotating arc in the text
// colour. Turns only while visible.
class BusySpinner final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusySpinner)

public:
    explicit BusySpinner(QWidget *parent = nullptr);
    QSize sizeHint() const override { return { 16, 16 }; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};
