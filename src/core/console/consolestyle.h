#pragma once

#include "runner/runmode.h"

#include <QList>
#include <QString>

// How one console line is coloured: the runner's marks, command keywords,
// durations and identifiers in test mode; element types, bounds and ids in
// hierarchy mode. The result is a list of non-overlapping runs with a colour
// role and a bold flag; text between runs keeps the base style. The colours
// themselves belong to the view. Pure functions, any thread.
namespace ConsoleStyle {

enum class Role {
    Base, // the platform's text colour
    Purple,
    Blue,
    Green,
    Yellow,
    Red,
    Grey,
};

struct Span
{
    qsizetype start = 0;
    qsizetype length = 0;
    Role role = Role::Base;
    bool bold = false;
    bool operator==(const Span &) const = default;
};

// Rules apply in order; a later rule's colour replaces an earlier one where
// their matches overlap, while the keyword rule's bold weight stays.
QList<Span> styleLine(const QString &line, RunMode mode);

} // namespace ConsoleStyle
