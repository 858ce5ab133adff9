#pragma once

#include "network/networkhit.h"

#include <QDateTime>
#include <QList>

#include <utility>
#include <vector>

// The exchanges of a run sorted by time once, so each command's window
// (start to end + 0.5 s) is found by binary search instead of a scan of every
// exchange. Built and used on the report worker.
class ApiHitIndex final
{
public:
    explicit ApiHitIndex(const NetworkHitList &hits);

    // Positions in the original list of the exchanges whose time lies in
    // [from, to] (both ends included), in list order.
    QList<qsizetype> inWindow(const QDateTime &from, const QDateTime &to) const;

    bool isEmpty() const { return m_byTime.empty(); }

private:
    std::vector<std::pair<qint64, qsizetype>> m_byTime; // (ms since epoch, list position)
};
