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
    const NetworkHitList &hits() const { return m_hits; }

    // The row of an exchange, or -1.
    int rowOf(const QString &id) const;
    const NetworkHit *hit(const QString &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void removeRowsMissingFrom(const QHash<QString, qsizetype> &newRows);
    void rebuildIndex();

    NetworkHitList m_hits;
    mutable QStringList m_timeTexts; // "" until first shown
    QHash<QString, int> m_rowById;
    bool m_indexFresh = true; // false while setHits() is under way
};
