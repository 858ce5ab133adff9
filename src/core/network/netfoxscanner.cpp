#include "netfoxscanner.h"

#include "netfoxsyntax.h"

#include <algorithm>
#include <cstring>

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
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0 && at + 1 < size) {
        length = 2;
        return char32_t(lead & 0x1F) << 6 | (data[at + 1] & 0x3F);
    }
    if ((lead & 0xF0) == 0xE0 && at + 2 < size) {
        length = 3;
        return char32_t(lead & 0x0F) << 12 | char32_t(data[at + 1] & 0x3F) << 6 | (data[at + 2] & 0x3F);
    }
    if ((lead & 0xF8) == 0xF0 && at + 3 < size) {
        length = 4;
        return char32_t(lead & 0x07) << 18 | char32_t(data[at + 1] & 0x3F) << 12 | char32_t(data[at + 2] & 0x3F) << 6
            | (data[at + 3] & 0x3F);
    }
    length = 1;
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

template <typename Char> Markers findMarkers(const Char *data, qsizetype size)
{
    Markers markers;
    // Any run of seven or more hyphens covers a position that is 6 modulo 7,
    // so only every seventh character needs a look.
    qsizetype probe = kDashCount - 1;
    while (probe < size) {
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
        if (runEnd - runStart < kDashCount || runEnd >= size)
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
template <typename Char>
QList<BlockRange> matchBlocks(const Char *data, qsizetype size, const QList<qsizetype> &starts, qsizetype startLength,
    const QList<qsizetype> &ends, qsizetype endLength, const QList<qsizetype> &dashLines)
{
    QList<BlockRange> blocks;
    qsizetype searchFrom = 0;
    for (const qsizetype start : starts) {
        if (start < searchFrom)
            continue;
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
    return blocks;
}

template <typename Char> BlockRanges findBlockRanges(const Char *data, qsizetype size)
{
    const Markers markers = findMarkers(data, size);
    BlockRanges blocks;
    blocks.requests = matchBlocks(data, size, markers.requestStarts, kDashCount + literalLength(kStartRequestTail),
        markers.requestEnds, kDashCount + literalLength(kEndRequestTail), markers.dashLines);
    blocks.responses = matchBlocks(data, size, markers.responseStarts, kDashCount + literalLength(kStartResponseTail),
        markers.responseEnds, kDashCount + literalLength(kEndResponseTail), markers.dashLines);
    return blocks;
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

} // namespace

BlockRanges findBlocks(QStringView text)
{
    return findBlockRanges(text.utf16(), text.size());
}

BlockRanges findBlocks(QByteArrayView utf8)
{
    return findBlockRanges(utf8.data(), utf8.size());
}

void firstLabelPositions(QStringView block, const QStringView *labels, qsizetype *positions, int count)
{
    int missing = count;
    for (int i = 0; i < count; ++i)
        positions[i] = -1;
    for (qsizetype at = block.indexOf(u'['); at >= 0 && missing > 0; at = block.indexOf(u'[', at + 1)) {
        const char16_t *rest = block.utf16() + at;
        const qsizetype restSize = block.size() - at;
        // Every label starts "[Re".
        if (restSize < 4 || rest[1] != u'R' || rest[2] != u'e')
            continue;
        for (int i = 0; i < count; ++i) {
            if (positions[i] < 0 && restSize >= labels[i].size()
                && std::memcmp(rest, labels[i].utf16(), labels[i].size() * sizeof(char16_t)) == 0) {
                positions[i] = at;
                --missing;
                break;
            }
        }
    }
}

std::optional<QStringView> lineValue(QStringView block, QStringView label, qsizetype first)
{
    // label, white space (greedy), the value (lazy, no line terminator), "\n".
    const qsizetype size = block.size();
    qsizetype terminatorFrom = -1; // memo: the first line terminator at or after
    qsizetype terminator = -1; // terminatorFrom (size when there is none)
    auto firstTerminator = [&](qsizetype from) {
        if (terminatorFrom < 0 || from < terminatorFrom || from > terminator) {
            qsizetype pos = from;
            while (pos < size && !isLineTerminator(block[pos].unicode()))
                ++pos;
            terminatorFrom = from;
            terminator = pos;
        }
        return terminator;
    };
    for (qsizetype at = first; at >= 0; at = find(block, label, at + 1)) {
        const qsizetype afterLabel = at + label.size();
        const qsizetype spaces = spaceRunLength(block, afterLabel);
        if (spaces == 0)
            continue;
        qsizetype next = firstTerminator(afterLabel + spaces);
        for (qsizetype taken = spaces; taken >= 1; --taken) {
            const qsizetype valueStart = afterLabel + taken;
            if (taken < spaces && isLineTerminator(block[valueStart].unicode()))
                next = valueStart;
            if (next < size && block[next] == u'\n')
                return trimmedHorizontal(block.sliced(valueStart, next - valueStart));
        }
    }
    return std::nullopt;
}

std::optional<QStringView> bodyValue(QStringView block, QStringView label, qsizetype first)
{
    // label, "\n", the body (lazy, dot matches line breaks), end of input.
    qsizetype at = first;
    while (true) {
        if (at < 0)
            return std::nullopt;
        if (at + label.size() < block.size() && block[at + label.size()] == u'\n')
            break;
        at = find(block, label, at + 1);
    }
    const qsizetype valueStart = at + label.size() + 1;
    // "$" holds at the end, before a final line terminator that is not the
    // LF of a CRLF, and before a final CRLF; the lazy body stops at the
    // first of these.
    const qsizetype size = block.size();
    qsizetype valueEnd = size;
    if (size - 2 >= valueStart && block[size - 2] == u'\r' && block[size - 1] == u'\n') {
        valueEnd = size - 2;
    } else if (size - 1 >= valueStart && isLineTerminator(block[size - 1].unicode())
        && !(block[size - 1] == u'\n' && size >= 2 && block[size - 2] == u'\r')) {
        valueEnd = size - 1;
    }
    return trimmedSpace(block.sliced(valueStart, valueEnd - valueStart));
}

std::optional<QStringView> section(
    QStringView block, QStringView startLabel, qsizetype startFirst, QStringView endLabel, qsizetype endFirst)
{
    qsizetype at = startFirst;
    while (true) {
        if (at < 0)
            return std::nullopt;
        if (at + startLabel.size() < block.size() && block[at + startLabel.size()] == u'\n')
            break;
        at = find(block, startLabel, at + 1);
    }
    const qsizetype valueStart = at + startLabel.size() + 1;
    const qsizetype end = endFirst >= valueStart ? endFirst : endFirst < 0 ? -1 : find(block, endLabel, valueStart);
    if (end < 0)
        return std::nullopt;
    return trimmedSpace(block.sliced(valueStart, end - valueStart));
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
