#pragma once

#include "network/networkhit.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <optional>

// The Netfox log parser written the slow, obvious way: every field is found
// by running the log's regular expressions, as the parser's rules state them,
// over the whole text. The oracle that the parser suite, the fuzz
// targets and the benchmark hold the shipped scanner against. Pure
// functions, any thread; quadratic on logs with many unfinished blocks. The
// text must be valid UTF-16 (as every decoded file is): the engine refuses a
// lone surrogate and then finds nothing. The rules' engine steps over CRLF as
// one character under dot-all; here the lazy groups are always followed by
// white space, a hyphen or "[", so an end before the CR is tried first and
// the results cannot differ.
namespace NetfoxReference {

// Compiles a pattern written with the log rules' regular-expression meaning
// (white space is Unicode White_Space, "." stops at every line terminator,
// "$" also holds before a final line terminator, "(?i)" folds case as
// Unicode does) into an equivalent QRegularExpression.
QRegularExpression compile(const QString &pattern, bool dotMatchesLineSeparators);

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since = std::nullopt);

QString formatHeaders(const QString &text);

} // namespace NetfoxReference
