#include "stepdots.h"

#include <QPainter>

namespace {
constexpr qreal kDot = 8;
constexpr qreal kGap = 8;
} // namespace

StepDots::StepDots(int count, QWidget *parent)
    : QWidget(parent)
    , m_count(count)
{
    setAccessibleName(tr("Step 1 of %1").arg(count));
}

void StepDots::setCurrent(int current)
{
    m_current = current;
    setAccessibleName(tr("Step %1 of %2").arg(current + 1).arg(m_count));
    update();
}

QSize StepDots::sizeHint() const
{
    return { int(m_count * kDot + (m_count - 1) * kGap + 4), int(kDot * 1.2) + 4 };
}

void StepDots::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal width = m_count * kDot + (m_count - 1) * kGap;
    qreal x = (this->width() - width) / 2 + kDot / 2;
    const qreal y = height() / 2.0;
    for (int i = 0; i < m_count; ++i, x += kDot + kGap) {
        QColor colour = palette().color(QPalette::Highlight);
        qreal radius = kDot / 2;
        if (i == m_current) {
            radius *= 1.2;
        } else {
            colour = palette().color(QPalette::WindowText);
            colour.setAlphaF(0.3);
        }
        p.setBrush(colour);
        p.drawEllipse(QPointF(x, y), radius, radius);
    }
}
