#include "netfoxparser.h"

#include "netfoxscanner.h"
#include "netfoxsyntax.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>

using namespace NetfoxSyntax;

namespace {

constexpr QStringView kRequestDate = u"[Request Date]";
constexpr QStringView kRequestMethod = u"[Request Method]";
constexpr QStringView kRequestHeaders = u"[Request Headers]";
constexpr QStringView kRequestBody = u"[Request Body]";
constexpr QStringView kResponseStatus = u"[Response Status]";
constexpr QStringView kResponseHeaders = u"[Response Headers]";
constexpr QStringView kResponseBody = u"[Response Body]";

// One request, later joined with its response; views into the log text.
struct Exchange
{
    QStringView url;
    QStringView time;
    QStringView reqMethod;
    QStringView reqBody;
    QStringView reqHeaders;
    QStringView resStatus = kTimeout;
    QStringView resBody = kNoResponseBody;
    QStringView resHeaders = kNoResponseHeaders;
};

// Requests waiting for their response under one URL, first in, first out.
struct UrlQueue
{
    QList<qsizetype> exchanges;
    qsizetype head = 0;
};

NetworkHitList parseNormalized(QStringView text, const std::optional<QDateTime> &since)
{
    const NetfoxScanner::Blocks blocks = NetfoxScanner::findBlocks(text);

    QList<Exchange> exchanges;
    exchanges.reserve(blocks.requests.size());
    QHash<QStringView, qsizetype> pendingById;
    QHash<QStringView, UrlQueue> pendingByUrl;
    for (const NetfoxScanner::Block &block : blocks.requests) {
        if (isIgnoredTrafficUrl(block.url))
            continue;
        Exchange exchange;
        exchange.url = block.url;
        exchange.time = NetfoxScanner::lineValue(block.body, kRequestDate).value_or(QStringView(u""));
        exchange.reqMethod = NetfoxScanner::lineValue(block.body, kRequestMethod).value_or(kDefaultMethod);
        exchange.reqBody = NetfoxScanner::bodyValue(block.body, kRequestBody).value_or(kNoRequestBody);
        exchange.reqHeaders =
            NetfoxScanner::section(block.body, kRequestHeaders, kRequestBody).value_or(kNoRequestHeaders);
        const qsizetype index = exchanges.size();
        exchanges.append(exchange);
        // A later request with the same identifier replaces the earlier one.
        if (const auto identifier = NetfoxScanner::requestIdentifier(exchange.reqHeaders))
            pendingById.insert(*identifier, index);
        else
            pendingByUrl[block.url].exchanges.append(index);
    }

    QList<qsizetype> order; // completed exchanges in response order, then the unanswered
    order.reserve(exchanges.size());
    for (const NetfoxScanner::Block &block : blocks.responses) {
        if (isIgnoredTrafficUrl(block.url))
            continue;
        const QStringView headers =
            NetfoxScanner::section(block.body, kResponseHeaders, kResponseBody).value_or(kNoResponseHeaders);
        qsizetype partner = -1;
        if (const auto identifier = NetfoxScanner::requestIdentifier(headers)) {
            const auto it = pendingById.constFind(*identifier);
            if (it != pendingById.cend()) {
                partner = it.value();
                pendingById.erase(it);
            }
        }
        if (partner < 0) {
            const auto it = pendingByUrl.find(block.url);
            if (it != pendingByUrl.end() && it->head < it->exchanges.size())
                partner = it->exchanges.at(it->head++);
        }
        if (partner < 0)
            continue; // a response nobody asked for
        Exchange &exchange = exchanges[partner];
        exchange.resStatus = NetfoxScanner::lineValue(block.body, kResponseStatus).value_or(kTimeout);
        exchange.resBody = NetfoxScanner::bodyValue(block.body, kResponseBody).value_or(kNoResponseBody);
        exchange.resHeaders = headers;
        order.append(partner);
    }

    // Unanswered requests: those with an identifier, then those without, each
    // group in log order.
    QList<qsizetype> unanswered;
    for (const qsizetype index : std::as_const(pendingById))
        unanswered.append(index);
    std::sort(unanswered.begin(), unanswered.end());
    order += unanswered;
    unanswered.clear();
    for (const UrlQueue &queue : std::as_const(pendingByUrl))
        unanswered += queue.exchanges.mid(queue.head);
    std::sort(unanswered.begin(), unanswered.end());
    order += unanswered;

    struct Dated
    {
        qint64 msecs;
        NetworkHit hit;
    };
    QList<Dated> dated;
    dated.reserve(order.size());
    const bool hasSince = since.has_value();
    const qint64 sinceMsecs = hasSince ? since->toMSecsSinceEpoch() : 0;
    for (const qsizetype index : std::as_const(order)) {
        const Exchange &exchange = exchanges.at(index);
        const std::optional<QDateTime> time = parseRequestDate(exchange.time);
        if (!time)
            continue;
        const qint64 msecs = time->toMSecsSinceEpoch();
        if (hasSince && msecs < sinceMsecs)
            continue;
        NetworkHit hit;
        hit.id = exchangeId(*time, exchange.url, exchange.reqMethod, exchange.reqBody);
        hit.time = *time;
        hit.url = exchange.url.toString();
        hit.reqMethod = exchange.reqMethod.toString();
        hit.reqHeaders = NetfoxScanner::formatHeaders(exchange.reqHeaders);
        hit.reqBody = exchange.reqBody.toString();
        hit.resStatus = exchange.resStatus.toString();
        hit.resHeaders = NetfoxScanner::formatHeaders(exchange.resHeaders);
        hit.resBody = exchange.resBody.toString();
        dated.append({msecs, std::move(hit)});
    }
    std::stable_sort(dated.begin(), dated.end(), [](const Dated &a, const Dated &b) { return a.msecs < b.msecs; });

    NetworkHitList hits;
    hits.reserve(dated.size());
    for (Dated &entry : dated)
        hits.append(std::move(entry.hit));
    makeIdsUnique(hits);
    return hits;
}

// Where an unfinished UTF-8 character starts when the bytes end inside one
// (a copy taken while the app was still writing), or -1.
qsizetype incompleteUtf8Tail(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype lead = size - 1; lead >= 0 && lead >= size - 3; --lead) {
        const uchar c = uchar(bytes[lead]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const qsizetype length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || size - lead >= length)
            return -1;
        if (size - lead >= 2) {
            const uchar second = uchar(bytes[lead + 1]);
            const uchar low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
            const uchar high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
            if (second < low || second > high)
                return -1;
        }
        return lead; // later bytes are continuation bytes, checked by the loop
    }
    return -1;
}

// UTF-8, else ISO Latin-1. An unfinished character at the very end is
// dropped rather than turning the whole log into Latin-1.
QString decodeLog(const QByteArray &bytes)
{
    const qsizetype tail = incompleteUtf8Tail(bytes);
    const QByteArrayView utf8 = tail >= 0 ? QByteArrayView(bytes).first(tail) : QByteArrayView(bytes);
    {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(utf8);
        if (!decoder.hasError())
            return text;
    }
    return QString::fromLatin1(bytes);
}

} // namespace

namespace Netfox {

NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since)
{
    QString text;
    {
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return {};
        text = decodeLog(bytes);
    }
    normalizeLineEnds(text);
    return parseNormalized(text, since);
}

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since)
{
    if (!text.contains(u"\r\n"))
        return parseNormalized(text, since);
    QString normalized = text;
    normalizeLineEnds(normalized);
    return parseNormalized(normalized, since);
}

QString formatHeaders(const QString &text)
{
    return NetfoxScanner::formatHeaders(text);
}

QString formatHitAsText(const NetworkHit &hit, const QString &datePattern)
{
    auto orNone = [](const QString &value) { return value.isEmpty() ? QStringLiteral("None") : value; };
    return u"--------------------------------------------------\n[Request Date] " + hit.time.toLocalTime().toString(datePattern)
        + u"\n[Request Method] " + hit.reqMethod + u' ' + hit.url + u"\n\n[Request Headers]\n" + orNone(hit.reqHeaders)
        + u"\n\n[Request Body]\n" + orNone(hit.reqBody) + u"\n\n[Response Status] " + hit.resStatus
        + u"\n\n[Response Headers]\n" + orNone(hit.resHeaders) + u"\n\n[Response Body]\n" + orNone(hit.resBody);
}

QString formatHitsAsText(const NetworkHitList &hits, const QString &datePattern)
{
    QStringList blocks;
    blocks.reserve(hits.size());
    for (const NetworkHit &hit : hits)
        blocks.append(formatHitAsText(hit, datePattern));
    return blocks.join(u"\n\n");
}

} // namespace Netfox
