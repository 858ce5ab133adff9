#include "../cli/clitestsupport.h"
#include "e2esupport.h"
#include "fakedevicedetector.h"
#include "process/commandexecutor.h"
#include "reports/reportmanager.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace std::chrono_literals;
using testsupport::ScopedEnv;

// The flows a user runs on the simulated lab (kestrune-sim as xcrun and as
// the runner, the real executor and login shell): through kestrune-cli, and
// the run controller's live network view in this process. The runner sees
// only the login environment, so each case has a home whose .zshenv points
// the lab at the case's state; that home also marks the case's processes.
class TestE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void passingRun();
    void failingRunOnASimulator();
    void stopInTheMiddleLeavesNothingBehind();
    void hierarchyOfTheCurrentScreen();
    void liveNetworkViewThenReports();

private:
    QProcessEnvironment environment(const QByteArray &speed) const;
    QStringList runArguments(const QString &flow, const QString &device = QString()) const;
    QStringList processesOfThisCase() const;

    QTemporaryDir m_dir;
    QString m_sim;
    QString m_home;
    QString m_workspace;
    QString m_output;
    int m_case = 0;
};

namespace {

using E2e::kApp;
using E2e::kDevice;
const QString kSimulator = QStringLiteral("45D578D6-0267-467B-BA25-3CF08BCFE468");
// Faster than the lab's human pace, slow enough that the flow outlasts several pulls.
const QByteArray kNetworkSpeed = "0.15";

QString findFile(const QString &folder, const QString &name)
{
    QDirIterator it(folder, { name }, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

} // namespace

void TestE2e::initTestCase()
{
    m_sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    QVERIFY2(QFileInfo(m_sim).isExecutable(), qPrintable(m_sim));
    QVERIFY2(QFileInfo(cliPath()).isExecutable(), qPrintable(cliPath()));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");
}

void TestE2e::init()
{
    const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    m_home = base + QStringLiteral("/home");
    m_workspace = base + QStringLiteral("/workspace");
    m_output = base + QStringLiteral("/out");
    QVERIFY(testsupport::copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
    QVERIFY(testsupport::writeFile(m_workspace + QStringLiteral("/broken.yaml"),
        "appId: ${BUNDLE_ID}\nname: Broken\n---\n- launchApp\n- assertVisible: \"Teks yang tidak pernah ada\"\n"));
}

QProcessEnvironment TestE2e::environment(const QByteArray &speed) const
{
    const QString lab = m_home + QStringLiteral("/lab");
    testsupport::writeFile(m_home + QStringLiteral("/.zshenv"),
        "export KESTRUNE_SIM_HOME='" + lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=" + speed + "\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home);
    env.insert(QStringLiteral("KESTRUNE_SIM_HOME"), lab);
    env.insert(QStringLiteral("KESTRUNE_SIM_SPEED"), QString::fromUtf8(speed));
    env.insert(QStringLiteral("KESTRUNE_XCRUN"), m_sim);
    env.insert(QStringLiteral("KESTRUNE_SETTINGS_FILE"), m_home + QStringLiteral("/settings.ini"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    return env;
}

QStringList TestE2e::runArguments(const QString &flow, const QString &device) const
{
    return { QStringLiteral("run"), QStringLiteral("--workspace"), m_workspace, QStringLiteral("--flow"), flow,
        QStringLiteral("--env"), QStringLiteral(".env"), QStringLiteral("--device"), device.isEmpty() ? kDevice : device,
        QStringLiteral("--app"), kApp, QStringLiteral("--runner"), m_sim, QStringLiteral("--team-id"),
        QStringLiteral("QA12345678"), QStringLiteral("--output-dir"), m_output, QStringLiteral("--no-time") };
}

QStringList TestE2e::processesOfThisCase() const
{
    const QByteArray marker = "HOME=" + m_home.toUtf8();
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.front().isDigit()
            && testsupport::readFile(QStringLiteral("/proc/%1/environ").arg(pid)).split('\0').contains(marker))
            found << pid + u' '
                    + QString::fromUtf8(testsupport::readFile(QStringLiteral("/proc/%1/cmdline").arg(pid))).replace(u'\0', u' ');
    }
    return found;
}

void TestE2e::passingRun()
{
    const CliResult result = runCli(runArguments(QStringLiteral("login.yaml")), environment("instant"), 180'000);
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    QCOMPARE(lines.mid(lines.size() - 5, 4),
        (QStringList { QString::fromUtf8("\u2705 Test Completed Successfully!"),
            QString::fromUtf8("\U0001F4E1 Pulling Network Logs..."), QString::fromUtf8("\u23f3 Generating HTML Report..."),
            QString::fromUtf8("\u2705 Report Generated.") }));
    QVERIFY(lines.last().startsWith(QStringLiteral("Run folder: ")));
    const QString runFolder = lines.last().mid(12);
    QVERIFY(QFileInfo(runFolder + QStringLiteral("/network_log.txt")).size() > 0);
    const QString json = findFile(runFolder, QStringLiteral("report.json"));
    QVERIFY2(!json.isEmpty(), qPrintable(runFolder));
    QVERIFY(QFileInfo::exists(QFileInfo(json).absolutePath() + QStringLiteral("/report-custom.html")));
}

// A failing flow fails the command; on a simulator the app's log still
// comes out of its data container.
void TestE2e::failingRunOnASimulator()
{
    const CliResult result = runCli(runArguments(QStringLiteral("broken.yaml"), kSimulator), environment("instant"), 180'000);
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(lines.contains(QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: 1)")), qPrintable(result.out));
    QVERIFY(lines.filter(QStringLiteral("Network log (NFX) not found")).isEmpty());
    QVERIFY(lines.last().startsWith(QStringLiteral("Run folder: ")));
    QVERIFY(QFileInfo(lines.last().mid(12) + QStringLiteral("/network_log.txt")).size() > 0);
}

void TestE2e::stopInTheMiddleLeavesNothingBehind()
{
    QProcess cli;
    cli.setProcessEnvironment(environment("0.3"));
    cli.start(cliPath(), runArguments(QStringLiteral("login.yaml")));
    QVERIFY(cli.waitForStarted());
    QByteArray out;
    // Wait until the runner is executing the flow.
    QTRY_VERIFY_WITH_TIMEOUT((out += cli.readAllStandardOutput()).contains("[1/1]"), 60'000);
    QVERIFY2(processesOfThisCase().size() >= 2, qPrintable(processesOfThisCase().join(u'\n')));

    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(60'000));
    out += cli.readAllStandardOutput();
    const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(cli.exitCode(), 128 + SIGINT);
    const qsizetype stop = lines.indexOf(QString::fromUtf8("\U0001F6D1 STOPPING TEST..."));
    QVERIFY2(stop > 0, qPrintable(lines.join(u'\n')));
    const QStringList failures = lines.filter(QString::fromUtf8("\u274c Test Failed or Terminated (Exit code: "));
    QCOMPARE(failures.size(), 1);
    QVERIFY(lines.indexOf(failures.first()) > stop);
    QVERIFY(lines.last().startsWith(QStringLiteral("Run folder: ")));
    // Nothing of the run survives: not the shell, the runner nor its helper.
    QTRY_VERIFY2_WITH_TIMEOUT(processesOfThisCase().isEmpty(), qPrintable(processesOfThisCase().join(u'\n')), 10'000);
}

void TestE2e::hierarchyOfTheCurrentScreen()
{
    const CliResult result
        = runCli({ QStringLiteral("hierarchy"), QStringLiteral("--device"), kDevice, QStringLiteral("--runner"), m_sim,
                     QStringLiteral("--team-id"), QStringLiteral("QA12345678"), QStringLiteral("--no-time") },
            environment("instant"), 180'000);
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    const qsizetype start = lines.indexOf(QString::fromUtf8("\U0001F680 Fetching UI Hierarchy..."));
    const qsizetype end = lines.indexOf(QString::fromUtf8("\u2705 UI Hierarchy Fetched Successfully!"));
    QVERIFY2(start >= 0 && end > start + 3, qPrintable(result.out));
    QVERIFY2(lines.mid(start, end - start).filter(QRegularExpression(QStringLiteral("^Application\\b"))).size() == 1,
        qPrintable(result.out));
}

// The lab's app writes its traffic while the flow runs: the live view shows
// it before the run is over; afterwards the run folder holds both log
// copies and the custom report.
void TestE2e::liveNetworkViewThenReports()
{
    const QProcessEnvironment env = environment(kNetworkSpeed);
    std::vector<std::unique_ptr<ScopedEnv>> scoped;
    for (const char *name : { "HOME", "KESTRUNE_SIM_HOME", "KESTRUNE_SIM_SPEED", "KESTRUNE_XCRUN", "KESTRUNE_SETTINGS_FILE" })
        scoped.push_back(std::make_unique<ScopedEnv>(name, env.value(QLatin1String(name)).toUtf8()));
    const ScopedEnv shell("KESTRUNE_SHELL", "/bin/zsh");

    auto detector = std::make_shared<FakeDeviceDetector>();
    detector->setDevices({ DeviceInfo { kDevice, QStringLiteral("QA iPhone"), false } });
    detector->setApps(kDevice, { kApp });
    CommandExecutor executor;
    RunnerViewModel vm(detector, &executor, std::make_shared<ReportManager>());
    const RunnerSettings settings { m_output, QStringLiteral("QA12345678"), m_sim };
    vm.setSettingsProvider([settings] { return settings; });
    vm.setNetworkPollInterval(100ms);
    QTRY_COMPARE(vm.selectedAppId(), kApp);
    vm.selectWorkspace(m_workspace);
    QTRY_VERIFY(!vm.fileTree().isEmpty());
    vm.setSelectedFlowRelativePath(QStringLiteral("login.yaml"));
    vm.setSelectedEnvRelativePath(QStringLiteral(".env"));
    vm.loadEnvironmentFile();
    QTRY_VERIFY(!vm.customEnvVars().isEmpty());

    qsizetype hitsWhileRunning = 0;
    connect(&vm, &RunnerViewModel::networkHitsChanged, this, [&] {
        if (vm.isRunning())
            hitsWhileRunning = std::max(hitsWhileRunning, vm.networkHits().size());
    });
    QSignalSpy ended(&vm, &RunnerViewModel::runEnded);
    QSignalSpy generated(&vm, &RunnerViewModel::reportGenerated);
    vm.runTest();
    QVERIFY(vm.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 150'000);
    QVERIFY2(ended.first().at(1).toInt() == 0, qPrintable(vm.consoleLogs().join(QString())));
    QVERIFY2(hitsWhileRunning > 0, "the live view showed traffic before the run ended");
    QTRY_COMPARE_WITH_TIMEOUT(generated.count(), 1, 60'000);
    QVERIFY(vm.showReportButton());
    QCOMPARE(vm.consoleLogs().filter(QStringLiteral("Network log (NFX) not found")), QStringList {});
    const QString folder = vm.currentEvidencePath();
    QVERIFY(QFileInfo(folder + QStringLiteral("/live_network_log.txt")).size() > 0);
    QVERIFY(QFileInfo(folder + QStringLiteral("/network_log.txt")).size() > 0);
    QVERIFY2(!findFile(folder, QStringLiteral("report-custom.html")).isEmpty(), qPrintable(folder));
}

QTEST_GUILESS_MAIN(TestE2e)
#include "tst_e2e.moc"
