// The run controller: devices and apps, the workspace and its flow and
// environment files, test runs, stops, hierarchy fetches, the network capture
// and the hand-off to the reports. The runner's command line is
// ToolCommands' (tested there); here only what the controller puts in. Built
// under ThreadSanitizer too (label "threads"): no worker may touch the
// controller's state off the main thread.

#include "netfoxlogbuilder.h"
#include "process/toolcommands.h"
#include "runnerfixture.h"
#include "settings/appevents.h"

#include <QSignalSpy>

using namespace std::chrono_literals;

class TestRunnerViewModel : public RunnerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void refreshDevices_data();
    void refreshDevices();
    void targetEnvironmentName_data();
    void targetEnvironmentName();
    void selectWorkspaceLoadsTree();
    void toggleFileSelection_data();
    void toggleFileSelection();
    void overlappingRefreshes();
    void pilingWorkspaceWork();
    void controllerGoneWithWorkersOut();

    void preconditions_data();
    void preconditions();
    void runLaunchesInTheSandbox();
    void outputAssembledAcrossBatches();
    void consoleTrimmedThroughController();
    void endMessages_data();
    void endMessages();
    void stopWhilePreparingStopsRunnerOnStart();
    void hierarchyFetch();

    void finalCopy_data();
    void finalCopy();
    void livePulls();
    void pullsAtTheEnd();
    void reportHandOff();
    void reportButtonFollowsTheFolder_data();
    void reportButtonFollowsTheFolder();

private:
    // A controller with the workspace, flow and .env.uat selected, its run
    // started and its sandbox ready.
    void startRun()
    {
        makeViewModel();
        selectReadyRun();
        m_vm->runTest();
        waitIdle();
    }
    static QString logWithHit(const QString &path);
    QStringList afterPulling() const;
    static int liveCopies(const QList<ToolCommand> &commands);
};

// ---- devices and apps

void TestRunnerViewModel::refreshDevices_data()
{
    QTest::addColumn<QString>("chosen"); // selected before the refresh
    QTest::addColumn<DeviceList>("devices");
    QTest::addColumn<DeviceList>("offline");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("app");
    QTest::addColumn<int>("listings"); // app listings the refresh starts
    QTest::addColumn<QString>("hint"); // console line; empty: none

    const DeviceList none;
    const QString advice
        = QStringLiteral(" connected but offline: unlock it, trust this Mac and keep the cable in, then refresh.");
    QTest::newRow("listed selection kept, apps not listed again") << "BBBB" << DeviceList { phone("CCCC"), phone("BBBB") } << none
                                                                  << "BBBB" << QStringLiteral("com.example.b") << 0 << QString();
    QTest::newRow("vanished selection: the first listed")
        << "AAAA" << DeviceList { phone("BBBB") } << none << "BBBB" << QStringLiteral("com.example.b") << 1 << QString();
    QTest::newRow("no devices: selection and apps cleared") << "AAAA" << none << none << QString() << QString() << 0 << QString();
    QTest::newRow("the only iPhone offline is named")
        << "AAAA" << none << DeviceList { phone("OFF1", "iPhone de QA") } << QString() << QString() << 0
        << QStringLiteral("⚠️ iPhone de QA is") + advice;
    QTest::newRow("three offline are named")
        << "AAAA" << none << DeviceList { phone("O1", "A"), phone("O2", "B"), phone("O3", "C") } << QString() << QString() << 0
        << QStringLiteral("⚠️ A, B and C are") + advice;
    QTest::newRow("a usable device: no offline hint") << "AAAA" << DeviceList { phone("AAAA") } << DeviceList { phone("OFF1") }
                                                      << "AAAA" << QStringLiteral("com.example.a") << 0 << QString();
}

void TestRunnerViewModel::refreshDevices()
{
    QFETCH(QString, chosen);
    QFETCH(DeviceList, devices);
    QFETCH(DeviceList, offline);
    QFETCH(QString, hint);
    makeViewModel();
    // The start lists the devices and selects the first one and its first app.
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("AAAA"));
    QCOMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.a"));
    if (chosen != m_vm->selectedDeviceId())
        m_vm->setSelectedDeviceId(chosen);
    waitIdle();
    m_vm->clearConsole();
    m_detector->setDevices(devices, offline);
    const int appCalls = m_detector->appCalls;
    QSignalSpy busy(m_vm.get(), &RunnerViewModel::isRefreshingDevicesChanged);
    m_vm->refreshDevices();
    QVERIFY(m_vm->isRefreshingDevices());
    waitIdle();
    QCOMPARE(busy.count(), 2);
    QCOMPARE(m_vm->devices(), devices); // offline phones are not offered
    QTEST(m_vm->selectedDeviceId(), "device");
    QTEST(m_vm->selectedAppId(), "app");
    QCOMPARE(m_vm->apps().isEmpty(), devices.isEmpty());
    QTEST(m_detector->appCalls - appCalls, "listings");
    QCOMPARE(texts(), hint.isEmpty() ? QStringList {} : QStringList { hint });
    if (devices.isEmpty()) {
        m_vm->refreshApps(); // nothing to list apps of
        QVERIFY(!m_vm->isRefreshingApps());
        QCOMPARE(m_detector->appCalls, appCalls);
    }
}

void TestRunnerViewModel::targetEnvironmentName_data()
{
    QTest::addColumn<QString>("app");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sit") << "com.example.shop.sit" << QStringLiteral("SIT");
    QTest::newRow("upper-case UAT suffix") << "com.example.shop.UAT" << QStringLiteral("UAT");
    QTest::newRow("preprod") << "com.example.PreProd" << QStringLiteral("PREPROD");
    QTest::newRow(".uat only in the middle") << "com.example.uat.shop" << QStringLiteral("CUSTOM");
    QTest::newRow("suffix without dot") << "com.example.shopuat" << QStringLiteral("CUSTOM");
}

void TestRunnerViewModel::targetEnvironmentName()
{
    QFETCH(QString, app);
    makeViewModel();
    m_vm->setSelectedAppId(app);
    QTEST(m_vm->targetEnvironmentName(), "expected");
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
    QCOMPARE(texts(), QStringList { QStringLiteral("Selected workspace: ") + m_workspace });
    QCOMPARE(treeSpy.count(), 1);
    QCOMPARE(m_vm->fileTree().size(), 4); // .env.uat, README.md, env_sit.yaml, flows

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

    const QString flowOn = QStringLiteral("◉ Target Flow selected: flows/login.yaml");
    const QString envOn = QStringLiteral("⚙︎ Target Environment selected: ");
    QTest::newRow("flow selected") << QStringList { "flows/login.yaml" } << QStringList { flowOn } << "flows/login.yaml"
                                   << QString() << QStringList {};
    QTest::newRow("flow tapped twice") << QStringList { "flows/login.yaml", "flows/login.yaml" }
                                       << QStringList { flowOn, QStringLiteral("◉ Target Flow deselected") } << QString()
                                       << QString() << QStringList {};
    QTest::newRow(".env selected fills variables") << QStringList { ".env.uat" } << QStringList { envOn + ".env.uat" }
                                                   << QString() << ".env.uat" << QStringList { "USER", "PASS" };
    QTest::newRow(".env tapped twice empties variables")
        << QStringList { ".env.uat", ".env.uat" }
        << QStringList { envOn + ".env.uat", QStringLiteral("⚙︎ Target Environment deselected") } << QString() << QString()
        << QStringList {};
    QTest::newRow("another env file replaces the variables")
        << QStringList { ".env.uat", "env_sit.yaml" } << QStringList { envOn + ".env.uat", envOn + "env_sit.yaml" } << QString()
        << "env_sit.yaml" << QStringList { "USER" };
    QTest::newRow(".env not UTF-8 says so") << QStringList { ".env.latin" }
                                            << QStringList { envOn + ".env.latin",
                                                   QStringLiteral(
                                                       "⚠️ Could not read .env.latin as UTF-8 text: no variables loaded") }
                                            << QString() << ".env.latin" << QStringList {};
    QTest::newRow("other files do nothing") << QStringList { "README.md" } << QStringList {} << QString() << QString()
                                            << QStringList {};
}

void TestRunnerViewModel::toggleFileSelection()
{
    QFETCH(QStringList, taps);
    QFETCH(QStringList, varKeys);
    write(m_workspace + QStringLiteral("/.env.latin"), "USER=J\xfcrgen\n");
    makeViewModel();
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    for (const QString &tap : taps) {
        m_vm->toggleFileSelection(nodeAt(m_workspace, tap));
        waitIdle();
    }
    QTEST(texts(), "messages");
    QTEST(m_vm->selectedFlowRelativePath(), "flow");
    QTEST(m_vm->selectedEnvRelativePath(), "env");
    QStringList keys;
    for (const EnvVar &var : m_vm->customEnvVars())
        keys << var.key;
    QCOMPARE(keys, varKeys);
}

// ---- workers overlapping

// Three device refreshes held at the gate and let through one by one, with
// the device list changing in between: whatever order the answers come in,
// the controller ends idle with a selection that is in its list.
void TestRunnerViewModel::overlappingRefreshes()
{
    makeViewModel();
    m_detector->closeGate();
    for (int round = 0; round < 3; ++round) {
        m_detector->setDevices({ phone(round % 2 ? "AAAA" : "BBBB", "Phone"), phone("CCCC", "Phone C") });
        m_vm->refreshDevices();
        m_vm->refreshApps();
    }
    for (int i = 0; i < 20; ++i) {
        m_detector->release();
        QCoreApplication::processEvents();
    }
    m_detector->openGate();
    waitIdle();
    QVERIFY(!m_vm->isRefreshingDevices());
    QVERIFY(!m_vm->isRefreshingApps());
    const DeviceList devices = m_vm->devices();
    QVERIFY(std::any_of(
        devices.cbegin(), devices.cend(), [this](const DeviceInfo &device) { return device.id == m_vm->selectedDeviceId(); }));
}

// Tree loads and environment parses piling up. Each toggle's parse may end
// after the next toggle's empty list: an older parse must never bring its
// values back.
void TestRunnerViewModel::pilingWorkspaceWork()
{
    makeViewModel();
    m_vm->selectWorkspace(m_workspace);
    for (int i = 0; i < 10; ++i) {
        m_vm->reloadWorkspace();
        m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    }
    waitIdle();
    QVERIFY(!m_vm->fileTree().isEmpty());
    QVERIFY(m_vm->selectedEnvRelativePath().isEmpty());
    QVERIFY(m_vm->customEnvVars().isEmpty());
}

void TestRunnerViewModel::controllerGoneWithWorkersOut()
{
    m_detector->closeGate();
    m_vm = std::make_unique<RunnerViewModel>(m_detector, m_executor.get(), m_reports);
    QTRY_COMPARE(m_detector->deviceCalls.load(), 1);
    m_vm->selectWorkspace(m_workspace);
    m_vm.reset();
    m_detector->openGate();
    waitIdle(); // the posted results find no controller and do nothing
    QCOMPARE(m_detector->appCalls.load(), 0);
}

namespace {

const QString kPulling = QStringLiteral("📡 Pulling Network Logs...");
const QString kGenerating = QStringLiteral("⏳ Generating HTML Report...");
const QString kGenerated = QStringLiteral("✅ Report Generated.");
const QString kSucceeded = QStringLiteral("✅ Test Completed Successfully!");

} // namespace

// Stamped now, so the run's start filter keeps it.
QString TestRunnerViewModel::logWithHit(const QString &path)
{
    const QString now
        = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
    const QString url = QStringLiteral("https://api.example.com") + path;
    return NetfoxLogBuilder::simpleRequest(url, QStringLiteral("GET"), now)
        + NetfoxLogBuilder::simpleResponse(url, QStringLiteral("200"), QStringLiteral(" ok"));
}

// Console texts from "Pulling Network Logs..." on.
QStringList TestRunnerViewModel::afterPulling() const
{
    const QStringList all = texts();
    const qsizetype at = all.indexOf(kPulling);
    return at < 0 ? QStringList { QStringLiteral("no pulling message") } : all.mid(at + 1);
}

int TestRunnerViewModel::liveCopies(const QList<ToolCommand> &commands)
{
    return int(std::count_if(commands.cbegin(), commands.cend(),
        [](const ToolCommand &command) { return command.arguments.last().endsWith(QLatin1String("/live_network_log.txt")); }));
}

// ---- test runs

void TestRunnerViewModel::preconditions_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("workspace") << "workspace" << QStringList { "⚠️ Please select a workspace first." };
    QTest::newRow("flow") << "flow" << QStringList { "⚠️ Please select a Target Flow (.yaml)." };
    QTest::newRow("device") << "device" << QStringList { "⚠️ Please select a Device." };
    QTest::newRow("app") << "app" << QStringList { "⚠️ Please enter or select a Target App (Bundle ID)." };
    QTest::newRow("flow file gone") << "file"
                                    << QStringList { "❌ File missing: %1/flows/login.yaml", "Please refresh workspace." };
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
    if (missing == QLatin1String("file"))
        expected.first() = expected.first().arg(m_workspace);
    QCOMPARE(texts(), before + expected); // the console is not cleared
    QVERIFY(!m_vm->isRunning() && m_executor->runs.isEmpty());
    QVERIFY(m_vm->currentEvidencePath().isEmpty());
    QVERIFY(!QFileInfo::exists(m_settings.reportsOutputDirectory));
}

void TestRunnerViewModel::runLaunchesInTheSandbox()
{
    QVERIFY(QFile::link(m_workspace + QStringLiteral("/README.md"), m_workspace + QStringLiteral("/flows/readme-link")));
    {
        QFile big(m_workspace + QStringLiteral("/video.mp4"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(60'000'000)); // sparse
    }
    // The output folder lies in the workspace and holds an earlier run: the
    // sandbox gets the flows, not the earlier run (or itself).
    m_settings.reportsOutputDirectory = m_workspace + QStringLiteral("/reports");
    write(m_settings.reportsOutputDirectory + QStringLiteral("/UAT_20261206_093000/sandbox/flows/login.yaml"));
    m_detector->setApps(QStringLiteral("AAAA"), { QStringLiteral("com.example.shop.uat") });
    makeViewModel();
    selectReadyRun();
    m_vm->setCustomEnvVarValue(1, QStringLiteral("edited value"));
    QSignalSpy running(m_vm.get(), &RunnerViewModel::isRunningChanged);
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    m_vm->runTest();
    QVERIFY(m_vm->isRunning() && m_vm->runMode() == RunMode::Test);
    // Network traffic from five seconds before the start counts.
    QVERIFY(m_vm->testStartTime().has_value());
    QVERIFY(*m_vm->testStartTime() >= before.addSecs(-5) && *m_vm->testStartTime() <= QDateTime::currentDateTime().addSecs(-4));
    // Selections are kept while a run lasts.
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    waitIdle();
    QCOMPARE(m_vm->selectedFlowRelativePath(), QStringLiteral("flows/login.yaml"));
    QCOMPARE(m_vm->selectedEnvRelativePath(), QStringLiteral(".env.uat"));

    const QString evidence = m_vm->currentEvidencePath();
    QCOMPARE(QFileInfo(evidence).absolutePath(), m_settings.reportsOutputDirectory);
    QVERIFY2(QFileInfo(evidence).fileName().startsWith(QLatin1String("UAT_")), qPrintable(evidence)); // the app's environment
    const QString sandbox = evidence + QStringLiteral("/sandbox");
    QVERIFY(QFileInfo(sandbox + QStringLiteral("/flows/login.yaml")).isFile());
    QVERIFY(!QFileInfo::exists(sandbox + QStringLiteral("/reports")));
    QCOMPARE(texts(),
        (QStringList { QStringLiteral("🚀 Starting Maestro Test in Sandbox..."), QStringLiteral("📁 Target Flow: flows/login.yaml"),
            QStringLiteral("⚠️ Skipped symbolic link: readme-link"),
            QStringLiteral("⚠️ Skipped large file (over 50 MB): video.mp4") }));
    QCOMPARE(m_executor->terminateAllCalls, 1);
    QCOMPARE(m_executor->runs.size(), 1);
    const FakeCommandExecutor::Run &run = m_executor->runs.first();
    const ToolCommand expected = ToolCommands().runnerTestRun({ m_settings.maestroRunnerPath, "TEAM123456", "AAAA",
        "com.example.shop.uat", { { "USER", "qa" }, { "PASS", "edited value" } }, evidence, sandbox + "/flows/login.yaml" });
    QCOMPARE(run.program, expected.program);
    QCOMPARE(run.arguments, expected.arguments);
    QCOMPARE(run.workingDirectory, std::optional<QString>(evidence));
    const CommandExecuting::Environment environment { { "APP_ENV", "UAT" }, { "BUNDLE_ID", "com.example.shop.uat" },
        { "MAESTRO_APPLE_TEAM_ID", "TEAM123456" }, { "VESK_APPLE_TEAM_ID", "TEAM123456" } };
    QCOMPARE(run.environment, std::optional(environment));
    QCOMPARE(running.count(), 1);
}

void TestRunnerViewModel::outputAssembledAcrossBatches()
{
    makeViewModel();
    m_vm->processOutput(QStringLiteral("stale\nhalf a line"));
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    // Clearing drops the half line too: it must not start the next line.
    m_vm->clearConsole();
    waitIdle();
    QVERIFY(m_vm->consoleLogs().isEmpty());
    QVERIFY(m_vm->currentLineBuffer().isEmpty());
    // Chunks of one 100 ms window are joined before they are cut into lines.
    m_executor->emitOutput(QStringLiteral("  ✓ tapOn (311ms)\n    ✓ sec"));
    m_executor->emitOutput(QStringLiteral("ond"));
    QVERIFY(m_vm->consoleLogs().isEmpty());
    QTRY_COMPARE(texts(), QStringList { QStringLiteral("  ✓ tapOn (311ms)") });
    QCOMPARE(m_vm->currentLineBuffer(), QStringLiteral("    ✓ second"));
    m_executor->emitOutput(QStringLiteral(" step\ntime=\"x\" level=error msg=\"y\"\npartial"));
    QTRY_COMPARE(texts().size(), 2);
    QCOMPARE(texts().last(), QStringLiteral("    ✓ second step"));
    // The last batch is cut before the result, and the tail flushed.
    m_executor->emitOutput(QStringLiteral(" tail"));
    m_executor->finish(1);
    waitIdle();
    QCOMPARE(texts().mid(0, 5),
        (QStringList { QStringLiteral("  ✓ tapOn (311ms)"), QStringLiteral("    ✓ second step"), QStringLiteral("partial tail"),
            QString(), QStringLiteral("❌ Test Failed or Terminated (Exit code: 1)") }));
}

void TestRunnerViewModel::consoleTrimmedThroughController()
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
}

void TestRunnerViewModel::endMessages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("reportFailure"); // empty: the reports were written
    QTest::addColumn<QStringList>("expected");
    const QStringList stopping { QString(), QStringLiteral("🛑 STOPPING TEST...") };
    const QString failed = QStringLiteral("❌ Test Failed or Terminated (Exit code: %1)");
    const QStringList reports { kPulling, kGenerating, kGenerated };
    QTest::newRow("passed") << 0 << false << QString() << QStringList { QString(), kSucceeded } + reports;
    QTest::newRow("failed") << 1 << false << QString() << QStringList { QString(), failed.arg(1) } + reports;
    QTest::newRow("report not written") << 0 << false << QStringLiteral("Could not write report.html: disk full")
                                        << QStringList { QString(), kSucceeded, kPulling, kGenerating,
                                               QStringLiteral(
                                                   "⚠️ Report not generated: Could not write report.html: disk full") };
    QTest::newRow("stopped: killed runner") << 143 << true << QString()
                                            << stopping + QStringList { QString(), failed.arg(143) } + reports;
    // A runner that exits cleanly once its children are gone: still a stop.
    QTest::newRow("stopped: clean exit is no success")
        << 0 << true << QString() << stopping + QStringList { QString(), failed.arg(0) } + reports;
}

void TestRunnerViewModel::endMessages()
{
    QFETCH(int, status);
    QFETCH(bool, stopped);
    QFETCH(QString, reportFailure);
    m_reports->succeeds = reportFailure.isEmpty();
    m_reports->failureReason = reportFailure;
    startRun();
    m_vm->clearConsole();
    waitIdle();
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    if (stopped) {
        m_vm->stopRun();
        QCOMPARE(m_executor->stopCalls, 1);
        QVERIFY(m_vm->isRunning()); // until the exit status arrives
    }
    m_executor->finish(status);
    QVERIFY(!m_vm->isRunning());
    waitIdle();
    QTEST(texts(), "expected");
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().at(1).toInt(), status);
    // The button opens the run's report: only one that was written.
    QCOMPARE(m_vm->showReportButton(), reportFailure.isEmpty());
    if (stopped) {
        // The next run that is not stopped reports its success again.
        m_vm->runTest();
        waitIdle();
        m_executor->finish(0);
        waitIdle();
        QVERIFY(texts().contains(kSucceeded));
    }
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

void TestRunnerViewModel::hierarchyFetch()
{
    makeViewModel();
    m_vm->setNetworkPollInterval(10ms);
    m_vm->processOutput(QStringLiteral("old line\n"));
    waitIdle();
    m_vm->fetchHierarchy();
    QCOMPARE(m_vm->runMode(), RunMode::Hierarchy);
    QVERIFY(m_vm->isRunning());
    waitIdle();
    QCOMPARE(m_executor->runs.size(), 1);
    const FakeCommandExecutor::Run &run = m_executor->runs.first();
    const ToolCommand expected
        = ToolCommands().runnerHierarchy(m_settings.maestroRunnerPath, QStringLiteral("TEAM123456"), QStringLiteral("AAAA"));
    QCOMPARE(run.program, expected.program);
    QCOMPARE(run.arguments, expected.arguments);
    QCOMPARE(run.workingDirectory, std::optional<QString>(QDir::homePath()));
    QCOMPARE(run.environment, std::optional<CommandExecuting::Environment>(CommandExecuting::Environment {}));
    QCOMPARE(m_executor->terminateAllCalls, 1);

    m_executor->emitOutput(QStringLiteral("Application  text=\"Shop\"  (0,0 390x844)\n"
                                          "    Window  (0,0 390x844)\n"
                                          "        Other  (0,0 390x844)\n"
                                          "            Button  id=pay  (10,10 100x44)\n"));
    QTest::qWait(50); // live pulls would have started by now
    m_executor->finish(0);
    waitIdle();
    // Re-indented, unnamed Other left out, the console cleared first.
    QCOMPARE(texts(),
        (QStringList { QStringLiteral("🚀 Fetching UI Hierarchy..."), QStringLiteral("Application  text=\"Shop\"  (0,0 390x844)"),
            QStringLiteral("  Window  (0,0 390x844)"), QStringLiteral("    Button  id=pay  (10,10 100x44)"), QString(),
            QStringLiteral("✅ UI Hierarchy Fetched Successfully!") }));
    QCOMPARE(m_vm->runMode(), RunMode::Hierarchy); // stays until the next run
    // No network capture and no reports for a fetch.
    QCOMPARE(m_tools->takeCommands(), QList<ToolCommand> {});
    QCOMPARE(m_reports->generated, QStringList {});
    QVERIFY(!m_vm->showReportButton() && !m_vm->isFinishingRun());

    m_vm->fetchHierarchy();
    waitIdle();
    m_vm->stopRun();
    m_executor->finish(15);
    waitIdle();
    QCOMPARE(texts().mid(1),
        (QStringList { QString(), QStringLiteral("🛑 STOPPING FETCH..."), QString(),
            QStringLiteral("❌ Failed to Fetch UI Hierarchy (Exit code: 15)") }));

    m_vm->setSelectedDeviceId(QString());
    m_vm->fetchHierarchy();
    waitIdle();
    QCOMPARE(texts().last(), QStringLiteral("⚠️ Please select a Device."));
    QVERIFY(!m_vm->isRunning());
    QCOMPARE(m_executor->runs.size(), 2);
}

// ---- network capture

void TestRunnerViewModel::finalCopy_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("copyFails");
    QTest::addColumn<bool>("containerFound");
    QTest::addColumn<QStringList>("tools"); // each command, in order
    QTest::addColumn<QString>("warning"); // empty: none, and the log is written

    const QString failed = QStringLiteral("⚠️ Network log (NFX) not found or failed to pull.");
    QTest::newRow("device") << "AAAA" << false << false << QStringList { "devicectl live", "devicectl final" } << QString();
    QTest::newRow("device copy fails") << "AAAA" << true << false << QStringList { "devicectl live", "devicectl final" }
                                       << failed;
    QTest::newRow("simulator") << "SIM1" << false << true << QStringList { "simctl", "cp" } << QString();
    QTest::newRow("simulator cp fails") << "SIM1" << true << true << QStringList { "simctl", "cp" } << failed;
    QTest::newRow("simulator without container")
        << "SIM1" << false << false << QStringList { "simctl" }
        << QStringLiteral("⚠️ Network log (NFX) not found or failed to pull (container not found).");
}

void TestRunnerViewModel::finalCopy()
{
    QFETCH(QString, device);
    QFETCH(bool, copyFails);
    QFETCH(QStringList, tools);
    QFETCH(QString, warning);
    const QString app = QStringLiteral("com.example.shop.uat");
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("SIM1", "iPhone 15", true) });
    m_detector->setApps(QStringLiteral("SIM1"), { app });
    const QString container = m_dir.filePath(QStringLiteral("case%1/container").arg(m_case));
    write(container + QStringLiteral("/tmp/NFX/session.log"), logWithHit(QStringLiteral("/sim")).toUtf8());
    m_tools->sessionLog = logWithHit(QStringLiteral("/device")).toUtf8();
    m_tools->copyFails = copyFails;
    QFETCH(bool, containerFound);
    if (containerFound)
        m_tools->containerPath = container;
    makeViewModel();
    selectReadyRun();
    m_vm->setSelectedDeviceId(device);
    waitIdle();
    m_vm->setSelectedAppId(app);
    m_vm->runTest();
    waitIdle();
    m_executor->finish(0);
    waitIdle();
    const QString folder = m_vm->currentEvidencePath();
    const ToolCommands commands;
    const QString source = QString::fromLatin1(ToolCommands::kNetfoxLogInContainer);
    const QMap<QString, ToolCommand> known {
        { "devicectl live", commands.devicectlCopyFrom(device, app, source, folder + "/live_network_log.txt") },
        { "devicectl final", commands.devicectlCopyFrom(device, app, source, folder + "/network_log.txt") },
        { "simctl", commands.simctlAppDataContainer(device, app) },
        { "cp", commands.copyFile(container + u'/' + source, folder + "/network_log.txt") }
    };
    QList<ToolCommand> expected;
    for (const QString &tool : tools)
        expected << known.value(tool);
    QCOMPARE(m_tools->takeCommands(), expected);
    QCOMPARE(afterPulling().first(), warning.isEmpty() ? kGenerating : warning);
    QCOMPARE(afterPulling().last(), kGenerated);
    QCOMPARE(m_reports->generated, QStringList { folder });
    QCOMPARE(QFileInfo::exists(folder + QStringLiteral("/network_log.txt")), warning.isEmpty());
    // The final copy feeds the reports only; the live list comes from live
    // pulls, which simulators never get.
    QCOMPARE(m_vm->networkHits().size(), device == QLatin1String("AAAA") && !copyFails ? 1 : 0);
}

// Pulls every 10 ms, each taking 50: they never overlap, go on while the
// run lasts, and follow an app changed meanwhile.
void TestRunnerViewModel::livePulls()
{
    m_tools->sessionLog = logWithHit(QStringLiteral("/cart")).toUtf8();
    m_tools->copyDelayMs = 50;
    makeViewModel();
    m_vm->setNetworkPollInterval(10ms);
    selectReadyRun();
    m_vm->runTest();
    QTRY_COMPARE(m_vm->networkHits().size(), 1);
    QCOMPARE(m_vm->networkHits().first().url, QStringLiteral("https://api.example.com/cart"));
    QVERIFY(QFileInfo::exists(m_vm->currentEvidencePath() + QStringLiteral("/live_network_log.txt")));
    QList<ToolCommand> seen; // collected across the retries
    QTRY_VERIFY2(liveCopies(seen += m_tools->takeCommands()) >= 3, "the loop goes on while the run lasts");
    QVERIFY(m_vm->isRunning());
    {
        QMutexLocker lock(&m_tools->mutex);
        QCOMPARE(m_tools->maxInFlight, 1);
    }
    m_vm->setSelectedAppId(QStringLiteral("com.example.a"));
    const ToolCommand changed = ToolCommands().devicectlCopyFrom(QStringLiteral("AAAA"), QStringLiteral("com.example.a"),
        QString::fromLatin1(ToolCommands::kNetfoxLogInContainer),
        m_vm->currentEvidencePath() + QStringLiteral("/live_network_log.txt"));
    seen.clear();
    QTRY_VERIFY((seen += m_tools->takeCommands()).contains(changed));
    m_executor->finish(0);
}

// The run's end: one last live pull sees what the app logged at the very
// end, and no pull follows it. Links planted in the run folder at the logs'
// names must not make either copy overwrite what they point to.
void TestRunnerViewModel::pullsAtTheEnd()
{
    m_tools->sessionLog = logWithHit(QStringLiteral("/one")).toUtf8();
    makeViewModel();
    // Once the first list is in, nothing is in flight until the next tick.
    m_vm->setNetworkPollInterval(150ms);
    selectReadyRun();
    const QString victim = m_dir.filePath(QStringLiteral("victim.txt"));
    write(victim, "keep");
    m_vm->runTest();
    QTRY_COMPARE(m_vm->networkHits().size(), 1);
    const QString folder = m_vm->currentEvidencePath();
    const QStringList logs { folder + QStringLiteral("/live_network_log.txt"), folder + QStringLiteral("/network_log.txt") };
    for (const QString &log : logs) {
        QFile::remove(log);
        QVERIFY(QFile::link(victim, log));
    }
    m_executor->finish(0);
    {
        // Written after the end: only a pull after the run can see it.
        QMutexLocker lock(&m_tools->mutex);
        m_tools->sessionLog += logWithHit(QStringLiteral("/two")).toUtf8();
    }
    QTRY_COMPARE(m_vm->networkHits().size(), 2);
    QTRY_VERIFY(!m_vm->isFetchingNetworkLog() && !m_vm->isFinishingRun());
    waitIdle();
    QCOMPARE(testsupport::readFile(victim), QByteArray("keep"));
    for (const QString &log : logs)
        QVERIFY2(!QFileInfo(log).isSymLink() && QFileInfo(log).isFile(), qPrintable(log));
    // Two more intervals bring no pull.
    m_tools->takeCommands();
    QTest::qWait(350);
    waitIdle();
    QCOMPARE(m_tools->takeCommands(), QList<ToolCommand> {});
}

void TestRunnerViewModel::reportHandOff()
{
    m_reports->deferred = true;
    startRun();
    QSignalSpy generated(m_vm.get(), &RunnerViewModel::reportGenerated);
    m_executor->finish(1);
    waitIdle();
    // Handed off, not yet back: no button, still finishing.
    QCOMPARE(texts().last(), kGenerating);
    QCOMPARE(m_reports->generated, QStringList { m_vm->currentEvidencePath() });
    QCOMPARE(m_reports->startTimes, QList<std::optional<QDateTime>> { m_vm->testStartTime() });
    QVERIFY(m_vm->isFinishingRun() && !m_vm->showReportButton());
    QCOMPARE(generated.count(), 0);

    QSignalSpy button(m_vm.get(), &RunnerViewModel::showReportButtonChanged);
    std::exchange(m_reports->pending, {})(true, QString());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(texts().last(), kGenerated);
    QVERIFY(m_vm->showReportButton() && !m_vm->isFinishingRun());
    QCOMPARE(button.count(), 1);
    QCOMPARE(generated.count(), 1);
}

void TestRunnerViewModel::reportButtonFollowsTheFolder_data()
{
    QTest::addColumn<bool>("folderDeleted");
    QTest::addColumn<bool>("viaOpen"); // the button pressed rather than the notification
    QTest::newRow("folder kept, notification") << false << false;
    QTest::newRow("folder gone, notification") << true << false;
    QTest::newRow("folder kept, opened") << false << true;
    QTest::newRow("folder gone, opened") << true << true;
}

void TestRunnerViewModel::reportButtonFollowsTheFolder()
{
    QFETCH(bool, folderDeleted);
    QFETCH(bool, viaOpen);
    startRun();
    m_executor->finish(0);
    waitIdle();
    QVERIFY(m_vm->showReportButton());
    const QString folder = m_vm->currentEvidencePath();
    if (folderDeleted)
        QVERIFY(QDir(folder).removeRecursively());
    if (viaOpen)
        m_vm->openCurrentReport();
    else
        Q_EMIT AppEvents::instance()->reportsDeleted();
    QCoreApplication::processEvents();
    QCOMPARE(m_vm->showReportButton(), !folderDeleted);
    QCOMPARE(m_reports->opened, viaOpen && !folderDeleted ? QStringList { folder } : QStringList {});
}

QTEST_GUILESS_MAIN(TestRunnerViewModel)
#include "tst_runnerviewmodel.moc"
