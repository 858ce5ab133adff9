#pragma once

#include "reports/historycells.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Paints every cell of the history table from the model's colour and weight
// roles (the status mark, the environment badge, the texts, the three row
// actions) and hit-tests the actions in editorEvent: no widget per row. A
// press on an action does not change the selection. Tooltips of the actions
// come from helpEvent.
class HistoryDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryDelegate)

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The colour of a role in `palette` (light or dark).
    static QColor colour(HistoryCells::ColourRole role, const QPalette &palette);
    // Where an action's icon sits inside the actions cell `cell`.
    static QRect actionRect(const QRect &cell, HistoryCells::Action action);
    // The action under `pos` in the actions cell `cell`, or Action::Count.
    static HistoryCells::Action actionAt(const QRect &cell, const QPoint &pos);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(
        QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index) override;

    // Our own one-colour icon of `symbol` drawn in `colour`.
    static QPixmap tintedSymbol(const QString &symbol, const QColor &colour, int side, qreal ratio);
    // Width the environment badge of `text` needs in `font`'s metrics.
    static int badgeWidth(const QString &text, const QFont &font);

Q_SIGNALS:
    // An action of the row at `index` (an index of the view's model) was clicked.
    void actionTriggered(const QModelIndex &index, HistoryCells::Action action);

protected:
    bool editorEvent(
        QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index) override;

private:
    QPersistentModelIndex m_pressed;
    HistoryCells::Action m_pressedAction = HistoryCells::Action::Count;
};
