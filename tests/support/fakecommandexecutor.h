#pragma once

#include "process/commandexecuting.h"

#include <QList>

// Stands in for the real executor: records every call and lets a test play
// the process's part (output chunks, exit status) by hand.
class FakeCommandExecutor final : public CommandExecuting
{
    Q_OBJECT

public:
    struct Run
    {
        QString program;
        QStringList arguments;
        std::optional<QString> workingDirectory;
        std::optional<Environment> environment;
    };

    using CommandExecuting::CommandExecuting;

    void run(const QString &program, const QStringList &arguments, const std::optional<QString> &workingDirectory,
        const std::optional<Environment> &environment) override
    {
        if (m_running)
            return;
        m_running = true;
        runs.append({ program, arguments, workingDirectory, environment });
    }

    void stop() override
    {
        ++stopCalls;
        m_running = false;
    }

    bool isRunning() const override { return m_running; }

    void terminateAllProcesses() override { ++terminateAllCalls; }

    // The process prints `chunk`.
    void emitOutput(const QString &chunk) { Q_EMIT outputReceived(chunk); }
    // The process ends with `status`.
    void finish(int status)
    {
        m_running = false;
        Q_EMIT terminated(status);
    }

    QList<Run> runs;
    int stopCalls = 0;
    int terminateAllCalls = 0;

private:
    bool m_running = false;
};
