#include "oneshotprocess.h"

#include "process/toolpaths.h"
#include "settings/logging.h"

#include <QMutex>
#include <QProcess>
#include <QSet>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {

// The process groups of the tools running now, for killAll.
QMutex g_runningMutex;
QSet<qint64> g_running;

void killGroup(qint64 pid)
{
#ifdef Q_OS_UNIX
    if (pid > 1)
        ::kill(-pid_t(pid), SIGKILL);
#else
    Q_UNUSED(pid)
#endif
}

// Lists a started tool in g_running for as long as it runs.
class RunningEntry final
{
public:
    explicit RunningEntry(qint64 pid)
        : m_pid(pid)
    {
        const QMutexLocker locker(&g_runningMutex);
        g_running.insert(m_pid);
    }
    ~RunningEntry()
    {
        const QMutexLocker locker(&g_runningMutex);
        g_running.remove(m_pid);
    }
    Q_DISABLE_COPY_MOVE(RunningEntry)

private:
    qint64 m_pid;
};

} // namespace

void OneShotProcess::killAll()
{
    const QMutexLocker locker(&g_runningMutex);
    for (const qint64 pid : std::as_const(g_running))
        killGroup(pid);
}

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
        completion.startError = process.errorString();
        qCInfo(lcDevice, "Could not start %s: %s", qPrintable(program), qPrintable(completion.startError));
        return completion;
    }
    completion.started = true;
    // Listed while the tool runs, so that killAll reaches it.
    const RunningEntry running(process.processId());
    // waitForFinished keeps reading standard output into QProcess's buffer
    // while it waits, so the pipe never fills up.
    if (!process.waitForFinished(timeoutMs)) {
        qCInfo(lcDevice, "%s did not finish within %d ms; killed", qPrintable(program), timeoutMs);
        killGroup(process.processId());
        process.kill();
        process.waitForFinished(5'000);
        return completion;
    }
    completion.finished = true;
    completion.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    completion.output = process.readAllStandardOutput();
    return completion;
}
