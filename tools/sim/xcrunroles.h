#pragma once

#include <QStringList>

class LabState;

// kestrune-sim called with xcrun's arguments: answers "xctrace list devices",
// "devicectl device info apps", "devicectl device copy from" and
// "simctl get_app_container" from the lab's state, with the real tools' line
// shapes, messages and exit statuses. Stateless; one call per process.
namespace XcrunRoles {

// True when the arguments name one of the tools above.
bool handles(const QStringList &arguments);

// Runs the role; returns the process exit status.
int run(const QStringList &arguments, LabState &lab);

} // namespace XcrunRoles
