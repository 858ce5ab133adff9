#include "historytableview.h"

#include "reports/historycells.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

HistoryTableView::HistoryTableView(QWidget *parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("historyTable"));
    setAccessibleName(tr("Test History"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setSortingEnabled(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(30);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSortIndicatorShown(true);
}

void HistoryTableView::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        Q_EMIT primaryActionRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void HistoryTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
    // The action buttons take their own clicks.
    if (event->button() == Qt::LeftButton && index.isValid()
        && HistoryCells::Column(index.column()) != HistoryCells::Column::Actions)
        Q_EMIT primaryActionRequested();
}
