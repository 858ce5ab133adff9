#include "../network/netfoxlogbuilder.h"
#include "process/toolcommands.h"
#include "runnerfixture.h"
#include "settings/appevents.h"

#include <QSignalSpy>

using namespace std::chrono_literals;

// The run controller's network capture: live pulls during a run, the final
// copy after it, and the hand-off to report generation.
class TestRunnerNetwork : public RunnerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init();
    void cleanup() { tearDown(); }

    void finalCopy_data();
    void finalCopy();
    void livePullFillsHitsAndNeverOverlaps();
    void linksAtTheLogsAreNotFollowed();
    void lastPullAfterTheRunEnds();
    void laterPullsFollowChangedSelection();
    void reportHandOffOrder();
    void reportButtonFollowsTheFolder_data();
    void reportButtonFollowsTheFolder();
    void hierarchyFetchNeverPullsNorReports();

private:
    static QString logWithHit(const QString &path);
    void startRun(const QString &deviceId, const QString &appId);
    QStringList afterPulling() const;
    int liveCopies(const QList<ToolCommand> &commands) const;
};

void TestRunnerNetwork::init()
{
    setUp();
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("SIM1", "iPhone 15", true) });
    m_detector->setApps(QStringLiteral("SIM1"), { QStringLiteral("com.example.shop.uat") });
}

QString TestRunnerNetwork::logWithHit(const QString &path)
{
    // Stamped now, so the run's start filter keeps it.
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
    const QString url = QStringLiteral("https://api.example.com") + path;
    return NetfoxLogBuilder::simpleRequest(url, QStringLiteral("GET"), now)
        + NetfoxLogBuilder::simpleResponse(url, QStringLiteral("200"), QStringLiteral(" ok"));
}

void TestRunnerNetwork::startRun(const QString &deviceId, const QString &appId)
{
    makeViewModel();
    selectReadyRun();
    m_vm->setSelectedDeviceId(deviceId);
    waitIdle();
    m_vm->setSelectedAppId(appId);
    m_vm->runTest();
    QVERIFY(m_vm->isRunning());
}

// Console texts from "Pulling Network Logs..." on.
QStringList TestRunnerNetwork::afterPulling() const
{
    const QStringList all = texts();
    const qsizetype at = all.indexOf(QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."));
    return at < 0 ? QStringList { QStringLiteral("no pulling message") } : all.mid(at + 1);
}

int TestRunnerNetwork::liveCopies(const QList<ToolCommand> &commands) const
{
    int count = 0;
    for (const ToolCommand &command : commands)
        count += command.arguments.last().endsWith(QLatin1String("/live_network_log.txt")) ? 1 : 0;
    return count;
}

void TestRunnerNetwork::finalCopy_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("copyFails");
    QTest::addColumn<bool>("containerFound");
    QTest::addColumn<QStringList>("tools"); // first arguments of each command, in order
    QTest::addColumn<QString>("warning");   // empty: none
    QTest::addColumn<bool>("logWritten");

    const QString failed = QString::fromUtf8("\u26a0\ufe0f Network log (NFX) not found or failed to pull.");
    QTest::newRow("device") << "AAAA" << false << false << QStringList { "devicectl live", "devicectl final" } << QString()
                            << true;
    QTest::newRow("device copy fails") << "AAAA" << true << false << QStringList { "devicectl live", "devicectl final" }
                                       << failed << false;
    QTest::newRow("simulator") << "SIM1" << false << true << QStringList { "simctl", "cp" } << QString() << true;
    QTest::newRow("simulator cp fails") << "SIM1" << true << true << QStringList { "simctl", "cp" } << failed << false;
    QTest::newRow("simulator without container")
        << "SIM1" << false << false << QStringList { "simctl" }
        << QString::fromUtf8("\u26a0\ufe0f Network log (NFX) not found or failed to pull (container not found).") << false;
}

void TestRunnerNetwork::finalCopy()
{
    QFETCH(QString, device);
    QFETCH(bool, copyFails);
    QFETCH(bool, containerFound);
    QFETCH(QStringList, tools);
    QFETCH(QString, warning);
    QFETCH(bool, logWritten);

    const QString container = m_dir.filePath(QStringLiteral("case%1/container").arg(m_case));
    write(container + QStringLiteral("/tmp/NFX/session.log"), logWithHit(QStringLiteral("/sim")).toUtf8());
    m_tools->sessionLog = logWithHit(QStringLiteral("/device")).toUtf8();
    m_tools->copyFails = copyFails;
    if (containerFound)
        m_tools->containerPath = container;

    startRun(device, QStringLiteral("com.example.shop.uat"));
    waitIdle();
    m_executor->finish(0);
    waitIdle();

    const QString folder = m_vm->currentEvidencePath();
    const ToolCommands commands;
    const QString source = QStringLiteral("tmp/NFX/session.log");
    QList<ToolCommand> expected;
    for (const QString &tool : tools) {
        if (tool == QLatin1String("devicectl live"))
            expected << commands.devicectlCopyFrom(
                device, QStringLiteral("com.example.shop.uat"), source, folder + QStringLiteral("/live_network_log.txt"));
        if (tool == QLatin1String("devicectl final"))
            expected << commands.devicectlCopyFrom(
                device, QStringLiteral("com.example.shop.uat"), source, folder + QStringLiteral("/network_log.txt"));
        if (tool == QLatin1String("simctl"))
            expected << commands.simctlAppDataContainer(device, QStringLiteral("com.example.shop.uat"));
        if (tool == QLatin1String("cp"))
            expected << commands.copyFile(container + u'/' + source, folder + QStringLiteral("/network_log.txt"));
    }
    QCOMPARE(m_tools->takeCommands(), expected);

    QStringList messages;
    if (!warning.isEmpty())
        messages << warning;
    messages << QString::fromUtf8("\u23f3 Generating HTML Report...") << QString::fromUtf8("\u2705 Report Generated.");
    QCOMPARE(afterPulling(), messages);
    QCOMPARE(m_reports->generated, QStringList { folder });
    QVERIFY(m_vm->showReportButton());
    QCOMPARE(QFileInfo::exists(folder + QStringLiteral("/network_log.txt")), logWritten);
    // The final copy feeds the reports only; the live list comes from live
    // pulls, which simulators never get.
    QCOMPARE(m_vm->networkHits().size(), device == QLatin1String("AAAA") && !copyFails ? 1 : 0);
}

void TestRunnerNetwork::livePullFillsHitsAndNeverOverlaps()
{
    m_tools->sessionLog = logWithHit(QStringLiteral("/cart")).toUtf8();
    m_tools->copyDelayMs = 120; // each pull takes longer than the pause
    makeViewModel();
    m_vm->setNetworkPollInterval(10ms);
    selectReadyRun();
    m_vm->runTest();
    QTRY_COMPARE(m_vm->networkHits().size(), 1);
    QCOMPARE(m_vm->networkHits().first().url, QStringLiteral("https://api.example.com/cart"));
    QVERIFY(QFileInfo::exists(m_vm->currentEvidencePath() + QStringLiteral("/live_network_log.txt")));
    QTest::qWait(800);
    QVERIFY(m_vm->isRunning());
    QMutexLocker lock(&m_tools->mutex);
    QCOMPARE(m_tools->maxInFlight, 1);
    QVERIFY2(liveCopies(m_tools->commands) >= 3, "the loop goes on while the run lasts");
}

// A link planted in the run folder at a log's name must not make the copy
// overwrite what it points to.
void TestRunnerNetwork::linksAtTheLogsAreNotFollowed()
{
    m_tools->sessionLog = logWithHit(QStringLiteral("/cart")).toUtf8();
    makeViewModel();
    // Planted right after a pull, long before the next one.
    m_vm->setNetworkPollInterval(400ms);
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
    m_executor->finish(0); // the last live pull and the final copy follow
    QTRY_VERIFY(QFileInfo(logs.first()).isFile() && !QFileInfo(logs.first()).isSymLink());
    QTRY_VERIFY(!m_vm->isFetchingNetworkLog());
    waitIdle();
    QFile file(victim);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep"));
    for (const QString &log : logs)
        QVERIFY2(!QFileInfo(log).isSymLink() && QFileInfo(log).isFile(), qPrintable(log));
}

void TestRunnerNetwork::lastPullAfterTheRunEnds()
{
    m_tools->sessionLog = logWithHit(QStringLiteral("/one")).toUtf8();
    makeViewModel();
    // Once the first list is in, nothing is in flight until the next tick.
    m_vm->setNetworkPollInterval(300ms);
    selectReadyRun();
    m_vm->runTest();
    QTRY_COMPARE(m_vm->networkHits().size(), 1);
    m_executor->finish(0);
    {
        // Written after the end: only a pull after the run can see it.
        QMutexLocker lock(&m_tools->mutex);
        m_tools->sessionLog += logWithHit(QStringLiteral("/two")).toUtf8();
    }
    QTRY_COMPARE(m_vm->networkHits().size(), 2);
    QTRY_VERIFY(!m_vm->isFetchingNetworkLog());
    // And that was the last one.
    waitIdle();
    m_tools->takeCommands();
    QTest::qWait(700);
    waitIdle();
    QCOMPARE(m_tools->takeCommands(), QList<ToolCommand> {});
}

void TestRunnerNetwork::laterPullsFollowChangedSelection()
{
    makeViewModel();
    m_vm->setNetworkPollInterval(20ms);
    selectReadyRun();
    m_vm->runTest();
    // Collected across the retries of the checks below.
    QList<ToolCommand> seen;
    const auto collect = [&] { return seen += m_tools->takeCommands(); };
    QTRY_VERIFY(liveCopies(collect()) > 0);
    m_vm->setSelectedAppId(QStringLiteral("com.example.a"));
    seen.clear();
    QTRY_VERIFY(collect().contains(ToolCommands().devicectlCopyFrom(QStringLiteral("AAAA"), QStringLiteral("com.example.a"),
        QStringLiteral("tmp/NFX/session.log"), m_vm->currentEvidencePath() + QStringLiteral("/live_network_log.txt"))));
    m_executor->finish(0);
}

void TestRunnerNetwork::reportHandOffOrder()
{
    m_reports->deferred = true;
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    QSignalSpy generated(m_vm.get(), &RunnerViewModel::reportGenerated);
    m_executor->finish(1);
    waitIdle();
    // Handed off, not yet back: no button, still finishing.
    QCOMPARE(texts().last(), QString::fromUtf8("\u23f3 Generating HTML Report..."));
    QCOMPARE(m_reports->generated, QStringList { m_vm->currentEvidencePath() });
    QCOMPARE(m_reports->startTimes, QList<std::optional<QDateTime>> { m_vm->testStartTime() });
    QVERIFY(m_vm->isFinishingRun());
    QVERIFY(!m_vm->showReportButton());
    QCOMPARE(generated.count(), 0);

    QSignalSpy button(m_vm.get(), &RunnerViewModel::showReportButtonChanged);
    std::exchange(m_reports->pending, {})(true, QString());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(texts().last(), QString::fromUtf8("\u2705 Report Generated."));
    QVERIFY(m_vm->showReportButton());
    QCOMPARE(button.count(), 1);
    QCOMPARE(generated.count(), 1);
    QVERIFY(!m_vm->isFinishingRun());
}

void TestRunnerNetwork::reportButtonFollowsTheFolder_data()
{
    QTest::addColumn<bool>("folderDeleted");
    QTest::addColumn<bool>("viaOpen"); // the button pressed rather than the notification
    QTest::newRow("folder kept, notification") << false << false;
    QTest::newRow("folder gone, notification") << true << false;
    QTest::newRow("folder kept, opened") << false << true;
    QTest::newRow("folder gone, opened") << true << true;
}

void TestRunnerNetwork::reportButtonFollowsTheFolder()
{
    QFETCH(bool, folderDeleted);
    QFETCH(bool, viaOpen);
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
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

void TestRunnerNetwork::hierarchyFetchNeverPullsNorReports()
{
    makeViewModel();
    m_vm->setNetworkPollInterval(10ms);
    m_vm->fetchHierarchy();
    waitIdle();
    QTest::qWait(50);
    m_executor->finish(0);
    waitIdle();
    QTest::qWait(50);
    waitIdle();
    QCOMPARE(m_tools->takeCommands(), QList<ToolCommand> {});
    QCOMPARE(m_reports->generated, QStringList {});
    QVERIFY(!m_vm->showReportButton());
    QVERIFY(!m_vm->isFinishingRun());
}

QTEST_GUILESS_MAIN(TestRunnerNetwork)
#include "tst_runnernetwork.moc"
