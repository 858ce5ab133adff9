#pragma once

#include "devices/deviceinfo.h"
#include "envvar.h"
#include "hierarchyformatter.h"
#include "identifiableurl.h"
#include "lineassembler.h"
#include "network/networkhit.h"
#include "process/toolcommand.h"
#include "runmode.h"
#include "runnersettings.h"
#include "workspace/filenode.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CommandExecuting;
class DeviceDetecting;
class ReportManaging;

// The run controller behind the main window (and behind kestrune-cli): device
// and app lists and selections, the workspace tree and the chosen flow and
// environment file, the run variables, the console, the captured traffic and
// the run flags, with every operation that changes them. Views observe its
// properties and call its slots; they keep none of this state themselves.
//
// Created once by the window (or the command-line front end) with its three
// services, lives on the main thread, and changes its state only there.
// Blocking work (device and app listing, tree building, env files, the
// sandbox copy) runs on pool workers that hand their results back through
// guarded main-thread tasks, so a controller that is gone is never touched.
class RunnerViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunnerViewModel)

    Q_PROPERTY(DeviceList devices READ devices NOTIFY devicesChanged)
    Q_PROPERTY(QString selectedDeviceId READ selectedDeviceId WRITE setSelectedDeviceId NOTIFY selectedDeviceIdChanged)
    Q_PROPERTY(bool isRefreshingDevices READ isRefreshingDevices NOTIFY isRefreshingDevicesChanged)
    Q_PROPERTY(bool isRefreshingApps READ isRefreshingApps NOTIFY isRefreshingAppsChanged)
    Q_PROPERTY(QStringList apps READ apps NOTIFY appsChanged)
    Q_PROPERTY(QString selectedAppId READ selectedAppId WRITE setSelectedAppId NOTIFY selectedAppIdChanged)
    Q_PROPERTY(QUrl workspaceURL READ workspaceURL NOTIFY workspaceURLChanged)
    Q_PROPERTY(FileNodeList fileTree READ fileTree NOTIFY fileTreeChanged)
    Q_PROPERTY(QString selectedFlowRelativePath READ selectedFlowRelativePath WRITE setSelectedFlowRelativePath NOTIFY
            selectedFlowRelativePathChanged)
    Q_PROPERTY(QString selectedEnvRelativePath READ selectedEnvRelativePath WRITE setSelectedEnvRelativePath NOTIFY
            selectedEnvRelativePathChanged)
    Q_PROPERTY(EnvVarList customEnvVars READ customEnvVars WRITE setCustomEnvVars NOTIFY customEnvVarsChanged)
    Q_PROPERTY(IdentifiableUrl previewURLItem READ previewURLItem WRITE setPreviewURLItem NOTIFY previewURLItemChanged)
    Q_PROPERTY(QStringList consoleLogs READ consoleLogs NOTIFY consoleLogsChanged)
    Q_PROPERTY(RunMode runMode READ runMode NOTIFY runModeChanged)
    Q_PROPERTY(NetworkHitList networkHits READ networkHits NOTIFY networkHitsChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(bool showReportButton READ showReportButton NOTIFY showReportButtonChanged)
    Q_PROPERTY(QString currentEvidencePath READ currentEvidencePath NOTIFY currentEvidencePathChanged)
    // Derived values, recomputed on every read.
    Q_PROPERTY(bool selectedDeviceIsSimulator READ selectedDeviceIsSimulator NOTIFY selectedDeviceChanged)
    Q_PROPERTY(QString selectedDeviceName READ selectedDeviceNameOrEmpty NOTIFY selectedDeviceChanged)
    Q_PROPERTY(QString targetEnvironmentName READ targetEnvironmentName NOTIFY selectedAppIdChanged)

public:
    using SettingsProvider = std::function<RunnerSettings()>;

    // The controller lists devices at once. The executor must outlive it; the
    // detector and the report manager are shared with the workers that use
    // them, so they stay alive while a worker still runs.
    RunnerViewModel(std::shared_ptr<DeviceDetecting> deviceDetector, CommandExecuting *executor,
        std::shared_ptr<ReportManaging> reportManager, QObject *parent = nullptr);
    ~RunnerViewModel() override;

    // Where the run settings come from; the settings store by default. Read
    // on the main thread whenever a run or fetch starts.
    void setSettingsProvider(SettingsProvider provider);

    // How one outside tool of the network log pull ran.
    struct ToolResult
    {
        bool started = false;
        int exitCode = -1;
        QByteArray output; // standard output
    };
    // Runs one command to completion on a pool worker; blocking is fine.
    using ToolRunner = std::function<ToolResult(const ToolCommand &)>;
    // The default: the real tool with this process's environment, killed
    // after kToolTimeout so a hung device cannot stall the capture loop.
    static ToolResult runTool(const ToolCommand &command);
    // The same with another time-out. The tool runs in a process group of
    // its own, which goes as a whole on time-out (xcrun runs devicectl as
    // its child).
    static ToolResult runToolWithin(const ToolCommand &command, std::chrono::milliseconds timeout);
    static constexpr std::chrono::milliseconds kToolTimeout { 60'000 };
    static constexpr std::chrono::milliseconds kNetworkPollInterval { 4'000 };
    // Tests swap in fakes; set before a run starts.
    void setToolRunner(ToolRunner runner);
    void setNetworkPollInterval(std::chrono::milliseconds interval);

    const DeviceList &devices() const { return m_devices; }
    const QString &selectedDeviceId() const { return m_selectedDeviceId; }
    bool isRefreshingDevices() const { return m_isRefreshingDevices; }
    bool isRefreshingApps() const { return m_isRefreshingApps; }
    const QStringList &apps() const { return m_apps; }
    const QString &selectedAppId() const { return m_selectedAppId; }
    const QUrl &workspaceURL() const { return m_workspaceURL; }
    QString workspacePath() const; // empty when no workspace is set
    const FileNodeList &fileTree() const { return m_fileTree; }
    const QString &selectedFlowRelativePath() const { return m_selectedFlowRelativePath; }
    const QString &selectedEnvRelativePath() const { return m_selectedEnvRelativePath; }
    const EnvVarList &customEnvVars() const { return m_customEnvVars; }
    const IdentifiableUrl &previewURLItem() const { return m_previewURLItem; }
    const QStringList &consoleLogs() const { return m_consoleLogs; }
    RunMode runMode() const { return m_runMode; }
    const NetworkHitList &networkHits() const { return m_networkHits; }
    bool isRunning() const { return m_isRunning; }
    bool showReportButton() const { return m_showReportButton; }
    // True while a live network log pull is in flight (and until its pause
    // has passed).
    bool isFetchingNetworkLog() const { return m_isFetchingNetworkLog.load(); }
    // True from the end of a test run until its report has been generated.
    bool isFinishingRun() const { return m_isFinishingRun; }
    const QString &currentEvidencePath() const { return m_currentEvidencePath; }
    const std::optional<QDateTime> &testStartTime() const { return m_testStartTime; }
    // The unterminated tail of the runner's output.
    const QString &currentLineBuffer() const { return m_lineAssembler.pending(); }
    const QList<HierarchyFormatter::Level> &hierarchyStack() const { return m_hierarchyFormatter.stack(); }

    bool selectedDeviceIsSimulator() const;
    std::optional<QString> selectedDeviceName() const;
    QString selectedDeviceNameOrEmpty() const { return selectedDeviceName().value_or(QString()); }
    // "SIT", "UAT", "PREPROD" or "CUSTOM", from the selected app's suffix.
    QString targetEnvironmentName() const;

    // The console line that names devices listed as offline; empty for none.
    static QString offlineDevicesHint(const DeviceList &offline);

    // Same rules as the runner's output filter and hierarchy re-indentation.
    bool shouldFilterLine(const QString &line) const;
    QString formatHierarchyLine(const QString &line);

public Q_SLOTS:
    // Writing the device runs onDeviceSelected after every write.
    void setSelectedDeviceId(const QString &id);
    void setSelectedAppId(const QString &id);
    void setSelectedFlowRelativePath(const QString &path);
    void setSelectedEnvRelativePath(const QString &path);
    void setCustomEnvVars(const EnvVarList &vars);
    // The header edits a variable's value in place; keys are fixed.
    void setCustomEnvVarValue(int index, const QString &value);
    void setPreviewURLItem(const IdentifiableUrl &item);

    void refreshDevices();
    void onDeviceSelected();
    void refreshApps();

    // Loads the workspace the user chose in the view's open panel (a folder,
    // or a single file, which shows an empty tree); resets both selections
    // and the variables.
    void selectWorkspace(const QString &path);
    void reloadWorkspace();
    void toggleFileSelection(const FileNode &node);
    void loadEnvironmentFile();

    void runTest();
    void fetchHierarchy();
    void stopRun();
    void clearConsole();

    // Cuts text into console lines; every console message goes through here.
    void processOutput(const QString &text);
    void flushLineBuffer();
    void handleTermination(int status);

    // Hides the report button when the run folder it points at is gone.
    void reconcileReportButton();
    // Opens the current run's report, or hides the button when the run
    // folder is gone.
    void openCurrentReport();
    // The live capture loop: one pull at a time while the run lasts, then a
    // last one after it has ended.
    void pollNetworkLog();

Q_SIGNALS:
    void devicesChanged();
    void selectedDeviceIdChanged();
    void selectedDeviceChanged();
    void isRefreshingDevicesChanged();
    void isRefreshingAppsChanged();
    void appsChanged();
    void selectedAppIdChanged();
    void workspaceURLChanged();
    void fileTreeChanged();
    void selectedFlowRelativePathChanged();
    void selectedEnvRelativePathChanged();
    void customEnvVarsChanged();
    void previewURLItemChanged();
    void consoleLogsChanged();
    // Finer-grained console news for list models and the command line:
    // lines appended at the end, then lines dropped from the front.
    void consoleLinesAppended(const QStringList &lines);
    void consoleLinesTrimmed(qsizetype count);
    void runModeChanged();
    void networkHitsChanged();
    void isRunningChanged();
    void showReportButtonChanged();
    void currentEvidencePathChanged();
    // The runner's exit has been handled and its result written (after
    // isRunning went false). Not sent when a run ends before its runner
    // starts (a missing runner, a sandbox that cannot be created).
    void runEnded(RunMode mode, int status);
    // The report of the test run that ended has been generated and the
    // button shown (after "✅ Report Generated.").
    void reportGenerated();

private:
    void setDevices(const DeviceList &devices);
    void setIsRefreshingDevices(bool value);
    void setIsRefreshingApps(bool value);
    void setApps(const QStringList &apps);
    void setWorkspaceURL(const QUrl &url);
    void setFileTree(const FileNodeList &tree);
    void setConsoleLogs(const QStringList &logs);
    void setRunMode(RunMode mode);
    void setNetworkHits(const NetworkHitList &hits);
    void setIsRunning(bool value);
    void setShowReportButton(bool value);
    void setCurrentEvidencePath(const QString &path);

    void applyDevices(const DeviceScan &scan);
    void applyApps(const QStringList &apps);
    void appendConsoleLines(const QStringList &lines, bool trim);
    void onOutputChunk(const QString &chunk);
    void flushOutputBatch();
    void onExecutorTerminated(int status);
    void prepareSandbox(const QString &evidencePath);
    void launchRunner(const QString &sandboxPath, const QString &evidencePath);
    void startRunner(
        const ToolCommand &command, const QString &workingDirectory, const std::optional<QMap<QString, QString>> &environment);
    QString consoleLine(const QString &prefix, const QString &line);

    // What one network log pull needs, read on the main thread when the pull
    // is scheduled so the worker never reads the controller.
    struct NetworkPull
    {
        QString deviceId;
        QString appId;
        QString evidencePath;
        bool simulator = false;
        std::optional<QDateTime> since;
        quint64 generation = 0;
    };
    NetworkPull networkPull() const;
    void scheduleNextPoll(quint64 generation);
    static void pullLiveNetworkLog(const NetworkPull &pull, const ToolRunner &runTool, const QPointer<RunnerViewModel> &self);
    void finishRun();
    static void copyFinalNetworkLog(const NetworkPull &pull, const ToolRunner &runTool, const QPointer<RunnerViewModel> &self);
    void handOffReport(const NetworkPull &pull);

    DeviceList m_devices;
    QString m_selectedDeviceId;
    bool m_isRefreshingDevices = false;
    bool m_isRefreshingApps = false;
    QStringList m_apps;
    QString m_selectedAppId;
    QUrl m_workspaceURL;
    FileNodeList m_fileTree;
    QString m_selectedFlowRelativePath;
    QString m_selectedEnvRelativePath;
    EnvVarList m_customEnvVars;
    IdentifiableUrl m_previewURLItem;
    QStringList m_consoleLogs;
    RunMode m_runMode = RunMode::Test;
    NetworkHitList m_networkHits;
    std::optional<QDateTime> m_testStartTime;
    bool m_isRunning = false;
    bool m_showReportButton = false;
    QString m_currentEvidencePath;

    std::shared_ptr<DeviceDetecting> m_deviceDetector;
    CommandExecuting *m_executor;
    std::shared_ptr<ReportManaging> m_reportManager;
    SettingsProvider m_settingsProvider;

    LineAssembler m_lineAssembler;
    HierarchyFormatter m_hierarchyFormatter;
    // Output chunks of the current 100 ms window.
    QStringList m_outputBatch;
    qsizetype m_outputBatchChars = 0;
    QTimer m_outputBatchTimer;
    // Only the newest request of each kind may apply its result, so a slow
    // earlier parse or tree build cannot overwrite a later one.
    quint64 m_workspaceGeneration = 0;
    quint64 m_environmentGeneration = 0;
    // A stop pressed while the sandbox is still being copied stops the runner
    // as soon as it has been started.
    bool m_stopRequested = false;
    // The user stopped the current run or fetch: its end is never reported
    // as a success, whatever status the runner exits with.
    bool m_wasStopped = false;

    ToolRunner m_toolRunner = &RunnerViewModel::runTool;
    std::chrono::milliseconds m_networkPollInterval = kNetworkPollInterval;
    // Read by tests and views on the main thread while workers finish; set
    // and cleared on the main thread only.
    std::atomic<bool> m_isFetchingNetworkLog { false };
    // Each run's capture loop has its own number; a loop or pull of an
    // earlier run stops or is dropped once a new run has started.
    quint64 m_networkGeneration = 0;
    bool m_isFinishingRun = false;
};
