#pragma once

#include <QList>
#include <QString>

// The flow viewer's colouring of one line of a flow or environment file:
// comments, the "---" separator, keys before a colon or an equals sign, list
// dashes, quoted strings, ${…} references, booleans and numbers. One line at
// a time and without state; the colours and fonts belong to the viewer.
// Pure functions, any thread.
namespace YamlHighlight {

enum class Role {
    Plain,
    Comment,
    Key,
    ListDash,
    QuotedString,
    Variable,
    BooleanOrNumber,
    Separator, // the document separator, in the platform's pink
};

enum class Weight {
    Regular, // the code area's font
    Medium,
    Bold,
};

struct Span
{
    qsizetype start = 0;
    qsizetype length = 0;
    Role role = Role::Plain;
    Weight weight = Weight::Regular;
    bool operator==(const Span &) const = default;
};

// Non-overlapping runs that cover the whole line, in order (none for an
// empty line).
QList<Span> highlightLine(const QString &line);

// The viewer's lines: `code` cut at every "\n" (a lone "\r" stays in its
// line); an empty text is one empty line.
QStringList splitLines(const QString &code);

} // namespace YamlHighlight
