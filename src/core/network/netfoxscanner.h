#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The production reader of a Netfox session log: finds request and response
// blocks and the labelled values inside them by scanning the text by hand, in
// time linear in the text, with exactly the results of the pattern-based
// reader in netfoxreferenceparser.h (a differential test holds them
// together). Every result is a view into the text given, which must outlive
// it. Pure functions, any thread.
namespace NetfoxScanner {

struct Block
{
    QStringView url;  // trimmed of spaces and tabs
    QStringView body; // everything between the start line and the end marker
};

struct Blocks
{
    QList<Block> requests;
    QList<Block> responses;
};

// The blocks of a log whose line ends are already LF, each kind in text order.
Blocks findBlocks(QStringView text);

// The value after `label`, at least one white-space character and up to the
// next line feed, trimmed of spaces and tabs (date, method, status).
std::optional<QStringView> lineValue(QStringView block, QStringView label);

// Everything after `label` and its line feed to the end of the block, trimmed
// of white space (request and response bodies).
std::optional<QStringView> bodyValue(QStringView block, QStringView label);

// The text between `startLabel` plus a line feed and the next `endLabel`,
// trimmed of white space (header sections).
std::optional<QStringView> section(QStringView block, QStringView startLabel, QStringView endLabel);

// The request identifier of a header section: the value after "X-Request-Id",
// "Trace-Id" or "RequestId" (any letter case) and nothing but white space and
// colons.
std::optional<QStringView> requestIdentifier(QStringView headers);

// The header clean-up: one "Name: value" line per entry of a logged header
// dictionary.
QString formatHeaders(QStringView text);

} // namespace NetfoxScanner
