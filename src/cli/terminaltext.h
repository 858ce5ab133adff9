#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text from outside (an app's HTTP bodies, names from a log) shown on a
// terminal: control characters would move the cursor, recolour or retitle
// the terminal, or hide what comes before them. On a terminal they are shown
// as caret notation instead (ESC as "^[", CR as "^M", DEL as "^?", a C1
// control as ESC and its 7-bit letter, CSI as "^[["); tab and line feed stay.
// Output that goes to a file or a pipe is left exactly as it is.
namespace TerminalText {

QString visibleControls(QStringView text);

// One field of a listing with a record a line and tab-separated columns
// (`history`): a tab, line feed or carriage return in it is always shown in
// caret notation, so the record stays one line and the field one column;
// on a terminal every other control character is too.
QString listingField(QStringView text, bool onTerminal);

// Whether the process's standard output is a terminal.
bool standardOutputIsTerminal();

// `utf8` as it should be written to standard output: through
// visibleControls() on a terminal, untouched elsewhere.
QByteArray forStandardOutput(const QByteArray &utf8);

} // namespace TerminalText
