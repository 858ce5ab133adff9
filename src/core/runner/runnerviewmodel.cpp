#include "runnerviewmodel.h"

#include "backgroundtask.h"
#include "consolelines.h"
#include "devices/devicedetecting.h"
#include "process/commandexecuting.h"
#include "reports/reportmanaging.h"
#include "settings/appevents.h"
#include "settings/logging.h"
#include "workspace/envfileparser.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kOutputBatchMs = 100;
// A flood goes out before its window ends once this much has gathered, so
// that no single turn of the event loop handles tens of thousands of lines.
constexpr qsizetype kOutputBatchFlushChars = 64 * 1024;

} // namespace

RunnerViewModel::RunnerViewModel(std::shared_ptr<DeviceDetecting> deviceDetector, CommandExecuting *executor,
    std::shared_ptr<ReportManaging> reportManager, QObject *parent)
    : QObject(parent)
    , m_deviceDetector(std::move(deviceDetector))
    , m_executor(executor)
    , m_reportManager(std::move(reportManager))
    , m_settingsProvider(&RunnerSettings::fromStore)
{
    Q_ASSERT(m_deviceDetector && m_executor && m_reportManager);

    // The runner's output is cut into lines in 100 ms batches rather than per
    // chunk, which keeps the console's updates few however chatty it is.
    m_outputBatchTimer.setSingleShot(true);
    m_outputBatchTimer.setInterval(kOutputBatchMs);
    connect(&m_outputBatchTimer, &QTimer::timeout, this, &RunnerViewModel::flushOutputBatch);
    connect(m_executor, &CommandExecuting::outputReceived, this, &RunnerViewModel::onOutputChunk);
    connect(m_executor, &CommandExecuting::terminated, this, &RunnerViewModel::onExecutorTerminated);
    connect(AppEvents::instance(), &AppEvents::reportsDeleted, this, &RunnerViewModel::reconcileReportButton);

    refreshDevices();
}

RunnerViewModel::~RunnerViewModel() = default;

void RunnerViewModel::setSettingsProvider(SettingsProvider provider)
{
    m_settingsProvider = std::move(provider);
}

QString RunnerViewModel::workspacePath() const
{
    return m_workspaceURL.isEmpty() ? QString() : m_workspaceURL.toLocalFile();
}

// ---- derived values

bool RunnerViewModel::selectedDeviceIsSimulator() const
{
    for (const DeviceInfo &device : m_devices) {
        if (device.id == m_selectedDeviceId)
            return device.isSimulator;
    }
    return false;
}

std::optional<QString> RunnerViewModel::selectedDeviceName() const
{
    for (const DeviceInfo &device : m_devices) {
        if (device.id == m_selectedDeviceId)
            return device.name;
    }
    return std::nullopt;
}

QString RunnerViewModel::targetEnvironmentName() const
{
    const QString app = m_selectedAppId.toLower();
    if (app.endsWith(QLatin1String(".sit")))
        return QStringLiteral("SIT");
    if (app.endsWith(QLatin1String(".uat")))
        return QStringLiteral("UAT");
    if (app.endsWith(QLatin1String(".preprod")))
        return QStringLiteral("PREPROD");
    return QStringLiteral("CUSTOM");
}

// ---- setters

void RunnerViewModel::setDevices(const DeviceList &devices)
{
    if (m_devices == devices)
        return;
    m_devices = devices;
    Q_EMIT devicesChanged();
    Q_EMIT selectedDeviceChanged();
}

void RunnerViewModel::setSelectedDeviceId(const QString &id)
{
    if (m_selectedDeviceId != id) {
        m_selectedDeviceId = id;
        Q_EMIT selectedDeviceIdChanged();
        Q_EMIT selectedDeviceChanged();
    }
    onDeviceSelected();
}

void RunnerViewModel::setIsRefreshingDevices(bool value)
{
    if (m_isRefreshingDevices == value)
        return;
    m_isRefreshingDevices = value;
    Q_EMIT isRefreshingDevicesChanged();
}

void RunnerViewModel::setIsRefreshingApps(bool value)
{
    if (m_isRefreshingApps == value)
        return;
    m_isRefreshingApps = value;
    Q_EMIT isRefreshingAppsChanged();
}

void RunnerViewModel::setApps(const QStringList &apps)
{
    if (m_apps == apps)
        return;
    m_apps = apps;
    Q_EMIT appsChanged();
}

void RunnerViewModel::setSelectedAppId(const QString &id)
{
    if (m_selectedAppId == id)
        return;
    m_selectedAppId = id;
    Q_EMIT selectedAppIdChanged();
}

void RunnerViewModel::setWorkspaceURL(const QUrl &url)
{
    if (m_workspaceURL == url)
        return;
    m_workspaceURL = url;
    Q_EMIT workspaceURLChanged();
}

void RunnerViewModel::setFileTree(const FileNodeList &tree)
{
    // Every build gives new ids, so a rebuilt tree always counts as a change.
    m_fileTree = tree;
    Q_EMIT fileTreeChanged();
}

void RunnerViewModel::setSelectedFlowRelativePath(const QString &path)
{
    if (m_selectedFlowRelativePath == path)
        return;
    m_selectedFlowRelativePath = path;
    Q_EMIT selectedFlowRelativePathChanged();
}

void RunnerViewModel::setSelectedEnvRelativePath(const QString &path)
{
    if (m_selectedEnvRelativePath == path)
        return;
    m_selectedEnvRelativePath = path;
    Q_EMIT selectedEnvRelativePathChanged();
}

void RunnerViewModel::setCustomEnvVars(const EnvVarList &vars)
{
    if (m_customEnvVars == vars)
        return;
    m_customEnvVars = vars;
    Q_EMIT customEnvVarsChanged();
}

void RunnerViewModel::setCustomEnvVarValue(int index, const QString &value)
{
    if (index < 0 || index >= m_customEnvVars.size() || m_customEnvVars.at(index).value == value)
        return;
    m_customEnvVars[index].value = value;
    Q_EMIT customEnvVarsChanged();
}

void RunnerViewModel::setPreviewURLItem(const IdentifiableUrl &item)
{
    if (m_previewURLItem == item)
        return;
    m_previewURLItem = item;
    Q_EMIT previewURLItemChanged();
}

void RunnerViewModel::setConsoleLogs(const QStringList &logs)
{
    if (m_consoleLogs == logs)
        return;
    m_consoleLogs = logs;
    Q_EMIT consoleLogsChanged();
}

void RunnerViewModel::setRunMode(RunMode mode)
{
    if (m_runMode == mode)
        return;
    m_runMode = mode;
    Q_EMIT runModeChanged();
}

void RunnerViewModel::setNetworkHits(const NetworkHitList &hits)
{
    if (m_networkHits == hits)
        return;
    m_networkHits = hits;
    Q_EMIT networkHitsChanged();
}

void RunnerViewModel::setIsRunning(bool value)
{
    if (m_isRunning == value)
        return;
    m_isRunning = value;
    Q_EMIT isRunningChanged();
}

void RunnerViewModel::setShowReportButton(bool value)
{
    if (m_showReportButton == value)
        return;
    m_showReportButton = value;
    Q_EMIT showReportButtonChanged();
}

void RunnerViewModel::setCurrentEvidencePath(const QString &path)
{
    if (m_currentEvidencePath == path)
        return;
    m_currentEvidencePath = path;
    Q_EMIT currentEvidencePathChanged();
}

// ---- devices and apps

void RunnerViewModel::refreshDevices()
{
    setIsRefreshingDevices(true);
    BackgroundTask::start([detector = m_deviceDetector, self = QPointer(this)] {
        const DeviceScan scan = detector->scanDevices();
        BackgroundTask::postToMain(self, [scan](RunnerViewModel *vm) { vm->applyDevices(scan); });
    });
}

QString RunnerViewModel::offlineDevicesHint(const DeviceList &offline)
{
    QStringList names;
    for (const DeviceInfo &device : offline)
        names.append(device.name);
    if (names.isEmpty())
        return {};
    const QString last = names.takeLast();
    const QString who = names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    return QStringLiteral("⚠️ %1 %2 connected but offline: unlock it, trust this Mac and keep the cable in, then refresh.\n")
        .arg(who, names.isEmpty() ? QStringLiteral("is") : QStringLiteral("are"));
}

void RunnerViewModel::applyDevices(const DeviceScan &scan)
{
    const DeviceList &devices = scan.devices;
    // Without a usable device the picker is empty; say why when the tool
    // sees the phone but cannot use it yet.
    if (devices.isEmpty() && !scan.offline.isEmpty())
        processOutput(offlineDevicesHint(scan.offline));
    setDevices(devices);
    const bool selectionListed = std::any_of(
        devices.cbegin(), devices.cend(), [this](const DeviceInfo &device) { return device.id == m_selectedDeviceId; });
    if (!selectionListed) {
        if (!devices.isEmpty()) {
            setSelectedDeviceId(devices.constFirst().id);
        } else {
            setSelectedDeviceId(QString());
            setSelectedAppId(QString());
            setApps({});
        }
    }
    setIsRefreshingDevices(false);
}

void RunnerViewModel::onDeviceSelected()
{
    if (!m_selectedDeviceId.isEmpty())
        refreshApps();
}

void RunnerViewModel::refreshApps()
{
    if (m_selectedDeviceId.isEmpty()) {
        setApps({});
        setSelectedAppId(QString());
        return;
    }
    setIsRefreshingApps(true);
    const auto listed = std::find_if(m_devices.cbegin(), m_devices.cend(),
        [this](const DeviceInfo &device) { return device.id == m_selectedDeviceId; });
    const DeviceInfo device = listed != m_devices.cend() ? *listed : DeviceInfo { m_selectedDeviceId, {}, false };
    BackgroundTask::start([detector = m_deviceDetector, device, self = QPointer(this)] {
        const QStringList apps = detector->listApps(device);
        BackgroundTask::postToMain(self, [apps](RunnerViewModel *vm) { vm->applyApps(apps); });
    });
}

void RunnerViewModel::applyApps(const QStringList &apps)
{
    setApps(apps);
    if (!apps.contains(m_selectedAppId))
        setSelectedAppId(apps.value(0));
    setIsRefreshingApps(false);
}

// ---- workspace

void RunnerViewModel::selectWorkspace(const QString &path)
{
    if (path.isEmpty())
        return;
    setWorkspaceURL(QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(path).absoluteFilePath())));
    setSelectedFlowRelativePath(QString());
    setSelectedEnvRelativePath(QString());
    loadEnvironmentFile();
    processOutput(QStringLiteral("Selected workspace: ") + workspacePath() + u'\n');
    reloadWorkspace();
}

void RunnerViewModel::reloadWorkspace()
{
    if (m_workspaceURL.isEmpty())
        return;
    const quint64 generation = ++m_workspaceGeneration;
    BackgroundTask::start([path = workspacePath(), generation, self = QPointer(this)] {
        const std::optional<FileNode> root = WorkspaceFiles::buildFileNode(path);
        const FileNodeList children = root ? root->children : FileNodeList {};
        BackgroundTask::postToMain(self, [children, generation](RunnerViewModel *vm) {
            if (generation == vm->m_workspaceGeneration)
                vm->setFileTree(children);
        });
    });
}

void RunnerViewModel::toggleFileSelection(const FileNode &node)
{
    if (m_isRunning)
        return;
    const QString rel = WorkspaceFiles::workspaceRelativePath(workspacePath(), node);
    if (WorkspaceFiles::isEnvironmentFileName(node.name)) {
        if (m_selectedEnvRelativePath == rel) {
            setSelectedEnvRelativePath(QString());
            loadEnvironmentFile();
            processOutput(QStringLiteral("⚙︎ Target Environment deselected\n"));
        } else {
            setSelectedEnvRelativePath(rel);
            loadEnvironmentFile();
            processOutput(QStringLiteral("⚙︎ Target Environment selected: ") + rel + u'\n');
        }
    } else if (WorkspaceFiles::isFlowFileName(node.name)) {
        if (m_selectedFlowRelativePath == rel) {
            setSelectedFlowRelativePath(QString());
            processOutput(QStringLiteral("◉ Target Flow deselected\n"));
        } else {
            setSelectedFlowRelativePath(rel);
            processOutput(QStringLiteral("◉ Target Flow selected: ") + rel + u'\n');
        }
    }
}

void RunnerViewModel::loadEnvironmentFile()
{
    const quint64 generation = ++m_environmentGeneration;
    auto apply = [generation](RunnerViewModel *vm, const EnvVarList &vars) {
        if (generation == vm->m_environmentGeneration)
            vm->setCustomEnvVars(vars);
    };
    if (m_workspaceURL.isEmpty() || m_selectedEnvRelativePath.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, apply] { apply(this, {}); }, Qt::QueuedConnection);
        return;
    }
    const QString file = QDir(workspacePath()).filePath(m_selectedEnvRelativePath);
    BackgroundTask::start([file, rel = m_selectedEnvRelativePath, generation, apply, self = QPointer(this)] {
        EnvVarList vars;
        bool readable = false;
        for (const auto &[key, value] : EnvFileParser::parseEnvFile(file, &readable))
            vars.append(EnvVar { QUuid::createUuid(), key, value });
        BackgroundTask::postToMain(self, [apply, vars, readable, rel, generation](RunnerViewModel *vm) {
            // A later selection has taken over: its own parse speaks for it.
            if (!readable && generation == vm->m_environmentGeneration)
                vm->processOutput(QStringLiteral("⚠️ Could not read ") + rel + QStringLiteral(" as UTF-8 text: no variables loaded\n"));
            apply(vm, vars);
        });
    });
}

// ---- console

bool RunnerViewModel::shouldFilterLine(const QString &line) const
{
    return ConsoleLines::shouldFilterLine(line, m_runMode);
}

QString RunnerViewModel::formatHierarchyLine(const QString &line)
{
    if (m_runMode != RunMode::Hierarchy)
        return line;
    return m_hierarchyFormatter.formatLine(line);
}

QString RunnerViewModel::consoleLine(const QString &prefix, const QString &line)
{
    return prefix + formatHierarchyLine(line) + u'\n';
}

void RunnerViewModel::processOutput(const QString &text)
{
    if (text.isEmpty())
        return;
    // Every line of one call is handled at the same moment.
    const QString prefix = ConsoleLines::timePrefix(QTime::currentTime());
    QStringList pending;
    for (const QString &line : m_lineAssembler.feed(text)) {
        if (!shouldFilterLine(line))
            pending.append(consoleLine(prefix, line));
    }
    if (pending.isEmpty())
        return;
    // Appended later from the event loop, in the order the lines were handled.
    QMetaObject::invokeMethod(
        this, [this, pending] { appendConsoleLines(pending, true); }, Qt::QueuedConnection);
}

void RunnerViewModel::flushLineBuffer()
{
    const QString line = m_lineAssembler.takePending();
    if (line.isEmpty() || shouldFilterLine(line))
        return;
    const QStringList pending { consoleLine(ConsoleLines::timePrefix(QTime::currentTime()), line) };
    QMetaObject::invokeMethod(
        this, [this, pending] { appendConsoleLines(pending, false); }, Qt::QueuedConnection);
}

void RunnerViewModel::appendConsoleLines(const QStringList &lines, bool trim)
{
    qsizetype removed = 0;
    if (trim) {
        removed = ConsoleLines::appendBounded(m_consoleLogs, lines);
    } else {
        m_consoleLogs.append(lines);
    }
    Q_EMIT consoleLinesAppended(lines);
    if (removed > 0)
        Q_EMIT consoleLinesTrimmed(removed);
    Q_EMIT consoleLogsChanged();
}

void RunnerViewModel::clearConsole()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            setConsoleLogs({});
            setNetworkHits({});
            m_lineAssembler.clear();
        },
        Qt::QueuedConnection);
}

void RunnerViewModel::onOutputChunk(const QString &chunk)
{
    m_outputBatch.append(chunk);
    m_outputBatchChars += chunk.size();
    if (m_outputBatchChars >= kOutputBatchFlushChars)
        flushOutputBatch();
    else if (!m_outputBatchTimer.isActive())
        m_outputBatchTimer.start();
}

void RunnerViewModel::flushOutputBatch()
{
    m_outputBatchTimer.stop();
    if (m_outputBatch.isEmpty())
        return;
    const QString text = m_outputBatch.join(QString());
    m_outputBatch.clear();
    m_outputBatchChars = 0;
    processOutput(text);
}

void RunnerViewModel::onExecutorTerminated(int status)
{
    // The runner's last lines are still waiting in the current batch; they
    // belong before the result message, not after it.
    flushOutputBatch();
    handleTermination(status);
}

void RunnerViewModel::reconcileReportButton()
{
    if (m_showReportButton && !QFileInfo::exists(m_currentEvidencePath))
        setShowReportButton(false);
}
