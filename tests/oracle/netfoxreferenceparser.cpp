#include "netfoxreferenceparser.h"

#include "network/netfoxsyntax.h"

#include <QHash>

#include <algorithm>

using namespace NetfoxSyntax;

namespace NetfoxReference {

namespace {

// White_Space, without the brackets so that it also fits inside a class.
const QString kSpaceClassBody
    = QStringLiteral("\\t-\\r\\x{20}\\x{85}\\x{A0}\\x{1680}\\x{2000}-\\x{200A}\\x{2028}\\x{2029}\\x{202F}\\x{205F}\\x{3000}");
const QString kLineTerminators = QStringLiteral("\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}");

// A letter under case-insensitive matching: its two ASCII cases plus the
// characters whose simple case folding is that letter.
QString foldedLetter(QChar letter)
{
    const QChar lower = letter.toLower();
    QString set = QString(u'[') + lower.toUpper() + lower;
    if (lower == u's')
        set += QStringLiteral("\\x{17F}");
    else if (lower == u'k')
        set += QStringLiteral("\\x{212A}");
    return set + u']';
}

} // namespace

QRegularExpression compile(const QString &pattern, bool dotMatchesLineSeparators)
{
    QString out;
    bool caseInsensitive = false;
    bool inClass = false;
    qsizetype i = 0;
    if (pattern.startsWith(u"(?i)")) {
        caseInsensitive = true;
        i = 4;
    }
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        if (c == u'\\' && i + 1 < pattern.size()) {
            const QChar next = pattern.at(i + 1);
            if (next == u's')
                out += inClass ? kSpaceClassBody : u'[' + kSpaceClassBody + u']';
            else
                out += QString(c) + next;
            i += 2;
            continue;
        }
        if (inClass) {
            if (c == u']') {
                // Case closure of a class: ASCII ranges gain the two letters
                // that fold onto ASCII.
                if (caseInsensitive)
                    out += QStringLiteral("\\x{17F}\\x{212A}");
                inClass = false;
            }
            out += c;
            ++i;
            continue;
        }
        if (c == u'[') {
            inClass = true;
            out += c;
        } else if (c == u'.') {
            out += dotMatchesLineSeparators ? QStringLiteral("[\\s\\S]") : u"[^" + kLineTerminators + u']';
        } else if (c == u'$') {
            // End of input, before a final CRLF, or before a final line
            // terminator that is not the LF of a CRLF.
            out += u"(?:\\z|(?=\\r\\n\\z)|(?=[" + kLineTerminators + u"]\\z)(?!(?<=\\r)\\n))";
        } else if (caseInsensitive && c.isLetter() && c.unicode() < 0x80) {
            // Full case folding lets the ligatures U+FB05 and U+FB06 stand
            // for "st".
            if (c.toLower() == u's' && i + 1 < pattern.size() && pattern.at(i + 1).toLower() == u't') {
                out += u"(?:" + foldedLetter(c) + foldedLetter(pattern.at(i + 1)) + u"|[\\x{FB05}\\x{FB06}])";
                i += 2;
                continue;
            }
            out += foldedLetter(c);
        } else {
            out += c;
        }
        ++i;
    }
    // "." has been spelled out, so no dot-all option is needed; the check
    // of the subject's UTF-16 stays on.
    return QRegularExpression(out);
}

namespace {

// Each label's pattern is compiled once per thread.
QRegularExpression cachedPattern(const QString &pattern, bool dotAll)
{
    thread_local QHash<QString, QRegularExpression> cache;
    const QString key = pattern + (dotAll ? u'1' : u'0');
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, compile(pattern, dotAll));
    return it.value();
}

// The extraction helpers exactly as the parsing rules define them: the
// label escaped, a suffix pattern, the first match over the whole text.
std::optional<QString> extractLabeledValue(
    const QString &label, const QString &text, const QString &suffix, bool dotAll, QStringView (*trimmed)(QStringView))
{
    const QRegularExpression regex = cachedPattern(QRegularExpression::escape(label) + suffix, dotAll);
    if (!regex.isValid())
        return std::nullopt;
    const QRegularExpressionMatch match = regex.match(text);
    if (!match.hasMatch() || match.lastCapturedIndex() < 1)
        return std::nullopt;
    return trimmed(match.capturedView(1)).toString();
}

std::optional<QString> lineValue(const QString &label, const QString &text)
{
    return extractLabeledValue(label, text, QStringLiteral("\\s+(.*?)\\n"), false, trimmedHorizontal);
}

std::optional<QString> bodyValue(const QString &label, const QString &text)
{
    return extractLabeledValue(label, text, QStringLiteral("\\n(.*?)$"), true, trimmedSpace);
}

std::optional<QString> extractSection(const QString &startLabel, const QString &endLabel, const QString &text)
{
    const QRegularExpression regex = cachedPattern(
        QRegularExpression::escape(startLabel) + QStringLiteral("\\n(.*?)") + QRegularExpression::escape(endLabel), true);
    const QRegularExpressionMatch match = regex.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return trimmedSpace(match.capturedView(1)).toString();
}

std::optional<QString> requestIdentifier(const QString &headers)
{
    static const QRegularExpression regex
        = compile(QStringLiteral("(?i)(X-Request-Id|Trace-Id|RequestId)[\\s:]*([a-zA-Z0-9\\-]+)"), false);
    const QRegularExpressionMatch match = regex.match(headers);
    if (!match.hasMatch())
        return std::nullopt;
    return trimmedSpace(match.capturedView(2)).toString();
}

struct Pending
{
    NetworkHit hit; // headers as logged, no time or id yet
    QString time;
    int sequence = 0; // position among the requests, for a stable leftover order
};

} // namespace

NetworkHitList parseNetworkLogText(const QString &input, const std::optional<QDateTime> &since)
{
    QString text = input;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QList<Pending> results;
    QHash<QString, Pending> pendingById;
    QHash<QString, QList<Pending>> pendingByUrl;
    int sequence = 0;

    const QRegularExpression requestRegex
        = compile(QStringLiteral("-------START REQUEST -\\s+(.*?)\\s+-------\\n(.*?)-------END REQUEST"), true);
    for (auto it = requestRegex.globalMatch(text); requestRegex.isValid() && it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.lastCapturedIndex() < 2)
            continue;
        const QString url = trimmedHorizontal(match.capturedView(1)).toString();
        const QString block = match.captured(2);
        if (isIgnoredTrafficUrl(url))
            continue;
        Pending pending;
        pending.hit.url = url;
        pending.time = lineValue(QStringLiteral("[Request Date]"), block).value_or(QString());
        pending.hit.reqMethod = lineValue(QStringLiteral("[Request Method]"), block).value_or(kDefaultMethod.toString());
        pending.hit.reqBody = bodyValue(QStringLiteral("[Request Body]"), block).value_or(kNoRequestBody.toString());
        pending.hit.reqHeaders = extractSection(QStringLiteral("[Request Headers]"), QStringLiteral("[Request Body]"), block)
                                     .value_or(kNoRequestHeaders.toString());
        pending.hit.resStatus = kTimeout.toString();
        pending.hit.resBody = kNoResponseBody.toString();
        pending.hit.resHeaders = kNoResponseHeaders.toString();
        pending.sequence = sequence++;
        if (const auto identifier = requestIdentifier(pending.hit.reqHeaders))
            pendingById.insert(*identifier, pending);
        else
            pendingByUrl[url].append(pending);
    }

    const QRegularExpression responseRegex
        = compile(QStringLiteral("-------START RESPONSE -\\s+(.*?)\\s+-------\\n(.*?)-------END RESPONSE"), true);
    for (auto it = responseRegex.globalMatch(text); responseRegex.isValid() && it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.lastCapturedIndex() < 2)
            continue;
        const QString url = trimmedHorizontal(match.capturedView(1)).toString();
        const QString block = match.captured(2);
        if (isIgnoredTrafficUrl(url))
            continue;
        const QString headers = extractSection(QStringLiteral("[Response Headers]"), QStringLiteral("[Response Body]"), block)
                                    .value_or(kNoResponseHeaders.toString());
        std::optional<Pending> partner;
        const auto identifier = requestIdentifier(headers);
        if (identifier && pendingById.contains(*identifier))
            partner = pendingById.take(*identifier);
        else if (!pendingByUrl.value(url).isEmpty())
            partner = pendingByUrl[url].takeFirst();
        if (!partner)
            continue;
        partner->hit.resStatus = lineValue(QStringLiteral("[Response Status]"), block).value_or(kTimeout.toString());
        partner->hit.resBody = bodyValue(QStringLiteral("[Response Body]"), block).value_or(kNoResponseBody.toString());
        partner->hit.resHeaders = headers;
        results.append(*partner);
    }

    auto bySequence = [](const Pending &a, const Pending &b) { return a.sequence < b.sequence; };
    QList<Pending> leftovers = pendingById.values();
    std::sort(leftovers.begin(), leftovers.end(), bySequence);
    results += leftovers;
    leftovers.clear();
    for (const QList<Pending> &list : std::as_const(pendingByUrl))
        leftovers += list;
    std::sort(leftovers.begin(), leftovers.end(), bySequence);
    results += leftovers;

    NetworkHitList hits;
    for (const Pending &pending : std::as_const(results)) {
        const std::optional<QDateTime> time = parseRequestDate(pending.time);
        if (!time || (since && *time < *since))
            continue;
        NetworkHit hit = pending.hit;
        hit.time = *time;
        hit.reqHeaders = formatHeaders(hit.reqHeaders);
        hit.resHeaders = formatHeaders(hit.resHeaders);
        hit.id = exchangeId(hit.time, hit.url, hit.reqMethod, hit.reqBody);
        hits.append(hit);
    }
    std::stable_sort(hits.begin(), hits.end(), [](const NetworkHit &a, const NetworkHit &b) { return a.time < b.time; });
    makeIdsUnique(hits);
    return hits;
}

QString formatHeaders(const QString &text)
{
    if (text.isEmpty() || text == kNoRequestHeaders || text == kNoResponseHeaders)
        return text;
    QString result = trimmedSpace(text).toString();
    if (result.startsWith(u'[') && result.endsWith(u']'))
        result = result.mid(1, result.size() - 2);
    static const QRegularExpression entrySeparator = compile(QStringLiteral(",\\s*AnyHashable\\("), false);
    if (entrySeparator.isValid())
        result.replace(entrySeparator, QStringLiteral("\nAnyHashable("));
    static const QRegularExpression entryName = compile(QStringLiteral("AnyHashable\\(\"([^\"]+)\"\\)\\s*:\\s*"), false);
    if (entryName.isValid())
        result.replace(entryName, QStringLiteral("\\1: "));
    return trimmedSpace(result).toString();
}

} // namespace NetfoxReference
