#include "runnerfixture.h"

#include <QSignalSpy>

class TestRunnerViewModel : public RunnerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void constructionSelectsFirstDeviceAndApp();
    void refreshKeepsListedSelection();
    void refreshReplacesVanishedSelection();
    void emptyDeviceListClearsSelection();
    void offlineDevicesNamed_data();
    void offlineDevicesNamed();
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
};

// ---- devices and apps

void TestRunnerViewModel::constructionSelectsFirstDeviceAndApp()
{
    makeViewModel();
    QCOMPARE(m_detector->deviceCalls.load(), 1);
    QCOMPARE(m_vm->devices().size(), 2);
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("AAAA"));
    QCOMPARE(m_vm->apps(), (QStringList { QStringLiteral("com.example.a"), QStringLiteral("com.example.shop.uat") }));
    QCOMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.a"));
    QCOMPARE(m_detector->appRequests(), QStringList { QStringLiteral("AAAA") });
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
    m_detector->setDevices({ phone("CCCC"), phone("BBBB", "Phone B") });
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
    m_detector->setDevices({ phone("BBBB", "Phone B") });
    m_vm->refreshDevices();
    waitIdle();
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("BBBB"));
    QCOMPARE(m_detector->appRequests(), (QStringList { QStringLiteral("AAAA"), QStringLiteral("BBBB") }));
    QCOMPARE(m_vm->apps(), QStringList { QStringLiteral("com.example.b") });
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

void TestRunnerViewModel::offlineDevicesNamed_data()
{
    QTest::addColumn<DeviceList>("devices");
    QTest::addColumn<DeviceList>("offline");
    QTest::addColumn<QStringList>("expected");
    const QString advice = QStringLiteral(" connected but offline: unlock it, trust this Mac and keep the cable in, then refresh.\n");
    QTest::newRow("the only iPhone offline") << DeviceList {} << DeviceList { phone("OFF1", "iPhone de QA") }
                                             << QStringList { QStringLiteral("⚠️ iPhone de QA is") + advice };
    QTest::newRow("three offline") << DeviceList {}
                                   << DeviceList { phone("OFF1", "A"), phone("OFF2", "B"), phone("OFF3", "C") }
                                   << QStringList { QStringLiteral("⚠️ A, B and C are") + advice };
    QTest::newRow("a usable device: no hint") << DeviceList { phone("AAAA", "Phone A") }
                                              << DeviceList { phone("OFF1", "iPhone de QA") } << QStringList {};
    QTest::newRow("nothing listed: no hint") << DeviceList {} << DeviceList {} << QStringList {};
}

void TestRunnerViewModel::offlineDevicesNamed()
{
    QFETCH(DeviceList, devices);
    QFETCH(DeviceList, offline);
    QFETCH(QStringList, expected);
    makeViewModel();
    m_vm->clearConsole();
    m_detector->setDevices(devices, offline);
    m_vm->refreshDevices();
    waitIdle();
    QStringList lines;
    for (const QString &line : m_vm->consoleLogs())
        lines << line.mid(line.indexOf(QLatin1String("] ")) + 2);
    QCOMPARE(lines, expected);
    QVERIFY(!m_vm->devices().contains(phone("OFF1", "iPhone de QA")));
}

void TestRunnerViewModel::typedAppReplacedOnNextListing_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not installed: first app") << QStringList { QStringLiteral("com.x.one"), QStringLiteral("com.x.two") }
                                              << QStringLiteral("com.typed.app") << QStringLiteral("com.x.one");
    QTest::newRow("installed: kept") << QStringList { QStringLiteral("com.x.one"), QStringLiteral("com.x.two") }
                                     << QStringLiteral("com.x.two") << QStringLiteral("com.x.two");
    QTest::newRow("nothing installed: empty") << QStringList {} << QStringLiteral("com.typed.app") << QString();
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
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("SIM1", "Sim", true) });
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
    QCOMPARE(texts(), QStringList { QStringLiteral("Selected workspace: ") + m_workspace });
    QCOMPARE(treeSpy.count(), 1);
    QStringList names;
    for (const FileNode &node : m_vm->fileTree())
        names << node.name;
    QCOMPARE(names,
        (QStringList {
            QStringLiteral(".env.uat"), QStringLiteral("README.md"), QStringLiteral("env_sit.yaml"), QStringLiteral("flows") }));

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

    QTest::newRow("flow selected") << QStringList { QStringLiteral("flows/login.yaml") }
                                   << QStringList { QString::fromUtf8("\u25c9 Target Flow selected: flows/login.yaml") }
                                   << QStringLiteral("flows/login.yaml") << QString() << QStringList {};
    QTest::newRow("flow tapped twice") << QStringList { QStringLiteral("flows/login.yaml"), QStringLiteral("flows/login.yaml") }
                                       << QStringList { QString::fromUtf8("\u25c9 Target Flow selected: flows/login.yaml"),
                                              QString::fromUtf8("\u25c9 Target Flow deselected") }
                                       << QString() << QString() << QStringList {};
    QTest::newRow(".env selected fills variables")
        << QStringList { QStringLiteral(".env.uat") }
        << QStringList { QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat") } << QString()
        << QStringLiteral(".env.uat") << QStringList { QStringLiteral("USER"), QStringLiteral("PASS") };
    QTest::newRow(".env tapped twice empties variables")
        << QStringList { QStringLiteral(".env.uat"), QStringLiteral(".env.uat") }
        << QStringList { QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat"),
               QString::fromUtf8("\u2699\ufe0e Target Environment deselected") }
        << QString() << QString() << QStringList {};
    QTest::newRow("env_ yaml is an environment, not a flow")
        << QStringList { QStringLiteral("env_sit.yaml") }
        << QStringList { QString::fromUtf8("\u2699\ufe0e Target Environment selected: env_sit.yaml") } << QString()
        << QStringLiteral("env_sit.yaml") << QStringList { QStringLiteral("USER") };
    QTest::newRow("another env file replaces the variables")
        << QStringList { QStringLiteral(".env.uat"), QStringLiteral("env_sit.yaml") }
        << QStringList { QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.uat"),
               QString::fromUtf8("\u2699\ufe0e Target Environment selected: env_sit.yaml") }
        << QString() << QStringLiteral("env_sit.yaml") << QStringList { QStringLiteral("USER") };
    QTest::newRow(".env not UTF-8 says so") << QStringList { QStringLiteral(".env.latin") }
                                            << QStringList { QString::fromUtf8("\u2699\ufe0e Target Environment selected: .env.latin"),
                                                   QString::fromUtf8("\u26a0\ufe0f Could not read .env.latin as UTF-8 text: no "
                                                                     "variables loaded") }
                                            << QString() << QStringLiteral(".env.latin") << QStringList {};
    QTest::newRow("other files do nothing") << QStringList { QStringLiteral("README.md") } << QStringList {} << QString()
                                            << QString() << QStringList {};
}

void TestRunnerViewModel::toggleFileSelection()
{
    QFETCH(QStringList, taps);
    QFETCH(QStringList, messages);
    QFETCH(QString, flow);
    QFETCH(QString, env);
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

QTEST_GUILESS_MAIN(TestRunnerViewModel)
#include "tst_runnerviewmodel.moc"
