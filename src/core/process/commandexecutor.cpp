#include "commandexecutor.h"

#include "childprocess.h"
#include "processregistry.h"
#include "processtree.h"
#include "settings/logging.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <signal.h>
#include <sys/types.h>
#include <utility>

CommandExecutor::CommandExecutor(QObject *parent)
    : CommandExecutor(ToolPaths::fromEnvironment(), parent)
{
}

CommandExecutor::CommandExecutor(const ToolPaths &paths, QObject *parent)
    : CommandExecuting(parent)
    , m_paths(paths)
{
}

CommandExecutor::~CommandExecutor() = default;

void CommandExecutor::run(const QString &program, const QStringList &arguments,
                          const std::optional<QString> &workingDirectory, const std::optional<Environment> &environment)
{
    if (m_isRunning)
        return;
    m_isRunning = true;
    const quint64 generation = ++m_generation;
    m_request = { program, arguments, workingDirectory, environment };

    delete m_loginEnvironment;
    m_loginEnvironment = new LoginEnvironment(m_paths, m_loginShellTimeout, this);
    m_loginEnvironment->setStartsFromOwnEnvironment(m_passesOwnEnvironment);
    // Queued: the launch always happens after run() has returned, also when
    // the shell fails at once, so callers never see signals from inside run().
    connect(m_loginEnvironment, &LoginEnvironment::loaded, this,
            [this, generation](const Environment &loaded) { onEnvironmentLoaded(generation, loaded); },
            Qt::QueuedConnection);
    m_loginEnvironment->loadUserEnvironment();
}

void CommandExecutor::onEnvironmentLoaded(quint64 generation, const Environment &loginEnvironment)
{
    // A stop, or a stop and a new run, came while the shell was running.
    if (generation != m_generation || !m_isRunning)
        return;
    if (m_loginEnvironment) {
        m_loginEnvironment->deleteLater();
        m_loginEnvironment = nullptr;
    }

    Environment merged = loginEnvironment;
    if (m_request.environment) {
        for (auto it = m_request.environment->cbegin(); it != m_request.environment->cend(); ++it)
            merged.insert(it.key(), it.value());
    }
    QProcessEnvironment processEnvironment;
    for (auto it = merged.cbegin(); it != merged.cend(); ++it)
        processEnvironment.insert(it.key(), it.value());

    auto *child = new ChildProcess(m_paths, this);
    m_process = child;
    connect(child, &ChildProcess::outputReceived, this, &CommandExecuting::outputReceived);
    connect(child, &ChildProcess::finished, this,
            [this, child, generation](int status) { onChildFinished(child, generation, status); });
    const Request request = std::exchange(m_request, {});
    child->start(request.program, request.arguments, request.workingDirectory, processEnvironment);
}

void CommandExecutor::onChildFinished(ChildProcess *child, quint64 generation, int status)
{
    // A process stopped before the current run began must not end that run.
    if (generation == m_generation) {
        m_isRunning = false;
        m_lastRunEndedBySignal = child->endedBySignal();
    }
    Q_EMIT terminated(status);
    if (m_process == child)
        m_process = nullptr;
    child->deleteLater();
}

void CommandExecutor::stop()
{
    if (!m_isRunning)
        return;
    if (m_loginEnvironment) {
        // Still learning the environment: nothing was launched. The run ends
        // as a stopped process would, with one status after stop() returns.
        delete m_loginEnvironment;
        m_loginEnvironment = nullptr;
        m_isRunning = false;
        m_request = {};
        QMetaObject::invokeMethod(this, [this] { Q_EMIT terminated(SIGTERM); }, Qt::QueuedConnection);
        return;
    }
    if (!m_process)
        return;
    m_process->stop();
    m_isRunning = false;
}

qint64 CommandExecutor::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void CommandExecutor::terminateAll()
{
    const QList<qint64> pids = ProcessRegistry::takeAll();
    if (pids.isEmpty())
        return;
    qCInfo(lcApp) << "Terminating" << pids.size() << "running process(es)";
    const ToolPaths paths = ToolPaths::fromEnvironment();
    for (const qint64 pid : pids) {
        ProcessTree::killProcessTree(paths, pid);
        ProcessTree::signalGroup(pid, SIGTERM);
        if (pid > 1)
            ::kill(pid_t(pid), SIGTERM);
    }
    QElapsedTimer grace;
    grace.start();
    const auto anyGroupLeft = [&pids] {
        return std::any_of(pids.cbegin(), pids.cend(), [](qint64 pid) { return ProcessTree::groupExists(pid); });
    };
    while (grace.elapsed() < ProcessTree::kKillGrace.count() && anyGroupLeft())
        QThread::msleep(10);
    for (const qint64 pid : pids)
        ProcessTree::signalGroup(pid, SIGKILL);
}

QList<qint64> CommandExecutor::activeProcesses()
{
    return ProcessRegistry::processIds();
}
