#include "clitestsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>

// kestrune-cli run and hierarchy through the real executor and login shell,
// with a small script standing in for the runner that records what it was
// given.
class TestCliRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void notStarted_data();
    void notStarted();
    void refusedFlows_data();
    void refusedFlows();
    void runPassesEverythingToTheRunner();
    void workspaceNamedThroughASymbolicLink();
    void runnerGivenRelativeToTheCurrentFolder();
    void missingEnvironmentFile();
    void exitStatusAndConsole();
    void runnerExitStatuses_data();
    void runnerExitStatuses();
    void interruptStopsTheRunner();
    void closedOutputStopsTheRunner();
    void interruptWhileListingDevices();
    void hierarchy();
    void runnerControlsOnATerminal_data();
    void runnerControlsOnATerminal();

private:
    QStringList runArguments() const;
    QString readFile(const QString &path) const;
    bool writeRunner(const QString &path, int exitCode, bool sleep) const;

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QString m_workspace;
    QString m_output;
    QString m_runner;
    QString m_record;
    int m_case = 0;
};

namespace {

// Records its arguments one a line, the run variables and its folder; prints
// a few lines (one of them noise) and exits with $RUNNER_EXIT. The runner
// sees only the login environment, so the settings are written into the
// script itself (writeRunner).
const QByteArray kRecordingRunner = R"SH(
rec="$KESTRUNE_TEST_RECORD"
: > "$rec.args"
for a in "$@"; do printf '%s\n' "$a" >> "$rec.args"; done
printf '%s\n' "APP_ENV=$APP_ENV" "BUNDLE_ID=$BUNDLE_ID" "MAESTRO_APPLE_TEAM_ID=$MAESTRO_APPLE_TEAM_ID" "VESK_APPLE_TEAM_ID=$VESK_APPLE_TEAM_ID" "PWD=$PWD" "CI_MARK=${CI_MARK:-}" > "$rec.env"
echo "  maestro-runner (stand-in)"
echo 'time="2026-12-06T10:14:44+01:00" level=info msg="closed listener successfully"'
if [ "$RUNNER_SLEEP" = "1" ]; then
  sleep 300 &
  echo "child $!" > "$rec.child"
  echo "waiting"
  wait
fi
printf 'last line without a line feed'
exit "${RUNNER_EXIT:-0}"
)SH";

const QByteArray kHierarchyRunner = R"SH(
printf '%s\n' "$@" > "$KESTRUNE_TEST_RECORD.hargs"
printf 'Application  text="Shop"  (0,0 390x844)\n    Window  (0,0 390x844)\n        Other  (0,0 390x844)\n        Button  id=pay  (1,2 3x4)\n'
)SH";

// Console lines without their "[HH:mm:ss] " prefix.
QStringList consoleTexts(const QString &out)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList lines = out.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QStringList texts;
    for (const QString &line : lines)
        texts << QString(line).remove(prefix);
    return texts;
}

} // namespace

void TestCliRun::initTestCase()
{
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("KESTRUNE_SETTINGS_FILE"), m_dir.filePath(QStringLiteral("settings.ini")));
    m_env.insert(QStringLiteral("KESTRUNE_XCRUN"), QStringLiteral("/nonexistent/xcrun"));
    m_env.remove(QStringLiteral("QT_LOGGING_RULES"));
    m_record = m_dir.filePath(QStringLiteral("record"));
    m_runner = m_dir.filePath(QStringLiteral("bin/runner"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
}

void TestCliRun::init()
{
    const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    m_workspace = base + QStringLiteral("/workspace");
    m_output = base + QStringLiteral("/out");
    QDir().mkpath(m_workspace + QStringLiteral("/flows"));
    QVERIFY(writeScript(m_workspace + QStringLiteral("/flows/login.yaml"), "appId: x\n"));
    QFile env(m_workspace + QStringLiteral("/.env.uat"));
    QVERIFY(env.open(QIODevice::WriteOnly));
    env.write("USER = \"qa\"\nPASS: secret\n");
    env.close();
    QFile::remove(m_record + QStringLiteral(".args"));
    QVERIFY(writeRunner(m_runner, 0, false));
}

bool TestCliRun::writeRunner(const QString &path, int exitCode, bool sleep) const
{
    const QByteArray settings = "KESTRUNE_TEST_RECORD='" + m_record.toUtf8() + "'\nRUNNER_EXIT=" + QByteArray::number(exitCode)
        + "\nRUNNER_SLEEP=" + (sleep ? "1" : "0") + '\n';
    return writeScript(path, settings + kRecordingRunner);
}

QStringList TestCliRun::runArguments() const
{
    return { QStringLiteral("run"), QStringLiteral("--workspace"), m_workspace, QStringLiteral("--flow"),
        QStringLiteral("flows/login.yaml"), QStringLiteral("--device"), QStringLiteral("00008130-001E39811A12001C"),
        QStringLiteral("--app"), QStringLiteral("com.example.shop.uat"), QStringLiteral("--runner"), m_runner,
        QStringLiteral("--team-id"), QStringLiteral("TEAM123456"), QStringLiteral("--output-dir"), m_output };
}

QString TestCliRun::readFile(const QString &path) const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestCliRun::notStarted_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("hasRunFolder");
    QTest::newRow("flow file missing") << QStringLiteral("flow") << QStringLiteral("Please refresh workspace.") << false;
    QTest::newRow("runner missing") << QStringLiteral("runner")
                                    << QString::fromUtf8("\u26a0\ufe0f ERROR: maestro-runner binary not found at /no/runner!")
                                    << true;
    // The run folder cannot be created: no "Run folder:" for a folder that
    // does not exist.
    QTest::newRow("output folder is a file") << QStringLiteral("output")
                                             << QString::fromUtf8("\u274c Sandbox creation failed: ") << false;
    QTest::newRow("runner cannot be launched") << QStringLiteral("huge variable")
                                               << QStringLiteral("Error starting process: ") << true;
}

void TestCliRun::notStarted()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);
    QFETCH(bool, hasRunFolder);
    QStringList arguments = runArguments();
    if (change == QLatin1String("output")) {
        QVERIFY(writeScript(m_output, "")); // a file where the folder should be
    }
    if (change == QLatin1String("huge variable")) {
        // One argument over the kernel's 128 KiB limit for a single string.
        QFile big(m_workspace + QStringLiteral("/.env.big"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write("BIG=" + QByteArray(200 * 1024, 'x') + '\n');
        big.close();
        arguments << QStringLiteral("--env") << QStringLiteral(".env.big");
    }
    if (change == QLatin1String("flow"))
        arguments[arguments.indexOf(QStringLiteral("flows/login.yaml"))] = QStringLiteral("flows/gone.yaml");
    if (change == QLatin1String("runner"))
        arguments[arguments.indexOf(m_runner)] = QStringLiteral("/no/runner");
    const CliResult result = runCli(arguments, m_env);
    QCOMPARE(result.exitCode, 2);
    const QStringList lines = consoleTexts(result.out);
    QCOMPARE(lines.last().startsWith(QStringLiteral("Run folder: ")), hasRunFolder);
    if (hasRunFolder)
        QVERIFY(QFileInfo(lines.last().mid(12)).isDir());
    QVERIFY2(std::any_of(lines.cbegin(), lines.cend(), [&](const QString &line) { return line.startsWith(reason); }),
        qPrintable(result.out));
    QVERIFY(!QFileInfo::exists(m_record + QStringLiteral(".args")));
}

void TestCliRun::refusedFlows_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<QString>("reason");
    QTest::newRow("absolute") << QStringLiteral("@/flows/login.yaml") << QStringLiteral("must be relative");
    QTest::newRow("dot-dot out of the workspace") << QStringLiteral("flows/../../outside.yaml")
                                                  << QStringLiteral("leaves the workspace");
    QTest::newRow("a linked flow") << QStringLiteral("flows/linked.yaml") << QStringLiteral("symbolic link");
    QTest::newRow("a flow behind a linked folder") << QStringLiteral("linked/login.yaml") << QStringLiteral("symbolic link");
    QTest::newRow("under node_modules") << QStringLiteral("node_modules/pkg/flow.yaml") << QStringLiteral("leave out");
}

// Refused before anything is copied: the run folder stays uncreated.
void TestCliRun::refusedFlows()
{
    QFETCH(QString, flow);
    QFETCH(QString, reason);
    const QString outside = QFileInfo(m_workspace).absolutePath() + QStringLiteral("/outside.yaml");
    QVERIFY(writeScript(outside, "appId: x\n"));
    QVERIFY(QFile::link(outside, m_workspace + QStringLiteral("/flows/linked.yaml")));
    QVERIFY(QFile::link(m_workspace + QStringLiteral("/flows"), m_workspace + QStringLiteral("/linked")));
    QDir().mkpath(m_workspace + QStringLiteral("/node_modules/pkg"));
    QVERIFY(writeScript(m_workspace + QStringLiteral("/node_modules/pkg/flow.yaml"), "appId: x\n"));
    QStringList arguments = runArguments();
    arguments[arguments.indexOf(QStringLiteral("flows/login.yaml"))] = QString(flow).replace(u'@', m_workspace);
    const CliResult result = runCli(arguments, m_env);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(reason), qPrintable(result.err));
    QVERIFY(!QFileInfo::exists(m_output));
    QVERIFY(!QFileInfo::exists(m_record + QStringLiteral(".args")));
}

void TestCliRun::runPassesEverythingToTheRunner()
{
    QStringList arguments = runArguments();
    arguments << QStringLiteral("--env") << QStringLiteral(".env.uat") << QStringLiteral("--var")
              << QStringLiteral("PASS=from the command line") << QStringLiteral("--var") << QStringLiteral("EXTRA=a=b");
    // What the terminal exported reaches the runner; the run's own
    // variables win over it.
    QProcessEnvironment env = m_env;
    env.insert(QStringLiteral("CI_MARK"), QStringLiteral("from the terminal"));
    env.insert(QStringLiteral("APP_ENV"), QStringLiteral("PROD"));
    env.insert(QStringLiteral("BUNDLE_ID"), QStringLiteral("com.example.wrong"));
    const CliResult result = runCli(arguments, env);
    QCOMPARE(result.exitCode, 0);
    const QStringList lines = consoleTexts(result.out);
    const QString runFolder = lines.last().mid(QStringLiteral("Run folder: ").size());
    QCOMPARE(QFileInfo(runFolder).absolutePath(), m_output);
    QVERIFY2(QFileInfo(runFolder).fileName().contains(QRegularExpression(QStringLiteral("^UAT_\\d{8}_\\d{6}$"))),
        qPrintable(runFolder));
    const QString sandbox = runFolder + QStringLiteral("/sandbox");
    QCOMPARE(readFile(m_record + QStringLiteral(".args")).split(u'\n'),
        (QStringList { "--platform", "ios", "--team-id", "TEAM123456", "--device", "00008130-001E39811A12001C", "-e",
            "BUNDLE_ID=com.example.shop.uat", "-e", "USER=qa", "-e", "PASS=from the command line", "-e", "EXTRA=a=b",
            "--artifacts", "on-failure", "--output", runFolder, sandbox + QStringLiteral("/flows/login.yaml"), "" }));
    QCOMPARE(readFile(m_record + QStringLiteral(".env")),
        QStringLiteral("APP_ENV=UAT\nBUNDLE_ID=com.example.shop.uat\nMAESTRO_APPLE_TEAM_ID=TEAM123456\n"
                       "VESK_APPLE_TEAM_ID=TEAM123456\nPWD=")
            + runFolder + QStringLiteral("\nCI_MARK=from the terminal\n"));
    QVERIFY(QFileInfo::exists(sandbox + QStringLiteral("/.env.uat")));
}

// A workspace folder reached through a link (~/flows pointing at another
// disk) is the folder it points at: its files go into the sandbox, where
// the runner finds the flow.
void TestCliRun::workspaceNamedThroughASymbolicLink()
{
    const QString link = QFileInfo(m_workspace).absolutePath() + QStringLiteral("/workspace-link");
    QVERIFY(QFile::link(m_workspace, link));
    QStringList arguments = runArguments();
    arguments[arguments.indexOf(m_workspace)] = link + u'/';
    const CliResult result = runCli(arguments, m_env);
    QVERIFY2(result.exitCode == 0, qPrintable(result.out));
    const QStringList lines = consoleTexts(result.out);
    QVERIFY2(lines.filter(QStringLiteral("Skipped symbolic link")).isEmpty(), qPrintable(result.out));
    const QString sandbox = lines.last().mid(QStringLiteral("Run folder: ").size()) + QStringLiteral("/sandbox");
    QVERIFY2(QFileInfo::exists(sandbox + QStringLiteral("/flows/login.yaml")), qPrintable(result.out));
    const QStringList runnerArguments = readFile(m_record + QStringLiteral(".args")).split(u'\n');
    QCOMPARE(runnerArguments.value(runnerArguments.size() - 2), sandbox + QStringLiteral("/flows/login.yaml"));
}

// --runner is a path like every other on the command line: relative to the
// folder the command was given in, not to the run folder the runner is
// started in.
void TestCliRun::runnerGivenRelativeToTheCurrentFolder()
{
    QStringList arguments = runArguments();
    arguments[arguments.indexOf(m_runner)] = QStringLiteral("bin/runner");
    const CliResult result = runCli(arguments, m_env, 60'000, m_dir.path());
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    QVERIFY2(QFileInfo::exists(m_record + QStringLiteral(".args")), qPrintable(result.out));
}

// A mistyped --env must not run the flow without its variables (against
// whatever account the flow falls back to) as if nothing were wrong.
void TestCliRun::missingEnvironmentFile()
{
    QStringList arguments = runArguments();
    arguments << QStringLiteral("--env") << QStringLiteral(".env.uta");
    const CliResult result = runCli(arguments, m_env);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(QStringLiteral(".env.uta")), qPrintable(result.err));
    QVERIFY2(!result.out.contains(QStringLiteral("Run folder: ")), qPrintable(result.out));
    QVERIFY(!QFileInfo::exists(m_record + QStringLiteral(".args")));
}

void TestCliRun::exitStatusAndConsole()
{
    QProcessEnvironment env = m_env;
    QVERIFY(writeRunner(m_runner, 3, false));
    QStringList arguments = runArguments();
    const CliResult result = runCli(arguments, env);
    QCOMPARE(result.exitCode, 3);
    const QStringList lines = consoleTexts(result.out);
    const int start = int(lines.indexOf(QString::fromUtf8("\U0001F680 Starting Maestro Test in Sandbox...")));
    QVERIFY2(start >= 0, qPrintable(result.out));
    QCOMPARE(lines.mid(start),
        (QStringList { QString::fromUtf8("\U0001F680 Starting Maestro Test in Sandbox..."),
            QString::fromUtf8("\U0001F4C1 Target Flow: flows/login.yaml"), QStringLiteral("  maestro-runner (stand-in)"),
            QStringLiteral("last line without a line feed"), QString(),
            QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 3)"),
            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."),
            // No device tool here: the copy fails; the stand-in writes no report, which the console says.
            QString::fromUtf8("\u26a0\ufe0f Network log (NFX) not found or failed to pull."),
            QString::fromUtf8("\u23f3 Generating HTML Report..."), lines.at(start + 9), lines.last() }));
    QVERIFY(lines.at(start + 9).startsWith(QString::fromUtf8("\u26a0\ufe0f Report not generated: no report.html or report.json in ")));
    QVERIFY(lines.last().startsWith(QStringLiteral("Run folder: ")));

    arguments << QStringLiteral("--no-time");
    const CliResult plain = runCli(arguments, env);
    QVERIFY(plain.out.contains(QStringLiteral("\n  maestro-runner (stand-in)\n")));
    QVERIFY(!plain.out.contains(QRegularExpression(QStringLiteral("\\[\\d\\d:\\d\\d:\\d\\d\\]"))));
}

void TestCliRun::runnerExitStatuses_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<int>("status");
    QTest::newRow("exit 3") << QByteArray("exit 3") << 3;
    QTest::newRow("exit 11") << QByteArray("exit 11") << 11;
    // The shell's way: a runner killed by SIGSEGV is not "exit 11".
    QTest::newRow("killed by SIGSEGV") << QByteArray("kill -SEGV $$") << 128 + 11;
    QTest::newRow("killed by SIGKILL") << QByteArray("kill -KILL $$") << 128 + 9;
}

void TestCliRun::runnerExitStatuses()
{
    QFETCH(QByteArray, ending);
    QFETCH(int, status);
    QVERIFY(writeScript(m_runner, "echo started\n" + ending + '\n'));
    const CliResult result = runCli(runArguments(), m_env);
    QCOMPARE(result.exitCode, status);
}

void TestCliRun::interruptStopsTheRunner()
{
    QProcessEnvironment env = m_env;
    QVERIFY(writeRunner(m_runner, 0, true));
    QFile::remove(m_record + QStringLiteral(".child"));
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(cliPath(), runArguments());
    QVERIFY(cli.waitForStarted());
    QString out;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromUtf8(cli.readAllStandardOutput())).contains(QStringLiteral("waiting")), 30'000);
    const qint64 child = readFile(m_record + QStringLiteral(".child")).section(u' ', 1).trimmed().toLongLong();
    QVERIFY(child > 0);
    QCOMPARE(::kill(pid_t(child), 0), 0);

    ::kill(pid_t(cli.processId()), SIGTERM);
    QVERIFY(cli.waitForFinished(30'000));
    out += QString::fromUtf8(cli.readAllStandardOutput());
    const QStringList lines = consoleTexts(out);
    QVERIFY2(cli.exitCode() == 128 + SIGTERM, qPrintable(out));
    QVERIFY2(lines.contains(QString::fromUtf8("\U0001F6D1 STOPPING TEST...")), qPrintable(out));
    QVERIFY2(lines.filter(QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: ")).size() == 1, qPrintable(out));
    // The runner's own child is gone too.
    QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(child), 0) != 0, 10'000);
}

// `kestrune-cli run … | head`: once the reader has gone, the next write
// stops the run as Ctrl-C does, instead of SIGPIPE killing the command and
// leaving the runner's children behind.
void TestCliRun::closedOutputStopsTheRunner()
{
    QVERIFY(writeScript(m_runner,
        "sleep 300 &\necho \"child $!\" > '" + m_record.toUtf8() + ".child'\necho waiting\n"
        "while :; do echo tick; sleep 0.2; done\n"));
    QFile::remove(m_record + QStringLiteral(".child"));
    QProcess pipeline;
    pipeline.setProcessEnvironment(m_env);
    // The command's status comes out on standard error, after head has gone.
    pipeline.start(QStringLiteral("sh"),
        QStringList { QStringLiteral("-c"), QStringLiteral("{ \"$0\" \"$@\"; echo \"status $?\" >&2; } | grep -m1 waiting"), cliPath() }
            + runArguments());
    QVERIFY(pipeline.waitForStarted());
    const bool finished = pipeline.waitForFinished(30'000);
    const QString errors = QString::fromUtf8(pipeline.readAllStandardError());
    const qint64 child = readFile(m_record + QStringLiteral(".child")).section(u' ', 1).trimmed().toLongLong();
    if (child > 0 && !finished)
        ::kill(pid_t(child), SIGKILL);
    QVERIFY(finished);
    QVERIFY(child > 0);
    QVERIFY2(!errors.contains(QStringLiteral("status 141")), qPrintable(errors));
    QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(child), 0) != 0, 10'000);
}

// A slow xcrun: the command says what it waits for, and Ctrl-C ends it and
// what it started at once instead of leaving them running.
void TestCliRun::interruptWhileListingDevices()
{
    const QString xcrun = m_dir.filePath(QStringLiteral("bin/slow-xcrun"));
    QVERIFY(writeScript(xcrun, "sleep 300 &\necho \"child $!\" > '" + m_record.toUtf8() + ".xcrun'\nwait\n"));
    QFile::remove(m_record + QStringLiteral(".xcrun"));
    QProcessEnvironment env = m_env;
    env.insert(QStringLiteral("KESTRUNE_XCRUN"), xcrun);
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(cliPath(), runArguments());
    QVERIFY(cli.waitForStarted());
    QString errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += QString::fromUtf8(cli.readAllStandardError())).contains(QStringLiteral("xcrun")), 30'000);
    const qint64 child = readFile(m_record + QStringLiteral(".xcrun")).section(u' ', 1).trimmed().toLongLong();
    QVERIFY(child > 0);

    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(10'000));
    QCOMPARE(cli.exitCode(), 128 + SIGINT);
    QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(child), 0) != 0, 5'000);
    QVERIFY(!QFileInfo::exists(m_record + QStringLiteral(".args")));
}

void TestCliRun::hierarchy()
{
    const QString runner = m_dir.filePath(QStringLiteral("bin/hierarchy-runner"));
    QVERIFY(writeScript(runner, "KESTRUNE_TEST_RECORD='" + m_record.toUtf8() + "'\n" + kHierarchyRunner));
    const CliResult result
        = runCli({ QStringLiteral("hierarchy"), QStringLiteral("--device"), QStringLiteral("D1"), QStringLiteral("--runner"),
                     runner, QStringLiteral("--team-id"), QStringLiteral("T1"), QStringLiteral("--no-time") },
            m_env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out,
        QString::fromUtf8("\U0001F680 Fetching UI Hierarchy...\nApplication  text=\"Shop\"  (0,0 390x844)\n"
                          "  Window  (0,0 390x844)\n    Button  id=pay  (1,2 3x4)\n\n"
                          "\u2705 UI Hierarchy Fetched Successfully!\n"));
    QCOMPARE(readFile(m_record + QStringLiteral(".hargs")),
        QStringLiteral("--platform\nios\n--team-id\nT1\n--device\nD1\nhierarchy\n--compact\n"));

    const CliResult noDevice = runCli({ QStringLiteral("hierarchy") }, m_env);
    QCOMPARE(noDevice.exitCode, 2);
}

void TestCliRun::runnerControlsOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QByteArray>("shown");
    // A window title, a clipboard write, a screen clear, a cursor-position
    // query and a C1 CSI: harmless on a terminal only as caret notation.
    QTest::newRow("terminal") << true << QByteArray("msg ^[]0;owned^G ^[]52;c;eA==^G ^[[2J ^[[6n ^[[31m\n");
    QTest::newRow("pipe") << false << QByteArray("msg \x1b]0;owned\x07 \x1b]52;c;eA==\x07 \x1b[2J \x1b[6n \xc2\x9b" "31m\n");
}

void TestCliRun::runnerControlsOnATerminal()
{
    QFETCH(bool, terminal);
    QFETCH(QByteArray, shown);
    QVERIFY(writeScript(m_runner, "printf 'msg \\033]0;owned\\007 \\033]52;c;eA==\\007 \\033[2J \\033[6n \\302\\23331m\\n'\n"));
    QStringList arguments = runArguments();
    arguments << QStringLiteral("--no-time");
    QByteArray out;
    if (terminal) {
        const std::optional<QByteArray> written = runOnTerminal(arguments, m_env);
        if (!written)
            QSKIP("no pseudo-terminal here");
        out = *written;
    } else {
        out = runCli(arguments, m_env).out.toUtf8();
    }
    QVERIFY2(out.contains(QByteArray(QByteArray("\n") + shown)), out.constData());
}

QTEST_GUILESS_MAIN(TestCliRun)
#include "tst_clirun.moc"
