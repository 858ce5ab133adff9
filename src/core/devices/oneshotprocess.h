#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// Runs a short-lived outside tool to completion and returns what it printed on
// standard output. Standard error is passed through to our own. The output is
// read while the tool runs, so a tool that prints far more than a pipe holds
// cannot stall. A tool that has not finished after the time-out is killed,
// with every process it started (it runs in a process group of its own), and
// counts as having printed nothing.
//
// A plain function object with no state; call it on a worker thread only (it
// blocks for as long as the tool runs).
class OneShotProcess final
{
public:
    // Long enough for a slow `xctrace list devices` on a busy Mac (it can take
    // several seconds), short enough that a hung tool does not leave a refresh
    // spinning forever.
    static constexpr int kDefaultTimeoutMs = 30'000;

    // The caller's environment with PATH replaced (not extended) by the
    // default search path of child processes.
    static QProcessEnvironment toolEnvironment();

    // The tool's standard output, or nothing when it could not be started or
    // timed out. The exit status is not examined.
    static std::optional<QByteArray> run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = toolEnvironment(), int timeoutMs = kDefaultTimeoutMs);

    struct Completion
    {
        bool started = false;
        bool finished = false; // false when it could not start or timed out
        int exitCode = -1; // -1 unless it finished with an exit of its own
        QByteArray output; // standard output, when it finished
        QString startError; // why it could not start
    };
    // The same run with its exit status; with `forwardErrors` false the
    // tool's standard error is read and dropped instead of passed through.
    static Completion complete(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment, int timeoutMs, bool forwardErrors = true);

    // Kills every tool running at this moment, with what it started (an
    // interrupted command line, the application quitting); their runs return
    // as timed out. Safe on any thread, also while they run.
    static void killAll();
};
