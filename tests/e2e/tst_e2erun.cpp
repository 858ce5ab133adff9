#include "e2esupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The demo flow run through `kestrune-cli run` on the simulated lab: the real
// executor, the real login shell, kestrune-sim as xcrun and as the runner.
//
// The runner only sees the user's login environment, so each case gets a
// home folder of its own whose .zshenv points the lab at its own state, as a
// user would configure their shell. Every process of a case carries that
// home, which is how the stop case finds anything left behind.
class TestE2eRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void passingRun();
    void failingRun();
    void simulatorRun();
    void stopInTheMiddleLeavesNothingBehind();
    void hierarchyOfTheCurrentScreen();

private:
    struct Result
    {
        int exitCode = -1;
        QStringList lines; // console texts without their time stamps
    };
    QProcessEnvironment environment(const QString &speed) const;
    QStringList runArguments(const QString &flow) const;
    Result runCli(const QStringList &arguments, const QProcessEnvironment &env);
    QStringList processesOfThisCase() const;
    static QString read(const QString &path);

    QString m_sim;
    QString m_cli;
    QTemporaryDir m_dir;
    QString m_home;
    QString m_workspace;
    QString m_output;
    QString m_record;
    QString m_runner;
    int m_case = 0;
};

namespace {

using E2e::kApp;
using E2e::kDevice;
using E2e::copyTree;
using E2e::writeFile;

QStringList consoleTexts(const QByteArray &out)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList lines = QString::fromUtf8(out).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        line.remove(prefix);
    return lines;
}

} // namespace

void TestE2eRun::initTestCase()
{
    m_sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    m_cli = QStringLiteral(KESTRUNE_BINARY_DIR "/src/cli/kestrune-cli");
    QVERIFY2(QFileInfo(m_sim).isExecutable(), qPrintable(m_sim));
    QVERIFY2(QFileInfo(m_cli).isExecutable(), qPrintable(m_cli));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");
}

void TestE2eRun::init()
{
    const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    m_home = base + QStringLiteral("/home");
    m_workspace = base + QStringLiteral("/workspace");
    m_output = base + QStringLiteral("/out");
    m_record = base + QStringLiteral("/runner-args.txt");
    QVERIFY(QDir().mkpath(m_home));
    QVERIFY(copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
    // What a run must leave out of its sandbox.
    QVERIFY(writeFile(m_workspace + QStringLiteral("/.git/HEAD"), "ref: refs/heads/main\n"));
    QVERIFY(writeFile(m_workspace + QStringLiteral("/checkout/.DS_Store"), "x"));
    QVERIFY(writeFile(m_workspace + QStringLiteral("/node_modules/left-pad/index.js"), "x"));
    QVERIFY(QFile::link(m_workspace + QStringLiteral("/login.yaml"), m_workspace + QStringLiteral("/smoke/login-link.yaml")));
    {
        QFile video(m_workspace + QStringLiteral("/media/demo.mp4"));
        QDir().mkpath(m_workspace + QStringLiteral("/media"));
        QVERIFY(video.open(QIODevice::WriteOnly));
        QVERIFY(video.resize(60 * 1000 * 1000)); // sparse
    }
    QVERIFY(writeFile(m_workspace + QStringLiteral("/media/small.png"), "png"));
    QVERIFY(writeFile(m_workspace + QStringLiteral("/broken.yaml"),
        "appId: ${BUNDLE_ID}\nname: Broken\n---\n- launchApp\n- assertVisible: \"Teks yang tidak pernah ada\"\n"));
    // The runner: records its arguments, then is the simulated lab's runner.
    m_runner = base + QStringLiteral("/bin/maestro-runner");
    QVERIFY(writeFile(m_runner,
        "#!/bin/sh\n: > '" + m_record.toUtf8() + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + m_record.toUtf8()
            + "'; done\nexec '" + m_sim.toUtf8() + "' \"$@\"\n",
        true));
}

QProcessEnvironment TestE2eRun::environment(const QString &speed) const
{
    const QString lab = m_home + QStringLiteral("/lab");
    writeFile(m_home + QStringLiteral("/.zshenv"),
        "export KESTRUNE_SIM_HOME='" + lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=" + speed.toUtf8() + "\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home);
    env.insert(QStringLiteral("KESTRUNE_SIM_HOME"), lab);
    env.insert(QStringLiteral("KESTRUNE_SIM_SPEED"), speed);
    env.insert(QStringLiteral("KESTRUNE_XCRUN"), m_sim);
    env.insert(QStringLiteral("KESTRUNE_SETTINGS_FILE"), m_home + QStringLiteral("/settings.ini"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    return env;
}

QStringList TestE2eRun::runArguments(const QString &flow) const
{
    return { QStringLiteral("run"), QStringLiteral("--workspace"), m_workspace, QStringLiteral("--flow"), flow,
        QStringLiteral("--env"), QStringLiteral(".env"), QStringLiteral("--device"), kDevice, QStringLiteral("--app"), kApp,
        QStringLiteral("--var"), QStringLiteral("SEARCH_TERM=Teh Manis"), QStringLiteral("--runner"), m_runner,
        QStringLiteral("--team-id"), QStringLiteral("QA12345678"), QStringLiteral("--output-dir"), m_output };
}

TestE2eRun::Result TestE2eRun::runCli(const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(m_cli, arguments);
    Result result;
    if (!cli.waitForFinished(180'000)) {
        cli.kill();
        cli.waitForFinished();
        return result;
    }
    result.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    result.lines = consoleTexts(cli.readAllStandardOutput());
    return result;
}

QString TestE2eRun::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList TestE2eRun::processesOfThisCase() const
{
    const QByteArray marker = "HOME=" + m_home.toUtf8();
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.front().isDigit())
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        if (environ.readAll().split('\0').contains(marker))
            found << pid + u' ' + read(QStringLiteral("/proc/%1/cmdline").arg(pid)).replace(u'\0', u' ');
    }
    return found;
}

void TestE2eRun::passingRun()
{
    const Result result = runCli(runArguments(QStringLiteral("login.yaml")), environment(QStringLiteral("instant")));
    QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join(u'\n')));
    QVERIFY(result.lines.last().startsWith(QStringLiteral("Run folder: ")));
    const QString runFolder = result.lines.last().mid(12);
    QCOMPARE(QFileInfo(runFolder).absolutePath(), m_output);
    QVERIFY2(QFileInfo(runFolder).fileName().contains(QRegularExpression(QStringLiteral("^CUSTOM_\\d{8}_\\d{6}$"))),
        qPrintable(runFolder));

    // The sandbox: the workspace without blacklisted names, links and big files.
    const QString sandbox = runFolder + QStringLiteral("/sandbox");
    for (const char *present : { "login.yaml", ".env", "subflows/login_steps.yaml", "checkout/payment.yaml", "media/small.png" })
        QVERIFY2(QFileInfo::exists(sandbox + u'/' + QLatin1String(present)), present);
    for (const char *absent : { ".git", "node_modules", "checkout/.DS_Store", "smoke/login-link.yaml", "media/demo.mp4" })
        QVERIFY2(!QFileInfo::exists(sandbox + u'/' + QLatin1String(absent)), absent);
    QCOMPARE(result.lines.filter(QString::fromUtf8("\u26a0\ufe0f Skipped symbolic link: ")),
        QStringList { QString::fromUtf8("\u26a0\ufe0f Skipped symbolic link: login-link.yaml") });

    // The runner's exact argument list.
    QCOMPARE(read(m_record).split(u'\n'),
        (QStringList { "--platform", "ios", "--team-id", "QA12345678", "--device", kDevice, "-e", "BUNDLE_ID=com.lumenfold.pasar",
            "-e", "EMAIL=qa@lumenfold.id", "-e", "PASSWORD=rahasia-123", "-e", "SEARCH_TERM=Teh Manis", "--artifacts",
            "on-failure", "--output", runFolder, sandbox + QStringLiteral("/login.yaml"), "" }));

    // The console: start, the runner's own lines without its noise, result.
    QCOMPARE(result.lines.indexOf(QString::fromUtf8("\U0001F680 Starting Maestro Test in Sandbox...")) + 1,
        result.lines.indexOf(QString::fromUtf8("\U0001F4C1 Target Flow: login.yaml")));
    QVERIFY(result.lines.filter(QRegularExpression(QStringLiteral("time=.*level="))).isEmpty());
    QVERIFY(result.lines.filter(QStringLiteral("closed listener successfully")).isEmpty());
    const QStringList tail = result.lines.mid(result.lines.size() - 6);
    QCOMPARE(tail,
        (QStringList { QString(), QString::fromUtf8("\u2705 Test Completed Successfully!"),
            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."), QString::fromUtf8("\u23f3 Generating HTML Report..."),
            QString::fromUtf8("\u2705 Report Generated."), result.lines.last() }));
    // The network log and the reports are in the run folder.
    QVERIFY(QFileInfo(runFolder + QStringLiteral("/network_log.txt")).size() > 0);

    // The runner wrote its report folder inside the run folder.
    QStringList reports = QDir(runFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    reports.removeAll(QStringLiteral("sandbox"));
    QCOMPARE(reports.size(), 1);
    QVERIFY(QFileInfo::exists(runFolder + u'/' + reports.first() + QStringLiteral("/report.json")));
    QVERIFY(QFileInfo::exists(runFolder + u'/' + reports.first() + QStringLiteral("/report-custom.html")));
}

void TestE2eRun::simulatorRun()
{
    const QProcessEnvironment env = environment(QStringLiteral("instant"));
    const QString simulator = QStringLiteral("45D578D6-0267-467B-BA25-3CF08BCFE468");
    QProcess devices;
    devices.setProcessEnvironment(env);
    devices.start(m_cli, { QStringLiteral("devices") });
    QVERIFY(devices.waitForFinished(60'000));
    const QStringList listed = QString::fromUtf8(devices.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    const QStringList kinds = QStringList(listed).replaceInStrings(QRegularExpression(QStringLiteral("^.*\t")), QString());
    QVERIFY2(kinds.indexOf(QStringLiteral("simulator")) > kinds.lastIndexOf(QStringLiteral("device")), qPrintable(listed.join(u'\n')));
    QVERIFY(listed.contains(simulator + QStringLiteral("\tiPhone 16 Pro Simulator\tsimulator")));

    QStringList arguments = runArguments(QStringLiteral("login.yaml"));
    arguments[arguments.indexOf(kDevice)] = simulator;
    const Result result = runCli(arguments, env);
    QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join(u'\n')));
    const QString runFolder = result.lines.last().mid(12);
    // The log came out of the simulator's data container, found through simctl.
    QVERIFY2(QFileInfo(runFolder + QStringLiteral("/network_log.txt")).size() > 0, qPrintable(result.lines.join(u'\n')));
    QVERIFY(result.lines.filter(QStringLiteral("Network log (NFX) not found")).isEmpty());
}

void TestE2eRun::failingRun()
{
    const Result result = runCli(runArguments(QStringLiteral("broken.yaml")), environment(QStringLiteral("instant")));
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.lines.contains(QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)")),
        qPrintable(result.lines.join(u'\n')));
    QVERIFY(result.lines.last().startsWith(QStringLiteral("Run folder: ")));
}

void TestE2eRun::stopInTheMiddleLeavesNothingBehind()
{
    QProcess cli;
    cli.setProcessEnvironment(environment(QStringLiteral("human")));
    cli.start(m_cli, runArguments(QStringLiteral("login.yaml")));
    QVERIFY(cli.waitForStarted());
    QByteArray out;
    // Wait until the runner is executing the flow.
    QTRY_VERIFY_WITH_TIMEOUT((out += cli.readAllStandardOutput()).contains("[1/1]"), 60'000);
    QVERIFY2(processesOfThisCase().size() >= 2, qPrintable(processesOfThisCase().join(u'\n')));

    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(60'000));
    out += cli.readAllStandardOutput();
    const QStringList lines = consoleTexts(out);
    QVERIFY(cli.exitCode() != 0);
    const qsizetype stop = lines.indexOf(QString::fromUtf8("\U0001F6D1 STOPPING TEST..."));
    QVERIFY2(stop > 0, qPrintable(lines.join(u'\n')));
    const QStringList failures = lines.filter(QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: "));
    QCOMPARE(failures.size(), 1);
    QVERIFY(lines.indexOf(failures.first()) > stop);
    QVERIFY(lines.last().startsWith(QStringLiteral("Run folder: ")));
    // Nothing of the run survives: not the shell, the runner nor its helper.
    QTRY_VERIFY2_WITH_TIMEOUT(processesOfThisCase().isEmpty(), qPrintable(processesOfThisCase().join(u'\n')), 10'000);
}

void TestE2eRun::hierarchyOfTheCurrentScreen()
{
    const Result result = runCli({ QStringLiteral("hierarchy"), QStringLiteral("--device"), kDevice, QStringLiteral("--runner"),
                                     m_runner, QStringLiteral("--team-id"), QStringLiteral("QA12345678") },
        environment(QStringLiteral("instant")));
    QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join(u'\n')));
    QCOMPARE(read(m_record).split(u'\n').mid(0, 8),
        (QStringList { "--platform", "ios", "--team-id", "QA12345678", "--device", kDevice, "hierarchy", "--compact" }));
    const qsizetype start = result.lines.indexOf(QString::fromUtf8("\U0001F680 Fetching UI Hierarchy..."));
    const qsizetype end = result.lines.indexOf(QString::fromUtf8("\u2705 UI Hierarchy Fetched Successfully!"));
    QVERIFY(start >= 0 && end > start);
    // The tree: two spaces a level, never deeper than one level below the
    // line before, no unnamed containers.
    int previous = -2;
    int elements = 0;
    static const QRegularExpression element(
        QStringLiteral("^( *)(Application|Window|Other|Button|StaticText|TextField|Image|Cell)\\b"));
    for (qsizetype i = start + 1; i < end; ++i) {
        const QString &line = result.lines.at(i);
        const QRegularExpressionMatch match = element.match(line);
        if (!match.hasMatch())
            continue;
        const int indent = int(match.capturedLength(1));
        QVERIFY2(indent % 2 == 0 && indent <= previous + 2, qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("Other  (")) || line.contains(QStringLiteral("id="))
                || line.contains(QStringLiteral("text=")),
            qPrintable(line));
        previous = indent;
        ++elements;
    }
    QVERIFY(elements >= 3);
}

QTEST_GUILESS_MAIN(TestE2eRun)
#include "tst_e2erun.moc"
