#include "netfoxparser.h"

#include "netfoxlogfile.h"
#include "netfoxparseoptions.h"
#include "netfoxscanner.h"
#include "netfoxsyntax.h"
#include "netfoxworkers.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>
#include <utility>

using namespace NetfoxSyntax;

namespace {

using NetfoxScanner::Label;
using NetfoxScanner::Span;

constexpr Label kRequestDate("[Request Date]");
constexpr Label kRequestMethod("[Request Method]");
constexpr Label kRequestHeaders("[Request Headers]");
constexpr Label kRequestBody("[Request Body]");
constexpr Label kResponseStatus("[Response Status]");
constexpr Label kResponseHeaders("[Response Headers]");
constexpr Label kResponseBody("[Response Body]");
constexpr Label kRequestLabels[] = { kRequestDate, kRequestMethod, kRequestHeaders, kRequestBody };
constexpr Label kResponseLabels[] = { kResponseStatus, kResponseHeaders, kResponseBody };

const QString kTimeoutText = kTimeout.toString();
const QString kNoResponseBodyText = kNoResponseBody.toString();
const QString kNoResponseHeadersText = kNoResponseHeaders.toString();

// A string with its qHash() under the process's hash seed, worked out on the
// thread that read it, so the pairing on the parser's thread hashes nothing.
struct HashedKey
{
    const QString *text;
    size_t hash;

    bool operator==(const HashedKey &other) const
    {
        // URLs read on one thread share their string.
        return text->constData() == other.text->constData() ? text->size() == other.text->size() : *text == *other.text;
    }
};

size_t qHash(const HashedKey &key, size_t)
{
    return key.hash;
}

size_t seededHash(const QString &text)
{
    return qHash(text, QHashSeed::globalSeed());
}

// What a request block says, read on any worker thread. The record's own
// texts (id, method, body, cleaned-up headers) are only made for a request
// that is kept: dated and not before `since`. Live pulls read a log that
// holds the app's whole history for a few minutes of it.
struct RequestFields
{
    QString url;
    QString method;
    QString body;
    QString headers; // cleaned up
    QString identifier; // empty when the headers name none
    QString id;
    std::optional<QDateTime> time; // absent when the date does not parse
    qint64 msecs = 0; // of `time`
    size_t urlHash = 0;
    size_t identifierHash = 0;
    size_t idHash = 0; // qHash(id), as makeIdsUnique takes it
    bool ignored = false;
    bool kept = false;
};

// What a response block says, read on any worker thread.
struct ResponseFields
{
    QString url;
    QString status;
    QString body;
    QString headers; // as logged
    QString identifier;
    size_t urlHash = 0;
    size_t identifierHash = 0;
    bool ignored = false;
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

    QStringView block(const NetfoxScanner::BlockRange &range) const
    {
        return text.sliced(range.bodyBegin, range.bodyEnd - range.bodyBegin);
    }
    QStringView url(const NetfoxScanner::BlockRange &range, QString &) const
    {
        return text.sliced(range.urlBegin, range.urlEnd - range.urlBegin);
    }
    QString value(QStringView block, Span span, QString &) const { return block.sliced(span.begin, span.size()).toString(); }
    QStringView transient(QStringView block, Span span, QString &) const { return block.sliced(span.begin, span.size()); }
    void skip(const NetfoxScanner::BlockRange &) const { }
    template <size_t N> void checkRest(QStringView, std::array<Span, N>) const { }
};

// A window of the log as UTF-8: values are found in the bytes and only they
// are decoded, so neither the log nor its blocks ever exist as UTF-16. The
// decoding checks the bytes too: `invalid` is set when a piece is not UTF-8,
// checkRest() looks at the bytes of a block between its values, and
// checkedGaps() at the bytes between the blocks.
struct Utf8Log
{
    QByteArrayView bytes;
    std::atomic<bool> *invalid = nullptr;

    void markInvalid() const { invalid->store(true, std::memory_order_relaxed); }

    QByteArrayView block(const NetfoxScanner::BlockRange &range) const
    {
        return bytes.sliced(range.bodyBegin, range.bodyEnd - range.bodyBegin);
    }
    // Decoded into the thread's scratch buffer first, then copied into a
    // string of exactly the right size: a string decoded into directly would
    // keep the room asked for the worst case, and giving it back costs more
    // than the copy.
    QString decoded(QByteArrayView piece, QString &scratch) const
    {
        if (!NetfoxLogFile::decodeUtf8(piece, scratch))
            markInvalid();
        return QString(scratch.constData(), scratch.size());
    }
    // In `scratch`, valid until the next value is decoded.
    QStringView url(const NetfoxScanner::BlockRange &range, QString &scratch) const
    {
        if (!NetfoxLogFile::decodeUtf8(bytes.sliced(range.urlBegin, range.urlEnd - range.urlBegin), scratch))
            markInvalid();
        return scratch;
    }
    QString value(QByteArrayView block, Span span, QString &scratch) const
    {
        return decoded(block.sliced(span.begin, span.size()), scratch);
    }
    // A value needed only for a moment: decoded into `scratch`, valid until
    // the next value is decoded.
    QStringView transient(QByteArrayView block, Span span, QString &scratch) const
    {
        if (!NetfoxLogFile::decodeUtf8(block.sliced(span.begin, span.size()), scratch))
            markInvalid();
        return scratch;
    }
    // A block that is not read (its URL is ignored) is still checked.
    void skip(const NetfoxScanner::BlockRange &range) const
    {
        if (!NetfoxLogFile::isValidUtf8(block(range)))
            markInvalid();
    }
    // Checks the bytes of the block that none of `values` covers (they are
    // checked while they are decoded). As UTF-8 resynchronises at every
    // character start, the block is UTF-8 exactly when every piece is.
    template <size_t N> void checkRest(QByteArrayView block, std::array<Span, N> values) const
    {
        std::sort(values.begin(), values.end(), [](Span a, Span b) { return a.begin < b.begin; });
        qsizetype covered = 0;
        for (const Span value : values) {
            if (!value)
                continue;
            if (value.begin > covered && !NetfoxLogFile::isValidUtf8(block.sliced(covered, value.begin - covered))) {
                markInvalid();
                return;
            }
            covered = std::max(covered, value.end);
        }
        if (!NetfoxLogFile::isValidUtf8(block.sliced(covered)))
            markInvalid();
    }
    // Whether the bytes before `upTo` that no URL or block covers are UTF-8;
    // with the decoded and checked pieces they cover the window up to there.
    bool checkedGaps(const NetfoxScanner::BlockRanges &blocks, qsizetype upTo) const
    {
        // Each kind is in text order: the URLs and bodies of both are walked
        // together in order of their starts.
        const QList<NetfoxScanner::BlockRange> &requests = blocks.requests;
        const QList<NetfoxScanner::BlockRange> &responses = blocks.responses;
        qsizetype covered = 0;
        auto gapBefore = [&](qsizetype begin) {
            begin = std::min(begin, upTo);
            return begin <= covered || NetfoxLogFile::isValidUtf8(bytes.sliced(covered, begin - covered));
        };
        auto cover = [&](qsizetype begin, qsizetype end) {
            if (!gapBefore(begin))
                return false;
            covered = std::max(covered, end);
            return true;
        };
        qsizetype request = 0;
        qsizetype response = 0;
        while (request < requests.size() || response < responses.size()) {
            const bool takeRequest = response == responses.size()
                || (request < requests.size() && requests.at(request).urlBegin <= responses.at(response).urlBegin);
            const NetfoxScanner::BlockRange &range = takeRequest ? requests.at(request++) : responses.at(response++);
            // A block's URL comes before its body, and a body that holds
            // other blocks (an unfinished one) covers their pieces too.
            if (!cover(range.urlBegin, range.urlEnd) || !cover(range.bodyBegin, range.bodyEnd))
                return false;
        }
        return gapBefore(upTo);
    }
};

// What one thread keeps while it reads blocks.
struct BlockReader
{
    QString scratch; // values are decoded here first

    // An app talks to few URLs, many times: each is decoded into one string
    // that all its blocks share, its hash worked out and its traffic judged
    // once.
    struct KnownUrl
    {
        bool ignored;
        size_t hash;
    };
    QHash<QString, KnownUrl> knownUrls;

    // The block's URL; false, with the block only checked, when its traffic
    // is ignored.
    template <typename Log, typename Fields> bool readUrl(const Log &log, const NetfoxScanner::BlockRange &range, Fields &fields)
    {
        const QStringView url = log.url(range, scratch);
        auto known = knownUrls.constFind(QString::fromRawData(url.data(), url.size()));
        if (known == knownUrls.cend()) {
            QString owned = url.toString();
            const KnownUrl judged { isIgnoredTrafficUrl(owned), seededHash(owned) };
            known = knownUrls.insert(std::move(owned), judged);
        }
        if (known->ignored) {
            fields.ignored = true;
            log.skip(range);
            return false;
        }
        fields.url = known.key();
        fields.urlHash = known->hash;
        return true;
    }

    static QString identifierOf(QStringView headers)
    {
        const auto identifier = NetfoxScanner::requestIdentifier(headers);
        return identifier ? identifier->toString() : QString();
    }

    template <typename Fields> static void hashIdentifier(Fields &fields)
    {
        if (!fields.identifier.isEmpty())
            fields.identifierHash = seededHash(fields.identifier);
    }

    template <typename Log>
    void read(const Log &log, const NetfoxScanner::BlockRange &range, RequestFields &fields, const std::optional<qint64> &since)
    {
        if (!readUrl(log, range, fields))
            return;
        const auto block = log.block(range);
        qsizetype at[4];
        NetfoxScanner::firstLabelPositions(block, kRequestLabels, at, 4);
        const Span headers = NetfoxScanner::section(block, kRequestHeaders, at[2], kRequestBody, at[3]);
        const Span date = NetfoxScanner::lineValue(block, kRequestDate, at[0]);
        const Span method = NetfoxScanner::lineValue(block, kRequestMethod, at[1]);
        const Span body = NetfoxScanner::bodyValue(block, kRequestBody, at[3]);
        fields.time = parseRequestDate(date ? log.transient(block, date, scratch) : QStringView());
        if (fields.time)
            fields.msecs = fields.time->toMSecsSinceEpoch();
        fields.kept = fields.time && (!since || fields.msecs >= *since);
        // The headers as logged, for the identifier and the clean-up; the
        // method and body are decoded after the clean-up is made.
        const QStringView loggedHeaders = headers ? log.transient(block, headers, scratch) : kNoRequestHeaders;
        fields.identifier = identifierOf(loggedHeaders);
        hashIdentifier(fields);
        if (!fields.kept) {
            // Only pairing needs it: the method and body are checked, not decoded.
            log.checkRest(block, std::array { headers, date });
            return;
        }
        log.checkRest(block, std::array { headers, date, method, body });
        fields.headers = NetfoxScanner::formatHeaders(loggedHeaders);
        fields.method = method ? log.value(block, method, scratch) : kDefaultMethod.toString();
        fields.body = body ? log.value(block, body, scratch) : kNoRequestBody.toString();
        fields.id = exchangeId(*fields.time, fields.url, fields.method, fields.body);
        fields.idHash = qHash(fields.id);
    }

    template <typename Log>
    void read(const Log &log, const NetfoxScanner::BlockRange &range, ResponseFields &fields, const std::optional<qint64> &)
    {
        if (!readUrl(log, range, fields))
            return;
        const auto block = log.block(range);
        qsizetype at[3];
        NetfoxScanner::firstLabelPositions(block, kResponseLabels, at, 3);
        const Span headers = NetfoxScanner::section(block, kResponseHeaders, at[1], kResponseBody, at[2]);
        const Span status = NetfoxScanner::lineValue(block, kResponseStatus, at[0]);
        const Span body = NetfoxScanner::bodyValue(block, kResponseBody, at[2]);
        log.checkRest(block, std::array { headers, status, body });
        fields.status = status ? log.value(block, status, scratch) : kTimeoutText;
        fields.body = body ? log.value(block, body, scratch) : kNoResponseBodyText;
        fields.headers = headers ? log.value(block, headers, scratch) : kNoResponseHeaders.toString();
        fields.identifier = identifierOf(fields.headers);
        hashIdentifier(fields);
    }
};

// Which request and response make up each record, in the order of the
// result: pairing by identifier, then by URL, the time filter and the
// stable time sort. Sequential, but it only moves indexes.
struct Pairing
{
    qsizetype request;
    qsizetype response; // -1 when unanswered
};

QList<Pairing> pairExchanges(const QList<RequestFields> &requests, const QList<ResponseFields> &responses)
{
    QList<Pairing> exchanges; // in request order
    exchanges.reserve(requests.size());
    QHash<HashedKey, qsizetype> pendingById;
    pendingById.reserve(requests.size());
    QHash<HashedKey, UrlQueue> pendingByUrl;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const RequestFields &request = requests.at(i);
        if (request.ignored)
            continue;
        const qsizetype index = exchanges.size();
        // A later request with the same identifier replaces the earlier one.
        if (!request.identifier.isEmpty())
            pendingById.insert({ &request.identifier, request.identifierHash }, index);
        else
            pendingByUrl[{ &request.url, request.urlHash }].exchanges.append(index);
        exchanges.append({ i, -1 });
    }

    QList<qsizetype> order; // completed exchanges in response order, then the unanswered
    order.reserve(exchanges.size());
    for (qsizetype i = 0; i < responses.size(); ++i) {
        const ResponseFields &response = responses.at(i);
        if (response.ignored)
            continue;
        qsizetype partner = -1;
        if (!response.identifier.isEmpty()) {
            const auto it = pendingById.constFind({ &response.identifier, response.identifierHash });
            if (it != pendingById.cend()) {
                partner = it.value();
                pendingById.erase(it);
            }
        }
        if (partner < 0) {
            const auto it = pendingByUrl.find({ &response.url, response.urlHash });
            if (it != pendingByUrl.end() && it->head < it->exchanges.size())
                partner = it->exchanges.at(it->head++);
        }
        if (partner < 0)
            continue; // a response nobody asked for
        exchanges[partner].response = i;
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
        qsizetype exchange;
    };
    QList<Dated> dated;
    dated.reserve(order.size());
    for (const qsizetype index : std::as_const(order)) {
        const RequestFields &request = requests.at(exchanges.at(index).request);
        if (request.kept)
            dated.append({ request.msecs, index });
    }
    std::stable_sort(dated.begin(), dated.end(), [](const Dated &a, const Dated &b) { return a.msecs < b.msecs; });

    QList<Pairing> result;
    result.reserve(dated.size());
    for (const Dated &entry : std::as_const(dated))
        result.append(exchanges.at(entry.exchange));
    return result;
}

// The record of one pairing; moves the texts out of the fields.
NetworkHit makeHit(RequestFields &request, ResponseFields *response)
{
    NetworkHit hit;
    hit.id = std::move(request.id);
    hit.time = *request.time;
    request.time.reset();
    hit.url = std::move(request.url);
    hit.reqMethod = std::move(request.method);
    hit.reqHeaders = std::move(request.headers);
    hit.reqBody = std::move(request.body);
    if (response) {
        hit.resStatus = std::move(response->status);
        hit.resHeaders = NetfoxScanner::formatHeaders(response->headers);
        response->headers = QString();
        hit.resBody = std::move(response->body);
        response->url = QString();
        response->identifier = QString();
    } else {
        hit.resStatus = kTimeoutText;
        hit.resHeaders = kNoResponseHeadersText;
        hit.resBody = kNoResponseBodyText;
    }
    return hit;
}

int threadCountFor(qsizetype logSize, const NetfoxDetail::ParseOptions &options)
{
    if (logSize < options.minParallelSize)
        return 1;
    return options.threads > 0 ? options.threads : NetfoxWorkers::defaultThreadCount();
}

// What the blocks of a log say, each kind in log order.
struct LogFields
{
    QList<RequestFields> requests;
    QList<ResponseFields> responses;
};

// Reads `blocks` of `log`, spread over `threads`, and appends what they say.
// `alongside` runs first on one of the threads while the others read. Each
// thread writes only its own slots.
template <typename Log, typename Alongside>
void readBlocks(const Log &log, const NetfoxScanner::BlockRanges &blocks, const std::optional<qint64> &sinceMsecs, int threads,
    qsizetype grain, LogFields &fields, Alongside &&alongside)
{
    const qsizetype requestCount = blocks.requests.size();
    const qsizetype responseCount = blocks.responses.size();
    const qsizetype firstRequest = fields.requests.size();
    const qsizetype firstResponse = fields.responses.size();
    fields.requests.resize(firstRequest + requestCount);
    fields.responses.resize(firstResponse + responseCount);
    RequestFields *requestData = fields.requests.data() + firstRequest;
    ResponseFields *responseData = fields.responses.data() + firstResponse;
    // Item 0 is the extra work, then the requests, then the responses.
    NetfoxWorkers::forEachRange<BlockReader>(
        1 + requestCount + responseCount, grain, threads, [&](BlockReader &reader, qsizetype begin, qsizetype end) {
            for (qsizetype item = begin; item < end; ++item) {
                const qsizetype i = item - 1;
                if (i < 0)
                    alongside();
                else if (i < requestCount)
                    reader.read(log, blocks.requests.at(i), requestData[i], sinceMsecs);
                else
                    reader.read(log, blocks.responses.at(i - requestCount), responseData[i - requestCount], sinceMsecs);
            }
        });
}

// Pairs the blocks on this thread, then builds the records (spread over
// `threads`). The records come out the same whatever the thread count.
NetworkHitList buildRecords(LogFields &fields, int threads, qsizetype grain)
{
    QList<RequestFields> &requests = fields.requests;
    QList<ResponseFields> &responses = fields.responses;
    // While this thread pairs, a helper finds the id hashes that more than
    // one kept request has. The records are kept requests, though not
    // every one (a request whose identifier a later one takes is dropped),
    // so a few ids may take the exact way without need, which changes no id.
    std::vector<size_t> sharedIdHashes;
    auto alongsidePairing = [&] {
        std::vector<size_t> idHashes;
        idHashes.reserve(size_t(requests.size()));
        for (const RequestFields &request : std::as_const(requests)) {
            if (request.kept)
                idHashes.push_back(request.idHash);
        }
        sharedIdHashes = repeatedHashes(std::move(idHashes));
    };
    std::thread helper;
    if (threads > 1) {
        try {
            helper = std::thread(alongsidePairing);
        } catch (const std::system_error &) {
        }
    }
    if (!helper.joinable())
        alongsidePairing();
    const QList<Pairing> pairings = pairExchanges(requests, responses);
    if (helper.joinable())
        helper.join();
    NetworkHitList hits(pairings.size());
    NetworkHit *hitData = hits.data();
    RequestFields *requestData = requests.data();
    ResponseFields *responseData = responses.data();
    // Whether a record's id could meet another's, worked out with the
    // records; only those take the exact way.
    std::vector<char> mayCollide(size_t(pairings.size()), 0);
    NetfoxWorkers::forEachRange<int>(pairings.size(), grain, threads, [&](int &, qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i) {
            const Pairing &pairing = pairings.at(i);
            RequestFields &request = requestData[pairing.request];
            const size_t idHash = request.idHash;
            hitData[i] = makeHit(request, pairing.response >= 0 ? &responseData[pairing.response] : nullptr);
            mayCollide[size_t(i)] = !sharedIdHashes.empty() && mayMeetAnotherId(hitData[i].id, idHash, sharedIdHashes);
        }
    });
    requests.clear();
    responses.clear();
    if (!sharedIdHashes.empty()) {
        QList<QString *> ids;
        for (qsizetype i = 0; i < hits.size(); ++i) {
            if (mayCollide[size_t(i)])
                ids.append(&hitData[i].id);
        }
        makeIdsUnique(ids);
    }
    return hits;
}

std::optional<qint64> msecsOf(const std::optional<QDateTime> &since)
{
    return since ? std::optional(since->toMSecsSinceEpoch()) : std::nullopt;
}

NetworkHitList parseNormalized(QStringView text, const std::optional<QDateTime> &since, const NetfoxDetail::ParseOptions &options)
{
    const int threads = threadCountFor(text.size(), options);
    LogFields fields;
    readBlocks(Utf16Log { text }, NetfoxScanner::findBlocks(text, threads, options.readSliceSize), msecsOf(since), threads,
        options.grain, fields, [] {});
    return buildRecords(fields, threads, options.grain);
}

// A UTF-8 log read in windows, each while it is fresh in the cache: blocks
// found, values decoded, every byte checked for UTF-8. The log is never in
// memory whole (unless an unfinished block holds the rest of it). Nothing
// when the file turns out not to be UTF-8; `readable` is false when it
// cannot be read.
std::optional<NetworkHitList> parseUtf8InWindows(
    const QFileInfo &file, const std::optional<QDateTime> &since, const NetfoxDetail::ParseOptions &options, bool &readable)
{
    NetfoxLogFile::WindowReader reader(file.filePath());
    readable = reader.open();
    if (!readable)
        return std::nullopt;
    const int threads = threadCountFor(file.size(), options);
    const std::optional<qint64> sinceMsecs = msecsOf(since);
    const qsizetype windowSize = std::max<qsizetype>(options.windowSize, 1);
    LogFields fields;
    NetfoxScanner::SearchPositions from;
    if (!reader.next(0, windowSize)) {
        readable = false;
        return std::nullopt;
    }
    auto partSizeFor = [&](QByteArrayView window, int partThreads) {
        return std::min(options.readSliceSize, std::max<qsizetype>(1 << 16, window.size() / partThreads));
    };
    NetfoxScanner::WindowBlocks found = NetfoxScanner::findBlocksInWindow(
        reader.window(), reader.atEnd(), from, threads, partSizeFor(reader.window(), threads));
    while (true) {
        const QByteArrayView window = reader.window();
        const bool complete = reader.atEnd();
        // While the blocks are read, one thread checks the bytes up to where
        // the next window starts (the rest are checked with that window),
        // reads the next window and finds its blocks. The next window has
        // at least as much fresh text as it keeps, so that a window that
        // keeps growing (an unfinished block) is read again only so often
        // that the whole costs linear time.
        std::atomic<bool> invalid { false };
        const Utf8Log log { window, &invalid };
        bool gapsValid = true;
        bool nextRead = true;
        NetfoxScanner::WindowBlocks nextFound;
        readBlocks(log, found.blocks, sinceMsecs, threads, options.grain, fields, [&] {
            gapsValid = log.checkedGaps(found.blocks, found.keepFrom);
            if (!gapsValid || complete)
                return;
            nextRead = reader.prepareNext(found.keepFrom, std::max(windowSize, window.size() - found.keepFrom));
            if (nextRead) {
                nextFound = NetfoxScanner::findBlocksInWindow(
                    reader.preparedWindow(), reader.preparedAtEnd(), from, 1, partSizeFor(reader.preparedWindow(), 1));
            }
        });
        if (!gapsValid || invalid.load())
            return std::nullopt;
        if (complete)
            break;
        if (!nextRead) {
            readable = false;
            return std::nullopt;
        }
        reader.advance();
        found = std::move(nextFound);
    }
    return buildRecords(fields, threads, options.grain);
}

} // namespace

namespace NetfoxDetail {

NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since, const ParseOptions &options)
{
    if (const QFileInfo file(filePath); file.isFile()) {
        bool readable = true;
        if (std::optional<NetworkHitList> hits = parseUtf8InWindows(file, since, options, readable))
            return std::move(*hits);
        if (!readable)
            return {};
    }
    // Not UTF-8 (or no longer: the file may have been rewritten meanwhile),
    // or not a plain file (a pipe can be read once only): read whole and
    // decoded as ISO Latin-1 (an unfinished character at the end is two
    // Latin-1 characters then) or as UTF-8. Line ends are normalised once,
    // in the text: twice would turn a CR CR LF into a single LF.
    std::optional<NetfoxLogFile::Contents> contents = NetfoxLogFile::read(filePath);
    if (!contents)
        return {};
    QString text;
    if (contents->encoding == NetfoxLogFile::Encoding::Latin1) {
        text = QString::fromLatin1(contents->bytes);
    } else {
        NetfoxLogFile::decodeUtf8(contents->bytes, text); // known to be UTF-8
        if (text.startsWith(QChar(0xFEFF))) // a byte order mark is not text
            text.remove(0, 1);
    }
    contents.reset();
    NetfoxSyntax::normalizeLineEnds(text);
    return parseNormalized(text, since, options);
}

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since, const ParseOptions &options)
{
    if (find(text, u"\r\n") < 0)
        return parseNormalized(text, since, options);
    QString normalized = text;
    normalizeLineEnds(normalized);
    return parseNormalized(normalized, since, options);
}

} // namespace NetfoxDetail

namespace Netfox {

NetworkHitList parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since)
{
    return NetfoxDetail::parseNetworkLog(filePath, since, NetfoxDetail::ParseOptions());
}

NetworkHitList parseNetworkLogText(const QString &text, const std::optional<QDateTime> &since)
{
    return NetfoxDetail::parseNetworkLogText(text, since, NetfoxDetail::ParseOptions());
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
