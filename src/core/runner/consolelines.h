#pragma once

#include "runmode.h"

#include <QString>
#include <QStringList>
#include <QTime>

// The console's rules: which runner lines are noise, how a console line looks
// ("[HH:mm:ss] text\n"), and how long the console may grow. Pure functions,
// used by the run controller on the main thread.
namespace ConsoleLines {

// After a batch is appended the console keeps at most kMaxLines lines; a
// batch that makes it longer trims it to the newest kLinesAfterTrim.
inline constexpr qsizetype kMaxLines = 2500;
inline constexpr qsizetype kLinesAfterTrim = 2000;

// True for lines that are not shown: the device library's structured
// "time=… level=…" lines, the runner's two connection-listener messages, and
// in hierarchy mode containers of type Other that carry neither an id nor a
// text.
bool shouldFilterLine(const QString &line, RunMode mode);

// "[" + time as HH:mm:ss + "] ", the prefix of every console line.
QString timePrefix(const QTime &time);

// Appends `lines` and trims the front when the limit is passed; returns how
// many lines were removed from the front.
qsizetype appendBounded(QStringList &console, const QStringList &lines);

} // namespace ConsoleLines
