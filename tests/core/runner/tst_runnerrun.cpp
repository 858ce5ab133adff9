#include "runnerfixture.h"

#include <QDirIterator>
#include <QSignalSpy>

class TestRunnerRun : public RunnerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void preconditions_data();
    void preconditions();
    void runPreparesSandboxAndLaunches();
    void reportsFolderInsideTheWorkspace();
    void runnerMissing();
    void sandboxNotCreatable();
    void outputAssembledAcrossBatches();
    void consoleLimitThroughController();
    void terminationMessages_data();
    void terminationMessages();
    void stopDuringRun_data();
    void stopDuringRun();
    void stopWhilePreparingStopsRunnerOnStart();
    void clearConsole();
    void hierarchyWithoutDevice();
    void hierarchyFetch();
};

// ---- test run

void TestRunnerRun::preconditions_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("workspace") << QStringLiteral("workspace")
                               << QStringList { QString::fromUtf8("\u26a0\ufe0f Please select a workspace first.") };
    QTest::newRow("flow") << QStringLiteral("flow")
                          << QStringList { QString::fromUtf8("\u26a0\ufe0f Please select a Target Flow (.yaml).") };
    QTest::newRow("device") << QStringLiteral("device")
                            << QStringList { QString::fromUtf8("\u26a0\ufe0f Please select a Device.") };
    QTest::newRow("app") << QStringLiteral("app")
                         << QStringList { QString::fromUtf8("\u26a0\ufe0f Please enter or select a Target App (Bundle ID).") };
    QTest::newRow("flow file gone") << QStringLiteral("file") << QStringList { QStringLiteral("FILE MISSING") };
}

void TestRunnerRun::preconditions()
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
        expected = { QString::fromUtf8("\u274c File missing: ") + m_workspace + QStringLiteral("/flows/login.yaml"),
            QStringLiteral("Please refresh workspace.") };
    }
    QCOMPARE(texts(), before + expected); // the console is not cleared
    QVERIFY(!m_vm->isRunning());
    QVERIFY(m_executor->runs.isEmpty());
    QVERIFY(m_vm->currentEvidencePath().isEmpty());
    QVERIFY(!QFileInfo::exists(m_settings.reportsOutputDirectory));
}

void TestRunnerRun::runPreparesSandboxAndLaunches()
{
    write(m_workspace + QStringLiteral("/.git/HEAD"));
    write(m_workspace + QStringLiteral("/node_modules/m.js"));
    QVERIFY(QFile::link(m_workspace + QStringLiteral("/README.md"), m_workspace + QStringLiteral("/flows/readme-link")));
    {
        QFile big(m_workspace + QStringLiteral("/video.mp4"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(60'000'000));
    }
    m_detector->setApps(QStringLiteral("AAAA"), { QStringLiteral("com.example.shop.uat") });
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
    QCOMPARE(copied,
        (QStringList { QStringLiteral(".env.uat"), QStringLiteral("README.md"), QStringLiteral("env_sit.yaml"),
            QStringLiteral("flows"), QStringLiteral("flows/login.yaml") }));

    QCOMPARE(texts(),
        (QStringList { QString::fromUtf8("\U0001F680 Starting Maestro Test in Sandbox..."),
            QString::fromUtf8("\U0001F4C1 Target Flow: flows/login.yaml"),
            QString::fromUtf8("\u26a0\ufe0f Skipped symbolic link: readme-link"),
            QString::fromUtf8("\u26a0\ufe0f Skipped large file (over 50 MB): video.mp4") }));
    QCOMPARE(m_executor->terminateAllCalls, 1);
    QCOMPARE(m_executor->runs.size(), 1);
    const FakeCommandExecutor::Run &run = m_executor->runs.first();
    QCOMPARE(run.program, QStringLiteral("/bin/zsh"));
    QCOMPARE(run.arguments,
        (QStringList { "-l", "-c", "\"$@\"", "--", m_settings.maestroRunnerPath, "--platform", "ios", "--team-id", "TEAM123456",
            "--device", "AAAA", "-e", "BUNDLE_ID=com.example.shop.uat", "-e", "USER=qa", "-e", "PASS=edited value", "--artifacts",
            "on-failure", "--output", evidence, sandbox + QStringLiteral("/flows/login.yaml") }));
    QCOMPARE(run.workingDirectory, std::optional<QString>(evidence));
    QCOMPARE(run.environment,
        (std::optional<CommandExecuting::Environment>(
            CommandExecuting::Environment { { QStringLiteral("APP_ENV"), QStringLiteral("UAT") },
                { QStringLiteral("BUNDLE_ID"), QStringLiteral("com.example.shop.uat") },
                { QStringLiteral("MAESTRO_APPLE_TEAM_ID"), QStringLiteral("TEAM123456") },
                { QStringLiteral("VESK_APPLE_TEAM_ID"), QStringLiteral("TEAM123456") } })));
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

void TestRunnerRun::reportsFolderInsideTheWorkspace()
{
    // The output folder is a folder of the workspace that already holds a
    // run: the sandbox gets the flows, not the earlier run (or its own).
    m_settings.reportsOutputDirectory = m_workspace + QStringLiteral("/reports");
    write(m_settings.reportsOutputDirectory + QStringLiteral("/UAT_20261206_093000/sandbox/flows/login.yaml"));
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    const QString evidence = m_vm->currentEvidencePath();
    QCOMPARE(QFileInfo(evidence).absolutePath(), m_settings.reportsOutputDirectory);
    const QDir sandbox(evidence + QStringLiteral("/sandbox"));
    QVERIFY(sandbox.exists(QStringLiteral("flows/login.yaml")));
    QVERIFY(!sandbox.exists(QStringLiteral("reports")));
    QCOMPARE(m_executor->runs.size(), 1);
}

void TestRunnerRun::runnerMissing()
{
    m_settings.maestroRunnerPath = QStringLiteral("~/no/such/maestro-runner");
    makeViewModel();
    selectReadyRun();
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    m_vm->runTest();
    waitIdle();
    QVERIFY(!m_vm->isRunning());
    QVERIFY(m_executor->runs.isEmpty());
    QCOMPARE(texts().last(),
        QString::fromUtf8("\u26a0\ufe0f ERROR: maestro-runner binary not found at ") + QDir::homePath()
            + QStringLiteral("/no/such/maestro-runner!"));
    QCOMPARE(ended.count(), 0);
}

void TestRunnerRun::sandboxNotCreatable()
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

void TestRunnerRun::outputAssembledAcrossBatches()
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
    QTRY_COMPARE(texts(), QStringList { QStringLiteral("  \u2713 tapOn (311ms)") });
    QCOMPARE(m_vm->currentLineBuffer(), QStringLiteral("    \u2713 second"));
    m_executor->emitOutput(QStringLiteral(" step\ntime=\"x\" level=error msg=\"y\"\npartial"));
    QTRY_COMPARE(texts().size(), 2);
    QCOMPARE(texts().last(), QStringLiteral("    \u2713 second step"));
    // The last batch is cut before the result, and the tail flushed.
    m_executor->emitOutput(QStringLiteral(" tail"));
    m_executor->finish(1);
    waitIdle();
    QCOMPARE(texts(),
        (QStringList { QStringLiteral("  \u2713 tapOn (311ms)"), QStringLiteral("    \u2713 second step"),
            QStringLiteral("partial tail"), QString(), QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)"),
            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."), QString::fromUtf8("\u23f3 Generating HTML Report..."),
            QString::fromUtf8("\u2705 Report Generated.") }));
}

void TestRunnerRun::consoleLimitThroughController()
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

void TestRunnerRun::terminationMessages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("reportFailure"); // empty: the reports were written
    QTest::newRow("passed") << 0
                            << QStringList { QString(), QString::fromUtf8("\u2705 Test Completed Successfully!"),
                                   QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."),
                                   QString::fromUtf8("\u23f3 Generating HTML Report..."),
                                   QString::fromUtf8("\u2705 Report Generated.") }
                            << QString();
    QTest::newRow("failed") << 1
                            << QStringList { QString(), QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)"),
                                   QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."),
                                   QString::fromUtf8("\u23f3 Generating HTML Report..."),
                                   QString::fromUtf8("\u2705 Report Generated.") }
                            << QString();
    QTest::newRow("could not start") << -1
                                     << QStringList { QString(),
                                            QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: -1)"),
                                            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."),
                                            QString::fromUtf8("\u23f3 Generating HTML Report..."),
                                            QString::fromUtf8("\u2705 Report Generated.") }
                                     << QString();
    QTest::newRow("report not written") << 0
                                        << QStringList { QString(), QString::fromUtf8("\u2705 Test Completed Successfully!"),
                                               QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."),
                                               QString::fromUtf8("\u23f3 Generating HTML Report..."),
                                               QString::fromUtf8(
                                                   "\u26a0\ufe0f Report not generated: Could not write report.html: disk full") }
                                        << QStringLiteral("Could not write report.html: disk full");
}

void TestRunnerRun::terminationMessages()
{
    QFETCH(int, status);
    QFETCH(QStringList, expected);
    QFETCH(QString, reportFailure);
    makeViewModel();
    m_reports->succeeds = reportFailure.isEmpty();
    m_reports->failureReason = reportFailure;
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
    // The button opens the run's report: only one that was written.
    QCOMPARE(m_vm->showReportButton(), reportFailure.isEmpty());
}

void TestRunnerRun::stopDuringRun_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("killed runner") << 143;
    // A runner that exits cleanly once its children are gone: still a stop.
    QTest::newRow("clean exit after stop") << 0;
}

void TestRunnerRun::stopDuringRun()
{
    QFETCH(int, status);
    makeViewModel();
    selectReadyRun();
    m_vm->runTest();
    waitIdle();
    m_vm->clearConsole();
    waitIdle();
    m_vm->stopRun();
    QCOMPARE(m_executor->stopCalls, 1);
    QVERIFY(m_vm->isRunning()); // until the exit status arrives
    m_executor->finish(status);
    waitIdle();
    QCOMPARE(texts(),
        (QStringList { QString(), QString::fromUtf8("\U0001F6D1 STOPPING TEST..."), QString(),
            QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: %1)").arg(status),
            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."), QString::fromUtf8("\u23f3 Generating HTML Report..."),
            QString::fromUtf8("\u2705 Report Generated.") }));

    // The next run that is not stopped reports its success again.
    m_vm->runTest();
    waitIdle();
    m_executor->finish(0);
    waitIdle();
    QVERIFY(texts().contains(QString::fromUtf8("\u2705 Test Completed Successfully!")));
}

void TestRunnerRun::stopWhilePreparingStopsRunnerOnStart()
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

void TestRunnerRun::clearConsole()
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

void TestRunnerRun::hierarchyWithoutDevice()
{
    m_detector->setDevices({});
    makeViewModel();
    m_vm->processOutput(QStringLiteral("kept\n"));
    m_vm->fetchHierarchy();
    waitIdle();
    QCOMPARE(texts(), (QStringList { QStringLiteral("kept"), QString::fromUtf8("\u26a0\ufe0f Please select a Device.") }));
    QVERIFY(!m_vm->isRunning());
    QCOMPARE(m_vm->runMode(), RunMode::Test);
}

void TestRunnerRun::hierarchyFetch()
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
    QCOMPARE(run.arguments,
        (QStringList { "-l", "-c", "\"$@\"", "--", m_settings.maestroRunnerPath, "--platform", "ios", "--team-id", "TEAM123456",
            "--device", "AAAA", "hierarchy", "--compact" }));
    QCOMPARE(run.workingDirectory, std::optional<QString>(QDir::homePath()));
    QCOMPARE(run.environment, std::optional<CommandExecuting::Environment>(CommandExecuting::Environment {}));
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
    QCOMPARE(texts(),
        (QStringList { QString::fromUtf8("\U0001F680 Fetching UI Hierarchy..."),
            QStringLiteral("Application  text=\"Shop\"  (0,0 390x844)"), QStringLiteral("  Window  (0,0 390x844)"),
            QStringLiteral("    Other  id=cart  (0,0 390x844)"), QStringLiteral("      Button  id=pay  (10,10 100x44)"),
            QStringLiteral("    "), QStringLiteral("    StaticText  text=\"Total\"  (0,0 1x1)"), QString(),
            QString::fromUtf8("\u2705 UI Hierarchy Fetched Successfully!") }));
    QCOMPARE(m_vm->runMode(), RunMode::Hierarchy); // stays until the next run

    m_vm->fetchHierarchy();
    waitIdle();
    m_vm->stopRun();
    m_executor->finish(15);
    waitIdle();
    QCOMPARE(texts().mid(1),
        (QStringList { QString(), QString::fromUtf8("\U0001F6D1 STOPPING FETCH..."), QString(),
            QString::fromUtf8("\u274c Failed to Fetch UI Hierarchy (Exit code: 15)") }));
}

QTEST_GUILESS_MAIN(TestRunnerRun)
#include "tst_runnerrun.moc"
