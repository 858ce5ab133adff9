#include "networktrafficmodel.h"

#include "network/networkhitdisplay.h"

#include <cstdio>
#include <ctime>
#include <numeric>

NetworkTrafficModel::NetworkTrafficModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int NetworkTrafficModel::rowOf(const QString &id) const
{
    // While an update announces a batch the index is still the old one, and
    // listeners (an open detail) ask then: trust it only when it holds.
    const int row = m_rowById.value(id, -1);
    if (m_indexFresh)
        return row;
    if (row >= 0 && row < m_rows.size() && hitAt(row).id == id)
        return row;
    for (int other = 0; other < m_rows.size(); ++other) {
        if (hitAt(other).id == id)
            return other;
    }
    return -1;
}

const NetworkHit *NetworkTrafficModel::hit(const QString &id) const
{
    const int row = rowOf(id);
    return row < 0 ? nullptr : &hitAt(row);
}

// Drops the rows whose exchange is gone, and the rows that would have to move
// to follow the new order (they come back as insertions at their new place),
// in contiguous runs from the end so the row numbers stay valid.
void NetworkTrafficModel::removeRowsMissingFrom(const QHash<QString, qsizetype> &newRows)
{
    QList<bool> keep(m_rows.size(), false);
    qsizetype lastNewRow = -1;
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        const qsizetype newRow = newRows.value(hitAt(int(row)).id, -1);
        if (newRow > lastNewRow) {
            keep[row] = true;
            lastNewRow = newRow;
        }
    }
    for (qsizetype last = m_rows.size() - 1; last >= 0;) {
        if (keep.at(last)) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && !keep.at(first - 1))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
}

void NetworkTrafficModel::setHits(const NetworkHitList &hits)
{
    m_indexFresh = false;
    // Most pulls only add at the end: then no row can have gone or moved.
    const qsizetype oldCount = m_rows.size();
    bool appendOnly = oldCount <= hits.size();
    for (qsizetype row = 0; appendOnly && row < oldCount; ++row)
        appendOnly = hitAt(int(row)).id == hits.at(row).id;
    if (!appendOnly) {
        QHash<QString, qsizetype> newRows;
        newRows.reserve(hits.size());
        for (qsizetype row = 0; row < hits.size(); ++row)
            newRows.insert(hits.at(row).id, row);
        removeRowsMissingFrom(newRows);
    }

    // Now the rows are a subsequence of `hits`: walk both, inserting each run
    // of new exchanges at once and signalling runs of changed ones. New and
    // changed exchanges go to the end of the store.
    qsizetype row = 0;
    qsizetype changedFirst = -1;
    auto flushChanged = [&](qsizetype end) {
        if (changedFirst >= 0) {
            Q_EMIT dataChanged(index(int(changedFirst), 0), index(int(end - 1), ColumnCount - 1));
            changedFirst = -1;
        }
    };
    auto addToStore = [&](const NetworkHit &hit) {
        m_added.append(hit);
        m_timeTexts.append(QString());
        return int(m_store.size() + m_added.size() - 1);
    };
    for (qsizetype next = 0; next < hits.size();) {
        if (row < m_rows.size() && hitAt(int(row)).id == hits.at(next).id) {
            if (!(hitAt(int(row)) == hits.at(next))) {
                m_rows[row] = addToStore(hits.at(next));
                if (changedFirst < 0)
                    changedFirst = row;
            } else {
                flushChanged(row);
            }
            ++row;
            ++next;
            continue;
        }
        flushChanged(row);
        qsizetype end = next + 1;
        const QString stopId = row < m_rows.size() ? hitAt(int(row)).id : QString();
        while (end < hits.size() && (row >= m_rows.size() || hits.at(end).id != stopId))
            ++end;
        const qsizetype count = end - next;
        beginInsertRows({}, int(row), int(row + count - 1));
        m_rows.insert(row, count, 0);
        for (qsizetype i = 0; i < count; ++i)
            m_rows[row + i] = addToStore(hits.at(next + i));
        endInsertRows();
        row += count;
        next = end;
    }
    flushChanged(row);
    settle(hits, appendOnly ? oldCount : -1);
}

// The store becomes `hits` itself; times already formatted are kept.
// The store becomes `hits` itself; times already formatted are kept. After
// an update that only appended, the rows before `keptRows` kept their place
// and the id index only grows.
void NetworkTrafficModel::settle(const NetworkHitList &hits, qsizetype keptRows)
{
    bool inPlace = true;
    for (qsizetype row = 0; inPlace && row < m_rows.size(); ++row)
        inPlace = m_rows.at(row) == row;
    if (!inPlace) {
        QStringList times(hits.size());
        for (qsizetype row = 0; row < m_rows.size(); ++row)
            times[row] = std::move(m_timeTexts[m_rows.at(row)]);
        m_timeTexts = std::move(times);
        m_rows.resize(hits.size());
        std::iota(m_rows.begin(), m_rows.end(), 0);
    }
    m_timeTexts.resize(hits.size());
    m_store = hits;
    m_added.clear();
    if (keptRows < 0) {
        m_rowById.clear();
        keptRows = 0;
    }
    m_rowById.reserve(hits.size());
    for (qsizetype row = keptRows; row < hits.size(); ++row)
        m_rowById.insert(hits.at(row).id, int(row));
    m_indexFresh = true;
}

const QString &NetworkTrafficModel::timeText(int storeIndex) const
{
    QString &text = m_timeTexts[storeIndex];
    if (text.isEmpty()) {
        // The C library's local time is many times quicker than QDateTime's
        // conversion, which matters for the first screen of a long list.
        const QDateTime &time = stored(storeIndex).time;
        const std::time_t seconds = std::time_t(time.toSecsSinceEpoch());
        std::tm local {};
        if (time.isValid() && localtime_r(&seconds, &local)) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
            text = QString::fromLatin1(buffer);
        }
    }
    return text;
}

int NetworkTrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int NetworkTrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NetworkTrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const int storeIndex = m_rows.at(index.row());
    const NetworkHit &hit = stored(storeIndex);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case MethodColumn:
            return hit.reqMethod;
        case StatusColumn:
            return hit.resStatus;
        case UrlColumn:
            return hit.url;
        case TimeColumn:
            return timeText(storeIndex);
        default:
            return {};
        }
    case Qt::ToolTipRole:
        return index.column() == UrlColumn ? QVariant(hit.url) : QVariant();
    case HitIdRole:
        return hit.id;
    case ColorRoleRole:
        if (index.column() == MethodColumn)
            return int(NetworkHitDisplay::methodColor(hit.reqMethod));
        if (index.column() == StatusColumn)
            return int(NetworkHitDisplay::statusColor(hit.resStatus));
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == UrlColumn ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter)) : QVariant(int(Qt::AlignCenter));
    default:
        return {};
    }
}

QVariant NetworkTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int((section == UrlColumn ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case MethodColumn:
        return tr("Method");
    case StatusColumn:
        return tr("Status");
    case UrlColumn:
        return tr("URL");
    case TimeColumn:
        return tr("Time");
    default:
        return {};
    }
}
