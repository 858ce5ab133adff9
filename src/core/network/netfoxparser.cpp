#include "netfoxparser.h"

#include "netfoxscanner.h"
#include "netfoxsyntax.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstring>

using namespace NetfoxSyntax;

namespace {

constexpr QStringView kRequestDate = u"[Request Date]";
constexpr QStringView kRequestMethod = u"[Request Method]";
constexpr QStringView kRequestHeaders = u"[Request Headers]";
constexpr QStringView kRequestBody = u"[Request Body]";
constexpr QStringView kResponseStatus = u"[Response Status]";
constexpr QStringView kResponseHeaders = u"[Response Headers]";
constexpr QStringView kResponseBody = u"[Response Body]";
constexpr QStringView kRequestLabels[] = { kRequestDate, kRequestMethod, kRequestHeaders, kRequestBody };
constexpr QStringView kResponseLabels[] = { kResponseStatus, kResponseHeaders, kResponseBody };

const QString kTimeoutText = kTimeout.toString();
const QString kNoResponseBodyText = kNoResponseBody.toString();
const QString kNoResponseHeadersText = kNoResponseHeaders.toString();

// One request, later joined with its response.
struct Exchange
{
    QString url;
    QString time;
    QString reqMethod;
    QString reqBody;
    QString reqHeaders;
    QString resStatus = kTimeoutText;
    QString resBody = kNoResponseBodyText;
    QString resHeaders = kNoResponseHeadersText;
};

// Requests waiting for their response under one URL, first in, first out.
struct UrlQueue
{
    QList<qsizetype> exchanges;
    qsizetype head = 0;
};

// The log as UTF-16 text: blocks are views into it.
struct Utf16Log
{
    QStringView text;

    QString url(const NetfoxScanner::BlockRange &block) const
    {
        return text.sliced(block.urlBegin, block.urlEnd - block.urlBegin).toString();
    }
    QStringView body(const NetfoxScanner::BlockRange &block, QString &) const
    {
        return text.sliced(block.bodyBegin, block.bodyEnd - block.bodyBegin);
    }
};

// The log as valid UTF-8: each block is decoded on its own while it is read,
// so the whole log never exists as UTF-16.
struct Utf8Log
{
    QByteArrayView bytes;

    QString url(const NetfoxScanner::BlockRange &block) const
    {
        return QString::fromUtf8(bytes.sliced(block.urlBegin, block.urlEnd - block.urlBegin));
    }
    QStringView body(const NetfoxScanner::BlockRange &block, QString &buffer) const
    {
        buffer = QString::fromUtf8(bytes.sliced(block.bodyBegin, block.bodyEnd - block.bodyBegin));
        return buffer;
    }
};

template <typename Log>
NetworkHitList parseBlocks(const Log &log, const NetfoxScanner::BlockRanges &blocks, const std::optional<QDateTime> &since)
{
    QList<Exchange> exchanges;
    exchanges.reserve(blocks.requests.size());
    QHash<QString, qsizetype> pendingById;
    QHash<QString, UrlQueue> pendingByUrl;
    QHash<QString, bool> ignoredUrls; // an app talks to few URLs, many times
    auto isIgnored = [&ignoredUrls](const QString &url) {
        auto it = ignoredUrls.find(url);
        if (it == ignoredUrls.end())
            it = ignoredUrls.insert(url, isIgnoredTrafficUrl(url));
        return it.value();
    };
    QString buffer;
    for (const NetfoxScanner::BlockRange &range : blocks.requests) {
        QString url = log.url(range);
        if (isIgnored(url))
            continue;
        const QStringView block = log.body(range, buffer);
        qsizetype at[4];
        NetfoxScanner::firstLabelPositions(block, kRequestLabels, at, 4);
        const QStringView headers
            = NetfoxScanner::section(block, kRequestHeaders, at[2], kRequestBody, at[3]).value_or(kNoRequestHeaders);
        Exchange exchange;
        exchange.time = NetfoxScanner::lineValue(block, kRequestDate, at[0]).value_or(QStringView(u"")).toString();
        exchange.reqMethod = NetfoxScanner::lineValue(block, kRequestMethod, at[1]).value_or(kDefaultMethod).toString();
        exchange.reqBody = NetfoxScanner::bodyValue(block, kRequestBody, at[3]).value_or(kNoRequestBody).toString();
        exchange.reqHeaders = headers.toString();
        const qsizetype index = exchanges.size();
        // A later request with the same identifier replaces the earlier one.
        if (const auto identifier = NetfoxScanner::requestIdentifier(headers))
            pendingById.insert(identifier->toString(), index);
        else
            pendingByUrl[url].exchanges.append(index);
        exchange.url = std::move(url);
        exchanges.append(std::move(exchange));
    }

    QList<qsizetype> order; // completed exchanges in response order, then the unanswered
    order.reserve(exchanges.size());
    for (const NetfoxScanner::BlockRange &range : blocks.responses) {
        const QString url = log.url(range);
        if (isIgnored(url))
            continue;
        const QStringView block = log.body(range, buffer);
        qsizetype at[3];
        NetfoxScanner::firstLabelPositions(block, kResponseLabels, at, 3);
        const QStringView headers
            = NetfoxScanner::section(block, kResponseHeaders, at[1], kResponseBody, at[2]).value_or(kNoResponseHeaders);
        qsizetype partner = -1;
        if (const auto identifier = NetfoxScanner::requestIdentifier(headers)) {
            const auto it = pendingById.constFind(identifier->toString());
            if (it != pendingById.cend()) {
                partner = it.value();
                pendingById.erase(it);
            }
        }
        if (partner < 0) {
            const auto it = pendingByUrl.find(url);
            if (it != pendingByUrl.end() && it->head < it->exchanges.size())
                partner = it->exchanges.at(it->head++);
        }
        if (partner < 0)
            continue; // a response nobody asked for
        Exchange &exchange = exchanges[partner];
        exchange.resStatus = NetfoxScanner::lineValue(block, kResponseStatus, at[0]).value_or(kTimeout).toString();
        exchange.resBody = NetfoxScanner::bodyValue(block, kResponseBody, at[2]).value_or(kNoResponseBody).toString();
        exchange.resHeaders = headers.toString();
        order.append(partner);
    }
    buffer.clear();

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
        qsizetype hit;
    };
    QList<Dated> dated;
    dated.reserve(order.size());
    NetworkHitList unsorted;
    unsorted.reserve(order.size());
    const bool hasSince = since.has_value();
    const qint64 sinceMsecs = hasSince ? since->toMSecsSinceEpoch() : 0;
    for (const qsizetype index : std::as_const(order)) {
        Exchange &exchange = exchanges[index];
        const std::optional<QDateTime> time = parseRequestDate(exchange.time);
        if (!time)
            continue;
        const qint64 msecs = time->toMSecsSinceEpoch();
        if (hasSince && msecs < sinceMsecs)
            continue;
        NetworkHit hit;
        hit.id = exchangeId(*time, exchange.url, exchange.reqMethod, exchange.reqBody);
        hit.time = *time;
        hit.url = std::move(exchange.url);
        hit.reqMethod = std::move(exchange.reqMethod);
        hit.reqHeaders = NetfoxScanner::formatHeaders(exchange.reqHeaders);
        hit.reqBody = std::move(exchange.reqBody);
        hit.resStatus = std::move(exchange.resStatus);
        hit.resHeaders = NetfoxScanner::formatHeaders(exchange.resHeaders);
        hit.resBody = std::move(exchange.resBody);
        exchange = Exchange();
        dated.append({ msecs, unsorted.size() });
        unsorted.append(std::move(hit));
    }
    exchanges.clear();
    std::stable_sort(dated.begin(), dated.end(), [](const Dated &a, const Dated &b) { return a.msecs < b.msecs; });

    NetworkHitList hits;
    hits.reserve(dated.size());
    for (const Dated &entry : std::as_const(dated))
        hits.append(std::move(unsorted[entry.hit]));
    unsorted.clear();
    makeIdsUnique(hits);
    return hits;
}

NetworkHitList parseNormalized(QStringView text, const std::optional<QDateTime> &since)
{
    return parseBlocks(Utf16Log { text }, NetfoxScanner::findBlocks(text), since);
}

// Whether the bytes are UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF), checked 32 or 8 ASCII bytes at a time where it can.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (size - i >= 32) {
            quint64 words[4];
            std::memcpy(words, data + i, 32);
            if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ULL) == 0) {
                i += 32;
                continue;
            }
        }
        if (size - i >= 8) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const uchar lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        qsizetype length = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (size - i < length || data[i + 1] < low || data[i + 1] > high)
            return false;
        for (qsizetype k = 2; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

// Replaces every CRLF by LF in place.
void normalizeLineEnds(QByteArray &bytes)
{
    // memchr for the rare CR, not a substring search over the whole log.
    const qsizetype size = bytes.size();
    const char *crlf = bytes.constData();
    while ((crlf = static_cast<const char *>(std::memchr(crlf, '\r', size - (crlf - bytes.constData()))))) {
        if (crlf + 1 < bytes.constData() + size && crlf[1] == '\n')
            break;
        ++crlf;
    }
    if (!crlf)
        return;
    const qsizetype first = crlf - bytes.constData();
    char *data = bytes.data();
    qsizetype out = first;
    qsizetype in = first;
    while (in < size) {
        if (data[in] == '\r' && in + 1 < size && data[in + 1] == '\n') {
            data[out++] = '\n';
            in += 2;
        } else {
            data[out++] = data[in++];
        }
    }
    bytes.truncate(out);
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
// dropped rather than turning the whole log into Latin-1. A UTF-8 log is
// read as bytes; a Latin-1 one is decoded and read as text.
NetworkHitList parseBytes(QByteArray bytes, const std::optional<QDateTime> &since)
{
    const qsizetype tail = incompleteUtf8Tail(bytes);
    const QByteArrayView complete = tail >= 0 ? QByteArrayView(bytes).first(tail) : QByteArrayView(bytes);
    if (isValidUtf8(complete)) {
        bytes.truncate(complete.size());
        if (bytes.startsWith("\xEF\xBB\xBF")) // a byte order mark is not text
            bytes.remove(0, 3);
        normalizeLineEnds(bytes);
        return parseBlocks(Utf8Log { bytes }, NetfoxScanner::findBlocks(QByteArrayView(bytes)), since);
    }
    QString text = QString::fromLatin1(bytes);
    bytes = QByteArray();
    NetfoxSyntax::normalizeLineEnds(text);
    return parseNormalized(text, since);
}

} // namespace

namespace Netfox {

NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since)
{
    QByteArray bytes;
    {
        QFile file(filePath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        // Not mapped: the copy may be rewritten while it is read, and a
        // mapping of a file that shrinks faults.
        bytes.resize(qsizetype(std::max<qint64>(file.size(), 0)));
        const qint64 read = file.read(bytes.data(), bytes.size());
        if (read < 0)
            return {};
        bytes.truncate(qsizetype(read));
        if (read == file.size())
            bytes += file.readAll(); // it grew meanwhile
        if (file.error() != QFileDevice::NoError)
            return {};
    }
    return parseBytes(std::move(bytes), since);
}

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since)
{
    if (find(text, u"\r\n") < 0)
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
        + u"\n\n[Request Body]\n" + orNone(hit.reqBody) + u"\n\n[Response Status] " + hit.resStatus + u"\n\n[Response Headers]\n"
        + orNone(hit.resHeaders) + u"\n\n[Response Body]\n" + orNone(hit.resBody);
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
