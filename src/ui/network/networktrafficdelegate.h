#pragma once

#include <QStyledItemDelegate>

// Paints a traffic row: the method on a rounded badge, the status in its
// colour, the URL cut at the tail and the time, all monospaced. Main thread.
class NetworkTrafficDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkTrafficDelegate)

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kBadgeWidth = 50;
    static constexpr int kHorizontalPadding = 12;
    static constexpr int kVerticalPadding = 4;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The fonts of the row, from the application font.
    static QFont smallMonospace(const QFont &base, bool bold);
    static QFont monospace(const QFont &base);
};
