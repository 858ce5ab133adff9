#include "../core/network/jsonschemasubset.h"
#include "fakedevicedetector.h"
#include "process/commandexecutor.h"
#include "reports/reportmanager.h"
#include "runner/runnerviewmodel.h"

#include "e2esupport.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

// The run controller in this process on the simulated lab: the real executor
// and login shell, kestrune-sim as xcrun and as the runner, the real report
// manager. The lab's app writes its traffic while the flow runs, so the live
// capture must show it before the run is over; afterwards the run folder
// holds both log copies and the custom report, and the final log exports to
// a HAR document that passes the schema.
class TestE2eNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void liveCaptureThenReportsAndHar();

private:
    QTemporaryDir m_dir;
    QString m_sim;
    QString m_cli;
    QString m_workspace;
    QString m_runner;
};

namespace {

using E2e::kApp;
using E2e::kDevice;
using E2e::copyTree;
using E2e::writeFile;

// Slow enough that the flow outlasts several pulls.
const QByteArray kSpeed = "human";

QString findFile(const QString &folder, const QString &name)
{
    QDirIterator it(folder, { name }, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

} // namespace

void TestE2eNetwork::initTestCase()
{
    m_sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    m_cli = QStringLiteral(KESTRUNE_BINARY_DIR "/src/cli/kestrune-cli");
    QVERIFY2(QFileInfo(m_sim).isExecutable(), qPrintable(m_sim));
    QVERIFY2(QFileInfo(m_cli).isExecutable(), qPrintable(m_cli));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");

    // The runner sees the login environment; the pulls see ours. Both point
    // the lab at the same state.
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString lab = home + QStringLiteral("/lab");
    QVERIFY(writeFile(home + QStringLiteral("/.zshenv"),
        "export KESTRUNE_SIM_HOME='" + lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=" + kSpeed + "\n"));
    qputenv("HOME", home.toUtf8());
    qputenv("KESTRUNE_SIM_HOME", lab.toUtf8());
    qputenv("KESTRUNE_SIM_SPEED", kSpeed);
    qputenv("KESTRUNE_XCRUN", m_sim.toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
    qputenv("KESTRUNE_SETTINGS_FILE", (home + QStringLiteral("/settings.ini")).toUtf8());

    m_workspace = m_dir.filePath(QStringLiteral("workspace"));
    QVERIFY(copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
    m_runner = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    QVERIFY(writeFile(m_runner, "#!/bin/sh\nexec '" + m_sim.toUtf8() + "' \"$@\"\n", true));
}

void TestE2eNetwork::liveCaptureThenReportsAndHar()
{
    auto detector = std::make_shared<FakeDeviceDetector>();
    detector->setDevices({ DeviceInfo { kDevice, QStringLiteral("QA iPhone"), false } });
    detector->setApps(kDevice, { kApp });
    CommandExecutor executor;
    auto reports = std::make_shared<ReportManager>();
    RunnerViewModel vm(detector, &executor, reports);
    const RunnerSettings settings { m_dir.filePath(QStringLiteral("out")), QStringLiteral("QA12345678"), m_runner };
    vm.setSettingsProvider([settings] { return settings; });
    vm.setNetworkPollInterval(300ms);
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
    QVERIFY2(hitsWhileRunning > 0, "the live capture showed traffic before the run ended");
    QTRY_COMPARE_WITH_TIMEOUT(generated.count(), 1, 60'000);
    QVERIFY(vm.showReportButton());
    QCOMPARE(vm.consoleLogs().filter(QStringLiteral("Network log (NFX) not found")), QStringList {});

    const QString folder = vm.currentEvidencePath();
    QVERIFY(QFileInfo(folder + QStringLiteral("/live_network_log.txt")).size() > 0);
    const QString finalLog = folder + QStringLiteral("/network_log.txt");
    QVERIFY(QFileInfo(finalLog).size() > 0);
    QVERIFY2(!findFile(folder, QStringLiteral("report-custom.html")).isEmpty(), qPrintable(folder));

    // The final copy as a HAR document.
    QProcess cli;
    cli.start(m_cli, { QStringLiteral("netfox"), finalLog, QStringLiteral("--format"), QStringLiteral("har") });
    QVERIFY(cli.waitForFinished(60'000));
    QCOMPARE(cli.exitCode(), 0);
    QJsonParseError error {};
    const QJsonDocument har = QJsonDocument::fromJson(cli.readAllStandardOutput(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QFile schemaFile(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/har-1.2.schema.json"));
    QVERIFY(schemaFile.open(QIODevice::ReadOnly));
    const JsonSchemaSubset schema(QJsonDocument::fromJson(schemaFile.readAll()).object());
    QCOMPARE(schema.validate(har.object()), QStringList {});
    QVERIFY(!har.object().value(QStringLiteral("log")).toObject().value(QStringLiteral("entries")).toArray().isEmpty());
}

QTEST_GUILESS_MAIN(TestE2eNetwork)
#include "tst_e2enetwork.moc"
