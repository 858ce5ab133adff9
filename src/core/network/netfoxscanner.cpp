#include "netfoxscanner.h"

#include "netfoxsyntax.h"

#include <algorithm>

using namespace NetfoxSyntax;

namespace NetfoxScanner {

namespace {

constexpr QStringView kDashes = u"-------";
constexpr QStringView kStartRequestTail = u"START REQUEST -";
constexpr QStringView kEndRequestTail = u"END REQUEST";
constexpr QStringView kStartResponseTail = u"START RESPONSE -";
constexpr QStringView kEndResponseTail = u"END RESPONSE";
constexpr qsizetype kDashCount = 7;
constexpr qsizetype kDashLineLength = kDashCount + 1; // "-------\n"

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

Markers findMarkers(QStringView text)
{
    Markers markers;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        const qsizetype runStart = text.indexOf(u'-', pos);
        if (runStart < 0)
            break;
        qsizetype runEnd = runStart + 1;
        while (runEnd < size && text[runEnd] == u'-')
            ++runEnd;
        pos = runEnd;
        if (runEnd - runStart < kDashCount || runEnd >= size)
            continue;
        const qsizetype marker = runEnd - kDashCount;
        const QStringView rest = text.sliced(runEnd);
        switch (rest.front().unicode()) {
        case u'\n':
            if (marker > 0 && isSpace(text[marker - 1].unicode()))
                markers.dashLines.append(marker);
            break;
        case u'S':
            if (rest.startsWith(kStartRequestTail))
                markers.requestStarts.append(marker);
            else if (rest.startsWith(kStartResponseTail))
                markers.responseStarts.append(marker);
            break;
        case u'E':
            if (rest.startsWith(kEndRequestTail))
                markers.requestEnds.append(marker);
            else if (rest.startsWith(kEndResponseTail))
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
QList<Block> matchBlocks(QStringView text, const QList<qsizetype> &starts, qsizetype startLength,
                         const QList<qsizetype> &ends, qsizetype endLength, const QList<qsizetype> &dashLines)
{
    QList<Block> blocks;
    qsizetype searchFrom = 0;
    for (const qsizetype start : starts) {
        if (start < searchFrom)
            continue;
        const qsizetype afterMarker = start + startLength;
        const qsizetype spaces = spaceRunLength(text, afterMarker);
        if (spaces == 0)
            continue;
        const qsizetype urlStart = afterMarker + spaces;

        // Greedy white space: the URL runs lazily to the first white space
        // that leads into a dash line.
        const qsizetype dashLine = firstAtOrAfter(dashLines, urlStart + 1);
        if (dashLine >= 0) {
            const qsizetype bodyStart = dashLine + kDashLineLength;
            const qsizetype end = firstAtOrAfter(ends, bodyStart);
            if (end >= 0) {
                qsizetype urlEnd = dashLine - 1;
                while (urlEnd > urlStart && isSpace(text[urlEnd - 1].unicode()))
                    --urlEnd;
                blocks.append({trimmedHorizontal(text.sliced(urlStart, urlEnd - urlStart)),
                               text.sliced(bodyStart, end - bodyStart)});
                searchFrom = end + endLength;
                continue;
            }
        }
        // One white-space character given back: an empty URL followed by the
        // last white-space character and a dash line right after it.
        if (spaces >= 2 && text.sliced(urlStart).startsWith(kDashes)
            && urlStart + kDashCount < text.size() && text[urlStart + kDashCount] == u'\n') {
            const qsizetype bodyStart = urlStart + kDashLineLength;
            const qsizetype end = firstAtOrAfter(ends, bodyStart);
            if (end >= 0) {
                blocks.append({QStringView(), text.sliced(bodyStart, end - bodyStart)});
                searchFrom = end + endLength;
            }
        }
    }
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

Blocks findBlocks(QStringView text)
{
    const Markers markers = findMarkers(text);
    Blocks blocks;
    blocks.requests = matchBlocks(text, markers.requestStarts, kDashCount + kStartRequestTail.size(),
                                  markers.requestEnds, kDashCount + kEndRequestTail.size(), markers.dashLines);
    blocks.responses = matchBlocks(text, markers.responseStarts, kDashCount + kStartResponseTail.size(),
                                   markers.responseEnds, kDashCount + kEndResponseTail.size(), markers.dashLines);
    return blocks;
}

std::optional<QStringView> lineValue(QStringView block, QStringView label)
{
    // label, white space (greedy), the value (lazy, no line terminator), "\n".
    const qsizetype size = block.size();
    qsizetype terminatorFrom = -1; // memo: the first line terminator at or after
    qsizetype terminator = -1;     // terminatorFrom (size when there is none)
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
    for (qsizetype at = block.indexOf(label); at >= 0; at = block.indexOf(label, at + 1)) {
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

std::optional<QStringView> bodyValue(QStringView block, QStringView label)
{
    // label, "\n", the body (lazy, dot matches line breaks), end of input.
    qsizetype at = 0;
    while (true) {
        at = block.indexOf(label, at);
        if (at < 0)
            return std::nullopt;
        if (at + label.size() < block.size() && block[at + label.size()] == u'\n')
            break;
        ++at;
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

std::optional<QStringView> section(QStringView block, QStringView startLabel, QStringView endLabel)
{
    qsizetype at = 0;
    while (true) {
        at = block.indexOf(startLabel, at);
        if (at < 0)
            return std::nullopt;
        if (at + startLabel.size() < block.size() && block[at + startLabel.size()] == u'\n')
            break;
        ++at;
    }
    const qsizetype valueStart = at + startLabel.size() + 1;
    const qsizetype end = block.indexOf(endLabel, valueStart);
    if (end < 0)
        return std::nullopt;
    return trimmedSpace(block.sliced(valueStart, end - valueStart));
}

std::optional<QStringView> requestIdentifier(QStringView headers)
{
    static constexpr QStringView kNames[] = {u"x-request-id", u"trace-id", u"requestid"};
    const qsizetype size = headers.size();
    for (qsizetype pos = 0; pos < size; ++pos) {
        const char16_t first = foldedToAscii(headers[pos].unicode());
        if (first != u'x' && first != u't' && first != u'r')
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

    static constexpr QStringView kEntry = u"AnyHashable(";
    // One entry per line: ",<white space>AnyHashable(" becomes a line break.
    QString lines;
    lines.reserve(trimmed.size());
    qsizetype pos = 0;
    while (pos < trimmed.size()) {
        const qsizetype comma = trimmed.indexOf(u',', pos);
        if (comma < 0) {
            lines += trimmed.sliced(pos);
            break;
        }
        lines += trimmed.sliced(pos, comma - pos);
        const qsizetype entry = comma + 1 + spaceRunLength(trimmed, comma + 1);
        if (trimmed.sliced(entry).startsWith(kEntry)) {
            lines += u'\n';
            pos = entry; // "AnyHashable(" is copied with the next stretch
        } else {
            lines += u',';
            pos = comma + 1;
        }
    }

    // AnyHashable("Name") <white space> : <white space>  becomes "Name: ".
    static constexpr QStringView kQuotedEntry = u"AnyHashable(\"";
    const QStringView source(lines);
    QString result;
    result.reserve(source.size());
    pos = 0;
    qsizetype copied = 0;
    while ((pos = source.indexOf(kQuotedEntry, pos)) >= 0) {
        const qsizetype nameStart = pos + kQuotedEntry.size();
        const qsizetype quote = source.indexOf(u'"', nameStart);
        if (quote <= nameStart || quote + 1 >= source.size() || source[quote + 1] != u')') {
            ++pos;
            continue;
        }
        qsizetype cursor = quote + 2;
        cursor += spaceRunLength(source, cursor);
        if (cursor >= source.size() || source[cursor] != u':') {
            ++pos;
            continue;
        }
        ++cursor;
        cursor += spaceRunLength(source, cursor);
        result += source.sliced(copied, pos - copied);
        result += source.sliced(nameStart, quote - nameStart);
        result += u": ";
        copied = pos = cursor;
    }
    result += source.sliced(copied);
    return trimmedSpace(result).toString();
}

} // namespace NetfoxScanner
