#include "historyfiltermodel.h"

#include "historycells.h"
#include "historytablemodel.h"

HistoryFilterModel::HistoryFilterModel(HistoryTableModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
    setSortRole(HistoryTableModel::SortRole);
    // Rows come newest first from the scan; a header click sorts from then on.
    setDynamicSortFilter(true);
}

void HistoryFilterModel::setFilterText(const QString &text)
{
    if (text == m_filterText)
        return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 10, 0)
    beginFilterChange();
    m_filterText = text;
    endFilterChange(QSortFilterProxyModel::Direction::Rows);
#else
    m_filterText = text;
    invalidateFilter();
#endif
}

bool HistoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid())
        return false;
    return HistoryCells::matchesFilter(m_source->report(sourceRow), m_filterText);
}
