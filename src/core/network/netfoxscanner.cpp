#include "netfoxscanner.h"

#include "netfoxsyntax.h"
#include "netfoxworkers.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace NetfoxSyntax;

namespace NetfoxScanner {

namespace {

constexpr char kStartRequestTail[] = "START REQUEST -";
constexpr char kEndRequestTail[] = "END REQUEST";
constexpr char kStartResponseTail[] = "START RESPONSE -";
constexpr char kEndResponseTail[] = "END RESPONSE";
constexpr qsizetype kDashCount = 7;
constexpr qsizetype kDashLineLength = kDashCount + 1; // "-------\n"

template <qsizetype N> constexpr qsizetype literalLength(const char (&)[N])
{
    return N - 1;
}

// Code points at and before a position, in UTF-16 (code units taken as they
// are: the characters that matter here are all in the BMP) and in valid
// UTF-8.
inline char32_t codePointAt(const char16_t *data, qsizetype, qsizetype at, qsizetype &length)
{
    length = 1;
    return data[at];
}

inline char32_t codePointBefore(const char16_t *data, qsizetype at, qsizetype &length)
{
    length = 1;
    return data[at - 1];
}

inline char32_t codePointAt(const char *bytes, qsizetype size, qsizetype at, qsizetype &length)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes);
    const uchar lead = data[at];
    length = 1;
    if (lead < 0x80)
        return lead;
    auto continuation = [&](qsizetype i) { return at + i < size && (data[at + i] & 0xC0) == 0x80; };
    if ((lead & 0xE0) == 0xC0 && continuation(1)) {
        length = 2;
        return char32_t(lead & 0x1F) << 6 | (data[at + 1] & 0x3F);
    }
    if ((lead & 0xF0) == 0xE0 && continuation(1) && continuation(2)) {
        length = 3;
        return char32_t(lead & 0x0F) << 12 | char32_t(data[at + 1] & 0x3F) << 6 | (data[at + 2] & 0x3F);
    }
    if ((lead & 0xF8) == 0xF0 && continuation(1) && continuation(2) && continuation(3)) {
        length = 4;
        return char32_t(lead & 0x07) << 18 | char32_t(data[at + 1] & 0x3F) << 12 | char32_t(data[at + 2] & 0x3F) << 6
            | (data[at + 3] & 0x3F);
    }
    return 0xFFFD;
}

inline char32_t codePointBefore(const char *bytes, qsizetype at, qsizetype &length)
{
    qsizetype lead = at - 1;
    while (lead > 0 && lead > at - 4 && (uchar(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    const char32_t c = codePointAt(bytes, at, lead, length);
    if (lead + length != at) {
        length = 1;
        return 0xFFFD;
    }
    return c;
}

inline bool isSpaceCode(char32_t c)
{
    return c < 0x10000 && isSpace(char16_t(c));
}

inline bool isHorizontalSpaceCode(char32_t c)
{
    return c < 0x10000 && isHorizontalSpace(char16_t(c));
}

// White space at `at`: its length in code units, or 0.
template <typename Char> qsizetype spaceAt(const Char *data, qsizetype size, qsizetype at)
{
    if (at >= size)
        return 0;
    qsizetype length = 0;
    return isSpaceCode(codePointAt(data, size, at, length)) ? length : 0;
}

template <typename Char> qsizetype spaceBefore(const Char *data, qsizetype at)
{
    if (at <= 0)
        return 0;
    qsizetype length = 0;
    return isSpaceCode(codePointBefore(data, at, length)) ? length : 0;
}

template <typename Char, qsizetype N> bool asciiAt(const Char *data, qsizetype size, qsizetype at, const char (&literal)[N])
{
    if (size - at < N - 1)
        return false;
    for (qsizetype i = 0; i < N - 1; ++i) {
        if (data[at + i] != Char(literal[i]))
            return false;
    }
    return true;
}

// Where each marker occurs in the text. Every marker is seven hyphens
// followed by something that is not a hyphen, so each run of hyphens holds
// at most one marker, at its last seven hyphens.
struct Markers
{
    QList<qsizetype> requestStarts;
    QList<qsizetype> requestEnds;
    QList<qsizetype> responseStarts;
    QList<qsizetype> responseEnds;
    QList<qsizetype> dashLines; // "-------\n" right after a white-space character
};

// The markers whose run of hyphens is first probed in [from, to). Any run of
// seven or more hyphens covers a position that is 6 modulo 7, so only every
// seventh character needs a look; a run belongs to the part of the text that
// holds its first such position, so parts can be searched on their own.
template <typename Char> void findMarkers(const Char *data, qsizetype size, qsizetype from, qsizetype to, Markers &markers)
{
    auto firstProbeAtOrAfter = [](qsizetype at) { return at + (kDashCount - 1 - at % kDashCount + kDashCount) % kDashCount; };
    qsizetype probe = firstProbeAtOrAfter(from);
    to = std::min(to, size);
    while (probe < to) {
        if (data[probe] != Char('-')) {
            probe += kDashCount;
            continue;
        }
        qsizetype runStart = probe;
        while (runStart > 0 && data[runStart - 1] == Char('-'))
            --runStart;
        qsizetype runEnd = probe + 1;
        while (runEnd < size && data[runEnd] == Char('-'))
            ++runEnd;
        // Next probe: the first position at or after the run's end that is
        // 6 modulo 7, like every probe (the run's end is not a hyphen).
        while (probe < runEnd)
            probe += kDashCount;
        if (runEnd - runStart < kDashCount || runEnd >= size || firstProbeAtOrAfter(runStart) < from)
            continue;
        const qsizetype marker = runEnd - kDashCount;
        switch (data[runEnd]) {
        case Char('\n'):
            if (spaceBefore(data, marker) > 0)
                markers.dashLines.append(marker);
            break;
        case Char('S'):
            if (asciiAt(data, size, runEnd, kStartRequestTail))
                markers.requestStarts.append(marker);
            else if (asciiAt(data, size, runEnd, kStartResponseTail))
                markers.responseStarts.append(marker);
            break;
        case Char('E'):
            if (asciiAt(data, size, runEnd, kEndRequestTail))
                markers.requestEnds.append(marker);
            else if (asciiAt(data, size, runEnd, kEndResponseTail))
                markers.responseEnds.append(marker);
            break;
        default:
            break;
        }
    }
}

// All markers, the text searched in parts of `partSize` on up to `threads`
// threads; the parts' lists joined in text order.
template <typename Char> Markers findMarkers(const Char *data, qsizetype size, int threads, qsizetype partSize)
{
    partSize = std::max<qsizetype>(partSize, kDashCount);
    const qsizetype parts = threads > 1 ? std::max<qsizetype>(1, (size + partSize - 1) / partSize) : 1;
    if (parts == 1) {
        Markers markers;
        findMarkers(data, size, 0, size, markers);
        return markers;
    }
    std::vector<Markers> found(static_cast<size_t>(parts));
    NetfoxWorkers::forEachRange<int>(parts, 1, threads, [&](int &, qsizetype begin, qsizetype end) {
        for (qsizetype part = begin; part < end; ++part)
            findMarkers(data, size, part * partSize, (part + 1) * partSize, found[size_t(part)]);
    });
    Markers markers = std::move(found.front());
    for (size_t part = 1; part < found.size(); ++part) {
        markers.requestStarts += found[part].requestStarts;
        markers.requestEnds += found[part].requestEnds;
        markers.responseStarts += found[part].responseStarts;
        markers.responseEnds += found[part].responseEnds;
        markers.dashLines += found[part].dashLines;
    }
    return markers;
}

// The first position in `positions` (sorted) at or after `from`, or -1.
qsizetype firstAtOrAfter(const QList<qsizetype> &positions, qsizetype from)
{
    const auto it = std::lower_bound(positions.cbegin(), positions.cend(), from);
    return it == positions.cend() ? -1 : *it;
}

// One block pattern: start marker, white space, the URL (lazy), white space,
// "-------\n", the body (lazy), end marker; the dot matches line breaks. The
// match at a start marker is decided by where the white space after the
// marker ends (the greedy choice first, then one character shorter) and by
// the first dash line and end marker after that, found by binary search.
//
// Starts before `searchFrom` lie inside a block found earlier; it moves past
// each block found. Unless the text is `complete`, a match that more text
// could still change is not made: the search stops at the first start whose
// greedy choice has no end marker before `limit` yet (more text may bring
// one, or an earlier marker that is cut off now) and returns that start;
// else -1.
template <typename Char>
qsizetype matchBlocks(const Char *data, qsizetype size, const QList<qsizetype> &starts, qsizetype startLength,
    const QList<qsizetype> &ends, qsizetype endLength, const QList<qsizetype> &dashLines, qsizetype &searchFrom,
    bool complete, qsizetype limit, QList<BlockRange> &blocks)
{
    for (const qsizetype start : starts) {
        if (start < searchFrom)
            continue;
        if (!complete && start >= limit)
            return start;
        const qsizetype afterMarker = start + startLength;
        qsizetype urlStart = afterMarker;
        int spaceCharacters = 0;
        while (const qsizetype length = spaceAt(data, size, urlStart)) {
            urlStart += length;
            ++spaceCharacters;
        }
        if (spaceCharacters == 0)
            continue;

        // Greedy white space: the URL runs lazily to the first white space
        // that leads into a dash line.
        const qsizetype dashLine = firstAtOrAfter(dashLines, urlStart + 1);
        if (dashLine >= 0) {
            const qsizetype bodyStart = dashLine + kDashLineLength;
            const qsizetype end = firstAtOrAfter(ends, bodyStart);
            if (end >= 0) {
                if (!complete && end >= limit)
                    return start;
                qsizetype urlEnd = dashLine;
                while (urlEnd > urlStart) {
                    const qsizetype length = spaceBefore(data, urlEnd);
                    if (length == 0 || urlEnd - length < urlStart)
                        break;
                    urlEnd -= length;
                }
                // Trimmed of spaces and tabs.
                qsizetype urlBegin = urlStart;
                qsizetype length = 0;
                while (urlBegin < urlEnd && isHorizontalSpaceCode(codePointAt(data, size, urlBegin, length)))
                    urlBegin += length;
                while (urlEnd > urlBegin && isHorizontalSpaceCode(codePointBefore(data, urlEnd, length)))
                    urlEnd -= length;
                blocks.append({ urlBegin, urlEnd, bodyStart, end });
                searchFrom = end + endLength;
                continue;
            }
        }
        if (!complete)
            return start; // an end marker may still come
        // One white-space character given back: an empty URL followed by the
        // last white-space character and a dash line right after it.
        if (spaceCharacters >= 2 && asciiAt(data, size, urlStart, "-------\n")) {
            const qsizetype bodyStart = urlStart + kDashLineLength;
            const qsizetype end = firstAtOrAfter(ends, bodyStart);
            if (end >= 0) {
                blocks.append({ urlStart, urlStart, bodyStart, end });
                searchFrom = end + endLength;
            }
        }
    }
    return -1;
}

// A marker is told by its hyphens and at most this many characters after
// them ("START RESPONSE -"), and never needs more than this to be seen.
constexpr qsizetype kUndecidedTail = 32;
static_assert(kUndecidedTail > kDashCount + literalLength(kStartResponseTail) + 1);

template <typename Char>
WindowBlocks findBlockRanges(const Char *data, qsizetype size, bool complete, SearchPositions &from, int threads, qsizetype partSize)
{
    const Markers markers = findMarkers(data, size, threads, partSize);
    const qsizetype limit = complete ? size : size - kUndecidedTail;
    WindowBlocks found;
    const qsizetype requestsStop = matchBlocks(data, size, markers.requestStarts, kDashCount + literalLength(kStartRequestTail),
        markers.requestEnds, kDashCount + literalLength(kEndRequestTail), markers.dashLines, from.requests, complete, limit,
        found.blocks.requests);
    const qsizetype responsesStop = matchBlocks(data, size, markers.responseStarts,
        kDashCount + literalLength(kStartResponseTail), markers.responseEnds, kDashCount + literalLength(kEndResponseTail),
        markers.dashLines, from.responses, complete, limit, found.blocks.responses);
    if (complete) {
        found.keepFrom = size;
    } else {
        qsizetype keepFrom = std::max<qsizetype>(limit, 0);
        if (requestsStop >= 0)
            keepFrom = std::min(keepFrom, requestsStop);
        if (responsesStop >= 0)
            keepFrom = std::min(keepFrom, responsesStop);
        // On a character boundary (a start marker is one already).
        if constexpr (sizeof(Char) == 1) {
            for (int back = 0; back < 3 && keepFrom > 0 && (uchar(data[keepFrom]) & 0xC0) == 0x80; ++back)
                --keepFrom;
        }
        found.keepFrom = keepFrom;
    }
    from.requests = std::max<qsizetype>(from.requests - found.keepFrom, 0);
    from.responses = std::max<qsizetype>(from.responses - found.keepFrom, 0);
    return found;
}

// Simple case folding onto ASCII lower case, as a case-insensitive pattern
// compares letters; other characters stay as they are.
char16_t foldedToAscii(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + (u'a' - u'A');
    if (c == 0x017F) // LATIN SMALL LETTER LONG S
        return u's';
    if (c == 0x212A) // KELVIN SIGN
        return u'k';
    return c;
}

// Matches a lower-case ASCII name at `pos` case-insensitively, the ligatures
// U+FB05 and U+FB06 standing for "st" as full case folding has it. Returns
// the end of the match, or -1.
qsizetype matchFolded(QStringView text, qsizetype pos, QStringView name)
{
    qsizetype i = 0;
    while (i < name.size()) {
        if (pos >= text.size())
            return -1;
        const char16_t c = text[pos].unicode();
        if ((c == 0xFB05 || c == 0xFB06) && name.sliced(i).startsWith(u"st")) {
            i += 2;
        } else if (foldedToAscii(c) == name[i].unicode()) {
            ++i;
        } else {
            return -1;
        }
        ++pos;
    }
    return pos;
}

bool isIdentifierChar(char16_t c)
{
    const char16_t folded = foldedToAscii(c);
    return (folded >= u'a' && folded <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// The first `c` (ASCII) at or after `from`, or -1: memchr on bytes, the
// vectorised character search on UTF-16.
inline qsizetype findAscii(const char *data, qsizetype size, qsizetype from, char c)
{
    if (from >= size)
        return -1;
    const void *found = std::memchr(data + from, c, size_t(size - from));
    return found ? static_cast<const char *>(found) - data : -1;
}

inline qsizetype findAscii(const char16_t *data, qsizetype size, qsizetype from, char c)
{
    return from >= size ? -1 : QStringView(data, size).indexOf(QChar(c), from);
}

template <typename Char> bool labelAt(const Char *data, qsizetype size, qsizetype at, Label label)
{
    if (size - at < label.size())
        return false;
    const char *text = label.data();
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (data[at + i] != Char(text[i]))
            return false;
    }
    return true;
}

// The first occurrence of `label` at or after `from`, or -1.
template <typename Char> qsizetype findLabel(const Char *data, qsizetype size, Label label, qsizetype from)
{
    for (qsizetype at = findAscii(data, size, from, label.front().toLatin1()); at >= 0;
         at = findAscii(data, size, at + 1, label.front().toLatin1())) {
        if (labelAt(data, size, at, label))
            return at;
    }
    return -1;
}

template <typename Char> bool isLineTerminatorAt(const Char *data, qsizetype size, qsizetype at)
{
    qsizetype length = 0;
    const char32_t c = codePointAt(data, size, at, length);
    return c < 0x10000 && isLineTerminator(char16_t(c));
}

// [begin, end) without the characters `pred` holds for at either end.
template <typename Char, typename Pred> Span trimmedBy(const Char *data, qsizetype begin, qsizetype end, Pred pred)
{
    qsizetype length = 0;
    while (begin < end && pred(codePointAt(data, end, begin, length)))
        begin += length;
    while (end > begin) {
        const char32_t c = codePointBefore(data, end, length);
        if (end - length < begin || !pred(c))
            break;
        end -= length;
    }
    return { begin, end };
}

template <typename Char>
void labelPositions(const Char *data, qsizetype size, const Label *labels, qsizetype *positions, int count)
{
    int missing = count;
    for (int i = 0; i < count; ++i)
        positions[i] = -1;
    for (qsizetype at = findAscii(data, size, 0, '['); at >= 0 && missing > 0; at = findAscii(data, size, at + 1, '[')) {
        // Every label starts "[Re".
        if (size - at < 4 || data[at + 1] != Char('R') || data[at + 2] != Char('e'))
            continue;
        for (int i = 0; i < count; ++i) {
            if (positions[i] < 0 && labelAt(data, size, at, labels[i])) {
                positions[i] = at;
                --missing;
                break;
            }
        }
    }
}

template <typename Char> Span lineValueIn(const Char *data, qsizetype size, Label label, qsizetype first)
{
    // label, white space (greedy), the value (lazy, no line terminator), "\n".
    qsizetype terminatorFrom = -1; // memo: the first line terminator at or after
    qsizetype terminator = -1; // terminatorFrom (size when there is none)
    auto firstTerminator = [&](qsizetype from) {
        if (terminatorFrom < 0 || from < terminatorFrom || from > terminator) {
            qsizetype pos = from;
            qsizetype length = 0;
            while (pos < size) {
                const char32_t c = codePointAt(data, size, pos, length);
                if (c < 0x10000 && isLineTerminator(char16_t(c)))
                    break;
                pos += length;
            }
            terminatorFrom = from;
            terminator = pos;
        }
        return terminator;
    };
    for (qsizetype at = first; at >= 0; at = findLabel(data, size, label, at + 1)) {
        const qsizetype afterLabel = at + label.size();
        qsizetype valueStart = afterLabel;
        while (const qsizetype length = spaceAt(data, size, valueStart))
            valueStart += length;
        if (valueStart == afterLabel)
            continue;
        // All the white space first, then one character less at a time; at
        // least one stays with the label.
        qsizetype next = firstTerminator(valueStart);
        for (bool all = true;; all = false) {
            if (!all && isLineTerminatorAt(data, size, valueStart))
                next = valueStart;
            if (next < size && data[next] == Char('\n'))
                return trimmedBy(data, valueStart, next, isHorizontalSpaceCode);
            qsizetype length = 0;
            codePointBefore(data, valueStart, length);
            if (valueStart - length <= afterLabel)
                break;
            valueStart -= length;
        }
    }
    return {};
}

template <typename Char> Span bodyValueIn(const Char *data, qsizetype size, Label label, qsizetype first)
{
    // label, "\n", the body (lazy, dot matches line breaks), end of input.
    qsizetype at = first;
    while (true) {
        if (at < 0)
            return {};
        if (at + label.size() < size && data[at + label.size()] == Char('\n'))
            break;
        at = findLabel(data, size, label, at + 1);
    }
    const qsizetype valueStart = at + label.size() + 1;
    // "$" holds at the end, before a final line terminator that is not the
    // LF of a CRLF, and before a final CRLF; the lazy body stops at the
    // first of these.
    qsizetype valueEnd = size;
    if (size - 2 >= valueStart && data[size - 2] == Char('\r') && data[size - 1] == Char('\n')) {
        valueEnd = size - 2;
    } else if (size > valueStart) {
        qsizetype length = 0;
        const char32_t last = codePointBefore(data, size, length);
        if (size - length >= valueStart && last < 0x10000 && isLineTerminator(char16_t(last))
            && !(last == U'\n' && size >= 2 && data[size - 2] == Char('\r')))
            valueEnd = size - length;
    }
    return trimmedBy(data, valueStart, valueEnd, isSpaceCode);
}

template <typename Char>
Span sectionIn(const Char *data, qsizetype size, Label startLabel, qsizetype startFirst, Label endLabel, qsizetype endFirst)
{
    qsizetype at = startFirst;
    while (true) {
        if (at < 0)
            return {};
        if (at + startLabel.size() < size && data[at + startLabel.size()] == Char('\n'))
            break;
        at = findLabel(data, size, startLabel, at + 1);
    }
    const qsizetype valueStart = at + startLabel.size() + 1;
    const qsizetype end
        = endFirst >= valueStart ? endFirst : endFirst < 0 ? -1 : findLabel(data, size, endLabel, valueStart);
    if (end < 0)
        return {};
    return trimmedBy(data, valueStart, end, isSpaceCode);
}

} // namespace

BlockRanges findBlocks(QStringView text, int threads, qsizetype partSize)
{
    SearchPositions from;
    return findBlockRanges(text.utf16(), text.size(), true, from, threads, partSize).blocks;
}

BlockRanges findBlocks(QByteArrayView utf8, int threads, qsizetype partSize)
{
    SearchPositions from;
    return findBlockRanges(utf8.data(), utf8.size(), true, from, threads, partSize).blocks;
}

WindowBlocks findBlocksInWindow(QByteArrayView utf8, bool complete, SearchPositions &from, int threads, qsizetype partSize)
{
    return findBlockRanges(utf8.data(), utf8.size(), complete, from, threads, partSize);
}

void firstLabelPositions(QStringView block, const Label *labels, qsizetype *positions, int count)
{
    labelPositions(block.utf16(), block.size(), labels, positions, count);
}

void firstLabelPositions(QByteArrayView block, const Label *labels, qsizetype *positions, int count)
{
    labelPositions(block.data(), block.size(), labels, positions, count);
}

Span lineValue(QStringView block, Label label, qsizetype first)
{
    return lineValueIn(block.utf16(), block.size(), label, first);
}

Span lineValue(QByteArrayView block, Label label, qsizetype first)
{
    return lineValueIn(block.data(), block.size(), label, first);
}

Span bodyValue(QStringView block, Label label, qsizetype first)
{
    return bodyValueIn(block.utf16(), block.size(), label, first);
}

Span bodyValue(QByteArrayView block, Label label, qsizetype first)
{
    return bodyValueIn(block.data(), block.size(), label, first);
}

Span section(QStringView block, Label startLabel, qsizetype startFirst, Label endLabel, qsizetype endFirst)
{
    return sectionIn(block.utf16(), block.size(), startLabel, startFirst, endLabel, endFirst);
}

Span section(QByteArrayView block, Label startLabel, qsizetype startFirst, Label endLabel, qsizetype endFirst)
{
    return sectionIn(block.data(), block.size(), startLabel, startFirst, endLabel, endFirst);
}

std::optional<QStringView> requestIdentifier(QStringView headers)
{
    static constexpr QStringView kNames[] = { u"x-request-id", u"trace-id", u"requestid" };
    const qsizetype size = headers.size();
    const char16_t *data = headers.utf16();
    for (qsizetype pos = 0; pos < size; ++pos) {
        // Only ASCII letters fold onto x, t and r.
        const char16_t first = data[pos] | 0x20;
        if ((first != u'x' && first != u't' && first != u'r') || data[pos] >= 0x80 || pos + 1 >= size)
            continue;
        // Cheap look at the second character before the full comparison.
        const char16_t second = foldedToAscii(data[pos + 1]);
        if (second != (first == u'x' ? u'-' : first == u't' ? u'r' : u'e'))
            continue;
        for (QStringView name : kNames) {
            qsizetype cursor = matchFolded(headers, pos, name);
            if (cursor < 0)
                continue;
            while (cursor < size && (headers[cursor] == u':' || isSpace(headers[cursor].unicode())))
                ++cursor;
            const qsizetype valueStart = cursor;
            while (cursor < size && isIdentifierChar(headers[cursor].unicode()))
                ++cursor;
            if (cursor > valueStart)
                return headers.sliced(valueStart, cursor - valueStart);
            break; // the three names start with different letters
        }
    }
    return std::nullopt;
}

QString formatHeaders(QStringView text)
{
    if (text.isEmpty() || text == kNoRequestHeaders || text == kNoResponseHeaders)
        return text.toString();
    QStringView trimmed = trimmedSpace(text);
    if (trimmed.startsWith(u'[') && trimmed.endsWith(u']'))
        trimmed = trimmed.sliced(1, trimmed.size() - 2);

    // Both replacements shorten the text, so they run in place on one copy.
    QString result = trimmed.toString();
    char16_t *data = reinterpret_cast<char16_t *>(result.data());
    qsizetype size = result.size();
    static constexpr QStringView kEntry = u"AnyHashable(";
    static constexpr QStringView kQuotedEntry = u"AnyHashable(\"";
    auto startsAt = [&](qsizetype at, QStringView literal) {
        return size - at >= literal.size() && QStringView(data + at, literal.size()) == literal;
    };

    // One entry per line: ",<white space>AnyHashable(" becomes a line feed
    // and "AnyHashable(".
    qsizetype write = 0;
    for (qsizetype read = 0; read < size;) {
        if (data[read] == u',') {
            qsizetype entry = read + 1;
            while (entry < size && isSpace(data[entry]))
                ++entry;
            if (startsAt(entry, kEntry)) {
                data[write++] = u'\n';
                for (qsizetype i = 0; i < kEntry.size(); ++i)
                    data[write++] = data[entry + i];
                read = entry + kEntry.size();
                continue;
            }
        }
        data[write++] = data[read++];
    }
    size = write;

    // 'AnyHashable("Name")<white space>:<white space>' becomes "Name: ".
    write = 0;
    for (qsizetype read = 0; read < size;) {
        if (data[read] == u'A' && startsAt(read, kQuotedEntry)) {
            const qsizetype nameStart = read + kQuotedEntry.size();
            qsizetype quote = nameStart;
            while (quote < size && data[quote] != u'"')
                ++quote;
            if (quote > nameStart && quote + 1 < size && data[quote + 1] == u')') {
                qsizetype cursor = quote + 2;
                while (cursor < size && isSpace(data[cursor]))
                    ++cursor;
                if (cursor < size && data[cursor] == u':') {
                    ++cursor;
                    while (cursor < size && isSpace(data[cursor]))
                        ++cursor;
                    std::memmove(data + write, data + nameStart, (quote - nameStart) * sizeof(char16_t));
                    write += quote - nameStart;
                    data[write++] = u':';
                    data[write++] = u' ';
                    read = cursor;
                    continue;
                }
            }
        }
        data[write++] = data[read++];
    }
    size = write;

    qsizetype begin = 0;
    while (begin < size && isSpace(data[begin]))
        ++begin;
    while (size > begin && isSpace(data[size - 1]))
        --size;
    result.truncate(size);
    result.remove(0, begin);
    return result;
}

} // namespace NetfoxScanner
