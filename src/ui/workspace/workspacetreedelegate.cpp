#include "workspacetreedelegate.h"

#include "symbolicons.h"
#include "workspace/workspacefiles.h"
#include "workspacetreemodel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int kMarkerWidth = 16;
constexpr int kEyeWidth = 18;
constexpr int kGap = 4;

bool isFile(const QModelIndex &index)
{
    return index.data(WorkspaceTreeModel::KindRole).toInt() != int(WorkspaceFiles::FileKind::Folder);
}

} // namespace


const QColor kFlowBlue(0x2f, 0x7c, 0xf6);
const QColor kEnvironmentGreen(0x34, 0xa8, 0x53);

QRect WorkspaceTreeDelegate::markerRect(const QRect &row)
{
    return QRect(row.right() - kMarkerWidth - 2, row.top(), kMarkerWidth, row.height());
}

QRect WorkspaceTreeDelegate::eyeRect(const QRect &row)
{
    const QRect marker = markerRect(row);
    return QRect(marker.left() - kGap - kEyeWidth, row.top(), kEyeWidth, row.height());
}

QSize WorkspaceTreeDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 24));
    return size;
}

void WorkspaceTreeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!isFile(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The name leaves room for the eye and the marker.
    QStyleOptionViewItem text = option;
    initStyleOption(&text, index);
    text.rect.setRight(eyeRect(option.rect).left() - kGap);
    text.textElideMode = Qt::ElideMiddle;
    // The row's background spans the full width; draw it first.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : nullptr;
    if (style)
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);
    text.state &= ~QStyle::State_HasFocus;
    text.backgroundBrush = Qt::NoBrush;
    if (style) {
        text.showDecorationSelected = false;
        // PE_PanelItemViewItem already drew the selection.
        style->drawControl(QStyle::CE_ItemViewItem, &text, painter, widget);
    }

    painter->save();
    const QRect eye = eyeRect(option.rect);
    const int side = qMin(16, eye.height() - 6);
    const QRect eyeIcon(eye.center().x() - side / 2, eye.center().y() - side / 2, side, side);
    const bool selected = option.state & QStyle::State_Selected;
    SymbolIcons::icon(u"eye").paint(painter, eyeIcon, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);

    const int marker = index.data(WorkspaceTreeModel::MarkerRole).toInt();
    if (marker != WorkspaceTreeModel::NoMarker) {
        const bool flow = marker == WorkspaceTreeModel::FlowMarker;
        QFont font = option.font;
        font.setBold(true);
        painter->setFont(font);
        // On the selection's colour the markers turn to its text colour, as
        // a selected row's symbols do on macOS.
        painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : flow ? kFlowBlue : kEnvironmentGreen);
        painter->drawText(markerRect(option.rect), Qt::AlignCenter, flow ? QStringLiteral("◉") : QStringLiteral("⚙︎"));
    }
    painter->restore();
}

bool WorkspaceTreeDelegate::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && isFile(index)) {
        if (eyeRect(option.rect).contains(event->pos())) {
            QToolTip::showText(event->globalPos(), tr("Preview File"), view);
            return true;
        }
        const int marker = index.data(WorkspaceTreeModel::MarkerRole).toInt();
        if (marker != WorkspaceTreeModel::NoMarker && markerRect(option.rect).contains(event->pos())) {
            QToolTip::showText(event->globalPos(),
                marker == WorkspaceTreeModel::FlowMarker ? tr("Target Flow") : tr("Target Environment"), view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
