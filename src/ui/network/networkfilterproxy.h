#pragma once

#include "network/networkhitfilter.h"

#include <QSortFilterProxyModel>

class NetworkTrafficModel;

// The rows of the traffic model that pass the view's filter, in the model's
// order (never sorted). Main thread.
class NetworkFilterProxy final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkFilterProxy)

public:
    explicit NetworkFilterProxy(NetworkTrafficModel *source, QObject *parent = nullptr);

    const NetworkHitFilter &filter() const { return m_filter; }
    void setFilter(const NetworkHitFilter &filter);

    // The exchanges shown, in order.
    NetworkHitList shownHits() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    NetworkTrafficModel *m_source;
    NetworkHitFilter m_filter;
};
