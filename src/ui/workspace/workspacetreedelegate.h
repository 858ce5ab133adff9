#pragma once

#include <QStyledItemDelegate>

// Paints a tree row: the icon and name, and at the right of file rows the
// eye button and the ◉ / ⚙︎ marker. One delegate for every row, no widget
// per row. Tooltips for the eye and the marker come from helpEvent.
class WorkspaceTreeDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorkspaceTreeDelegate)

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where the eye and the marker sit inside a row's rectangle.
    static QRect eyeRect(const QRect &row);
    static QRect markerRect(const QRect &row);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
};
