#pragma once

#include "networkhit.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// The character classes, trimming rules, date form and record identity that
// both Netfox parsers share: the hand-written scanner used in production and
// the pattern-based reference it is checked against. Pure functions, any
// thread.
namespace NetfoxSyntax {

inline constexpr QStringView kNoRequestHeaders = u"No Request Headers";
inline constexpr QStringView kNoRequestBody = u"No Request Body";
inline constexpr QStringView kNoResponseHeaders = u"No Response Headers";
inline constexpr QStringView kNoResponseBody = u"No Response Body";
inline constexpr QStringView kTimeout = u"TIMEOUT";
inline constexpr QStringView kDefaultMethod = u"GET";

// White space as the log's patterns mean it: the Unicode White_Space
// property (tab, line feed, vertical tab, form feed, carriage return, space,
// U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029, U+202F, U+205F,
// U+3000). Trimming "white space and line breaks" uses the same set.
inline bool isSpace(char16_t c)
{
    if (c < 0x80)
        return c == u' ' || (c >= u'\t' && c <= u'\r');
    return QChar::isSpace(c);
}

// Characters that end a line for the patterns' "." and "$": LF, VT, FF, CR,
// U+0085, U+2028 and U+2029.
inline bool isLineTerminator(char16_t c)
{
    return (c >= u'\n' && c <= u'\r') || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// "Spaces and tabs": the space separators (Zs) and the tab; no line breaks.
inline bool isHorizontalSpace(char16_t c)
{
    if (c < 0x80)
        return c == u' ' || c == u'\t';
    return QChar::category(c) == QChar::Separator_Space;
}

QStringView trimmedSpace(QStringView text); // of isSpace
QStringView trimmedHorizontal(QStringView text); // of isHorizontalSpace

// Length of the run of isSpace characters starting at `from`.
inline qsizetype spaceRunLength(QStringView text, qsizetype from)
{
    qsizetype pos = from;
    while (pos < text.size() && isSpace(text[pos].unicode()))
        ++pos;
    return pos - from;
}

// The first occurrence of `needle` (not empty) at or after `from`, or -1.
// Looks for the needle's first character with the vectorised character
// search and compares from there, which is fast for the log's markers and
// labels, whose first characters ('-', '[', 'A') are rare in between.
qsizetype find(QStringView text, QStringView needle, qsizetype from = 0);

// Analytics and crash-reporting hosts whose traffic is dropped; a plain,
// case-sensitive substring test on the URL.
bool isIgnoredTrafficUrl(QStringView url);

// A request date in the log's form "yyyy-MM-dd HH:mm:ss Z", the zone as
// "+hhmm", "+hh:mm", "Z" or "GMT"/"UTC" (optionally followed by an offset).
// The result keeps the logged offset. Nothing when it does not parse, for
// instance when the zone is missing.
std::optional<QDateTime> parseRequestDate(QStringView text);

// Signed 64-bit FNV-1a over the UTF-16 code units; stable across runs.
qint64 bodyHash(QStringView body);

// "<seconds since 1970>.0_<url>_<method>_<body hash>".
QString exchangeId(const QDateTime &time, QStringView url, QStringView method, QStringView body);

// Makes the ids of one parse unique: the first record with an id keeps it,
// later ones get "_2", "_3", ... appended (in list order).
void makeIdsUnique(NetworkHitList &hits);

// The same for the ids behind the pointers, in list order.
void makeIdsUnique(const QList<QString *> &ids);

// The same result, faster, with qHash() of every id already known (worked
// out on the threads that made them): only ids that share their hash with
// another, and ids of the form "<such an id>_<digits>" that a suffixed id
// could run into, take the exact way (the overload above, over just those).
// Any other id occurs once and is no suffixed form, so it keeps its value
// and stands in no one's way. These are the hashes that occur more than once
// (sorted), and whether the id with hash `hash` must take the exact way
// given them; taking more ids than needed changes nothing.
std::vector<size_t> repeatedHashes(std::vector<size_t> hashes);
bool mayMeetAnotherId(QStringView id, size_t hash, const std::vector<size_t> &repeated);

// Replaces every CRLF by LF in place.
void normalizeLineEnds(QString &text);

} // namespace NetfoxSyntax
