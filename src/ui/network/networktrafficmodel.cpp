#include "networktrafficmodel.h"

#include "network/networkhitdisplay.h"

#include <QFont>
#include <QFontDatabase>

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
    if (row >= 0 && row < m_hits.size() && m_hits.at(row).id == id)
        return row;
    for (int other = 0; other < m_hits.size(); ++other) {
        if (m_hits.at(other).id == id)
            return other;
    }
    return -1;
}

const NetworkHit *NetworkTrafficModel::hit(const QString &id) const
{
    const int row = rowOf(id);
    return row < 0 ? nullptr : &m_hits.at(row);
}

void NetworkTrafficModel::rebuildIndex()
{
    m_rowById.clear();
    m_rowById.reserve(m_hits.size());
    for (int row = 0; row < m_hits.size(); ++row)
        m_rowById.insert(m_hits.at(row).id, row);
    m_indexFresh = true;
}

// Drops the rows whose exchange is gone, and the rows that would have to move
// to follow the new order (they come back as insertions at their new place),
// in contiguous runs from the end so the row numbers stay valid.
void NetworkTrafficModel::removeRowsMissingFrom(const QHash<QString, qsizetype> &newRows)
{
    QList<bool> keep(m_hits.size(), false);
    qsizetype lastNewRow = -1;
    for (qsizetype row = 0; row < m_hits.size(); ++row) {
        const qsizetype newRow = newRows.value(m_hits.at(row).id, -1);
        if (newRow > lastNewRow) {
            keep[row] = true;
            lastNewRow = newRow;
        }
    }
    for (qsizetype last = m_hits.size() - 1; last >= 0;) {
        if (keep.at(last)) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && !keep.at(first - 1))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_hits.remove(first, last - first + 1);
        m_timeTexts.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
}

void NetworkTrafficModel::setHits(const NetworkHitList &hits)
{
    m_indexFresh = false;
    QHash<QString, qsizetype> newRows;
    newRows.reserve(hits.size());
    for (qsizetype row = 0; row < hits.size(); ++row)
        newRows.insert(hits.at(row).id, row);

    if (!m_hits.isEmpty())
        removeRowsMissingFrom(newRows);

    // Now the rows are a subsequence of `hits`: walk both, inserting each run
    // of new exchanges at once and signalling runs of changed ones.
    qsizetype row = 0;
    qsizetype changedFirst = -1;
    auto flushChanged = [&](qsizetype end) {
        if (changedFirst >= 0) {
            Q_EMIT dataChanged(index(int(changedFirst), 0), index(int(end - 1), ColumnCount - 1));
            changedFirst = -1;
        }
    };
    for (qsizetype next = 0; next < hits.size();) {
        if (row < m_hits.size() && m_hits.at(row).id == hits.at(next).id) {
            if (!(m_hits.at(row) == hits.at(next))) {
                const bool timeChanged = m_hits.at(row).time != hits.at(next).time;
                m_hits[row] = hits.at(next);
                if (timeChanged)
                    m_timeTexts[row].clear();
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
        const QString stopId = row < m_hits.size() ? m_hits.at(row).id : QString();
        while (end < hits.size() && (row >= m_hits.size() || hits.at(end).id != stopId))
            ++end;
        const qsizetype count = end - next;
        beginInsertRows({}, int(row), int(row + count - 1));
        m_hits.insert(row, count, NetworkHit());
        std::copy(hits.cbegin() + next, hits.cbegin() + end, m_hits.begin() + row);
        m_timeTexts.insert(row, count, QString());
        // Rows after the batch have moved; rowOf() copes until the index is
        // rebuilt below.
        endInsertRows();
        row += count;
        next = end;
    }
    flushChanged(row);
    rebuildIndex();
}

int NetworkTrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int NetworkTrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NetworkTrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_hits.size())
        return {};
    const NetworkHit &hit = m_hits.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case MethodColumn:
            return hit.reqMethod;
        case StatusColumn:
            return hit.resStatus;
        case UrlColumn:
            return hit.url;
        case TimeColumn: {
            QString &text = m_timeTexts[index.row()];
            if (text.isEmpty())
                text = hit.time.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
            return text;
        }
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
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
