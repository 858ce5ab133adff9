#pragma once

#include <QWidget>

// One dot per onboarding step: the current one in the accent colour and a
// little larger, the others faint. Main thread.
class StepDots final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StepDots)

public:
    StepDots(int count, QWidget *parent = nullptr);

    void setCurrent(int current);
    int current() const { return m_current; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_count;
    int m_current = 0;
};
