#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The production reader of a Netfox session log: finds request and response
// blocks and the labelled values inside them by scanning the text by hand, in
// time linear in the text, with exactly the results of the pattern-based
// reader in tests/oracle/netfoxreferenceparser.h (a differential test holds them
// together). Every result is a view into the text given, which must outlive
// it. Pure functions, any thread.
//
// Blocks, and the values inside them, are found in UTF-16 text or straight
// in UTF-8 bytes, with the same results.
namespace NetfoxScanner {

// Where one block lies in the text, in code units (UTF-16) or bytes (UTF-8).
struct BlockRange
{
    qsizetype urlBegin; // the URL, trimmed of spaces and tabs
    qsizetype urlEnd;
    qsizetype bodyBegin; // everything between the start line and the end marker
    qsizetype bodyEnd;
};

struct BlockRanges
{
    QList<BlockRange> requests;
    QList<BlockRange> responses;
};

// The blocks of a log whose line ends are already LF, each kind in text
// order. The UTF-8 form reads valid UTF-8 without decoding it first; every
// range starts and ends on a character boundary. With `threads` above one
// the markers are searched in parts of `partSize` on that many threads (the
// result is the same).
BlockRanges findBlocks(QStringView text, int threads = 1, qsizetype partSize = 0);
BlockRanges findBlocks(QByteArrayView utf8, int threads = 1, qsizetype partSize = 0);

// The same over a log read in windows, each holding what the last one kept
// followed by fresh text. Only blocks that more text cannot change are
// returned; the text before `keepFrom` (on a character boundary) is needed
// by no later window. With `complete` the text is the rest of the log and
// every block is decided. `from` says where each kind's search goes on in
// this window (starts before it lie inside a block already returned) and
// comes back set for the next window.
struct SearchPositions
{
    qsizetype requests = 0;
    qsizetype responses = 0;
};

struct WindowBlocks
{
    BlockRanges blocks;
    qsizetype keepFrom = 0;
};

WindowBlocks findBlocksInWindow(QByteArrayView utf8, bool complete, SearchPositions &from, int threads = 1, qsizetype partSize = 0);

// A label inside a block ("[Request Body]"): ASCII, so it reads the same in
// UTF-16 and in UTF-8.
using Label = QLatin1StringView;

// Where a value lies in a block, in the block's code units or bytes; empty
// (begin -1) when the block has none.
struct Span
{
    qsizetype begin = -1;
    qsizetype end = -1;

    explicit operator bool() const { return begin >= 0; }
    qsizetype size() const { return end - begin; }
};

// The functions below read one block's text, in UTF-16 or straight in valid
// UTF-8 (every span then starts and ends on a character boundary; on bytes
// that are not UTF-8 they stay inside the block and mean nothing).

// The first position of each of `count` labels in the block, or -1 for a
// label that does not occur; one pass over the block's '[' characters that
// stops once every label has been seen.
void firstLabelPositions(QStringView block, const Label *labels, qsizetype *positions, int count);
void firstLabelPositions(QByteArrayView block, const Label *labels, qsizetype *positions, int count);

// The functions below take the label's first position in the block (from
// firstLabelPositions; -1 when absent) and look further only when the first
// occurrence does not qualify.

// The value after `label`, at least one white-space character and up to the
// next line feed, trimmed of spaces and tabs (date, method, status).
Span lineValue(QStringView block, Label label, qsizetype first);
Span lineValue(QByteArrayView block, Label label, qsizetype first);

// Everything after `label` and its line feed to the end of the block, trimmed
// of white space (request and response bodies).
Span bodyValue(QStringView block, Label label, qsizetype first);
Span bodyValue(QByteArrayView block, Label label, qsizetype first);

// The text between `startLabel` plus a line feed and the next `endLabel`,
// trimmed of white space (header sections).
Span section(QStringView block, Label startLabel, qsizetype startFirst, Label endLabel, qsizetype endFirst);
Span section(QByteArrayView block, Label startLabel, qsizetype startFirst, Label endLabel, qsizetype endFirst);

// The request identifier of a header section: the value after "X-Request-Id",
// "Trace-Id" or "RequestId" (any letter case) and nothing but white space and
// colons.
std::optional<QStringView> requestIdentifier(QStringView headers);

// The header clean-up: one "Name: value" line per entry of a logged header
// dictionary.
QString formatHeaders(QStringView text);

} // namespace NetfoxScanner
