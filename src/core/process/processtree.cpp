#include "processtree.h"

#include "toolcommands.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int kPkillTimeoutMs = 5000;

bool isSignallableGroup(qint64 pgid)
{
    // kill(-0) and kill(-1) would reach this application's group or every
    // process the user owns.
    return pgid > 1 && pgid != qint64(::getpgrp()) && pgid != qint64(::getpid());
}

void runPkill(const ToolCommand &command)
{
    QProcess pkill;
    pkill.setProgram(command.program);
    pkill.setArguments(command.arguments);
    pkill.setStandardInputFile(QProcess::nullDevice());
    pkill.setStandardOutputFile(QProcess::nullDevice());
    pkill.setStandardErrorFile(QProcess::nullDevice());
    pkill.start();
    if (!pkill.waitForStarted(kPkillTimeoutMs))
        return;
    if (!pkill.waitForFinished(kPkillTimeoutMs))
        pkill.kill();
}

} // namespace

void ProcessTree::killProcessTree(const ToolPaths &paths, qint64 pid)
{
    // pkill -P 0 or -P 1 would address init's children.
    if (pid <= 1)
        return;
    const ToolCommands commands(paths);
    runPkill(commands.pkillChildren(ToolCommands::Signal::Terminate, pid));
    runPkill(commands.pkillChildren(ToolCommands::Signal::Kill, pid));
}

void ProcessTree::signalGroup(qint64 pgid, int signal)
{
    if (!isSignallableGroup(pgid))
        return;
    ::kill(-pid_t(pgid), signal);
}

bool ProcessTree::groupExists(qint64 pgid)
{
    if (!isSignallableGroup(pgid))
        return false;
    return ::kill(-pid_t(pgid), 0) == 0 || errno == EPERM;
}
