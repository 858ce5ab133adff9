#include "oneshotprocess.h"

#include "process/toolpaths.h"
#include "settings/logging.h"

#include <QProcess>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

QProcessEnvironment OneShotProcess::toolEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), ToolPaths::defaultSearchPath());
    return environment;
}

std::optional<QByteArray> OneShotProcess::run(
    const QString &program, const QStringList &arguments, const QProcessEnvironment &environment, int timeoutMs)
{
    Completion completion = complete(program, arguments, environment, timeoutMs);
    if (!completion.finished)
        return std::nullopt;
    return std::move(completion.output);
}

OneShotProcess::Completion OneShotProcess::complete(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment, int timeoutMs, bool forwardErrors)
{
    Completion completion;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(forwardErrors ? QProcess::ForwardedErrorChannel : QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own, so that a time-out reaches what the tool started
    // too (xcrun runs the real tool as its child).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs)) {
        qCInfo(lcDevice, "Could not start %s: %s", qPrintable(program), qPrintable(process.errorString()));
        return completion;
    }
    completion.started = true;
    // waitForFinished keeps reading standard output into QProcess's buffer
    // while it waits, so the pipe never fills up.
    if (!process.waitForFinished(timeoutMs)) {
        qCInfo(lcDevice, "%s did not finish within %d ms; killed", qPrintable(program), timeoutMs);
#ifdef Q_OS_UNIX
        if (const qint64 pid = process.processId(); pid > 1)
            ::kill(-pid_t(pid), SIGKILL);
#endif
        process.kill();
        process.waitForFinished(5'000);
        return completion;
    }
    completion.finished = true;
    completion.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    completion.output = process.readAllStandardOutput();
    return completion;
}
