#include "executortest.h"
#include "process/processregistry.h"
#include "process/processtree.h"
#include "process/toolcommands.h"

#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

using namespace executortest;
using processprobe::isAlive;
using processprobe::noneAlive;
using processprobe::printedPids;

class TestCommandExecutor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void outputAndStatus_data();
    void outputAndStatus();
    void launchFailure_data();
    void launchFailure();
    void runWhileRunningIsIgnored();
    void stopWhenIdleDoesNothing();
    void childLeadsItsOwnGroup();
    void runnerArgumentsPassTheLoginShellUnchanged();
    void nothingSurvives_data();
    void nothingSurvives();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_scratch;
    QByteArray m_originalHome;
};

void TestCommandExecutor::initTestCase()
{
    QVERIFY(QFile::exists(kFakeChild));
    QVERIFY2(QFile::exists(QStringLiteral("/bin/zsh")), "the suite needs zsh at /bin/zsh (scripts/setup.sh installs it)");
    QVERIFY(m_home.isValid() && m_scratch.isValid());
    // The login shell reads the profile of whatever HOME the application has.
    QVERIFY(writeLoginProfile(m_home.path()));
    m_originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
}

void TestCommandExecutor::cleanupTestCase()
{
    qputenv("HOME", m_originalHome);
}

void TestCommandExecutor::init()
{
    QCOMPARE(ProcessRegistry::count(), 0);
}

void TestCommandExecutor::outputAndStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<int>("minimumChunks");

    QTest::newRow("stdout and stderr in one interleaved stream")
        << QStringList { QStringLiteral("interleave"), QStringLiteral("3") }
        << QStringLiteral("out 1\nerr 1\nout 2\nerr 2\nout 3\nerr 3\n") << 0 << 2;
    QTest::newRow("exit status 3 after its output")
        << QStringList { QStringLiteral("exit"), QStringLiteral("3") } << QStringLiteral("exiting 3\n") << 3 << 1;
    QTest::newRow("character split between two reads arrives whole")
        << QStringList { QStringLiteral("split-utf8") } << QStringLiteral("a\u2713 b\n") << 0 << 2;
    QTest::newRow("bytes that are not UTF-8 become U+FFFD, the rest stays")
        << QStringList { QStringLiteral("invalid") } << QStringLiteral("ok \uFFFD\uFFFD end\n") << 0 << 1;
    QTest::newRow("character cut off at the end becomes U+FFFD")
        << QStringList { QStringLiteral("truncated") } << QStringLiteral("cut \uFFFD\uFFFD") << 0 << 1;
    QTest::newRow("input is empty, a read does not wait")
        << QStringList { QStringLiteral("read-stdin") } << QStringLiteral("stdin closed\n") << 0 << 1;

    QString flood;
    for (int i = 0; i < 4096; ++i)
        flood += QString(63, QLatin1Char('x')) + QLatin1Char('\n');
    QTest::newRow("256 KiB arrive complete and in order")
        << QStringList { QStringLiteral("flood"), QString::number(4096 * 64) } << flood << 0 << 1;
}

void TestCommandExecutor::outputAndStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedStatus);
    QFETCH(int, minimumChunks);

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, arguments);
    QVERIFY(executor.isRunning());
    QVERIFY(recording.chunks.isEmpty()); // nothing is delivered from inside run()

    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), expectedStatus);
    QCOMPARE(recording.text(), expectedText);
    QVERIFY2(recording.chunks.size() >= minimumChunks, qPrintable(QString::number(recording.chunks.size())));
    QCOMPARE(recording.chunksAfterStatus, 0);
    QVERIFY(recording.everyChunkOnMainThread);
    QVERIFY(!recording.runningWhenStatusArrived);
    QVERIFY(!executor.isRunning());
    QVERIFY(!executor.hasProcess());
    QCOMPARE(ProcessRegistry::count(), 0);
}

void TestCommandExecutor::launchFailure_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("workingDirectory");

    const QString notExecutable = m_scratch.filePath(QStringLiteral("not-executable"));
    QVERIFY(writeFile(notExecutable, "#!/bin/sh\necho never\n"));

    QTest::newRow("missing executable") << QStringLiteral("/nonexistent/kestrune/runner") << QString();
    QTest::newRow("empty program") << QString() << QString();
    QTest::newRow("file without execute permission") << notExecutable << QString();
    QTest::newRow("missing working directory") << kFakeChild << m_scratch.filePath(QStringLiteral("no/such/dir"));
}

void TestCommandExecutor::launchFailure()
{
    QFETCH(QString, program);
    QFETCH(QString, workingDirectory);

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(program, { QStringLiteral("exit"), QStringLiteral("0") },
                 workingDirectory.isEmpty() ? std::nullopt : std::optional<QString>(workingDirectory));

    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), -1);
    QCOMPARE(recording.chunks.size(), 1);
    const QString message = recording.chunks.first();
    QVERIFY2(message.startsWith(QLatin1String("Error starting process: ")), qPrintable(message));
    QVERIFY(message.endsWith(QLatin1Char('\n')));
    QVERIFY(message.size() > int(qstrlen("Error starting process: \n")));
    QVERIFY(!recording.runningWhenStatusArrived);
    QVERIFY(!executor.hasProcess());
    QCOMPARE(ProcessRegistry::count(), 0);

    // The executor is usable again.
    executor.run(kFakeChild, { QStringLiteral("exit"), QStringLiteral("0") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 2, kTimeoutMs);
    QCOMPARE(recording.statuses.last(), 0);
}

void TestCommandExecutor::runWhileRunningIsIgnored()
{
    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("tree"), QStringLiteral("1") });
    QTRY_COMPARE_WITH_TIMEOUT(printedPids(recording.text()).size(), 1, kTimeoutMs);
    const qint64 pid = executor.processId();
    QCOMPARE(printedPids(recording.text()).first(), pid);

    executor.run(kFakeChild, { QStringLiteral("exit"), QStringLiteral("7") });
    QTest::qWait(300);
    QCOMPARE(executor.processId(), pid);
    QVERIFY(isAlive(pid));
    QCOMPARE(recording.chunks.size(), 1);
    QVERIFY(recording.statuses.isEmpty());
    QCOMPARE(ProcessRegistry::count(), 1);

    executor.stop();
    QVERIFY(!executor.isRunning());
    QVERIFY(executor.hasProcess()); // until its end is reported
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), int(SIGTERM));
    QVERIFY(!executor.hasProcess());
    QVERIFY(!recording.text().contains(QLatin1String("exiting 7")));
}

void TestCommandExecutor::stopWhenIdleDoesNothing()
{
    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.stop();
    executor.run(kFakeChild, { QStringLiteral("exit"), QStringLiteral("0") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    executor.stop(); // after the end: nothing to stop, no second status
    QTest::qWait(100);
    QCOMPARE(recording.statuses, QList<int> { 0 });
}

void TestCommandExecutor::childLeadsItsOwnGroup()
{
    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("pgid") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    const QStringList words = recording.text().trimmed().split(QLatin1Char(' '));
    QCOMPARE(words.size(), 4);
    QCOMPARE(words.at(1), words.at(3));
    QVERIFY(words.at(3).toLongLong() != qint64(::getpgrp()));
}

void TestCommandExecutor::runnerArgumentsPassTheLoginShellUnchanged()
{
    ToolCommands::TestRun run;
    run.runnerPath = kFakeChild;
    run.teamId = QStringLiteral("K7QX2M9R4T");
    run.deviceId = QStringLiteral("00008110-001A2B3C4D5E6F70");
    run.bundleId = QStringLiteral("com.example.shop");
    run.variables = { { QStringLiteral("GREETING"), QStringLiteral("two words") },
                      { QStringLiteral("TRICKY"), QStringLiteral("$HOME * `id` \"q\" 'a' ; exit 9") },
                      { QStringLiteral("NAMA"), QStringLiteral("Pengguna \u2713") } };
    run.outputFolder = m_scratch.filePath(QStringLiteral("run folder"));
    run.flowFile = m_scratch.filePath(QStringLiteral("sandbox/flows/login flow.yaml"));
    const ToolCommand command = ToolCommands(realShell()).runnerTestRun(run);

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(command.program, command.arguments, m_scratch.path());
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), 0);

    // Everything after the runner path arrives as the runner's arguments,
    // one each, with no word splitting, expansion or quote removal.
    const QStringList expected = command.arguments.mid(command.arguments.indexOf(kFakeChild) + 1);
    QStringList lines = recording.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.mid(1, line.size() - 2);
    QCOMPARE(lines, expected);
}

void TestCommandExecutor::nothingSurvives_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ignoreTerm");
    QTest::addColumn<int>("expectedStatus"); // -2: no status expected

    QTest::newRow("stop") << QStringLiteral("stop") << false << int(SIGTERM);
    QTest::newRow("stop, started through the login shell") << QStringLiteral("stop-shell") << true << int(SIGKILL);
    QTest::newRow("stop, every level ignores SIGTERM") << QStringLiteral("stop") << true << int(SIGKILL);
    QTest::newRow("terminateAll") << QStringLiteral("terminateAll") << false << int(SIGTERM);
    QTest::newRow("terminateAll, every level ignores SIGTERM") << QStringLiteral("terminateAll") << true << int(SIGKILL);
    QTest::newRow("terminateAll on a worker thread") << QStringLiteral("terminateAll-worker") << true << int(SIGKILL);
    QTest::newRow("executor destroyed") << QStringLiteral("destroy") << true << -2;
    QTest::newRow("runner exits, its children stay") << QStringLiteral("leave") << false << 0;
    QTest::newRow("runner exits, its children ignore SIGTERM") << QStringLiteral("leave") << true << 0;
}

void TestCommandExecutor::nothingSurvives()
{
    QFETCH(QString, how);
    QFETCH(bool, ignoreTerm);
    QFETCH(int, expectedStatus);

    auto executor = std::make_unique<CommandExecutor>(realShell());
    Recording recording;
    record(*executor, recording);
    const bool leave = how == QLatin1String("leave");
    QStringList arguments { leave ? QStringLiteral("leave") : QStringLiteral("tree"), QStringLiteral("3") };
    if (ignoreTerm)
        arguments << QStringLiteral("ignore-term");
    if (how == QLatin1String("stop-shell"))
        executor->run(QStringLiteral("/bin/zsh"),
                      QStringList { QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("\"$@\""), QStringLiteral("--"), kFakeChild }
                          + arguments);
    else
        executor->run(kFakeChild, arguments);
    QTRY_COMPARE_WITH_TIMEOUT(printedPids(recording.text()).size(), 3, kTimeoutMs);
    const QList<qint64> pids = printedPids(recording.text());
    if (leave) {
        // The run is reported over only once nothing it started is left.
        QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
        QCOMPARE(recording.statuses.first(), expectedStatus);
        QTRY_VERIFY_WITH_TIMEOUT(noneAlive(pids), 200);
        QCOMPARE(ProcessRegistry::count(), 0);
        return;
    }
    for (const qint64 pid : pids)
        QVERIFY(isAlive(pid));
    QCOMPARE(CommandExecutor::activeProcesses(), QList<qint64> { pids.first() });

    if (how.startsWith(QLatin1String("stop"))) {
        executor->stop();
    } else if (how == QLatin1String("terminateAll")) {
        CommandExecutor::terminateAll();
    } else if (how == QLatin1String("terminateAll-worker")) {
        std::atomic<bool> done = false;
        std::thread worker([&done] {
            CommandExecutor::terminateAll();
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), kTimeoutMs);
        worker.join();
    } else {
        executor.reset();
    }
    QCOMPARE(ProcessRegistry::count(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(noneAlive(pids), kTimeoutMs);
    if (expectedStatus == -2) {
        QVERIFY(recording.statuses.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), expectedStatus);
    QVERIFY(!executor->isRunning());
    QVERIFY(!executor->hasProcess());
    // Exactly once: nothing more follows.
    QTest::qWait(200);
    QCOMPARE(recording.statuses.size(), 1);
}

QTEST_GUILESS_MAIN(TestCommandExecutor)
#include "tst_commandexecutor.moc"
