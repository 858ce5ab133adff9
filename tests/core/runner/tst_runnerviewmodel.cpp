#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"
#include "settings/appevents.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

class TestRunnerViewModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void constructionSelectsFirstDeviceAndApp();
    void refreshKeepsListedSelection();
    void refreshReplacesVanishedSelection();
    void emptyDeviceListClearsSelection();
    void typedAppReplacedOnNextListing_data();
    void typedAppReplacedOnNextListing();
    void derivedDeviceValues();
    void targetEnvironmentName_data();
    void targetEnvironmentName();
    void controllerGoneBeforeWorkerEnds();

    void selectWorkspaceLoadsTree();
    void toggleFileSelection_data();
    void toggleFileSelection();
    void togglesIgnoredWhileRunning();
    void staleEnvironmentParseDoesNotWin();

    void preconditions_data();
    void preconditions();
    void runPreparesSandboxAndLaunches();
    void runnerMissing();
    void sandboxNotCreatable();
    void outputAssembledAcrossBatches();
    void consoleLimitThroughController();
    void terminationMessages_data();
    void terminationMessages();
    void stopDuringRun();
    void stopWhilePreparingStopsRunnerOnStart();
    void clearConsole();

    void hierarchyWithoutDevice();
    void hierarchyFetch();

private:
    void makeViewModel();
    // Console texts without the "[HH:mm:ss] " prefix and the line break.
    QStringList texts() const;
    void waitIdle();
    void selectReadyRun();
    QString makeRunner();

    QTemporaryDir m_dir;
    std::shared_ptr<FakeDeviceDetector> m_detector;
    std::unique_ptr<FakeCommandExecutor> m_executor;
    std::shared_ptr<FakeReportManager> m_reports;
    std::unique_ptr<RunnerViewModel> m_vm;
    RunnerSettings m_settings;
    QString m_workspace;
};

namespace {

DeviceInfo phone(const char *id, const char *name = "Phone", bool simulator = false)
{
    return DeviceInfo{QString::fromLatin1(id), QString::fromLatin1(name), simulator};
}

FileNode nodeAt(const QString &workspace, const QString &relative)
{
    FileNode node;
    node.path = workspace + u'/' + relative;
    node.name = QFileInfo(node.path).fileName();
    return node;
}

void write(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

void TestRunnerViewModel::initTestCase()
{
    qputenv("KESTRUNE_SETTINGS_FILE", m_dir.filePath(QStringLiteral("settings.ini")).toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
}

void TestRunnerViewModel::init()
{
    m_detector = std::make_shared<FakeDeviceDetector>();
    m_detector->setDevices({phone("AAAA", "Phone A"), phone("BBBB", "Phone B")});
    m_detector->setApps(QStringLiteral("AAAA"), {QStringLiteral("com.example.a"), QStringLiteral("com.example.shop.uat")});
    m_detector->setApps(QStringLiteral("BBBB"), {QStringLiteral("com.example.b")});
    m_executor = std::make_unique<FakeCommandExecutor>();
    m_reports = std::make_shared<FakeReportManager>();

    static int round = 0;
    const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++round));
    m_workspace = base + QStringLiteral("/workspace");
    write(m_workspace + QStringLiteral("/flows/login.yaml"), "appId: ${BUNDLE_ID}\n");
    write(m_workspace + QStringLiteral("/.env.uat"), "USER = \"qa\"\nPASS: secret\n");
    write(m_workspace + QStringLiteral("/env_sit.yaml"), "USER: sit\n");
    write(m_workspace + QStringLiteral("/README.md"));
    m_settings = {base + QStringLiteral("/reports"), QStringLiteral("TEAM123456"), makeRunner()};
}

void TestRunnerViewModel::cleanup()
{
    if (m_detector)
        m_detector->openGate();
    waitIdle();
    m_vm.reset();
    m_executor.reset();
}

QString TestRunnerViewModel::makeRunner()
{
    const QString path = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    if (!QFileInfo::exists(path))
        write(path, "#!/bin/sh\n");
    return path;
}

void TestRunnerViewModel::makeViewModel()
{
    m_vm = std::make_unique<RunnerViewModel>(m_detector, m_executor.get(), m_reports);
    m_vm->setSettingsProvider([this] { return m_settings; });
    waitIdle();
}

void TestRunnerViewModel::waitIdle()
{
    // Workers may post results that start further workers (device, then apps).
    for (int round = 0; round < 10; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (QThreadPool::globalInstance()->waitForDone(0) && QThreadPool::globalInstance()->activeThreadCount() == 0)
            break;
    }
    QCoreApplication::sendPostedEvents();
}

QStringList TestRunnerViewModel::texts() const
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList result;
    for (const QString &line : m_vm->consoleLogs()) {
        if (!line.contains(prefix) || !line.endsWith(u'\n'))
            return {QStringLiteral("malformed console line: ") + line};
        result << line.mid(11).chopped(1);
    }
    return result;
}

void TestRunnerViewModel::selectReadyRun()
{
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    waitIdle();
}

// ---- devices and apps

void TestRunnerViewModel::constructionSelectsFirstDeviceAndApp()
{
    makeViewModel();
    QCOMPARE(m_detector->deviceCalls.load(), 1);
    QCOMPARE(m_vm->devices().size(), 2);
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("AAAA"));
    QCOMPARE(m_vm->apps(), (QStringList{QStringLiteral("com.example.a"), QStringLiteral("com.example.shop.uat")}));
    QCOMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.a"));
    QCOMPARE(m_detector->appRequests(), QStringList{QStringLiteral("AAAA")});
    QVERIFY(!m_vm->isRefreshingDevices());
    QVERIFY(!m_vm->isRefreshingApps());
}

void TestRunnerViewModel::refreshKeepsListedSelection()
{
    makeViewModel();
    m_vm->setSelectedDeviceId(QStringLiteral("BBBB"));
    waitIdle();
    QCOMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.b"));
    const int appCalls = m_detector->appCalls;
    m_detector->setDevices({phone("CCCC"), phone("BBBB", "Phone B")});
    QSignalSpy busy(m_vm.get(), &RunnerViewModel::isRefreshingDevicesChanged);
    m_vm->refreshDevices();
    QVERIFY(m_vm->isRefreshingDevices());
    waitIdle();
    QCOMPARE(busy.count(), 2);
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("BBBB"));
    QCOMPARE(m_detector->appCalls.load(), appCalls); // apps not listed again
    QCOMPARE(m_vm->devices().first().id, QStringLiteral("CCCC"));
}

void TestRunnerViewModel::refreshReplacesVanishedSelection()
{
    makeViewModel();
    m_detector->setDevices({phone("BBBB", "Phone B")});
    m_vm->refreshDevices();
    waitIdle();
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("BBBB"));
    QCOMPARE(m_detector->appRequests(), (QStringList{QStringLiteral("AAAA"), QStringLiteral("BBBB")}));
    QCOMPARE(m_vm->apps(), QStringList{QStringLiteral("com.example.b")});
    QCOMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.b"));
}

void TestRunnerViewModel::emptyDeviceListClearsSelection()
{
    makeViewModel();
    m_detector->setDevices({});
    m_vm->refreshDevices();
    waitIdle();
    QVERIFY(m_vm->devices().isEmpty());
    QVERIFY(m_vm->selectedDeviceId().isEmpty());
    QVERIFY(m_vm->apps().isEmpty());
    QVERIFY(m_vm->selectedAppId().isEmpty());
    m_vm->refreshApps();
    QVERIFY(!m_vm->isRefreshingApps());
    QCOMPARE(m_detector->appCalls.load(), 1);
}

void TestRunnerViewModel::typedAppReplacedOnNextListing_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not installed: first app")
        << QStringList{QStringLiteral("com.x.one"), QStringLiteral("com.x.two")} << QStringLiteral("com.typed.app")
        << QStringLiteral("com.x.one");
    QTest::newRow("installed: kept") << QStringList{QStringLiteral("com.x.one"), QStringLiteral("com.x.two")}
                                     << QStringLiteral("com.x.two") << QStringLiteral("com.x.two");
    QTest::newRow("nothing installed: empty") << QStringList{} << QStringLiteral("com.typed.app") << QString();
}

void TestRunnerViewModel::typedAppReplacedOnNextListing()
{
    QFETCH(QStringList, installed);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    makeViewModel();
    m_vm->setSelectedAppId(typed);
    QCOMPARE(m_vm->selectedAppId(), typed);
    m_detector->setApps(QStringLiteral("AAAA"), installed);
    m_vm->refreshApps();
    waitIdle();
    QCOMPARE(m_vm->apps(), installed);
    QCOMPARE(m_vm->selectedAppId(), expected);
}

void TestRunnerViewModel::derivedDeviceValues()
{
    m_detector->setDevices({phone("AAAA", "Phone A"), phone("SIM1", "Sim", true)});
    makeViewModel();
    QCOMPARE(m_vm->selectedDeviceName(), std::optional<QString>(QStringLiteral("Phone A")));
    QVERIFY(!m_vm->selectedDeviceIsSimulator());
    m_vm->setSelectedDeviceId(QStringLiteral("SIM1"));
    QVERIFY(m_vm->selectedDeviceIsSimulator());
    QCOMPARE(m_vm->property("selectedDeviceName").toString(), QStringLiteral("Sim"));
    m_vm->setSelectedDeviceId(QString());
    QVERIFY(!m_vm->selectedDeviceIsSimulator());
    QVERIFY(!m_vm->selectedDeviceName().has_value());
    waitIdle();
}

void TestRunnerViewModel::targetEnvironmentName_data()
{
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sit") << QStringLiteral("com.example.shop.sit") << QStringLiteral("SIT");
    QTest::newRow("upper-case UAT suffix") << QStringLiteral("com.example.shop.UAT") << QStringLiteral("UAT");
    QTest::newRow("preprod") << QStringLiteral("com.example.PreProd") << QStringLiteral("PREPROD");
    QTest::newRow(".uat only in the middle") << QStringLiteral("com.example.uat.shop") << QStringLiteral("CUSTOM");
    QTest::newRow("suffix without dot") << QStringLiteral("com.example.shopuat") << QStringLiteral("CUSTOM");
    QTest::newRow("empty") << QString() << QStringLiteral("CUSTOM");
}

void TestRunnerViewModel::targetEnvironmentName()
{
    QFETCH(QString, app);
    QFETCH(QString, expected);
    makeViewModel();
    m_vm->setSelectedAppId(app);
    QCOMPARE(m_vm->targetEnvironmentName(), expected);
}

void TestRunnerViewModel::controllerGoneBeforeWorkerEnds()
{
    m_detector->closeGate();
    m_vm = std::make_unique<RunnerViewModel>(m_detector, m_executor.get(), m_reports);
    QTRY_COMPARE(m_detector->deviceCalls.load(), 1);
    m_vm.reset();
    m_detector->openGate();
    waitIdle(); // the posted result finds no controller and does nothing
    QCOMPARE(m_detector->appCalls.load(), 0);
}

// ---- workspace

void TestRunnerViewModel::selectWorkspaceLoadsTree()
{
    makeViewModel();
    m_vm->setSelectedFlowRelativePath(QStringLiteral("old.yaml"));
    QSignalSpy treeSpy(m_vm.get(), &RunnerViewModel::fileTreeChanged);
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    QCOMPARE(m_vm->workspacePath(), m_workspace);
    QVERIFY(m_vm->selectedFlowRelativePath().isEmpty());
    QCOMPARE(texts(), QStringList{QStringLiteral("Selected workspace: ") + m_workspace});
    QCOMPARE(treeSpy.count(), 1);
    QStringList names;
    for (const FileNode &node : m_vm->fileTree())
        names << node.name;
    QCOMPARE(names, (QStringList{QStringLiteral(".env.uat"), QStringLiteral("README.md"), QStringLiteral("env_sit.yaml"),
                                 QStringLiteral("flows")}));

    // A single file as the workspace shows an empty tree.
    m_vm->selectWorkspace(m_workspace + QStringLiteral("/README.md"));
    waitIdle();
    QVERIFY(m_vm->fileTree().isEmpty());
}

void TestRunnerViewModel::toggleFileSelection_data()
{
    QTest::addColumn<QStringList>("taps");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QString>("env");
    QTest::addColumn<QStringList>("varKeys");

    QTest::newRow("flow selected")
        << QStringList{QStringLiteral("flows/login.yaml")}
        << QStringList{QString::fromUtf8("\u25c9 Target Flow selected: flows/login.yaml")} << QStringLiteral("flows/login.yaml")
        << QString() << QStringList{};
    QTest::newRow("flow tapped twice")
        << QStringList{QStringLiteral("flows/login.yaml"), QStringLiteral("flows/login.yaml")}
        << QStringList{QString::fromUtf8("\u25c9 Target Flow selected: flows/login.yaml"),
                       QString::fromUtf8("\u25c9 Target Flow deselected")}
        << QString() << QString() << QStringList{};
    QTest::newRow(".env selected fills variables")
        << QStringList{QStringLiteral(".env.uat")}
        << QStringList{QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat")} << QString()
        << QStringLiteral(".env.uat") << QStringList{QStringLiteral("USER"), QStringLiteral("PASS")};
    QTest::newRow(".env tapped twice empties variables")
        << QStringList{QStringLiteral(".env.uat"), QStringLiteral(".env.uat")}
        << QStringList{QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat"),
                       QString::fromUtf8("\u2699\ufe0e Target Environment deselected")}
        << QString() << QString() << QStringList{};
    QTest::newRow("env_ yaml is an environment, not a flow")
        << QStringList{QStringLiteral("env_sit.yaml")}
        << QStringList{QString::fromUtf8("\u2699\ufe0e Target Environment selected: env_sit.yaml")} << QString()
        << QStringLiteral("env_sit.yaml") << QStringList{QStringLiteral("USER")};
    QTest::newRow("another env file replaces the variables")
        << QStringList{QStringLiteral(".env.uat"), QStringLiteral("env_sit.yaml")}
        << QStringList{QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat"),
                       QString::fromUtf8("\u2699\ufe0e Target Environment selected: env_sit.yaml")}
        << QString() << QStringLiteral("env_sit.yaml") << QStringList{QStringLiteral("USER")};
    QTest::newRow("other files do nothing") << QStringList{QStringLiteral("README.md")} << QStringList{} << QString()
                                            << QString() << QStringList{};
}

void TestRunnerViewModel::toggleFileSelection()
{
    QFETCH(QStringList, taps);
    QFETCH(QStringList, messages);
    QFETCH(QString, flow);
    QFETCH(QString, env);
    QFETCH(QStringList, varKeys);
    makeViewModel();
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    for (const QString &tap : taps) {
        m_vm->toggleFileSelection(nodeAt(m_workspace, tap));
        waitIdle();
    }
    QCOMPARE(texts(), messages);
    QCOMPARE(m_vm->selectedFlowRelativePath(), flow);
    QCOMPARE(m_vm->selectedEnvRelativePath(), env);
    QStringList keys;
    for (const EnvVar &var : m_vm->customEnvVars())
        keys << var.key;
    QCOMPARE(keys, varKeys);
}

void TestRunnerViewModel::togglesIgnoredWhileRunning()
{
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    QVERIFY(m_vm->isRunning());
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    waitIdle();
    QCOMPARE(m_vm->selectedFlowRelativePath(), QStringLiteral("flows/login.yaml"));
    QCOMPARE(m_vm->selectedEnvRelativePath(), QStringLiteral(".env.uat"));
    QCOMPARE(m_vm->customEnvVars().size(), 2);
}

void TestRunnerViewModel::staleEnvironmentParseDoesNotWin()
{
    makeViewModel();
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    // Select and at once deselect: the parse of the first request may finish
    // after the second request's empty list, and must not bring values back.
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    waitIdle();
    QVERIFY(m_vm->selectedEnvRelativePath().isEmpty());
    QVERIFY(m_vm->customEnvVars().isEmpty());
}

// ---- test run

void TestRunnerViewModel::preconditions_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("workspace") << QStringLiteral("workspace")
                               << QStringList{QString::fromUtf8("\u26a0\ufe0f Please select a workspace first.")};
    QTest::newRow("flow") << QStringLiteral("flow")
                          << QStringList{QString::fromUtf8("\u26a0\ufe0f Please select a Target Flow (.yaml).")};
    QTest::newRow("device") << QStringLiteral("device") << QStringList{QString::fromUtf8("\u26a0\ufe0f Please select a Device.")};
    QTest::newRow("app") << QStringLiteral("app")
                         << QStringList{QString::fromUtf8("\u26a0\ufe0f Please enter or select a Target App (Bundle ID).")};
    QTest::newRow("flow file gone") << QStringLiteral("file") << QStringList{QStringLiteral("FILE MISSING")};
}

void TestRunnerViewModel::preconditions()
{
    QFETCH(QString, missing);
    QFETCH(QStringList, expected);
    makeViewModel();
    if (missing != QLatin1String("workspace"))
        selectReadyRun();
    if (missing == QLatin1String("flow"))
        m_vm->setSelectedFlowRelativePath(QString());
    if (missing == QLatin1String("device"))
        m_vm->setSelectedDeviceId(QString());
    if (missing == QLatin1String("app"))
        m_vm->setSelectedAppId(QString());
    if (missing == QLatin1String("file"))
        QVERIFY(QFile::remove(m_workspace + QStringLiteral("/flows/login.yaml")));
    waitIdle();
    const QStringList before = texts();
    m_vm->runTest();
    waitIdle();
    if (missing == QLatin1String("file")) {
        expected = {QString::fromUtf8("\u274c File missing: ") + m_workspace + QStringLiteral("/flows/login.yaml"),
                    QStringLiteral("Please refresh workspace.")};
    }
    QCOMPARE(texts(), before + expected); // the console is not cleared
    QVERIFY(!m_vm->isRunning());
    QVERIFY(m_executor->runs.isEmpty());
    QVERIFY(m_vm->currentEvidencePath().isEmpty());
    QVERIFY(!QFileInfo::exists(m_settings.reportsOutputDirectory));
}

void TestRunnerViewModel::runPreparesSandboxAndLaunches()
{
    write(m_workspace + QStringLiteral("/.git/HEAD"));
    write(m_workspace + QStringLiteral("/node_modules/m.js"));
    QVERIFY(QFile::link(m_workspace + QStringLiteral("/README.md"), m_workspace + QStringLiteral("/flows/readme-link")));
    {
        QFile big(m_workspace + QStringLiteral("/video.mp4"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(60'000'000));
    }
    m_detector->setApps(QStringLiteral("AAAA"), {QStringLiteral("com.example.shop.uat")});
    makeViewModel();
    selectReadyRun();
    m_vm->setCustomEnvVarValue(1, QStringLiteral("edited value"));
    QSignalSpy running(m_vm.get(), &RunnerViewModel::isRunningChanged);
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    m_vm->runTest();
    QVERIFY(m_vm->isRunning());
    QCOMPARE(m_vm->runMode(), RunMode::Test);
    QVERIFY(m_vm->testStartTime().has_value());
    QVERIFY(*m_vm->testStartTime() >= before.addSecs(-5) && *m_vm->testStartTime() <= QDateTime::currentDateTime().addSecs(-4));
    waitIdle();

    const QString evidence = m_vm->currentEvidencePath();
    static const QRegularExpression folderName(QStringLiteral("^UAT_\\d{8}_\\d{6}$"));
    QCOMPARE(QFileInfo(evidence).absolutePath(), m_settings.reportsOutputDirectory);
    QVERIFY2(QFileInfo(evidence).fileName().contains(folderName), qPrintable(evidence));
    const QString sandbox = evidence + QStringLiteral("/sandbox");
    QStringList copied;
    QDirIterator it(sandbox, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        copied << QDir(sandbox).relativeFilePath(it.next());
    copied.sort();
    QCOMPARE(copied, (QStringList{QStringLiteral(".env.uat"), QStringLiteral("README.md"), QStringLiteral("env_sit.yaml"),
                                  QStringLiteral("flows"), QStringLiteral("flows/login.yaml")}));

    QCOMPARE(texts(), (QStringList{QString::fromUtf8("\U0001F680 Starting Maestro Test in Sandbox..."),
                                   QString::fromUtf8("\U0001F4C1 Target Flow: flows/login.yaml"),
                                   QString::fromUtf8("\u26a0\ufe0f Skipped symbolic link: readme-link")}));
    QCOMPARE(m_executor->terminateAllCalls, 1);
    QCOMPARE(m_executor->runs.size(), 1);
    const FakeCommandExecutor::Run &run = m_executor->runs.first();
    QCOMPARE(run.program, QStringLiteral("/bin/zsh"));
    QCOMPARE(run.arguments,
             (QStringList{"-l", "-c", "\"$@\"", "--", m_settings.maestroRunnerPath, "--platform", "ios", "--team-id",
                          "TEAM123456", "--device", "AAAA", "-e", "BUNDLE_ID=com.example.shop.uat", "-e", "USER=qa", "-e",
                          "PASS=edited value", "--artifacts", "on-failure", "--output", evidence,
                          sandbox + QStringLiteral("/flows/login.yaml")}));
    QCOMPARE(run.workingDirectory, std::optional<QString>(evidence));
    QCOMPARE(run.environment, (std::optional<CommandExecuting::Environment>(CommandExecuting::Environment{
                                  {QStringLiteral("APP_ENV"), QStringLiteral("UAT")},
                                  {QStringLiteral("BUNDLE_ID"), QStringLiteral("com.example.shop.uat")},
                                  {QStringLiteral("MAESTRO_APPLE_TEAM_ID"), QStringLiteral("TEAM123456")},
                                  {QStringLiteral("VESK_APPLE_TEAM_ID"), QStringLiteral("TEAM123456")}})));
    QCOMPARE(running.count(), 1);

    // A second run within the same second gets a folder of its own.
    m_executor->finish(0);
    waitIdle();
    m_vm->runTest();
    waitIdle();
    QVERIFY(m_vm->currentEvidencePath() != evidence);
    QVERIFY(QFileInfo(m_vm->currentEvidencePath()).fileName().contains(folderName));
    QCOMPARE(m_executor->runs.size(), 2);
}

void TestRunnerViewModel::runnerMissing()
{
    m_settings.maestroRunnerPath = QStringLiteral("~/no/such/maestro-runner");
    makeViewModel();
    selectReadyRun();
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    m_vm->runTest();
    waitIdle();
    QVERIFY(!m_vm->isRunning());
    QVERIFY(m_executor->runs.isEmpty());
    QCOMPARE(texts().last(), QString::fromUtf8("\u26a0\ufe0f ERROR: maestro-runner binary not found at ") + QDir::homePath()
                                 + QStringLiteral("/no/such/maestro-runner!"));
    QCOMPARE(ended.count(), 0);
}

void TestRunnerViewModel::sandboxNotCreatable()
{
    write(m_dir.filePath(QStringLiteral("a-file")));
    m_settings.reportsOutputDirectory = m_dir.filePath(QStringLiteral("a-file/reports"));
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    QVERIFY(!m_vm->isRunning());
    QVERIFY(m_executor->runs.isEmpty());
    QCOMPARE(texts().size(), 3);
    QVERIFY2(texts().last().startsWith(QString::fromUtf8("\u274c Sandbox creation failed: ")), qPrintable(texts().last()));
    QVERIFY(texts().last().size() > QString::fromUtf8("\u274c Sandbox creation failed: ").size());
}

void TestRunnerViewModel::outputAssembledAcrossBatches()
{
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    // Chunks of one 100 ms window are joined before they are cut into lines.
    m_executor->emitOutput(QStringLiteral("  \u2713 tapOn (311ms)\n    \u2713 sec"));
    m_executor->emitOutput(QStringLiteral("ond"));
    QVERIFY(m_vm->consoleLogs().isEmpty());
    QTRY_COMPARE(texts(), QStringList{QStringLiteral("  \u2713 tapOn (311ms)")});
    QCOMPARE(m_vm->currentLineBuffer(), QStringLiteral("    \u2713 second"));
    m_executor->emitOutput(QStringLiteral(" step\ntime=\"x\" level=error msg=\"y\"\npartial"));
    QTRY_COMPARE(texts().size(), 2);
    QCOMPARE(texts().last(), QStringLiteral("    \u2713 second step"));
    // The last batch is cut before the result, and the tail flushed.
    m_executor->emitOutput(QStringLiteral(" tail"));
    m_executor->finish(1);
    waitIdle();
    QCOMPARE(texts(), (QStringList{QStringLiteral("  \u2713 tapOn (311ms)"), QStringLiteral("    \u2713 second step"),
                                   QStringLiteral("partial tail"), QString(),
                                   QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)"),
                                   QString::fromUtf8("\U0001F4E1 Pulling Network Logs...")}));
}

void TestRunnerViewModel::consoleLimitThroughController()
{
    makeViewModel();
    QString batch;
    for (int i = 0; i < 2600; ++i)
        batch += QStringLiteral("line %1\n").arg(i);
    QSignalSpy trimmed(m_vm.get(), &RunnerViewModel::consoleLinesTrimmed);
    m_vm->processOutput(batch);
    waitIdle();
    QCOMPARE(m_vm->consoleLogs().size(), 2000);
    QCOMPARE(texts().first(), QStringLiteral("line 600"));
    QCOMPARE(trimmed.count(), 1);
    QCOMPARE(trimmed.first().first().value<qsizetype>(), qsizetype(600));

    // A runner that never ends its line: cut at 10,001 characters.
    m_vm->processOutput(QString(10'001, u'x'));
    waitIdle();
    QCOMPARE(texts().last().size(), 10'001);
    QVERIFY(m_vm->currentLineBuffer().isEmpty());
}

void TestRunnerViewModel::terminationMessages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("passed") << 0
                            << QStringList{QString(), QString::fromUtf8("\u2705 Test Completed Successfully!"),
                                           QString::fromUtf8("\U0001F4E1 Pulling Network Logs...")};
    QTest::newRow("failed") << 1
                            << QStringList{QString(), QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)"),
                                           QString::fromUtf8("\U0001F4E1 Pulling Network Logs...")};
    QTest::newRow("could not start") << -1
                                     << QStringList{QString(), QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: -1)"),
                                                    QString::fromUtf8("\U0001F4E1 Pulling Network Logs...")};
}

void TestRunnerViewModel::terminationMessages()
{
    QFETCH(int, status);
    QFETCH(QStringList, expected);
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    m_executor->finish(status);
    QVERIFY(!m_vm->isRunning());
    waitIdle();
    QCOMPARE(texts(), expected);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().at(1).toInt(), status);
}

void TestRunnerViewModel::stopDuringRun()
{
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    m_vm->stopRun();
    QCOMPARE(m_executor->stopCalls, 1);
    QVERIFY(m_vm->isRunning()); // until the exit status arrives
    m_executor->finish(143);
    waitIdle();
    QCOMPARE(texts(), (QStringList{QString(), QString::fromUtf8("\U0001F6D1 STOPPING TEST..."), QString(),
                                   QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 143)"),
                                   QString::fromUtf8("\U0001F4E1 Pulling Network Logs...")}));
}

void TestRunnerViewModel::stopWhilePreparingStopsRunnerOnStart()
{
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    m_vm->stopRun(); // the sandbox copy is still on its way
    waitIdle();
    QCOMPARE(m_executor->runs.size(), 1);
    QCOMPARE(m_executor->stopCalls, 2);
    QVERIFY(!m_executor->isRunning());
}

void TestRunnerViewModel::clearConsole()
{
    makeViewModel();
    m_vm->processOutput(QStringLiteral("one\ntwo\npartial"));
    waitIdle();
    QCOMPARE(m_vm->consoleLogs().size(), 2);
    m_vm->clearConsole();
    waitIdle();
    QVERIFY(m_vm->consoleLogs().isEmpty());
    QVERIFY(m_vm->networkHits().isEmpty());
    QVERIFY(m_vm->currentLineBuffer().isEmpty());
}

// ---- hierarchy

void TestRunnerViewModel::hierarchyWithoutDevice()
{
    m_detector->setDevices({});
    makeViewModel();
    m_vm->processOutput(QStringLiteral("kept\n"));
    m_vm->fetchHierarchy();
    waitIdle();
    QCOMPARE(texts(), (QStringList{QStringLiteral("kept"), QString::fromUtf8("\u26a0\ufe0f Please select a Device.")}));
    QVERIFY(!m_vm->isRunning());
    QCOMPARE(m_vm->runMode(), RunMode::Test);
}

void TestRunnerViewModel::hierarchyFetch()
{
    makeViewModel();
    m_vm->processOutput(QStringLiteral("old line\n"));
    waitIdle();
    m_vm->fetchHierarchy();
    QCOMPARE(m_vm->runMode(), RunMode::Hierarchy);
    QVERIFY(m_vm->isRunning());
    waitIdle();
    QCOMPARE(m_executor->runs.size(), 1);
    const FakeCommandExecutor::Run &run = m_executor->runs.first();
    QCOMPARE(run.arguments, (QStringList{"-l", "-c", "\"$@\"", "--", m_settings.maestroRunnerPath, "--platform", "ios",
                                         "--team-id", "TEAM123456", "--device", "AAAA", "hierarchy", "--compact"}));
    QCOMPARE(run.workingDirectory, std::optional<QString>(QDir::homePath()));
    QCOMPARE(run.environment, std::optional<CommandExecuting::Environment>(CommandExecuting::Environment{}));
    QCOMPARE(m_executor->terminateAllCalls, 1);

    m_executor->emitOutput(QStringLiteral("Application  text=\"Shop\"  (0,0 390x844)\n"
                                          "    Window  (0,0 390x844)\n"
                                          "        Other  (0,0 390x844)\n"
                                          "        Other  id=cart  (0,0 390x844)\n"
                                          "            Button  id=pay  (10,10 100x44)\n"
                                          "    \n"
                                          "        StaticText  text=\"Total\"  (0,0 1x1)\n"));
    m_executor->finish(0);
    waitIdle();
    QCOMPARE(texts(), (QStringList{QString::fromUtf8("\U0001F680 Fetching UI Hierarchy..."),
                                   QStringLiteral("Application  text=\"Shop\"  (0,0 390x844)"),
                                   QStringLiteral("  Window  (0,0 390x844)"), QStringLiteral("    Other  id=cart  (0,0 390x844)"),
                                   QStringLiteral("      Button  id=pay  (10,10 100x44)"), QStringLiteral("    "),
                                   QStringLiteral("    StaticText  text=\"Total\"  (0,0 1x1)"), QString(),
                                   QString::fromUtf8("\u2705 UI Hierarchy Fetched Successfully!")}));
    QCOMPARE(m_vm->runMode(), RunMode::Hierarchy); // stays until the next run

    m_vm->fetchHierarchy();
    waitIdle();
    m_vm->stopRun();
    m_executor->finish(15);
    waitIdle();
    QCOMPARE(texts().mid(1), (QStringList{QString(), QString::fromUtf8("\U0001F6D1 STOPPING FETCH..."), QString(),
                                          QString::fromUtf8("\u274c Failed to Fetch UI Hierarchy (Exit code: 15)")}));
}

QTEST_GUILESS_MAIN(TestRunnerViewModel)
#include "tst_runnerviewmodel.moc"
