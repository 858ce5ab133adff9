// The command executor against real processes (the fake child, the real
// zsh reading a profile this suite writes), and the process registry under
// threads (the suite runs under ThreadSanitizer too).

#include "diagnosticscapture.h"
#include "process/commandexecutor.h"
#include "process/loginenvironment.h"
#include "process/processregistry.h"
#include "process/toolcommands.h"
#include "processprobe.h"
#include "scratchfiles.h"

#include <QCoreApplication>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using processprobe::isAlive;
using processprobe::noneAlive;
using processprobe::printedPids;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const QString kFakeChild = QStringLiteral(KESTRUNE_FAKECHILD);
constexpr int kTimeoutMs = 5000;

// What one executor published, and in which state it was at the time.
struct Recording
{
    QStringList chunks;
    QList<int> statuses;
    bool everyChunkOnMainThread = true;
    bool runningWhenStatusArrived = false;
    int chunksAfterStatus = 0;

    QString text() const { return chunks.join(QString()); }
};

void record(CommandExecutor &executor, Recording &recording)
{
    QObject::connect(&executor, &CommandExecuting::outputReceived, &executor, [&recording](const QString &chunk) {
        recording.chunks.append(chunk);
        recording.everyChunkOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
        if (!recording.statuses.isEmpty())
            ++recording.chunksAfterStatus;
    });
    QObject::connect(&executor, &CommandExecuting::terminated, &executor, [&executor, &recording](int status) {
        recording.statuses.append(status);
        recording.runningWhenStatusArrived = executor.isRunning();
    });
}

// The real login shell and pkill, whatever the environment names.
ToolPaths realShell()
{
    return ToolPaths {};
}

} // namespace

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
    void oneRunAtATime();
    void nothingSurvives_data();
    void nothingSurvives();

    void environmentReachesTheProcess_data();
    void environmentReachesTheProcess();
    void hangingProfile_data();
    void hangingProfile();

    void registryHandsEveryProcessOutOnce();

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
    // A marker, a value that starts with "=" and holds another, an empty
    // value and a PATH in front of the default one.
    QVERIFY(writeFile(m_home.filePath(u".zprofile"_s),
        "export KESTRUNE_LOGIN_MARKER=from-profile\nexport EQ_FIRST='=lead=ing'\nexport EMPTY_VALUE=\n"
        "export PATH=\"/login/bin:$PATH\"\n"));
    QVERIFY(writeFile(m_home.filePath(u".zshrc"_s), "# nothing interactive\n"));
    QVERIFY(writeFile(m_scratch.filePath(u"logging-pkill"_s),
        "#!/bin/sh\necho \"$*\" >> '" + QFile::encodeName(m_scratch.filePath(u"pkill.log"_s)) + "'\nexec /usr/bin/pkill \"$@\"\n",
        true));
    // The login shell reads the profile of whatever HOME the application has.
    m_originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
    DiagnosticsCapture::install("io.kestrune.Kestrune.App");
}

void TestCommandExecutor::cleanupTestCase()
{
    qputenv("HOME", m_originalHome);
    DiagnosticsCapture::remove();
}

void TestCommandExecutor::init()
{
    DiagnosticsCapture::lines.clear();
    QCOMPARE(ProcessRegistry::count(), 0);
}

void TestCommandExecutor::outputAndStatus_data()
{
    QTest::addColumn<QStringList>("command"); // the program, then its arguments
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<int>("minimumChunks");

    const auto fakeChild = [](const QString &arguments) { return QStringList { kFakeChild } + arguments.split(u' '); };
    QTest::newRow("stdout and stderr in one interleaved stream")
        << fakeChild(u"interleave 3"_s) << u"out 1\nerr 1\nout 2\nerr 2\nout 3\nerr 3\n"_s << 0 << 2;
    QTest::newRow("exit status 3 after its output") << fakeChild(u"exit 3"_s) << u"exiting 3\n"_s << 3 << 1;
    QTest::newRow("character split between two reads arrives whole") << fakeChild(u"split-utf8"_s) << u"a\u2713 b\n"_s << 0 << 2;
    QTest::newRow("character cut off at the end becomes U+FFFD") << fakeChild(u"truncated"_s) << u"cut \uFFFD\uFFFD"_s << 0 << 1;
    QTest::newRow("input is empty, a read does not wait") << fakeChild(u"read-stdin"_s) << u"stdin closed\n"_s << 0 << 1;
    QTest::newRow("256 KiB arrive complete and in order")
        << fakeChild(u"flood %1"_s.arg(4096 * 64)) << QString(QString(63, u'x') + u'\n').repeated(4096) << 0 << 1;

    // Through the login shell, the runner gets every argument as it was
    // given, with no word splitting, expansion or quote removal.
    ToolCommands::TestRun run { .runnerPath = kFakeChild,
        .teamId = u"K7QX2M9R4T"_s,
        .deviceId = u"00008110-001A2B3C4D5E"_s,
        .bundleId = u"com.example.shop"_s,
        .variables = { { u"GREETING"_s, u"two words"_s }, { u"TRICKY"_s, u"$HOME * `id` \"q\" 'a' ; exit 9"_s },
            { u"NAMA"_s, u"Pengguna \u2713"_s } },
        .outputFolder = m_scratch.filePath(u"run folder"_s),
        .flowFile = m_scratch.filePath(u"sandbox/login flow.yaml"_s) };
    const ToolCommand runner = ToolCommands(realShell()).runnerTestRun(run);
    QString printed; // the fake child prints each argument as an "[arg]" line
    for (const QString &argument : runner.arguments.mid(runner.arguments.indexOf(kFakeChild) + 1))
        printed += u'[' + argument + u"]\n"_s;
    QTest::newRow("runner arguments pass the login shell unchanged")
        << QStringList { runner.program } + runner.arguments << printed << 0 << 1;
}

void TestCommandExecutor::outputAndStatus()
{
    QFETCH(QStringList, command);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedStatus);
    QFETCH(int, minimumChunks);

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(command.first(), command.mid(1));
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

    const QString notExecutable = m_scratch.filePath(u"not-executable"_s);
    QVERIFY(writeFile(notExecutable, "#!/bin/sh\necho never\n"));
    QTest::newRow("missing executable") << u"/nonexistent/kestrune/runner"_s << QString();
    QTest::newRow("empty program") << QString() << QString();
    QTest::newRow("file without execute permission") << notExecutable << QString();
    QTest::newRow("missing working directory") << kFakeChild << m_scratch.filePath(u"no/such/dir"_s);
}

void TestCommandExecutor::launchFailure()
{
    QFETCH(QString, program);
    QFETCH(QString, workingDirectory);

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(program, { u"exit"_s, u"0"_s }, workingDirectory.isEmpty() ? std::nullopt : std::optional(workingDirectory));
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), -1);
    QCOMPARE(recording.chunks.size(), 1);
    const QString message = recording.chunks.first();
    QVERIFY2(message.startsWith(u"Error starting process: "_s) && message.endsWith(u'\n'), qPrintable(message));
    QVERIFY(message.size() > int(qstrlen("Error starting process: \n")));
    QVERIFY(!recording.runningWhenStatusArrived);
    QVERIFY(!executor.hasProcess());
    QCOMPARE(ProcessRegistry::count(), 0);

    // The executor is usable again.
    executor.run(kFakeChild, { u"exit"_s, u"0"_s });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 2, kTimeoutMs);
    QCOMPARE(recording.statuses.last(), 0);
}

// A run while one is running is ignored; a stop when idle or after the end
// does nothing and gives no second status.
void TestCommandExecutor::oneRunAtATime()
{
    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.stop();
    executor.run(kFakeChild, { u"tree"_s, u"1"_s });
    QTRY_COMPARE_WITH_TIMEOUT(printedPids(recording.text()).size(), 1, kTimeoutMs);
    const qint64 pid = executor.processId();
    QCOMPARE(printedPids(recording.text()).first(), pid);

    executor.run(kFakeChild, { u"exit"_s, u"7"_s });
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
    QVERIFY(!executor.hasProcess());
    executor.stop();
    QTest::qWait(100);
    QCOMPARE(recording.statuses, QList<int> { SIGTERM });
    QVERIFY(!recording.text().contains(u"exiting 7"_s));
}

void TestCommandExecutor::nothingSurvives_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ignoreTerm");
    QTest::addColumn<int>("expectedStatus"); // -2: no status expected

    QTest::newRow("stop") << u"stop"_s << false << int(SIGTERM);
    QTest::newRow("stop, started through the login shell") << u"stop-shell"_s << true << int(SIGKILL);
    QTest::newRow("stop, every level ignores SIGTERM") << u"stop"_s << true << int(SIGKILL);
    QTest::newRow("terminateAll") << u"terminateAll"_s << false << int(SIGTERM);
    QTest::newRow("terminateAll, every level ignores SIGTERM") << u"terminateAll"_s << true << int(SIGKILL);
    QTest::newRow("terminateAll on a worker thread") << u"terminateAll-worker"_s << true << int(SIGKILL);
    QTest::newRow("executor destroyed") << u"destroy"_s << true << -2;
    QTest::newRow("runner exits, its children stay") << u"leave"_s << false << 0;
    QTest::newRow("runner exits, its children ignore SIGTERM") << u"leave"_s << true << 0;
}

void TestCommandExecutor::nothingSurvives()
{
    QFETCH(QString, how);
    QFETCH(bool, ignoreTerm);
    QFETCH(int, expectedStatus);

    // The executor's tools as the environment names them: a pkill that logs.
    const QString pkillLog = m_scratch.filePath(u"pkill.log"_s);
    QFile::remove(pkillLog);
    const testsupport::ScopedEnv pkill("KESTRUNE_PKILL", QFile::encodeName(m_scratch.filePath(u"logging-pkill"_s)));
    auto executor = std::make_unique<CommandExecutor>();
    Recording recording;
    record(*executor, recording);
    const bool leave = how == u"leave"_s;
    QStringList arguments { leave ? u"leave"_s : u"tree"_s, u"3"_s };
    if (ignoreTerm)
        arguments << u"ignore-term"_s;
    if (how == u"stop-shell"_s)
        executor->run(u"/bin/zsh"_s, QStringList { u"-l"_s, u"-c"_s, u"\"$@\""_s, u"--"_s, kFakeChild } + arguments);
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
    QVERIFY(std::all_of(pids.cbegin(), pids.cend(), isAlive));
    QCOMPARE(CommandExecutor::activeProcesses(), QList<qint64> { pids.first() });

    if (how.startsWith(u"stop"_s)) {
        executor->stop();
    } else if (how == u"terminateAll"_s) {
        CommandExecutor::terminateAll();
    } else if (how == u"terminateAll-worker"_s) {
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
    // The child's own children are told to end, then killed, in any group.
    if (how != u"destroy"_s)
        QCOMPARE(QString::fromUtf8(readFile(pkillLog)), u"-TERM -P %1\n-9 -P %1\n"_s.arg(pids.first()));

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
    QTest::qWait(100);
    QCOMPARE(recording.statuses.size(), 1);
}

// The login shell's environment (it starts from a minimal one, without this
// process's secrets) with the caller's entries over it; whatever the shell
// does wrong, the run starts with the minimal one and the reason is logged.
void TestCommandExecutor::environmentReachesTheProcess_data()
{
    QTest::addColumn<QByteArray>("shell"); // a stand-in's script; empty: the real zsh, "-": none at all
    QTest::addColumn<QVariantMap>("callerEnvironment");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedDiagnostic");

    const QString path = u"PATH="_s + ToolPaths::defaultSearchPath();
    const QString login
        = u"KESTRUNE_LOGIN_MARKER=from-profile\nEQ_FIRST==lead=ing\nEMPTY_VALUE unset\nKESTRUNE_SECRET unset\nPATH=/login/bin:"_s
        + ToolPaths::defaultSearchPath() + u'\n';
    const QString minimal
        = u"KESTRUNE_LOGIN_MARKER unset\nEQ_FIRST unset\nEMPTY_VALUE unset\nKESTRUNE_SECRET unset\n"_s + path + u'\n';
    QTest::newRow("login environment only") << QByteArray() << QVariantMap {} << login << QString();
    QTest::newRow("caller's PATH wins over the login shell's")
        << QByteArray() << QVariantMap { { u"PATH"_s, u"/caller/bin"_s } }
        << QString(login).replace(u"PATH=/login/bin:"_s + ToolPaths::defaultSearchPath(), u"PATH=/caller/bin"_s) << QString();
    QTest::newRow("caller's entries replace and add")
        << QByteArray() << QVariantMap { { u"KESTRUNE_LOGIN_MARKER"_s, u"from-caller"_s }, { u"EMPTY_VALUE"_s, QString() } }
        << QString(login).replace(u"from-profile"_s, u"from-caller"_s).replace(u"EMPTY_VALUE unset"_s, u"EMPTY_VALUE="_s)
        << QString();
    QTest::newRow("shell cannot be started")
        << QByteArray("-") << QVariantMap {} << minimal << u"Failed to get user environment: "_s;
    QTest::newRow("shell's output is not UTF-8")
        << QByteArray("printf 'KESTRUNE_LOGIN_MARKER=yes\\nBAD=\\377\\n'") << QVariantMap {} << minimal << u"not UTF-8"_s;
    QTest::newRow("shell's exit status is not consulted")
        << QByteArray("printf 'KESTRUNE_LOGIN_MARKER=yes\\nPATH=/shell/bin\\n'; exit 3") << QVariantMap {}
        << u"KESTRUNE_LOGIN_MARKER=yes\nEQ_FIRST unset\nEMPTY_VALUE unset\nKESTRUNE_SECRET unset\nPATH=/shell/bin\n"_s
        << QString();
}

void TestCommandExecutor::environmentReachesTheProcess()
{
    QFETCH(QByteArray, shell);
    QFETCH(QVariantMap, callerEnvironment);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedDiagnostic);

    ToolPaths paths = realShell();
    if (!shell.isEmpty())
        paths.shell = m_scratch.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (!shell.isEmpty() && shell != "-")
        QVERIFY(writeFile(paths.shell, "#!/bin/sh\n" + shell + '\n', true));
    std::optional<CommandExecuting::Environment> environment;
    if (!callerEnvironment.isEmpty()) {
        environment.emplace();
        for (auto it = callerEnvironment.cbegin(); it != callerEnvironment.cend(); ++it)
            environment->insert(it.key(), it.value().toString());
    }
    const testsupport::ScopedEnv secret("KESTRUNE_SECRET", "not for the runner");
    CommandExecutor executor(paths);
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, u"print-env KESTRUNE_LOGIN_MARKER EQ_FIRST EMPTY_VALUE KESTRUNE_SECRET PATH"_s.split(u' '),
        std::nullopt, environment);
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), 0);
    QCOMPARE(recording.text(), expectedText);
    QCOMPARE(DiagnosticsCapture::lines.size(), expectedDiagnostic.isEmpty() ? 0 : 1);
    if (!expectedDiagnostic.isEmpty())
        QVERIFY2(DiagnosticsCapture::lines.first().contains(expectedDiagnostic), qPrintable(DiagnosticsCapture::lines.first()));
}

// A .zshrc that never finishes: run() returns at once; on time-out the shell
// and what it started are killed and the run starts with the minimal
// environment; a stop meanwhile ends the run with SIGTERM and a new run works.
void TestCommandExecutor::hangingProfile_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("time-out") << false;
    QTest::newRow("stop while learning the environment") << true;
}

void TestCommandExecutor::hangingProfile()
{
    QFETCH(bool, stop);
    // Both pids, the shell's and its background child's, are written next to it.
    const QString home = m_scratch.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(writeFile(home + u"/.zprofile"_s, "export KESTRUNE_LOGIN_MARKER=from-profile\n"));
    QVERIFY(writeFile(
        home + u"/.zshrc"_s, "echo $$ > \"$HOME/shell.pid\"\nsleep 1001 &\necho $! > \"$HOME/child.pid\"\nsleep 1000\n"));
    const testsupport::ScopedEnv hangingHome("HOME", QFile::encodeName(home));

    CommandExecutor executor(realShell());
    executor.setLoginShellTimeout(stop ? 10s : 1000ms);
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { u"print-env"_s, u"KESTRUNE_LOGIN_MARKER"_s, u"PATH"_s });
    QTRY_VERIFY_WITH_TIMEOUT(readFile(home + u"/child.pid"_s).trimmed().toLongLong() > 0, kTimeoutMs);
    const QList<qint64> shellPids { readFile(home + u"/shell.pid"_s).trimmed().toLongLong(),
        readFile(home + u"/child.pid"_s).trimmed().toLongLong() };
    QVERIFY(isAlive(shellPids.first()));
    QVERIFY(executor.isRunning());
    QVERIFY(!executor.hasProcess());

    if (stop) {
        executor.stop();
        QVERIFY(!executor.isRunning());
        QVERIFY(recording.statuses.isEmpty()); // reported after stop() returns, as for a process
    }
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), stop ? int(SIGTERM) : 0);
    QTRY_VERIFY_WITH_TIMEOUT(noneAlive(shellPids), kTimeoutMs);
    if (!stop) {
        QCOMPARE(recording.text(), u"KESTRUNE_LOGIN_MARKER unset\nPATH="_s + ToolPaths::defaultSearchPath() + u'\n');
        QCOMPARE(DiagnosticsCapture::lines.size(), 1);
        QVERIFY2(DiagnosticsCapture::lines.first().contains(u"1000 ms"_s), qPrintable(DiagnosticsCapture::lines.first()));
        return;
    }
    qputenv("HOME", QFile::encodeName(m_home.path()));
    executor.run(kFakeChild, { u"exit"_s, u"4"_s });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 2, kTimeoutMs);
    QCOMPARE(recording.statuses.last(), 4);
    QCOMPARE(recording.text(), u"exiting 4\n"_s);
}

// Launchers add entries, give them a pid a moment later and reap every second
// one while a worker empties the registry: no pid twice, none unreaped lost.
void TestCommandExecutor::registryHandsEveryProcessOutOnce()
{
    constexpr int kLaunchers = 4;
    constexpr int kPerLauncher = 2000;
    std::atomic<bool> launching { true };
    QList<qint64> taken; // by the taker alone until it is joined
    std::thread taker([&] {
        while (launching.load())
            taken += ProcessRegistry::takeAll();
    });
    std::vector<std::thread> launchers;
    for (int l = 0; l < kLaunchers; ++l) {
        launchers.emplace_back([l] {
            for (qint64 pid = 100000 + l * kPerLauncher; pid < 100000 + (l + 1) * kPerLauncher; ++pid) {
                const quint64 token = ProcessRegistry::add();
                ProcessRegistry::setProcessId(token, pid);
                if (pid % 2 == 0)
                    ProcessRegistry::remove(token); // reaped: gone unless the taker was quicker
            }
        });
    }
    for (std::thread &launcher : launchers)
        launcher.join();
    launching = false;
    taker.join();
    taken += ProcessRegistry::takeAll();

    QCOMPARE(ProcessRegistry::count(), 0);
    const QSet<qint64> seen(taken.cbegin(), taken.cend());
    QCOMPARE(seen.size(), taken.size()); // none handed out twice
    for (qint64 pid = 100001; pid < 100000 + kLaunchers * kPerLauncher; pid += 2)
        QVERIFY2(seen.contains(pid), qPrintable(u"pid %1 lost"_s.arg(pid)));
}

QTEST_GUILESS_MAIN(TestCommandExecutor)
#include "tst_commandexecutor.moc"
