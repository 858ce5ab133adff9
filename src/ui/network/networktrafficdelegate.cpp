#include "networktrafficdelegate.h"

#include "networkcolors.h"
#include "networktrafficmodel.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

using NetworkHitDisplay::ColorRole;

QFont NetworkTrafficDelegate::monospace(const QFont &base)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() : 10);
    return font;
}

QFont NetworkTrafficDelegate::smallMonospace(const QFont &base, bool bold)
{
    QFont font = monospace(base);
    font.setPointSizeF(font.pointSizeF() * 0.9);
    font.setBold(bold);
    return font;
}

QSize NetworkTrafficDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Q_UNUSED(index);
    const QFontMetrics metrics(monospace(option.font));
    return QSize(kBadgeWidth, metrics.height() + 2 * kVerticalPadding + 4);
}

void NetworkTrafficDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool selected = opt.state.testFlag(QStyle::State_Selected);
    const QPalette &palette = opt.palette;
    const QColor plain = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor secondary = selected ? plain : palette.color(QPalette::PlaceholderText);
    const QVariant colorRole = index.data(NetworkTrafficModel::ColorRoleRole);
    const auto role = ColorRole(colorRole.toInt());
    QRect area = opt.rect.adjusted(6, kVerticalPadding / 2, -6, -kVerticalPadding / 2);

    painter->save();
    switch (index.column()) {
    case NetworkTrafficModel::MethodColumn: {
        const QFont font = smallMonospace(opt.font, true);
        const QFontMetrics metrics(font);
        const int width = qMin(area.width(), qMax(kBadgeWidth, metrics.horizontalAdvance(text) + 10));
        const int height = qMin(area.height(), metrics.height() + 4);
        const QRect badge(area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2, width, height);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(NetworkColors::badge(role));
        painter->drawRoundedRect(badge, 4, 4);
        painter->setFont(font);
        painter->setPen(Qt::white);
        painter->drawText(badge, Qt::AlignCenter, metrics.elidedText(text, Qt::ElideRight, badge.width() - 4));
        break;
    }
    case NetworkTrafficModel::StatusColumn: {
        const QFont font = smallMonospace(opt.font, true);
        painter->setFont(font);
        painter->setPen(selected ? plain : NetworkColors::text(role, palette));
        painter->drawText(area, Qt::AlignCenter, QFontMetrics(font).elidedText(text, Qt::ElideRight, area.width()));
        break;
    }
    case NetworkTrafficModel::UrlColumn: {
        const QFont font = monospace(opt.font);
        painter->setFont(font);
        painter->setPen(plain);
        painter->drawText(
            area, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(font).elidedText(text, Qt::ElideRight, area.width()));
        break;
    }
    default: {
        const QFont font = smallMonospace(opt.font, false);
        painter->setFont(font);
        painter->setPen(secondary);
        painter->drawText(area, Qt::AlignCenter, text);
        break;
    }
    }
    painter->restore();
}
