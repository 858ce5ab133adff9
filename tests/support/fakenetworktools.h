#pragma once

#include "runner/runnerviewmodel.h"

#include <QFile>
#include <QMutex>
#include <QThread>

#include <memory>

// Plays xcrun devicectl/simctl and cp for the controller's network log pulls,
// on whatever worker calls it: records every command line, "copies" a session
// log text by writing it to the destination, and counts how many copies are
// in flight at once. Shared by pointer so the worker's copy stays valid.
class FakeNetworkTools final
{
public:
    QMutex mutex;
    QList<ToolCommand> commands;
    QByteArray sessionLog;         // what the device's log holds
    bool copyFails = false;        // devicectl and cp exit with 1
    int copyDelayMs = 0;           // a slow device
    QString containerPath;         // simctl's answer; empty: exits with 2
    int inFlight = 0;
    int maxInFlight = 0;

    QList<ToolCommand> takeCommands()
    {
        QMutexLocker lock(&mutex);
        return std::exchange(commands, {});
    }

    RunnerViewModel::ToolResult run(const ToolCommand &command)
    {
        {
            QMutexLocker lock(&mutex);
            commands.append(command);
        }
        const QStringList &args = command.arguments;
        if (args.value(0) == QLatin1String("simctl")) {
            QMutexLocker lock(&mutex);
            if (containerPath.isEmpty())
                return { true, 2, {} };
            return { true, 0, "  " + containerPath.toUtf8() + "\n" };
        }
        QString destination;
        QByteArray content;
        bool fails;
        int delay;
        {
            QMutexLocker lock(&mutex);
            fails = copyFails;
            delay = copyDelayMs;
            content = sessionLog;
            maxInFlight = std::max(maxInFlight, ++inFlight);
        }
        if (args.value(0) == QLatin1String("devicectl")) {
            destination = args.value(args.indexOf(QStringLiteral("--destination")) + 1);
        } else {
            destination = args.value(1);
            QFile source(args.value(0));
            content = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
            fails = fails || !source.exists();
        }
        if (delay > 0)
            QThread::msleep(delay);
        if (!fails) {
            QFile out(destination);
            fails = !out.open(QIODevice::WriteOnly) || out.write(content) != content.size();
        }
        QMutexLocker lock(&mutex);
        --inFlight;
        return { true, fails ? 1 : 0, {} };
    }

    RunnerViewModel::ToolRunner runner(const std::shared_ptr<FakeNetworkTools> &self)
    {
        return [self](const ToolCommand &command) { return self->run(command); };
    }
};
