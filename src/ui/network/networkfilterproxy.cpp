#include "networkfilterproxy.h"

#include "networktrafficmodel.h"

NetworkFilterProxy::NetworkFilterProxy(NetworkTrafficModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
}

void NetworkFilterProxy::setFilter(const NetworkHitFilter &filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    invalidateFilter();
}

NetworkHitList NetworkFilterProxy::shownHits() const
{
    if (!m_filter.isActive())
        return m_source->hits();
    NetworkHitList hits;
    hits.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        hits.append(m_source->hitAt(mapToSource(index(row, 0)).row()));
    return hits;
}

bool NetworkFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid())
        return false;
    return !m_filter.isActive() || m_filter.matches(m_source->hitAt(sourceRow));
}
