#pragma once

#include "network/networkhit.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <optional>

// The Netfox log parser written the slow, obvious way: every field is found
// by running the log's regular expressions, as the parser's rules state them,
// over the whole text. Production uses the hand-written scanner in
// netfoxparser.cpp; this one stays as the oracle that the differential test
// and the benchmark compare it with. Pure functions, any thread; quadratic
// on logs with many unfinished blocks. The text must be valid UTF-16 (as
// every decoded file is): the regular-expression engine refuses a lone
// surrogate and then finds nothing.
//
// The engine underneath differs from the rules' engine in ways compile()
// spells out: "\s" is widened to Unicode White_Space, "." without the
// dot-all option excludes every line terminator, "$" also holds before a
// final CR, VT, FF, NEL, LS or PS, and case-insensitive names get the
// characters that fold onto their letters (long s, Kelvin sign, the "st"
// ligatures). One difference is left: the rules' engine steps over CRLF as
// one character under dot-all, so a lazy group can never end between CR and
// LF; in these patterns the group is always followed by white space, a
// hyphen or "[", and an end before the CR is tried first and succeeds
// whenever the end between them would, so the results cannot differ.
namespace NetfoxReference {

// Compiles a pattern written with the log rules' regular-expression meaning
// (white space is Unicode White_Space, "." stops at every line terminator,
// "$" also holds before a final line terminator, "(?i)" folds case as
// Unicode does) into an equivalent QRegularExpression.
QRegularExpression compile(const QString &pattern, bool dotMatchesLineSeparators);

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since = std::nullopt);

QString formatHeaders(const QString &text);

} // namespace NetfoxReference
