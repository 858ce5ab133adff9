#pragma once

#include "networkhit.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Turns the Netfox session log of the app under test into a time-ordered list
// of exchanges. Pure functions: no state, safe on any thread, never fail
// outward (what cannot be read yields fewer records).
namespace Netfox {

// Reads and decodes the file (UTF-8, else ISO Latin-1; an unfinished UTF-8
// character at the very end is dropped); empty when unreadable.
NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since = std::nullopt);

// Exchanges whose request date is at or after `since` (all when absent).
NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since = std::nullopt);

// The cleaned-up form of a logged header dictionary.
QString formatHeaders(const QString &text);

// The text form of one exchange, its time in local time with `datePattern`
// (a QDateTime format, e.g. "yyyy-MM-dd HH:mm:ss").
QString formatHitAsText(const NetworkHit &hit, const QString &datePattern);

// The network log text of a list: the blocks of formatHitAsText in list
// order, joined by one blank line.
QString formatHitsAsText(const NetworkHitList &hits, const QString &datePattern);

} // namespace Netfox
