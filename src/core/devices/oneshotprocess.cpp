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
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // A group of its own, so that a time-out reaches what the tool started
    // too (xcrun runs the real tool as its child).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs)) {
        qCInfo(lcDevice, "Could not start %s: %s", qPrintable(program), qPrintable(process.errorString()));
        return std::nullopt;
    }
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
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}
