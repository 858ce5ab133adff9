#include "process/commandexecutor.h"
#include "process/toolcommands.h"
#include "process/processregistry.h"
#include "process/processtree.h"
#include "processprobe.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using processprobe::isAlive;
using processprobe::noneAlive;
using processprobe::printedPids;

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
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            recording.everyChunkOnMainThread = false;
        if (!recording.statuses.isEmpty())
            ++recording.chunksAfterStatus;
    });
    QObject::connect(&executor, &CommandExecuting::terminated, &executor, [&executor, &recording](int status) {
        recording.statuses.append(status);
        recording.runningWhenStatusArrived = executor.isRunning();
    });
}

ToolPaths realShell()
{
    ToolPaths paths;
    paths.shell = QStringLiteral("/bin/zsh");
    paths.pkill = QStringLiteral("/usr/bin/pkill");
    return paths;
}

bool writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
}

qint64 readPid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

// Diagnostic lines of the process area, captured for the assertions that
// need them (the category is silenced by default in the suites).
QStringList g_diagnostics;
QtMessageHandler g_previousHandler = nullptr;
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void captureDiagnostics(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "io.kestrune.Kestrune.App") == 0) {
        g_diagnostics.append(message);
        return;
    }
    g_previousHandler(type, context, message);
}

void enableProcessDiagnostics(QLoggingCategory *category)
{
    g_previousFilter(category);
    if (qstrcmp(category->categoryName(), "io.kestrune.Kestrune.App") == 0)
        category->setEnabled(QtInfoMsg, true);
}

// Sets an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

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
    void runWhileRunningIsIgnored();
    void stopWhenIdleDoesNothing();
    void childLeadsItsOwnGroup();
    void runnerArgumentsPassTheLoginShellUnchanged();
    void nothingSurvives_data();
    void nothingSurvives();

    void parseLine_data();
    void parseLine();
    void applyOutput();
    void loginEnvironmentReachesTheProcess_data();
    void loginEnvironmentReachesTheProcess();
    void loginShellFailures_data();
    void loginShellFailures();
    void hangingLoginShellTimesOut();
    void stopWhileLearningTheEnvironment();
    void environmentOverridesAreHonoured();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_hangingHome;
    QTemporaryDir m_scratch;
    QByteArray m_originalHome;
};

void TestCommandExecutor::initTestCase()
{
    QVERIFY(QFile::exists(kFakeChild));
    QVERIFY2(QFile::exists(QStringLiteral("/bin/zsh")), "the suite needs zsh at /bin/zsh (scripts/setup.sh installs it)");
    QVERIFY(m_home.isValid() && m_hangingHome.isValid() && m_scratch.isValid());

    // The login shell reads the profile of whatever HOME the application has.
    QVERIFY(writeFile(m_home.filePath(QStringLiteral(".zprofile")),
                      "export KESTRUNE_LOGIN_MARKER=from-profile\n"
                      "export EQ_FIRST='=leading'\n"
                      "export EMPTY_VALUE=\n"
                      "export PATH=\"/login/bin:$PATH\"\n"));
    QVERIFY(writeFile(m_home.filePath(QStringLiteral(".zshrc")), "# nothing interactive\n"));
    // A profile that never finishes, leaving a background child behind.
    QVERIFY(writeFile(m_hangingHome.filePath(QStringLiteral(".zprofile")), "export KESTRUNE_LOGIN_MARKER=from-profile\n"));
    QVERIFY(writeFile(m_hangingHome.filePath(QStringLiteral(".zshrc")),
                      "echo $$ > \"$HOME/shell.pid\"\n"
                      "sleep 1001 &\n"
                      "echo $! > \"$HOME/child.pid\"\n"
                      "sleep 1000\n"));
    m_originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));

    g_previousHandler = qInstallMessageHandler(captureDiagnostics);
    g_previousFilter = QLoggingCategory::installFilter(enableProcessDiagnostics);
}

void TestCommandExecutor::cleanupTestCase()
{
    qputenv("HOME", m_originalHome);
    QLoggingCategory::installFilter(g_previousFilter);
    qInstallMessageHandler(g_previousHandler);
}

void TestCommandExecutor::init()
{
    g_diagnostics.clear();
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
}

void TestCommandExecutor::nothingSurvives()
{
    QFETCH(QString, how);
    QFETCH(bool, ignoreTerm);
    QFETCH(int, expectedStatus);

    auto executor = std::make_unique<CommandExecutor>(realShell());
    Recording recording;
    record(*executor, recording);
    QStringList arguments { QStringLiteral("tree"), QStringLiteral("3") };
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

void TestCommandExecutor::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("isVariable");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("name and value") << QStringLiteral("HOME=/Users/qa") << true << QStringLiteral("HOME") << QStringLiteral("/Users/qa");
    QTest::newRow("split at the first equals sign only")
        << QStringLiteral("OPTS=a=b=c") << true << QStringLiteral("OPTS") << QStringLiteral("a=b=c");
    QTest::newRow("value starting with an equals sign")
        << QStringLiteral("NAME==value") << true << QStringLiteral("NAME") << QStringLiteral("=value");
    QTest::newRow("nothing after the equals sign") << QStringLiteral("EMPTY=") << false << QString() << QString();
    QTest::newRow("line starting with an equals sign") << QStringLiteral("=value") << false << QString() << QString();
    QTest::newRow("equals signs only") << QStringLiteral("==") << false << QString() << QString();
    QTest::newRow("no equals sign") << QStringLiteral("continued value of a multi-line variable") << false << QString() << QString();
    QTest::newRow("empty line") << QString() << false << QString() << QString();
    QTest::newRow("carriage return stays in the value")
        << QStringLiteral("A=b\r") << true << QStringLiteral("A") << QStringLiteral("b\r");
    QTest::newRow("spaces are kept") << QStringLiteral(" A = b ") << true << QStringLiteral(" A ") << QStringLiteral(" b ");
}

void TestCommandExecutor::parseLine()
{
    QFETCH(QString, line);
    QFETCH(bool, isVariable);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const auto parsed = LoginEnvironment::parseLine(line);
    QCOMPARE(parsed.has_value(), isVariable);
    if (parsed) {
        QCOMPARE(parsed->first, key);
        QCOMPARE(parsed->second, value);
    }
}

void TestCommandExecutor::applyOutput()
{
    const LoginEnvironment::Environment base {
        { QStringLiteral("HOME"), QStringLiteral("/home/qa") },
        { QStringLiteral("PATH"), ToolPaths::defaultSearchPath() },
        { QStringLiteral("EMPTY"), QStringLiteral("kept") },
    };
    const auto result = LoginEnvironment::applyOutput(
        base, u"PATH=/opt/homebrew/bin:/usr/bin\nLANG=en_US.UTF-8\nLANG=id_ID.UTF-8\nEMPTY=\nno equals\n=x\n");
    const LoginEnvironment::Environment expected {
        { QStringLiteral("HOME"), QStringLiteral("/home/qa") },
        { QStringLiteral("PATH"), QStringLiteral("/opt/homebrew/bin:/usr/bin") },
        { QStringLiteral("EMPTY"), QStringLiteral("kept") },
        { QStringLiteral("LANG"), QStringLiteral("id_ID.UTF-8") },
    };
    QCOMPARE(result, expected);

    QProcessEnvironment own;
    own.insert(QStringLiteral("HOME"), QStringLiteral("/home/qa"));
    own.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp/qa"));
    own.insert(QStringLiteral("SECRET_TOKEN"), QStringLiteral("not copied"));
    own.insert(QStringLiteral("PATH"), QStringLiteral("/not/copied"));
    const LoginEnvironment::Environment minimal {
        { QStringLiteral("HOME"), QStringLiteral("/home/qa") },
        { QStringLiteral("TMPDIR"), QStringLiteral("/tmp/qa") },
        { QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin:/usr/sbin:/sbin:/usr/local/bin:/opt/homebrew/bin") },
    };
    QCOMPARE(LoginEnvironment::minimalEnvironment(own), minimal);
}

void TestCommandExecutor::loginEnvironmentReachesTheProcess_data()
{
    QTest::addColumn<QVariantMap>("callerEnvironment");
    QTest::addColumn<QStringList>("expectedLines");

    QTest::newRow("login environment only") << QVariantMap {}
                                            << QStringList {
                                                   QStringLiteral("KESTRUNE_LOGIN_MARKER=from-profile"),
                                                   QStringLiteral("EQ_FIRST==leading"),
                                                   QStringLiteral("EMPTY_VALUE unset"),
                                                   QStringLiteral("PATH=/login/bin:") + ToolPaths::defaultSearchPath(),
                                               };
    QTest::newRow("caller's PATH wins over the login shell's")
        << QVariantMap { { QStringLiteral("PATH"), QStringLiteral("/caller/bin") } }
        << QStringList {
               QStringLiteral("KESTRUNE_LOGIN_MARKER=from-profile"),
               QStringLiteral("EQ_FIRST==leading"),
               QStringLiteral("EMPTY_VALUE unset"),
               QStringLiteral("PATH=/caller/bin"),
           };
    QTest::newRow("caller's entries replace and add")
        << QVariantMap { { QStringLiteral("KESTRUNE_LOGIN_MARKER"), QStringLiteral("from-caller") },
                         { QStringLiteral("EMPTY_VALUE"), QString() } }
        << QStringList {
               QStringLiteral("KESTRUNE_LOGIN_MARKER=from-caller"),
               QStringLiteral("EQ_FIRST==leading"),
               QStringLiteral("EMPTY_VALUE="),
               QStringLiteral("PATH=/login/bin:") + ToolPaths::defaultSearchPath(),
           };
}

void TestCommandExecutor::loginEnvironmentReachesTheProcess()
{
    QFETCH(QVariantMap, callerEnvironment);
    QFETCH(QStringList, expectedLines);

    std::optional<CommandExecuting::Environment> environment;
    if (!callerEnvironment.isEmpty()) {
        environment.emplace();
        for (auto it = callerEnvironment.cbegin(); it != callerEnvironment.cend(); ++it)
            environment->insert(it.key(), it.value().toString());
    }
    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild,
                 { QStringLiteral("print-env"), QStringLiteral("KESTRUNE_LOGIN_MARKER"), QStringLiteral("EQ_FIRST"),
                   QStringLiteral("EMPTY_VALUE"), QStringLiteral("PATH") },
                 std::nullopt, environment);
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.text(), expectedLines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    QVERIFY(g_diagnostics.isEmpty());
}

void TestCommandExecutor::loginShellFailures_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no shell at all
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedDiagnostic");

    const QString minimal = QStringLiteral("FROM_SHELL unset\nPATH=") + ToolPaths::defaultSearchPath() + QLatin1Char('\n');
    QTest::newRow("shell cannot be started") << QByteArray() << minimal << QStringLiteral("Failed to get user environment: ");
    QTest::newRow("output is not UTF-8")
        << QByteArray("#!/bin/sh\nprintf 'FROM_SHELL=yes\\nBAD=\\377\\n'\n") << minimal << QStringLiteral("not UTF-8");
    QTest::newRow("exit status is not consulted")
        << QByteArray("#!/bin/sh\nprintf 'FROM_SHELL=yes\\nPATH=/shell/bin\\n'\nexit 3\n")
        << QStringLiteral("FROM_SHELL=yes\nPATH=/shell/bin\n") << QString();
}

void TestCommandExecutor::loginShellFailures()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedDiagnostic);

    ToolPaths paths = realShell();
    paths.shell = m_scratch.filePath(QStringLiteral("shell-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    if (!script.isEmpty())
        QVERIFY(writeFile(paths.shell, script, true));

    CommandExecutor executor(paths);
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("print-env"), QStringLiteral("FROM_SHELL"), QStringLiteral("PATH") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), 0);
    QCOMPARE(recording.text(), expectedText);
    if (expectedDiagnostic.isEmpty()) {
        QVERIFY(g_diagnostics.isEmpty());
    } else {
        QCOMPARE(g_diagnostics.size(), 1);
        QVERIFY2(g_diagnostics.first().contains(expectedDiagnostic), qPrintable(g_diagnostics.first()));
    }
}

void TestCommandExecutor::hangingLoginShellTimesOut()
{
    qputenv("HOME", QFile::encodeName(m_hangingHome.path()));
    const auto restoreHome = qScopeGuard([this] { qputenv("HOME", QFile::encodeName(m_home.path())); });

    CommandExecutor executor(realShell());
    executor.setLoginShellTimeout(1500ms);
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("print-env"), QStringLiteral("KESTRUNE_LOGIN_MARKER"), QStringLiteral("PATH") });

    // run() returned while the shell is still running: the window keeps
    // handling events meanwhile.
    const QString shellPidFile = m_hangingHome.filePath(QStringLiteral("shell.pid"));
    const QString childPidFile = m_hangingHome.filePath(QStringLiteral("child.pid"));
    QTRY_VERIFY_WITH_TIMEOUT(readPid(childPidFile) > 0, kTimeoutMs);
    const qint64 shellPid = readPid(shellPidFile);
    const qint64 shellChildPid = readPid(childPidFile);
    QVERIFY(isAlive(shellPid));
    QVERIFY(executor.isRunning());
    QVERIFY(!executor.hasProcess());

    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), 0);
    QCOMPARE(recording.text(),
             QStringLiteral("KESTRUNE_LOGIN_MARKER unset\nPATH=") + ToolPaths::defaultSearchPath() + QLatin1Char('\n'));
    QTRY_VERIFY_WITH_TIMEOUT(noneAlive({ shellPid, shellChildPid }), kTimeoutMs);
    QCOMPARE(g_diagnostics.size(), 1);
    QVERIFY2(g_diagnostics.first().contains(QLatin1String("1500 ms")), qPrintable(g_diagnostics.first()));
    QFile::remove(shellPidFile);
    QFile::remove(childPidFile);
}

void TestCommandExecutor::stopWhileLearningTheEnvironment()
{
    qputenv("HOME", QFile::encodeName(m_hangingHome.path()));
    const auto restoreHome = qScopeGuard([this] { qputenv("HOME", QFile::encodeName(m_home.path())); });

    CommandExecutor executor(realShell());
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("exit"), QStringLiteral("0") });
    const QString shellPidFile = m_hangingHome.filePath(QStringLiteral("shell.pid"));
    const QString childPidFile = m_hangingHome.filePath(QStringLiteral("child.pid"));
    QTRY_VERIFY_WITH_TIMEOUT(readPid(childPidFile) > 0, kTimeoutMs);
    const QList<qint64> shellPids { readPid(shellPidFile), readPid(childPidFile) };

    executor.stop();
    QVERIFY(!executor.isRunning());
    QVERIFY(recording.statuses.isEmpty()); // reported after stop() returns, as for a process
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.statuses.first(), int(SIGTERM));
    QTRY_VERIFY_WITH_TIMEOUT(noneAlive(shellPids), kTimeoutMs);

    // Nothing is launched later, and a new run works.
    qputenv("HOME", QFile::encodeName(m_home.path()));
    executor.run(kFakeChild, { QStringLiteral("exit"), QStringLiteral("4") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 2, kTimeoutMs);
    QCOMPARE(recording.statuses.last(), 4);
    QCOMPARE(recording.text(), QStringLiteral("exiting 4\n"));
    QFile::remove(shellPidFile);
    QFile::remove(childPidFile);
}

void TestCommandExecutor::environmentOverridesAreHonoured()
{
    const QString shell = m_scratch.filePath(QStringLiteral("standin-shell"));
    const QString pkill = m_scratch.filePath(QStringLiteral("standin-pkill"));
    const QString pkillLog = m_scratch.filePath(QStringLiteral("pkill.log"));
    QVERIFY(writeFile(shell, "#!/bin/sh\nprintf 'STANDIN=yes\\nPATH=/standin/bin\\n'\n", true));
    QVERIFY(writeFile(pkill, "#!/bin/sh\necho \"$*\" >> '" + QFile::encodeName(pkillLog) + "'\nexec /usr/bin/pkill \"$@\"\n", true));
    ScopedEnv shellOverride("KESTRUNE_SHELL", QFile::encodeName(shell));
    ScopedEnv pkillOverride("KESTRUNE_PKILL", QFile::encodeName(pkill));

    CommandExecutor executor;
    Recording recording;
    record(executor, recording);
    executor.run(kFakeChild, { QStringLiteral("print-env"), QStringLiteral("STANDIN"), QStringLiteral("PATH") });
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QCOMPARE(recording.text(), QStringLiteral("STANDIN=yes\nPATH=/standin/bin\n"));

    recording = {};
    executor.run(kFakeChild, { QStringLiteral("tree"), QStringLiteral("2") });
    QTRY_COMPARE_WITH_TIMEOUT(printedPids(recording.text()).size(), 2, kTimeoutMs);
    const qint64 pid = executor.processId();
    executor.stop();
    QTRY_COMPARE_WITH_TIMEOUT(recording.statuses.size(), 1, kTimeoutMs);
    QFile log(pkillLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()),
             QStringLiteral("-TERM -P %1\n-9 -P %1\n").arg(pid));
    QTRY_VERIFY_WITH_TIMEOUT(noneAlive(printedPids(recording.text())), kTimeoutMs);
}

QTEST_GUILESS_MAIN(TestCommandExecutor)
#include "tst_commandexecutor.moc"
