#pragma once

#include "toolpaths.h"

#include <QtGlobal>

#include <chrono>

// Stopping a child process together with everything it started. Each child
// of the command executor leads a process group of its own, so one signal to
// the group reaches the runner, the xcodebuild it started and their helpers,
// however deep; `pkill -P` additionally reaches direct children that moved
// to a group of their own. Stateless; every function is safe on any thread
// and blocks only for the pkill runs.
class ProcessTree final
{
public:
    // How long a group gets between SIGTERM and SIGKILL.
    static constexpr std::chrono::milliseconds kKillGrace { 500 };

    // `pkill -TERM -P pid`, then `pkill -9 -P pid`, each waited for. Failures
    // to start pkill are ignored.
    static void killProcessTree(const ToolPaths &paths, qint64 pid);

    // Sends `signal` to every process in the group `pgid`. Never signals an
    // invalid id, pid 1 or this application's own group.
    static void signalGroup(qint64 pgid, int signal);

    // Whether any process (a zombie included) is still in the group.
    static bool groupExists(qint64 pgid);
};
