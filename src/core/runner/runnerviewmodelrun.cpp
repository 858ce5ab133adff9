// RunnerViewModel, second half: starting, stopping and ending a test run or a
// hierarchy fetch. The state, device and workspace operations and the console
// are in runnerviewmodel.cpp.

#include "runnerviewmodel.h"

#include "backgroundtask.h"
#include "process/commandexecuting.h"
#include "process/toolcommands.h"
#include "runfolder.h"
#include "sandboxcopier.h"
#include "settings/logging.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

// Traffic from shortly before the start still belongs to the run.
constexpr int kNetworkLeadSeconds = 5;

std::optional<QString> createFolder(const QString &path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return QString::fromLocal8Bit(error.message());
    return std::nullopt;
}

QString runnerMissingMessage(const QString &runnerPath)
{
    return QStringLiteral("⚠️ ERROR: maestro-runner binary not found at ") + runnerPath + QStringLiteral("!\n");
}

} // namespace

void RunnerViewModel::runTest()
{
    if (m_workspaceURL.isEmpty()) {
        processOutput(QStringLiteral("⚠️ Please select a workspace first.\n"));
        return;
    }
    if (m_selectedFlowRelativePath.isEmpty()) {
        processOutput(QStringLiteral("⚠️ Please select a Target Flow (.yaml).\n"));
        return;
    }
    if (m_selectedDeviceId.isEmpty()) {
        processOutput(QStringLiteral("⚠️ Please select a Device.\n"));
        return;
    }
    if (m_selectedAppId.isEmpty()) {
        processOutput(QStringLiteral("⚠️ Please enter or select a Target App (Bundle ID).\n"));
        return;
    }
    const QString flowPath = QDir(workspacePath()).filePath(m_selectedFlowRelativePath);
    if (!QFileInfo::exists(flowPath)) {
        processOutput(QStringLiteral("❌ File missing: ") + flowPath + QStringLiteral("\nPlease refresh workspace.\n"));
        setIsRunning(false);
        return;
    }

    const RunnerSettings settings = m_settingsProvider();
    const QDateTime start = QDateTime::currentDateTime();
    const QString evidencePath
        = RunFolder::claim(RunFolder::outputDirectory(settings.reportsOutputDirectory), targetEnvironmentName(), start);

    setCurrentEvidencePath(evidencePath);
    setShowReportButton(false);
    setConsoleLogs({});
    setNetworkHits({});
    processOutput(QStringLiteral("🚀 Starting Maestro Test in Sandbox...\n"));
    processOutput(QStringLiteral("📁 Target Flow: ") + m_selectedFlowRelativePath + u'\n');
    setRunMode(RunMode::Test);
    setIsRunning(true);
    m_stopRequested = false;
    m_wasStopped = false;
    m_testStartTime = start.addSecs(-kNetworkLeadSeconds);
    // A new capture loop; the previous run's loop and pulls stand down.
    ++m_networkGeneration;
    m_isFetchingNetworkLog = false;
    pollNetworkLog();
    prepareSandbox(evidencePath);
}

void RunnerViewModel::prepareSandbox(const QString &evidencePath)
{
    const QString sandboxPath = QDir(evidencePath).filePath(QStringLiteral("sandbox"));
    BackgroundTask::start([workspace = workspacePath(), sandboxPath, evidencePath, self = QPointer(this)] {
        if (const auto error = createFolder(sandboxPath)) {
            BackgroundTask::postToMain(self, [error](RunnerViewModel *vm) {
                vm->processOutput(QStringLiteral("❌ Sandbox creation failed: ") + *error + u'\n');
                vm->setIsRunning(false);
            });
            return;
        }
        SandboxCopier copier(
            WorkspaceFiles::blacklist(),
            [self](const QString &name) {
                BackgroundTask::postToMain(self, [name](RunnerViewModel *vm) {
                    vm->processOutput(QStringLiteral("⚠️ Skipped symbolic link: ") + name + u'\n');
                });
            },
            [self](const QString &path) {
                BackgroundTask::postToMain(self, [path](RunnerViewModel *vm) {
                    vm->processOutput(QStringLiteral("⚠️ Skipped large file (over 50 MB): ") + path + u'\n');
                });
            });
        // The run folders live in the output folder, which may lie inside
        // the workspace.
        copier.leaveOut(QFileInfo(evidencePath).absolutePath());
        copier.copyWorkspaceItem(workspace, sandboxPath);
        // A full disk or an unreadable file leaves the sandbox incomplete;
        // the run goes on (the flow may not need what is missing), but the
        // console says so instead of the diagnostic log alone.
        if (copier.failedItems() > 0) {
            BackgroundTask::postToMain(self, [count = copier.failedItems(), first = copier.firstFailure()](RunnerViewModel *vm) {
                vm->processOutput(QStringLiteral("⚠️ Sandbox incomplete: %1 item(s) could not be copied. First: %2\n")
                                      .arg(count)
                                      .arg(first));
            });
        }
        qCInfo(lcRunner, "Sandbox ready: %d files copied to %s", copier.copiedFiles(), qPrintable(sandboxPath));
        BackgroundTask::postToMain(
            self, [sandboxPath, evidencePath](RunnerViewModel *vm) { vm->launchRunner(sandboxPath, evidencePath); });
    });
}

void RunnerViewModel::launchRunner(const QString &sandboxPath, const QString &evidencePath)
{
    const RunnerSettings settings = m_settingsProvider();
    const QMap<QString, QString> environment {
        { QStringLiteral("APP_ENV"), targetEnvironmentName() },
        { QStringLiteral("BUNDLE_ID"), m_selectedAppId },
        { QStringLiteral("MAESTRO_APPLE_TEAM_ID"), settings.appleTeamId },
        { QStringLiteral("VESK_APPLE_TEAM_ID"), settings.appleTeamId },
    };
    m_executor->terminateAllProcesses();

    const QString runnerPath = settings.expandedRunnerPath();
    if (!QFileInfo::exists(runnerPath)) {
        processOutput(runnerMissingMessage(runnerPath));
        setIsRunning(false);
        return;
    }

    ToolCommands::TestRun run;
    run.runnerPath = runnerPath;
    run.teamId = settings.appleTeamId;
    run.deviceId = m_selectedDeviceId;
    run.bundleId = m_selectedAppId;
    for (const EnvVar &var : std::as_const(m_customEnvVars))
        run.variables.append({ var.key, var.value });
    run.outputFolder = evidencePath;
    run.flowFile = QDir(sandboxPath).filePath(m_selectedFlowRelativePath);
    startRunner(ToolCommands().runnerTestRun(run), evidencePath, environment);
}

void RunnerViewModel::startRunner(
    const ToolCommand &command, const QString &workingDirectory, const std::optional<QMap<QString, QString>> &environment)
{
    m_executor->run(command.program, command.arguments, workingDirectory, environment);
    if (m_stopRequested) {
        m_stopRequested = false;
        m_executor->stop();
    }
}

void RunnerViewModel::fetchHierarchy()
{
    if (m_selectedDeviceId.isEmpty()) {
        processOutput(QStringLiteral("⚠️ Please select a Device.\n"));
        return;
    }
    setShowReportButton(false);
    setConsoleLogs({});
    m_hierarchyFormatter.reset();
    processOutput(QStringLiteral("🚀 Fetching UI Hierarchy...\n"));
    setRunMode(RunMode::Hierarchy);
    setIsRunning(true);
    m_stopRequested = false;
    m_wasStopped = false;

    // Settings and the device are read here and handed over as copies.
    BackgroundTask::start([settings = m_settingsProvider(), deviceId = m_selectedDeviceId, self = QPointer(this)] {
        const QString runnerPath = settings.expandedRunnerPath();
        if (!QFileInfo::exists(runnerPath)) {
            BackgroundTask::postToMain(self, [runnerPath](RunnerViewModel *vm) {
                vm->m_executor->terminateAllProcesses();
                vm->processOutput(runnerMissingMessage(runnerPath));
                vm->setIsRunning(false);
            });
            return;
        }
        const ToolCommand command = ToolCommands().runnerHierarchy(runnerPath, settings.appleTeamId, deviceId);
        BackgroundTask::postToMain(self, [command](RunnerViewModel *vm) {
            // The registry belongs to the main thread's executor, so the
            // clean-up runs here rather than on the worker.
            vm->m_executor->terminateAllProcesses();
            vm->startRunner(command, QDir::homePath(), QMap<QString, QString> {});
        });
    });
}

void RunnerViewModel::stopRun()
{
    processOutput(m_runMode == RunMode::Hierarchy ? QStringLiteral("\n🛑 STOPPING FETCH...\n")
                                                  : QStringLiteral("\n🛑 STOPPING TEST...\n"));
    // While the sandbox is still being copied there is no process yet; the
    // runner is stopped the moment it has been started.
    if (m_isRunning && !m_executor->isRunning())
        m_stopRequested = true;
    if (m_isRunning)
        m_wasStopped = true;
    m_executor->stop();
}

void RunnerViewModel::handleTermination(int status)
{
    setIsRunning(false);
    m_stopRequested = false;
    flushLineBuffer();
    // A runner that exits cleanly once its children are gone must not have
    // a stopped run announced as a success.
    const bool failed = status != 0 || std::exchange(m_wasStopped, false);
    if (m_runMode == RunMode::Test) {
        if (failed) {
            processOutput(
                QStringLiteral("\n❌ Test Failed or Terminated (Exit code: ") + QString::number(status) + QStringLiteral(")\n"));
        } else {
            processOutput(QStringLiteral("\n✅ Test Completed Successfully!\n"));
        }
        flushLineBuffer();
        processOutput(QStringLiteral("📡 Pulling Network Logs...\n"));
        finishRun();
    } else {
        if (failed) {
            processOutput(QStringLiteral("\n❌ Failed to Fetch UI Hierarchy (Exit code: ") + QString::number(status)
                + QStringLiteral(")\n"));
        } else {
            processOutput(QStringLiteral("\n✅ UI Hierarchy Fetched Successfully!\n"));
        }
        flushLineBuffer();
    }
    Q_EMIT runEnded(m_runMode, status);
}
