#pragma once

#include "networkhit.h"

#include <QString>

// Which exchanges the traffic list shows: a case-insensitive search over the
// URL, method, status, headers and bodies, the failed-only quick filter
// (4xx, 5xx, TIMEOUT) and a method. A plain value owned by the view; any
// thread.
struct NetworkHitFilter
{
    QString search; // matched as typed, ignoring case; blank matches all
    bool failedOnly = false;
    QString method; // matched ignoring case; empty matches every method

    bool isActive() const;
    bool matches(const NetworkHit &hit) const;

    // A client or server error, or a request that got no answer.
    static bool isFailed(const NetworkHit &hit);

    bool operator==(const NetworkHitFilter &) const = default;
};
