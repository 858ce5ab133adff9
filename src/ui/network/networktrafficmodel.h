#pragma once

#include "network/networkhit.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

// The exchanges of the traffic list, one row each in the order given. Live
// pulls hand over the whole list again; setHits() brings the rows up to it by
// exchange id (new rows inserted, one insert per contiguous batch; changed
// rows signalled; vanished rows removed), never by a reset once filled, so
// selections, the scroll position and an open detail survive. Cell text is
// made on demand and the times are formatted once per row. Main thread.
class NetworkTrafficModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkTrafficModel)

public:
    enum Column { MethodColumn, StatusColumn, UrlColumn, TimeColumn, ColumnCount };
    enum Role {
        HitIdRole = Qt::UserRole + 1,
        ColorRoleRole, // NetworkHitDisplay::ColorRole of the method badge or the status, as int
    };

    explicit NetworkTrafficModel(QObject *parent = nullptr);

    void setHits(const NetworkHitList &hits);
    // The exchanges in row order (between updates).
    const NetworkHitList &hits() const { return m_store; }
    const NetworkHit &hitAt(int row) const { return stored(m_rows.at(row)); }

    // The row of an exchange, or -1.
    int rowOf(const QString &id) const;
    const NetworkHit *hit(const QString &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void removeRowsMissingFrom(const QHash<QString, qsizetype> &newRows);
    void settle(const NetworkHitList &hits, qsizetype keptRows);
    const QString &timeText(int storeIndex) const;
    const NetworkHit &stored(int storeIndex) const
    {
        return storeIndex < m_store.size() ? m_store.at(storeIndex) : m_added.at(storeIndex - m_store.size());
    }

    // Rows point into the store, so an update that inserts in the middle of
    // a long list moves indices, not exchanges. Between updates the store is
    // the list handed over (shared, not copied) and the rows are 0..n-1.
    NetworkHitList m_store;
    NetworkHitList m_added; // new and changed exchanges while an update runs
    QList<int> m_rows;
    mutable QStringList m_timeTexts; // per store entry; "" until first shown
    QHash<QString, int> m_rowById;
    bool m_indexFresh = true; // false while setHits() is under way
};
