#include "phoneframeview.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double kOuterPadding = 20;
constexpr double kBezel = 12;
constexpr double kScreenRadius = 34;
constexpr double kBodyRadius = 42;

QColor grey(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

QPainterPath rounded(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

PhoneFrameView::PhoneFrameView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PhoneFrameView::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_pictureShown = false;
    update(screenRect().toAlignedRect());
}

QRectF PhoneFrameView::screenRect() const
{
    const QRectF space = QRectF(rect()).adjusted(
        kOuterPadding + kBezel, kOuterPadding + kBezel, -(kOuterPadding + kBezel), -(kOuterPadding + kBezel));
    if (space.width() <= 0 || space.height() <= 0)
        return {};
    QSizeF size(space.width(), space.width() / kAspect);
    if (size.height() > space.height())
        size = QSizeF(space.height() * kAspect, space.height());
    QRectF screen(QPointF(), size);
    screen.moveCenter(space.center());
    return screen;
}

void PhoneFrameView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_frame = QPixmap();
}

void PhoneFrameView::renderFrame()
{
    const qreal dpr = devicePixelRatioF();
    m_frame = QPixmap((QSizeF(size()) * dpr).toSize());
    m_frame.setDevicePixelRatio(dpr);
    m_frame.fill(Qt::transparent);
    const QRectF screen = screenRect();
    if (screen.isEmpty())
        return;
    const QRectF body = screen.adjusted(-kBezel, -kBezel, kBezel, kBezel);
    QPainter p(&m_frame);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // A soft shadow 8 down: layers of faint black growing outwards, adding
    // up to about 40 % under the body.
    constexpr int kShadowSteps = 15;
    for (int i = kShadowSteps; i >= 1; --i) {
        const double grow = i;
        p.setBrush(QColor(0, 0, 0, int(0.4 * 255 / kShadowSteps * 1.3)));
        p.drawPath(rounded(body.translated(0, 8).adjusted(-grow, -grow, grow, grow), kBodyRadius + grow));
    }
    p.setBrush(grey(0.12));
    p.drawPath(rounded(body, kBodyRadius));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(grey(0.3), 1));
    p.drawPath(rounded(body.adjusted(0.5, 0.5, -0.5, -0.5), kBodyRadius));

    p.setPen(Qt::NoPen);
    p.setBrush(grey(0.2));
    double y = body.top() + 100;
    for (const double height : { 26.0, 46.0, 46.0 }) {
        p.drawRoundedRect(QRectF(body.left() - 2, y, 4, height), 2, 2);
        y += height + 16;
    }
    p.drawRoundedRect(QRectF(body.right() - 2, body.top() + 120, 4, 70), 2, 2);
    p.setBrush(Qt::black);
    p.drawPath(rounded(screen, kScreenRadius));
}

void PhoneFrameView::paintEvent(QPaintEvent *)
{
    if (m_frame.isNull() || m_frame.size() != (QSizeF(size()) * devicePixelRatioF()).toSize())
        renderFrame();
    QPainter p(this);
    p.drawPixmap(0, 0, m_frame);
    const QRectF screen = screenRect();
    if (screen.isEmpty() || m_picture.isNull())
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipPath(rounded(screen, kScreenRadius));
    // The picture keeps its own aspect inside the screen, on black.
    QSizeF fitted = m_picture.size().scaled(screen.size().toSize(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), fitted);
    target.moveCenter(screen.center());
    p.drawImage(target, m_picture);
    if (!m_pictureShown) {
        m_pictureShown = true;
        ++m_framesShown;
    }
}
