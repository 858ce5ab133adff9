#include "executortest.h"
#include "process/loginenvironment.h"
#include "process/processregistry.h"

#include <QTemporaryDir>

#include <csignal>

using namespace std::chrono_literals;
using namespace executortest;
using processprobe::isAlive;
using processprobe::noneAlive;
using processprobe::printedPids;

class TestLoginEnvironment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

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

void TestLoginEnvironment::initTestCase()
{
    QVERIFY(QFile::exists(kFakeChild));
    QVERIFY2(QFile::exists(QStringLiteral("/bin/zsh")), "the suite needs zsh at /bin/zsh (scripts/setup.sh installs it)");
    QVERIFY(m_home.isValid() && m_hangingHome.isValid() && m_scratch.isValid());
    QVERIFY(writeLoginProfile(m_home.path()));
    QVERIFY(writeHangingProfile(m_hangingHome.path()));
    m_originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home.path()));
    installDiagnosticsCapture();
}

void TestLoginEnvironment::cleanupTestCase()
{
    qputenv("HOME", m_originalHome);
    removeDiagnosticsCapture();
}

void TestLoginEnvironment::init()
{
    g_diagnostics.clear();
    QCOMPARE(ProcessRegistry::count(), 0);
}

void TestLoginEnvironment::parseLine_data()
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

void TestLoginEnvironment::parseLine()
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

void TestLoginEnvironment::applyOutput()
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

void TestLoginEnvironment::loginEnvironmentReachesTheProcess_data()
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

void TestLoginEnvironment::loginEnvironmentReachesTheProcess()
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

void TestLoginEnvironment::loginShellFailures_data()
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

void TestLoginEnvironment::loginShellFailures()
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

void TestLoginEnvironment::hangingLoginShellTimesOut()
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

void TestLoginEnvironment::stopWhileLearningTheEnvironment()
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

void TestLoginEnvironment::environmentOverridesAreHonoured()
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

QTEST_GUILESS_MAIN(TestLoginEnvironment)
#include "tst_loginenvironment.moc"
