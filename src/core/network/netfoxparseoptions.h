#pragma once

#include "networkhit.h"

#include <QDateTime>
#include <QString>

#include <optional>

// How the Netfox parser spreads one parse over threads. The entry points of
// netfoxparser.h use the defaults; tests use these overloads to force the
// threaded path on small logs or to keep it off. Any choice gives the same
// records. Pure functions, any thread.
namespace NetfoxDetail {

struct ParseOptions
{
    int threads = 0; // 0: one per core (at most four); 1: the calling thread only
    qsizetype minParallelSize = 1 << 20; // smaller logs (bytes or code units) stay on the calling thread
    qsizetype grain = 64; // blocks or exchanges handed to a thread at a time
    qsizetype readSliceSize = 16 << 20; // markers are searched in parts at most this large
    qsizetype windowSize = 4 << 20; // a UTF-8 file is read and parsed in windows of this many fresh bytes
};

NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since, const ParseOptions &options);
NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since, const ParseOptions &options);

} // namespace NetfoxDetail
