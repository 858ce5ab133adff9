// RunnerViewModel, third part: the app's Netfox log copied off the device
// while a test run lasts and once more after it, and the hand-off of the
// finished run folder to report generation.

#include "runnerviewmodel.h"

#include "backgroundtask.h"
#include "devices/oneshotprocess.h"
#include "network/netfoxparser.h"
#include "process/toolcommands.h"
#include "reports/reportmanaging.h"
#include "settings/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTimer>

namespace {

const QString kLiveLogName = QStringLiteral("live_network_log.txt");
const QString kFinalLogName = QStringLiteral("network_log.txt");

bool succeeded(const RunnerViewModel::ToolResult &result)
{
    return result.started && result.exitCode == 0;
}

// The copying tools write through a symbolic link found at their
// destination, so one planted in the run folder would have them overwrite
// whatever it points to: the link goes first. False when something that is
// no regular file (a folder) cannot be taken away.
bool clearDestination(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink() && (!info.exists() || info.isFile()))
        return true;
    return QFile::remove(path);
}

} // namespace

RunnerViewModel::ToolResult RunnerViewModel::runTool(const ToolCommand &command)
{
    return runToolWithin(command, kToolTimeout);
}

RunnerViewModel::ToolResult RunnerViewModel::runToolWithin(const ToolCommand &command, std::chrono::milliseconds timeout)
{
    // In a process group of its own, killed as a whole on time-out: killing
    // xcrun alone would leave a hung devicectl behind, one more for every
    // pull while the device is gone.
    OneShotProcess::Completion completion = OneShotProcess::complete(command.program, command.arguments,
        QProcessEnvironment::systemEnvironment(), int(timeout.count()), /*forwardErrors=*/false);
    return { completion.started, completion.exitCode, std::move(completion.output) };
}

void RunnerViewModel::setToolRunner(ToolRunner runner)
{
    m_toolRunner = std::move(runner);
}

void RunnerViewModel::setNetworkPollInterval(std::chrono::milliseconds interval)
{
    m_networkPollInterval = interval;
}

RunnerViewModel::NetworkPull RunnerViewModel::networkPull() const
{
    return NetworkPull { m_selectedDeviceId, m_selectedAppId, m_currentEvidencePath, selectedDeviceIsSimulator(), m_testStartTime,
        m_networkGeneration };
}

void RunnerViewModel::pollNetworkLog()
{
    const NetworkPull pull = networkPull();
    if (!m_isRunning) {
        // The last pull of the loop; off the main thread like every other.
        m_isFetchingNetworkLog = true;
        BackgroundTask::start(
            [pull, runTool = m_toolRunner, self = QPointer(this)] {
                pullLiveNetworkLog(pull, runTool, self);
                BackgroundTask::postToMain(self, [generation = pull.generation](RunnerViewModel *vm) {
                    if (generation == vm->m_networkGeneration)
                        vm->m_isFetchingNetworkLog = false;
                });
            },
            BackgroundTask::kBackground);
        return;
    }
    if (m_isFetchingNetworkLog) {
        QTimer::singleShot(m_networkPollInterval, this, [this, generation = pull.generation] {
            if (generation == m_networkGeneration)
                pollNetworkLog();
        });
        return;
    }
    m_isFetchingNetworkLog = true;
    BackgroundTask::start(
        [pull, runTool = m_toolRunner, self = QPointer(this)] {
            pullLiveNetworkLog(pull, runTool, self);
            BackgroundTask::postToMain(
                self, [generation = pull.generation](RunnerViewModel *vm) { vm->scheduleNextPoll(generation); });
        },
        BackgroundTask::kBackground);
}

void RunnerViewModel::scheduleNextPoll(quint64 generation)
{
    // The pause runs on the main thread's timer: the next pull then reads
    // the selection as it is at that moment.
    QTimer::singleShot(m_networkPollInterval, this, [this, generation] {
        if (generation != m_networkGeneration)
            return; // a newer run has a loop of its own
        m_isFetchingNetworkLog = false;
        pollNetworkLog();
    });
}

void RunnerViewModel::pullLiveNetworkLog(
    const NetworkPull &pull, const ToolRunner &runTool, const QPointer<RunnerViewModel> &self)
{
    if (pull.simulator)
        return;
    if (pull.evidencePath.isEmpty() || pull.deviceId.isEmpty() || pull.appId.isEmpty())
        return;
    const QString destination = QDir(pull.evidencePath).filePath(kLiveLogName);
    if (!clearDestination(destination))
        return;
    const ToolCommand copy = ToolCommands().devicectlCopyFrom(
        pull.deviceId, pull.appId, QString::fromLatin1(ToolCommands::kNetfoxLogInContainer), destination);
    if (!succeeded(runTool(copy)))
        return;
    NetworkHitList hits = Netfox::parseNetworkLog(destination, pull.since);
    BackgroundTask::postToMain(self, [hits = std::move(hits), generation = pull.generation](RunnerViewModel *vm) {
        // A pull of an earlier run must not fill the new run's list.
        if (generation == vm->m_networkGeneration)
            vm->setNetworkHits(hits);
    });
}

void RunnerViewModel::finishRun()
{
    m_isFinishingRun = true;
    BackgroundTask::start(
        [pull = networkPull(), runTool = m_toolRunner, self = QPointer(this)] {
            copyFinalNetworkLog(pull, runTool, self);
            BackgroundTask::postToMain(self, [pull](RunnerViewModel *vm) { vm->handOffReport(pull); });
        },
        BackgroundTask::kUserInitiated);
}

void RunnerViewModel::copyFinalNetworkLog(
    const NetworkPull &pull, const ToolRunner &runTool, const QPointer<RunnerViewModel> &self)
{
    const auto post = [&self](const QString &message) {
        BackgroundTask::postToMain(self, [message](RunnerViewModel *vm) { vm->processOutput(message); });
    };
    const QString failed = QStringLiteral("⚠️ Network log (NFX) not found or failed to pull.\n");
    const QString destination = QDir(pull.evidencePath).filePath(kFinalLogName);
    const QString source = QString::fromLatin1(ToolCommands::kNetfoxLogInContainer);
    const ToolCommands commands;
    if (!clearDestination(destination)) {
        post(failed);
        return;
    }

    if (!pull.simulator) {
        if (!succeeded(runTool(commands.devicectlCopyFrom(pull.deviceId, pull.appId, source, destination))))
            post(failed);
        return;
    }
    const ToolResult container = runTool(commands.simctlAppDataContainer(pull.deviceId, pull.appId));
    const QString containerPath = QString::fromUtf8(container.output).trimmed();
    if (containerPath.isEmpty() || !succeeded(container)) {
        post(QStringLiteral("⚠️ Network log (NFX) not found or failed to pull (container not found).\n"));
        return;
    }
    if (!succeeded(runTool(commands.copyFile(QDir(containerPath).filePath(source), destination))))
        post(failed);
}

void RunnerViewModel::handOffReport(const NetworkPull &pull)
{
    processOutput(QStringLiteral("⏳ Generating HTML Report...\n"));
    m_reportManager->generateReport(
        pull.evidencePath, pull.since, [self = QPointer(this)](bool generated, const QString &reason) {
            RunnerViewModel *vm = self.data();
            if (!vm)
                return;
            if (generated) {
                vm->processOutput(QStringLiteral("✅ Report Generated.\n"));
                vm->setShowReportButton(true);
            } else {
                // The button would open a page that is not there or is stale.
                vm->processOutput(QStringLiteral("⚠️ Report not generated: ") + reason + QLatin1Char('\n'));
            }
            vm->m_isFinishingRun = false;
            Q_EMIT vm->reportGenerated();
        });
}

void RunnerViewModel::openCurrentReport()
{
    if (!m_currentEvidencePath.isEmpty() && QFileInfo::exists(m_currentEvidencePath))
        m_reportManager->openReport(m_currentEvidencePath);
    else
        setShowReportButton(false);
}
