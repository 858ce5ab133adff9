#pragma once

#include <QString>

// The help texts of kestrune-cli: `kestrune-cli --help` and `help`, and
// `kestrune-cli help COMMAND` / `COMMAND --help` for each command (what it
// does, its options, examples and exit statuses).
namespace CliHelp {

// The overview: usage, the commands with their one-line summaries, the exit
// statuses.
QString overview();

// The help of one registered command; empty for a name that is none.
QString command(const QString &name);

} // namespace CliHelp
