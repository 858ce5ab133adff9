#include "apihitindex.h"

#include <algorithm>

ApiHitIndex::ApiHitIndex(const NetworkHitList &hits)
{
    m_byTime.reserve(size_t(hits.size()));
    for (qsizetype i = 0; i < hits.size(); ++i) {
        if (hits[i].time.isValid())
            m_byTime.emplace_back(hits[i].time.toMSecsSinceEpoch(), i);
    }
    std::sort(m_byTime.begin(), m_byTime.end());
}

QList<qsizetype> ApiHitIndex::inWindow(const QDateTime &from, const QDateTime &to) const
{
    QList<qsizetype> positions;
    if (!from.isValid() || !to.isValid())
        return positions;
    const qint64 start = from.toMSecsSinceEpoch();
    const qint64 end = to.toMSecsSinceEpoch();
    auto it = std::lower_bound(m_byTime.begin(), m_byTime.end(), std::make_pair(start, qsizetype(-1)));
    for (; it != m_byTime.end() && it->first <= end; ++it)
        positions.append(it->second);
    std::sort(positions.begin(), positions.end());
    return positions;
}
