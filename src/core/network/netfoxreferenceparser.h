#pragma once

#include "networkhit.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <optional>

// The Netfox log parser written the slow, obvious way: every field is found
// by running the log's regular expressions, as the parser's rules state them,
// over the whole text. Production uses the hand-written scanner in
// netfoxparser.cpp; this one stays as the oracle that the differential test
// and the benchmark compare it with. Pure functions, any thread; quadratic
// on logs with many unfinished blocks.
namespace NetfoxReference {

// Compiles a pattern written with the log rules' regular-expression meaning
// (white space is Unicode White_Space, "." stops at every line terminator,
// "$" also holds before a final line terminator, "(?i)" folds case as
// Unicode does) into an equivalent QRegularExpression.
QRegularExpression compile(const QString &pattern, bool dotMatchesLineSeparators);

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since = std::nullopt);

QString formatHeaders(const QString &text);

} // namespace NetfoxReference
