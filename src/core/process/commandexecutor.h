#pragma once

#include "commandexecuting.h"
#include "loginenvironment.h"
#include "toolpaths.h"

#include <chrono>

class ChildProcess;

// Starts the long-running child processes whose output the user watches (a
// test run, a hierarchy fetch), one at a time. A run first learns the user's
// login-shell environment without blocking the window (LoginEnvironment),
// merges the caller's map over it, then starts the program in a process group
// of its own with stdout and stderr merged. Output arrives as UTF-8 text
// chunks; exactly one terminated() follows every run: the exit status (the
// signal's number when a signal ended the process), -1 when the program could
// not be started, SIGTERM's number when the run was stopped before the
// program was started. Owned by the run controller; lives on the main thread.
// terminateAll() kills every process any executor has started and may be
// called from any thread.
class CommandExecutor final : public CommandExecuting
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandExecutor)

public:
    explicit CommandExecutor(QObject *parent = nullptr);
    explicit CommandExecutor(const ToolPaths &paths, QObject *parent = nullptr);
    ~CommandExecutor() override;

    void run(const QString &program, const QStringList &arguments,
             const std::optional<QString> &workingDirectory = std::nullopt,
             const std::optional<Environment> &environment = std::nullopt) override;
    void stop() override;
    bool isRunning() const override { return m_isRunning; }

    // Whether a process started by this executor has not yet reported its end
    // (it stays set after stop() until terminated() has been emitted).
    bool hasProcess() const { return m_process != nullptr; }
    // The current process's pid; 0 when there is none.
    qint64 processId() const;

    // How long the login shell may take to print its environment.
    void setLoginShellTimeout(std::chrono::milliseconds timeout) { m_loginShellTimeout = timeout; }
    // Whether the login shell starts from this process's own environment
    // rather than the minimal one (see LoginEnvironment); the caller's map
    // still wins over both.
    void setPassesOwnEnvironment(bool own) { m_passesOwnEnvironment = own; }

    // Kills every process in the registry with everything it started
    // (pkill -TERM/-9 on its children, SIGTERM to its group and to it,
    // SIGKILL to its group after a short grace) and empties the registry.
    // Blocks until done; callable from any thread. Executors learn of the
    // ends through their processes' own termination.
    static void terminateAll();
    // The same, through the interface the run controller holds.
    void terminateAllProcesses() override { terminateAll(); }

    // The pids of every process any executor has started and not yet seen
    // end or stopped (the process-wide registry). Any thread.
    static QList<qint64> activeProcesses();

    // Whether the last run's process was ended by a signal rather than by
    // exiting with its status.
    bool lastRunEndedBySignal() const { return m_lastRunEndedBySignal; }

private:
    void onEnvironmentLoaded(quint64 generation, const Environment &loginEnvironment);
    void onChildFinished(ChildProcess *child, quint64 generation, int status);

    ToolPaths m_paths;
    std::chrono::milliseconds m_loginShellTimeout = LoginEnvironment::kDefaultTimeout;
    bool m_isRunning = false;
    bool m_lastRunEndedBySignal = false;
    bool m_passesOwnEnvironment = false;
    quint64 m_generation = 0;
    LoginEnvironment *m_loginEnvironment = nullptr;
    ChildProcess *m_process = nullptr;

    struct Request
    {
        QString program;
        QStringList arguments;
        std::optional<QString> workingDirectory;
        std::optional<Environment> environment;
    };
    Request m_request;
};
