#include "childprocess.h"

#include "processregistry.h"
#include "processtree.h"

#include <QElapsedTimer>
#include <QTimer>

#include <csignal>
#include <memory>
#include <utility>
#include <unistd.h>

ChildProcess::ChildProcess(const ToolPaths &paths, QObject *parent)
    : QObject(parent)
    , m_paths(paths)
{
}

ChildProcess::~ChildProcess()
{
    if (m_registryToken)
        ProcessRegistry::remove(m_registryToken);
    if (m_leftoverTimer)
        ProcessTree::signalGroup(m_pid, SIGKILL);
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        ProcessTree::signalGroup(m_process->processId(), SIGKILL);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}

void ChildProcess::start(const QString &program, const QStringList &arguments,
                         const std::optional<QString> &workingDirectory, const QProcessEnvironment &environment)
{
    m_process = new QProcess(this);
    m_process->setProgram(program);
    m_process->setArguments(arguments);
    if (workingDirectory)
        m_process->setWorkingDirectory(*workingDirectory);
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // The runner never reads its input; an open pipe would only let a stray
    // prompt wait forever.
    m_process->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ChildProcess::onReadyRead);
    connect(m_process, &QProcess::finished, this, &ChildProcess::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ChildProcess::onErrorOccurred);

    m_registryToken = ProcessRegistry::add();
    m_process->start();
    m_pid = m_process->processId();
    if (!m_hasFinished && m_pid > 0)
        ProcessRegistry::setProcessId(m_registryToken, m_pid);
}

void ChildProcess::stop()
{
    if (!m_process || m_hasFinished)
        return;
    m_stopRequested = true;
    if (m_leftoverTimer) {
        // The process is gone; only what it left behind is still ending.
        ProcessTree::signalGroup(m_pid, SIGKILL);
        return;
    }
    const qint64 pid = m_process->processId();
    if (pid > 0) {
        ProcessTree::killProcessTree(m_paths, pid);
        ProcessTree::signalGroup(pid, SIGTERM);
        m_process->terminate();
        // No context object: the group still gets its SIGKILL when this
        // object is gone by then.
        QTimer::singleShot(ProcessTree::kKillGrace, [pid] { ProcessTree::signalGroup(pid, SIGKILL); });
    }
    ProcessRegistry::remove(m_registryToken);
}

qint64 ChildProcess::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void ChildProcess::onReadyRead()
{
    const QString text = m_decoder.decode(m_process->readAllStandardOutput());
    if (!text.isEmpty())
        Q_EMIT outputReceived(text);
}

void ChildProcess::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    // A signal's number is the status, as the runner's callers expect.
    m_endedBySignal = exitStatus == QProcess::CrashExit;
    onReadyRead();
    const QString tail = m_decoder.finish();
    if (!tail.isEmpty())
        Q_EMIT outputReceived(tail);
    // A stop has its own SIGKILL on the way; otherwise processes the child
    // started and left in its group end before the run is reported over.
    if (!m_stopRequested && m_pid > 0 && ProcessTree::groupExists(m_pid))
        endLeftovers(exitCode);
    else
        publish(exitCode);
}

void ChildProcess::endLeftovers(int status)
{
    // The group's id cannot be reused while any member is left, so signalling
    // it reaches only what this child started.
    ProcessTree::signalGroup(m_pid, SIGTERM);
    auto grace = std::make_shared<QElapsedTimer>();
    grace->start();
    m_leftoverTimer = new QTimer(this);
    m_leftoverTimer->setInterval(20);
    connect(m_leftoverTimer, &QTimer::timeout, this, [this, grace, status] {
        const bool left = ProcessTree::groupExists(m_pid);
        if (left && grace->elapsed() < ProcessTree::kKillGrace.count())
            return;
        if (left)
            ProcessTree::signalGroup(m_pid, SIGKILL);
        std::exchange(m_leftoverTimer, nullptr)->deleteLater();
        publish(status);
    });
    m_leftoverTimer->start();
}

void ChildProcess::onErrorOccurred(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || m_hasFinished)
        return;
    Q_EMIT outputReceived(QStringLiteral("Error starting process: ") + m_process->errorString() + QLatin1Char('\n'));
    publish(-1);
}

void ChildProcess::publish(int status)
{
    if (m_hasFinished)
        return;
    m_hasFinished = true;
    ProcessRegistry::remove(m_registryToken);
    m_registryToken = 0;
    Q_EMIT finished(status);
}
