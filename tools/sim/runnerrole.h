#pragma once

#include <QStringList>

class LabState;

// kestrune-sim called with the runner's arguments: a test run of one or more
// flow files on a lab device (console output, network traffic in the app's
// session log, the report folder under --output) or, with "hierarchy
// --compact", the current screen's element tree. Returns the exit status:
// 0 for a passed run, 1 for a failed flow or an error ("Error: ..." on
// stderr). A SIGTERM ends the run promptly: the report is closed and the
// process then ends by that signal.
namespace RunnerRole {

int run(const QStringList &arguments, LabState &lab);

} // namespace RunnerRole
