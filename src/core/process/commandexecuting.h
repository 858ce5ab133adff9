#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// The service through which controllers start the long-running child process
// whose output the user watches (a test run, a hierarchy fetch). One process at
// a time; its merged stdout and stderr arrive as text chunks on the main
// thread (outputReceived), followed by exactly one exit status (terminated).
// Late chunks may still arrive after the status. Lives on the main thread.
class CommandExecuting : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandExecuting)

public:
    using Environment = QMap<QString, QString>;

    explicit CommandExecuting(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
    ~CommandExecuting() override = default;

    // Starts `program` with exactly `arguments`. The environment, when given, is
    // merged over the user's login environment (its entries win). Ignored while
    // a process is running.
    virtual void run(const QString &program, const QStringList &arguments,
                     const std::optional<QString> &workingDirectory = std::nullopt,
                     const std::optional<Environment> &environment = std::nullopt) = 0;

    // Stops the running process and everything it started. A stop always ends
    // with a terminated() signal.
    virtual void stop() = 0;

    virtual bool isRunning() const = 0;

    // Kills every process that any executor of this application started and
    // that is still running, with everything those started (the process-wide
    // registry). Called before a new run or hierarchy fetch starts.
    virtual void terminateAllProcesses() = 0;

Q_SIGNALS:
    // A chunk of the merged output, in the order the process wrote it.
    void outputReceived(const QString &chunk);
    // The process's exit status (-1 when it could not be started).
    void terminated(int status);
};
