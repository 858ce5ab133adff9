// kestrune-sim, asked with the application's own command lines and read back
// with its own parsers and readers: as xcrun (xctrace, devicectl, simctl), the
// keychain's security tool, the USB cable (as the mirror panel's lab backend
// reads it) and the runner (the hierarchy command, a three-flow run of the
// demo workspace, errors before a run, device kinds, determinism, the helper
// child stopped with the run's process group and never left behind).

#include "devices/devicedetector.h"
#include "network/netfoxparser.h"
#include "process/toolcommands.h"
#include "reports/allureattacher.h"
#include "reports/embeddedreportdata.h"
#include "reports/fullreportmodels.h"
#include "reports/reportbranding.h"
#include "reports/reportfilefinder.h"
#include "reports/reportformatters.h"
#include "reports/reporthistorystore.h"
#include "reports/screenshotlinker.h"
#include "runner/consolelines.h"
#include "runner/hierarchyformatter.h"
#include "scratchfiles.h"
#include "setup/environmentchecks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <unistd.h>

namespace {

const QString kPasar = QStringLiteral("com.lumenfold.pasar");
const QString iPhone = QStringLiteral("00008130-001E39811A12001C");
const QString iPhoneWithoutLog = QStringLiteral("00008110-000A1C2E0E91801E");
const QString offlinePhone = QStringLiteral("00008030-0011223344556677");
const QString hostMac = QStringLiteral("305FB8F6-801F-5FD2-BE49-BE799A13D773");
const QString simulator = QStringLiteral("45D578D6-0267-467B-BA25-3CF08BCFE468");
const QString emptySimulator = QStringLiteral("B1C2D3E4-F5A6-4B7C-8D9E-0F1A2B3C4D5E");

QString program()
{
    return QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
}

struct SimResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// kestrune-sim run against a lab folder of its own: a copy of one lab seeded
// for the whole suite, or, with `seeded` false, empty, for the lab to seed on
// its first command. A runner command line of the application loses the
// login shell and the runner path in front.
class SimLab
{
public:
    explicit SimLab(bool seeded = true)
    {
        QDir().mkpath(home());
        if (!seeded)
            return;
        static const SimLab seed(false);
        static const bool seedRan = seed.run(ToolCommand { {}, { "xctrace", "list", "devices" } }).exitCode == 0;
        if (seedRan)
            testsupport::copyTree(seed.home(), home());
    }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QProcessEnvironment environment(const QString &speed = QStringLiteral("fast")) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUNE_SIM_HOME"), home());
        env.insert(QStringLiteral("KESTRUNE_SIM_SPEED"), speed);
        return env;
    }
    static QStringList arguments(const ToolCommand &command)
    {
        const qsizetype shellEnd = command.arguments.indexOf(QStringLiteral("--"));
        return shellEnd < 0 ? command.arguments : command.arguments.mid(shellEnd + 2);
    }
    SimResult run(const ToolCommand &command) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(m_dir.path());
        process.start(program(), arguments(command));
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
            return {};
        return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError()) };
    }

private:
    QTemporaryDir m_dir;
};

// The application's command lines, their tools all played by the lab.
ToolCommands commands()
{
    ToolPaths paths;
    paths.xcrun = program();
    paths.security = program();
    return ToolCommands(paths);
}

ToolCommand hierarchy(const QString &device)
{
    return commands().runnerHierarchy(program(), QStringLiteral("K7QX2M9R4T"), device);
}

// The application's test run of the demo workspace's `flows` (more than one
// appended after the first; a flow with a line break is a file's text).
ToolCommand testRun(const SimLab &lab, const QString &device, const QStringList &flows, const QString &bundle = kPasar,
    const QString &output = "out")
{
    QStringList files;
    for (const QString &flow : flows) {
        const bool text = flow.contains(u'\n');
        files << (text ? lab.path(QStringLiteral("flow%1.yaml").arg(files.size()))
                       : KESTRUNE_SOURCE_DIR "/demo/workspace/" + flow);
        if (text)
            testsupport::writeFile(files.last(), flow.toUtf8());
    }
    const QList<ToolCommands::Variable> variables { { "PASSWORD", "a=b c" }, { "SEARCH_TERM", "Kopi" } };
    ToolCommand command
        = commands().runnerTestRun({ program(), "K7QX2M9R4T", device, bundle, variables, lab.path(output), files[0] });
    command.arguments << files.mid(1);
    return command;
}

// The Pasar app's network log on the lab's iPhone 15 Pro.
QString sessionLog(const SimLab &lab)
{
    return lab.home() + "/devices/" + iPhone + "/AppData/com.lumenfold.pasar/tmp/NFX/session.log";
}

QJsonObject readJsonObject(const QString &path)
{
    return QJsonDocument::fromJson(testsupport::readFile(path)).object();
}

// The single report folder that a run wrote under an --output folder.
QString onlyReportFolder(const QString &output)
{
    const QStringList entries = QDir(output).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return entries.size() == 1 ? QDir(output).filePath(entries.first()) : QString();
}

// The live (not zombie) processes of a process group.
QList<pid_t> groupMembers(pid_t group)
{
    QList<pid_t> members;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QString stat = QString::fromLatin1(testsupport::readFile(QStringLiteral("/proc/%1/stat").arg(entry)));
        // After the command's closing parenthesis: state, parent, process group.
        const QStringList fields = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ');
        if (fields.size() > 2 && fields.at(2).toInt() == group && fields.at(0) != QLatin1String("Z"))
            members << pid_t(entry.toInt());
    }
    return members;
}

} // namespace

class TestSimLab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void deviceList_data();
    void deviceList();
    void appLists_data();
    void appLists();
    void failures_data();
    void failures();
    void copyFromDevice_data();
    void copyFromDevice();
    void hierarchyPrintout_data();
    void hierarchyPrintout();
    void signingIdentities_data();
    void signingIdentities();
    void usbCable_data();
    void usbCable();
    void console();
    void historyRow();
    void reportFiles();
    void failedStep();
    void reportPage();
    void allureResults();
    void networkLog_data();
    void networkLog();
    void errorsBeforeARun_data();
    void errorsBeforeARun();
    void deviceKinds_data();
    void deviceKinds();
    void sameStateSameRun();
    void helperChild_data();
    void helperChild();

private:
    SimLab m_lab; // for the tests that leave the lab as it is
    DeviceScan m_scan;
    SimLab m_runLab; // the three-flow run's
    SimResult m_run;
    QString m_runFolder;
    QString m_report;
    QDateTime m_runStart;
};

void TestSimLab::initTestCase()
{
    m_scan = DeviceDetector::scanDeviceList(m_lab.run(commands().xctraceListDevices()).out);
    m_runStart = QDateTime::currentDateTimeUtc();
    m_runFolder = m_runLab.path(QStringLiteral("QA_20260115_073000"));
    const QStringList flows { "login.yaml", "checkout/cart_and_checkout.yaml", "checkout/payment.yaml" };
    m_run = m_runLab.run(testRun(m_runLab, iPhone, flows, kPasar, QStringLiteral("QA_20260115_073000")));
    m_report = onlyReportFolder(m_runFolder);
    QVERIFY2(!m_report.isEmpty(), qPrintable(m_run.err));
}

void TestSimLab::deviceList_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("name"); // empty: left out of the scan
    QTest::addColumn<bool>("isSimulator");
    QTest::addColumn<bool>("offline");
    QTest::newRow("apostrophe in the name") << iPhone << QStringLiteral("QA Lab\u2019s iPhone 15 Pro") << false << false;
    QTest::newRow("no-break space in the name") << iPhoneWithoutLog << QStringLiteral("iPhone\u00a014 Rina") << false << false;
    QTest::newRow("iPad") << QStringLiteral("00008103-001A2B3C4D5E6F70") << "iPad Pro 11-inch QA" << false << false;
    QTest::newRow("simulator") << simulator << "iPhone 16 Pro Simulator" << true << false;
    QTest::newRow("simulator with parentheses in its name")
        << QStringLiteral("8E788B42-658C-47F3-A314-68CA670B7CFC") << "iPad (A16) Simulator" << true << false;
    QTest::newRow("shut-down simulator") << emptySimulator << "iPhone SE (3rd generation) Simulator" << true << false;
    QTest::newRow("offline phone named apart") << offlinePhone << "iPhone SE Kasir" << false << true;
    QTest::newRow("host Mac without a version part") << hostMac << "" << false << false;
    QTest::newRow("Mac with a version part") << QStringLiteral("00006001-001C35E21E38801E") << "" << false << false;
}

void TestSimLab::deviceList()
{
    QFETCH(QString, udid);
    QFETCH(QString, name);
    QFETCH(bool, isSimulator);
    QFETCH(bool, offline);
    const DeviceInfo expected { udid, name, isSimulator };
    QCOMPARE(m_scan.devices.contains(expected), !name.isEmpty() && !offline);
    QCOMPARE(m_scan.offline.contains(expected), offline);
    for (const DeviceInfo &d : m_scan.devices + m_scan.offline)
        QVERIFY(d.id != udid || d == expected);
    QCOMPARE(m_scan.devices.size(), 6);
}

void TestSimLab::appLists_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QStringList>("apps");
    QTest::newRow("simulator: its user apps")
        << simulator << QStringList { "com.lumenfold.pasar", "com.lumenfold.pasar.staging" };
    QTest::newRow("lab iPhone, hyphenated identifier kept whole")
        << iPhone
        << QStringList { "com.facebook.WebDriverAgentRunner.xctrunner", "com.lumenfold.pasar", "com.lumenfold.pasar.staging",
               "id.trellis-pay.dompet", "io.rinalabs.notes" };
    QTest::newRow("iPad") << QStringLiteral("00008103-001A2B3C4D5E6F70")
                          << QStringList { "com.lumenfold.pasar", "io.rinalabs.notes" };
}

void TestSimLab::appLists()
{
    QFETCH(QString, udid);
    QFETCH(QStringList, apps);
    const bool onSimulator = udid == simulator;
    const SimResult r = m_lab.run(onSimulator ? commands().simctlListApps(udid) : commands().devicectlListApps(udid));
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(onSimulator ? DeviceDetector::parseSimulatorAppList(r.out) : DeviceDetector::parseAppList(r.out), apps);
}

// The tool fails (the application takes any status but 0 for a failure) and
// prints nothing the parsers would take for an app.
void TestSimLab::failures_data()
{
    QTest::addColumn<ToolCommand>("command");
    QTest::addColumn<int>("exitCode");
    const ToolCommands c = commands();
    const QString log = QString::fromLatin1(ToolCommands::kNetfoxLogInContainer);
    const QString pasar = QStringLiteral("com.lumenfold.pasar");
    QTest::newRow("apps of an unknown device") << c.devicectlListApps("0000-NOPE") << 1;
    QTest::newRow("apps of an offline device") << c.devicectlListApps(offlinePhone) << 1;
    QTest::newRow("copy from an app not installed") << c.devicectlCopyFrom(iPhone, "com.example.absent", log, "copied.log") << 1;
    QTest::newRow("copy a log not written yet") << c.devicectlCopyFrom(iPhoneWithoutLog, pasar, log, "copied.log") << 1;
    QTest::newRow("container on a physical device") << c.simctlAppDataContainer(iPhone, pasar) << 148;
    QTest::newRow("container of an app not installed") << c.simctlAppDataContainer(emptySimulator, pasar) << 2;
    QTest::newRow("apps of a shut-down simulator") << c.simctlListApps(emptySimulator) << 149;
    QTest::newRow("simctl apps of a physical device") << c.simctlListApps(iPhone) << 148;
    QTest::newRow("hierarchy of an unknown device") << hierarchy("NOPE") << 1;
}

void TestSimLab::failures()
{
    QFETCH(ToolCommand, command);
    QFETCH(int, exitCode);
    const SimResult r = m_lab.run(command);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY(!r.err.trimmed().isEmpty());
    QVERIFY(DeviceDetector::parseAppList(r.out).isEmpty() && DeviceDetector::parseSimulatorAppList(r.out).isEmpty());
    QVERIFY(!QFileInfo::exists(m_lab.path(QStringLiteral("copied.log"))));
}

void TestSimLab::copyFromDevice_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("copied");
    QTest::newRow("the app's network log over a stale copy") << QString::fromLatin1(ToolCommands::kNetfoxLogInContainer) << true;
    QTest::newRow("a source leading out of the container") << QStringLiteral("../../../../lab.json") << false;
}

void TestSimLab::copyFromDevice()
{
    QFETCH(QString, source);
    QFETCH(bool, copied);
    const QString destination = m_lab.path(QStringLiteral("live_network_log.txt"));
    QVERIFY(testsupport::writeFile(destination, "stale copy from an earlier pull"));
    const SimResult r
        = m_lab.run(commands().devicectlCopyFrom(iPhone, QStringLiteral("com.lumenfold.pasar"), source, destination));
    QCOMPARE(r.exitCode, copied ? 0 : 1);
    QCOMPARE(testsupport::readFile(destination),
        copied ? testsupport::readFile(sessionLog(m_lab)) : QByteArray("stale copy from an earlier pull"));
}

void TestSimLab::hierarchyPrintout_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("app on its login screen") << iPhone << "text=\"Masuk\"";
    QTest::newRow("home screen icons carry a text, no id") << simulator << "Icon  text=\"Pasar\"  (";
}

// The console filters and re-indents the printout: the lab's gives both rules
// work (containers without id or text, levels not two spaces apart).
void TestSimLab::hierarchyPrintout()
{
    QFETCH(QString, udid);
    QFETCH(QString, expectedText);
    const SimResult r = m_lab.run(hierarchy(udid));
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains(QLatin1String("Starting WebDriverAgent")) && !r.out.contains(QLatin1String("WebDriverAgent")));
    QVERIFY(r.out.contains(expectedText));
    HierarchyFormatter formatter;
    int filtered = 0, reindented = 0;
    for (const QString &line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
        filtered += ConsoleLines::shouldFilterLine(line, RunMode::Hierarchy);
        const QString formatted = formatter.formatLine(line);
        reindented += formatted != line;
        QCOMPARE(formatted.trimmed(), line.trimmed());
    }
    QVERIFY(filtered >= 2 && reindented >= 1);
}

void TestSimLab::signingIdentities_data()
{
    QTest::addColumn<QByteArray>("keychain"); // KESTRUNE_SIM_SIGNING
    QTest::addColumn<CheckStatus>("expected");
    QTest::newRow("the demo team's identity") << QByteArray() << CheckStatus::success("Apple Development: Dana Kim (K7QX2M9R4T)");
    const QString none = QStringLiteral("No Apple Development certificate for team K7QX2M9R4T; found: none");
    QTest::newRow("an empty keychain") << QByteArray("none") << CheckStatus::failed(none);
}

void TestSimLab::signingIdentities()
{
    QFETCH(QByteArray, keychain);
    QFETCH(CheckStatus, expected);
    const testsupport::ScopedEnv signing("KESTRUNE_SIM_SIGNING", keychain);
    const SimResult r = m_lab.run(commands().securityFindCodesigningIdentities());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(EnvironmentChecks::signingStatus(r.out, QStringLiteral("K7QX2M9R4T")), expected);
}

void TestSimLab::usbCable_data()
{
    QTest::addColumn<QString>("commands"); // "usb ..." commands run in order, split at ";"
    QTest::addColumn<int>("lastExit");
    QTest::addColumn<QStringList>("attached");
    const QStringList one { iPhone };
    QTest::newRow("seeded: the iPhone 15 Pro on the cable") << "list" << 0 << one;
    QTest::newRow("attach a second phone") << "attach " + iPhoneWithoutLog << 0 << QStringList { iPhone, iPhoneWithoutLog };
    QTest::newRow("detach keeps the last picture") << "detach " + iPhone << 0 << QStringList {};
    QTest::newRow("an offline phone can be attached")
        << "detach " + iPhone + ";attach " + offlinePhone << 0 << QStringList { offlinePhone };
    QTest::newRow("a simulator has no cable") << "attach " + simulator << 1 << one;
    QTest::newRow("camera access refused") << "access denied" << 0 << one;
}

void TestSimLab::usbCable()
{
    QFETCH(QString, commands);
    QFETCH(int, lastExit);
    QFETCH(QStringList, attached);
    SimLab lab;
    SimResult result;
    for (const QString &command : commands.split(u';'))
        result = lab.run(ToolCommand { program(), QStringList { QStringLiteral("usb") } + command.split(u' ') });
    QCOMPARE(result.exitCode, lastExit);
    const QJsonObject state = readJsonObject(lab.home() + QStringLiteral("/usb.json"));
    QCOMPARE(state.value(QLatin1String("attached")).toVariant().toStringList(), attached);
    QCOMPARE(
        state.value(QLatin1String("cameraAccess")).toString(), QString(commands.endsWith(u"denied") ? "denied" : "authorized"));
    // A picture for every phone attached at any time; the seeded one's stays.
    for (const QString &udid : { iPhone, iPhoneWithoutLog, offlinePhone, simulator })
        QCOMPARE(QFileInfo::exists(lab.home() + "/usb/" + udid + ".png"), udid == iPhone || attached.contains(udid));
}

void TestSimLab::console()
{
    QCOMPARE(m_run.exitCode, 1); // one flow fails
    // The device library's lines go to stderr, where the console drops them.
    for (const char *noise : { "Error accepting new connection", "closed listener successfully", "forwarding port 8100" }) {
        const QStringList lines = m_run.err.split(u'\n').filter(QLatin1String(noise));
        QVERIFY2(!lines.isEmpty() && ConsoleLines::shouldFilterLine(lines.first(), RunMode::Test), noise);
    }
}

void TestSimLab::historyRow()
{
    const std::optional<TestReport> row = ReportHistoryStore::readRunFolder(m_runFolder);
    QVERIFY(row);
    QCOMPARE(row->status, TestStatus::Failed);
    QCOMPARE(row->deviceName, QStringLiteral("QA Lab\u2019s iPhone 15 Pro"));
    QVERIFY(row->durationSeconds.value_or(0) > 0);
    QCOMPARE(row->yamlName, QStringLiteral("Login"));
    QVERIFY(row->totalCommands.value_or(0) > 0);
    QCOMPARE(row->passedCommands, row->totalCommands);
    QCOMPARE(row->reportHtmlUrl, QUrl::fromLocalFile(m_report + QStringLiteral("/report.html")));
}

void TestSimLab::reportFiles()
{
    const QByteArray raw = testsupport::readFile(m_report + QStringLiteral("/report.json"));
    // The runner's encoder writes &, < and > as \u0026, \u003c, \u003e.
    QVERIFY(!raw.contains('&') && !raw.contains('<') && !raw.contains('>'));
    QString error;
    const std::optional<MaestroFullReport> report = MaestroFullReport::decode(raw, &error);
    QVERIFY2(report, qPrintable(error));
    QVERIFY(report->device->id == iPhone && report->device->isSimulator == false);
    QCOMPARE(report->app->id, kPasar);
    QCOMPARE(report->flows->size(), size_t(3));
    QCOMPARE(report->flows->at(1).name, QStringLiteral("Cart & checkout"));
    for (const MaestroFlowMeta &flow : *report->flows) {
        const std::optional<QString> data = ReportFileFinder::pathInside(m_report, flow.dataFile.value_or(QString()));
        const std::optional<QString> assets = ReportFileFinder::pathInside(m_report, flow.assetsDir.value_or(QString()));
        QVERIFY(data && assets && QFileInfo(*assets).isDir());
        const std::optional<FlowDetailsJSON> details = FlowDetailsJSON::decode(testsupport::readFile(*data), &error);
        QVERIFY2(details && details->commands, qPrintable(error));
    }
    // The first flow starts on a whole second (no fraction); other times carry nine digits.
    const QString first = readJsonObject(m_report + "/flows/flow-000.json")["startTime"].toString();
    QVERIFY2(ReportFormatters::parseInternetDateTime(first) && !first.contains(u'.'), qPrintable(first));
    static const QRegularExpression nineDigits(QStringLiteral(":\\d\\d\\.\\d{9}Z\""));
    QVERIFY(QString::fromUtf8(raw).contains(nineDigits));
}

void TestSimLab::failedStep()
{
    const std::optional<FlowDetailsJSON> payment
        = FlowDetailsJSON::decode(testsupport::readFile(m_report + "/flows/flow-002.json"));
    QVERIFY(payment && payment->commands);
    int failedAt = -1;
    for (int i = 0; i < int(payment->commands->size()); ++i) {
        const FlowCommand &c = payment->commands->at(i);
        if (c.status == QLatin1String("failed")) {
            failedAt = i;
            QVERIFY(c.error && c.error->kind == FlowCommandError::Case::Dict && !c.error->message.isEmpty());
            QStringList keys;
            for (const FlowCommandArtifact &a : c.artifacts.value_or(std::vector<FlowCommandArtifact> {})) {
                keys << a.key;
                const std::optional<QString> file = ReportFileFinder::pathInside(m_report, a.value);
                QVERIFY2(file && QFileInfo(*file).isFile(), qPrintable(a.value));
            }
            QCOMPARE(keys, (QStringList { "screenshotAfter", "viewHierarchy" }));
        } else {
            QCOMPARE(c.status, failedAt >= 0 ? QStringLiteral("skipped") : QStringLiteral("passed"));
            QVERIFY(failedAt < 0 || (!c.startTime && !c.duration));
        }
    }
    QCOMPARE(failedAt, 7);
}

void TestSimLab::reportPage()
{
    QString html = QString::fromUtf8(testsupport::readFile(m_report + QStringLiteral("/report.html")));
    const std::optional<EmbeddedDataRange> range = EmbeddedReportLocator::locate(html);
    QVERIFY(range);
    QString error;
    const auto data = EmbeddedReportData::decode(QStringView(html).mid(range->start, range->length), &error);
    QVERIFY2(data && data->flows && data->flows->size() == 3, qPrintable(error));
    // A screenshot the runner saved without referencing it gets linked.
    const QString unreferenced = QStringLiteral("cmd-005-product_added.png");
    QVERIFY(QFileInfo::exists(m_report + QStringLiteral("/assets/flow-001/") + unreferenced));
    QVERIFY(!html.contains(unreferenced));
    QVERIFY(ScreenshotLinker::patchScreenshots(html, m_report));
    QVERIFY(html.contains(unreferenced));
    // The runner's branding is all replaced.
    QVERIFY(ReportBranding::apply(html));
    for (const char *left : { "#06b6d4", "alt=\"DeviceLab\"", ">DeviceLab</a>", "github.com/devicelab-dev", ">maestro-runner<" })
        QVERIFY2(!html.contains(QLatin1String(left)), left);
}

void TestSimLab::allureResults()
{
    const QString results = m_report + QStringLiteral("/allure-results");
    QString error;
    QVERIFY2(AllureAttacher::attach(results, sessionLog(m_runLab), &error), qPrintable(error));
    const QStringList files = QDir(results).entryList({ QStringLiteral("*-result.json") });
    QCOMPARE(files, (QStringList { "flow-000-result.json", "flow-001-result.json", "flow-002-result.json" }));
    for (const QString &file : files) {
        const QJsonArray attachments = readJsonObject(results + u'/' + file)["attachments"].toArray();
        QCOMPARE(attachments.size(), 1);
        QVERIFY(QFileInfo(results + u'/' + attachments[0]["source"].toString()).isFile());
    }
}

void TestSimLab::networkLog_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("method"); // empty: any
    QTest::addColumn<bool>("inFlight"); // a request logged before the one before it was answered
    QTest::addColumn<QString>("status");
    const QString api = QStringLiteral("https://api.lumenfold.id/v2/");
    QTest::newRow("a request left unanswered") << api + "recommendations?sku=A-1" << 2 << "GET" << true << "TIMEOUT";
    QTest::newRow("identical requests in flight at once") << api + "cart/badge" << 6 << "GET" << true << "200";
    QTest::newRow("posts answered in the other order") << api + "cart" << 4 << "POST" << true << "200";
    QTest::newRow("a call without an HTTP response")
        << "https://pay.lumenfold.id/qris/session?locale=id" << 2 << "GET" << false << "999";
    QTest::newRow("a declined payment with a CRLF text body") << api + "orders" << 1 << "POST" << false << "402";
    QTest::newRow("analytics dropped") << "https://app-measurement.com/a" << 0 << "" << false << "";
    QTest::newRow("the earlier session left out by the run's start")
        << api + "config?platform=ios" << 3 << "GET" << false << "200";
}

void TestSimLab::networkLog()
{
    QFETCH(QString, url);
    QFETCH(QString, method);
    QFETCH(int, count);
    QFETCH(QString, status);
    QFETCH(bool, inFlight);
    const QByteArray log = testsupport::readFile(sessionLog(m_runLab));
    QVERIFY(log.startsWith("-------START REQUEST -  https://api.lumenfold.id/v2/config?platform=ios"));
    const QRegularExpression block("^-------START (REQUEST|RESPONSE) -  " + QRegularExpression::escape(url) + " -------$",
        QRegularExpression::MultilineOption);
    QString order; // Q for a request, S for a response
    for (auto it = block.globalMatch(QString::fromUtf8(log)); it.hasNext();)
        order += it.next().captured(1).at(2);
    QVERIFY(!order.isEmpty());
    QCOMPARE(order.contains(QLatin1String("QQ")), inFlight);
    static const QRegularExpression qty(QStringLiteral("\"qty\"\\s*:\\s*(\\d)"));
    int found = 0;
    for (const NetworkHit &h : Netfox::parseNetworkLog(sessionLog(m_runLab), m_runStart.addSecs(-5))) {
        QVERIFY(h.time >= m_runStart.addSecs(-5));
        if (h.url != url || (!method.isEmpty() && h.reqMethod != method))
            continue;
        ++found;
        QCOMPARE(h.resStatus, status);
        QCOMPARE(qty.match(h.resBody).captured(1), qty.match(h.reqBody).captured(1)); // paired with its own answer
    }
    QCOMPARE(found, count);
}

void TestSimLab::errorsBeforeARun_data()
{
    QTest::addColumn<QString>("flow"); // in the demo workspace, or a flow file's text
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown device") << "login.yaml" << QStringLiteral("NOPE") << "device NOPE not found";
    QTest::newRow("offline device") << "login.yaml" << offlinePhone << "is offline";
    QTest::newRow("missing flow file") << "nonexistent/flow.yaml" << iPhone << "flow file not found";
    QTest::newRow("YAML error: tab indentation") << "appId: x\n---\n- tapOn:\n\t  id: tabbed\n" << iPhone << "line 4";
    QTest::newRow("YAML error: list after the header map") << "appId: x\n- back\n" << iPhone << "line 2: unexpected content";
    QTest::newRow("YAML error: sequence entry out of line") << "key:\n  - a\n  b: c\n---\n- back\n"
                                                            << iPhone << "line 3: bad indent";
}

void TestSimLab::errorsBeforeARun()
{
    QFETCH(QString, flow);
    QFETCH(QString, device);
    QFETCH(QString, message);
    SimLab lab;
    const SimResult r = lab.run(testRun(lab, device, { flow }));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QLatin1String("Error: ")) && r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(lab.path(QStringLiteral("out"))));
}

void TestSimLab::deviceKinds_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("flow");
    QTest::newRow("simulator") << simulator << "login.yaml";
    QTest::newRow("folder of flows") << iPhone << "smoke";
    QTest::newRow("CRLF line ends") << iPhone << "appId: ${BUNDLE_ID}\r\n---\r\n- launchApp\r\n";
}

void TestSimLab::deviceKinds()
{
    QFETCH(QString, udid);
    QFETCH(QString, flow);
    SimLab lab;
    const SimResult r = lab.run(testRun(lab, udid, { flow }));
    QCOMPARE(r.exitCode, 0);
    const QString report = onlyReportFolder(lab.path(QStringLiteral("out")));
    const QJsonObject index = readJsonObject(report + QStringLiteral("/report.json"));
    const bool onSimulator = udid == simulator;
    QCOMPARE(index["device"]["isSimulator"].toBool(), onSimulator);
    QCOMPARE(r.err.contains(QLatin1String("level=")), !onSimulator); // no device library for a simulator
    if (flow == QLatin1String("smoke")) {
        QCOMPARE(index["flows"][0]["status"].toString(), QStringLiteral("passed"));
        // The conditional sub-flow whose condition does not hold is skipped, without times.
        const QJsonObject conditional = readJsonObject(report + "/flows/flow-000.json")["commands"].toArray().last().toObject();
        QCOMPARE(conditional["type"].toString(), QStringLiteral("runFlow"));
        QCOMPARE(conditional["status"].toString(), QStringLiteral("skipped"));
        QVERIFY(!conditional.contains(QStringLiteral("startTime")));
    }
    if (onSimulator) {
        const QString container = lab.run(commands().simctlAppDataContainer(udid, kPasar)).out.trimmed();
        QVERIFY(testsupport::readFile(container + QStringLiteral("/tmp/NFX/session.log")).contains("/v2/auth/login"));
        // The device keeps showing the screen the run ended on.
        const SimResult tree = lab.run(hierarchy(udid));
        QVERIFY2(tree.out.contains(QLatin1String("StaticText  text=\"Keranjang kosong\"")), qPrintable(tree.out));
    }
}

// The same lab state gives the same answers: from the device tools (asked
// twice) and from a run, in a lab copied from the suite's seed and in one
// seeded from scratch.
void TestSimLab::sameStateSameRun()
{
    SimLab a, b(false);
    static const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  "), QRegularExpression::MultilineOption);
    for (const ToolCommand &c : { commands().xctraceListDevices(), commands().devicectlListApps(iPhone), hierarchy(iPhone),
             commands().simctlAppDataContainer(simulator, "com.lumenfold.pasar.staging") }) {
        const QString answer = a.run(c).out.remove(clock).replace(a.home(), QStringLiteral("HOME"));
        QCOMPARE(a.run(c).out.remove(clock).replace(a.home(), QStringLiteral("HOME")), answer);
        QCOMPARE(b.run(c).out.remove(clock).replace(b.home(), QStringLiteral("HOME")), answer);
    }
    const QStringList flows { QStringLiteral("login.yaml"), QStringLiteral("checkout/payment.yaml") };
    const SimResult ra = a.run(testRun(a, iPhone, flows));
    const SimResult rb = b.run(testRun(b, iPhone, flows));
    QCOMPARE(ra.exitCode, rb.exitCode);
    static const QRegularExpression reportLine(QStringLiteral("\nReport: [^\n]*\n"));
    QCOMPARE(QString(rb.out).remove(reportLine), QString(ra.out).remove(reportLine));
    const QString reportA = onlyReportFolder(a.path("out")), reportB = onlyReportFolder(b.path("out"));
    static const QRegularExpression times(QStringLiteral("\"(startTime|endTime|lastUpdated)\": \"[^\"]*\""));
    for (const char *file : { "/report.json", "/flows/flow-000.json", "/flows/flow-001.json" })
        QCOMPARE(QString::fromUtf8(testsupport::readFile(reportB + file)).remove(times),
            QString::fromUtf8(testsupport::readFile(reportA + file)).remove(times));
    static const QRegularExpression dates(
        QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000|\] \d{1,2}:\d\d\n|\w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d GMT)"));
    QCOMPARE(QString::fromUtf8(testsupport::readFile(sessionLog(b))).replace(dates, QString()),
        QString::fromUtf8(testsupport::readFile(sessionLog(a))).replace(dates, QString()));
}

// The application starts the runner in a process group of its own and stops
// the group; the runner's helper child must end with it and never outlive a
// run that ended by itself.
void TestSimLab::helperChild_data()
{
    QTest::addColumn<int>("signal"); // 0: the run ends by itself
    QTest::addColumn<bool>("wholeGroup");
    QTest::addColumn<bool>("outputIsAFile");
    QTest::newRow("SIGTERM to the group reaches the helper") << int(SIGTERM) << true << false;
    QTest::newRow("Ctrl-C to the group reaches the helper") << int(SIGINT) << true << false;
    QTest::newRow("SIGTERM to the runner alone leaves the helper to the group stop") << int(SIGTERM) << false << false;
    QTest::newRow("a run that ends normally leaves no helper") << 0 << true << false;
    QTest::newRow("a report folder that cannot be made leaves no helper") << 0 << true << true;
}

void TestSimLab::helperChild()
{
    QFETCH(int, signal);
    QFETCH(bool, wholeGroup);
    QFETCH(bool, outputIsAFile);
    if (!QFileInfo::exists(QStringLiteral("/proc/self/stat")))
        QSKIP("needs /proc to find the helper child");
    SimLab lab;
    if (outputIsAFile)
        QVERIFY(testsupport::writeFile(lab.path(QStringLiteral("out")), "not a folder"));
    QProcess process;
    process.setProcessEnvironment(lab.environment(signal ? QStringLiteral("0.05") : QStringLiteral("fast")));
    process.setChildProcessModifier([] { setpgid(0, 0); });
    process.start(program(),
        SimLab::arguments(testRun(lab, iPhone, { QStringLiteral("login.yaml"), QStringLiteral("checkout/payment.yaml") })));
    QVERIFY(process.waitForStarted(10000));
    const pid_t pid = pid_t(process.processId());
    const auto cleanup = qScopeGuard([pid] { kill(-pid, SIGKILL); });
    QList<pid_t> helper;
    if (signal) {
        QByteArray output;
        while (!output.contains("Execution\n") && process.waitForReadyRead(15000))
            output += process.readAllStandardOutput();
        helper = groupMembers(pid);
        QVERIFY(helper.removeAll(pid) == 1 && helper.size() == 1); // the runner and its helper
        QVERIFY(kill(wholeGroup ? -pid : pid, signal) == 0);
    }
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), signal ? QProcess::CrashExit : QProcess::NormalExit);
    if (signal) { // the report says the run failed
        const QJsonObject index
            = readJsonObject(onlyReportFolder(lab.path(QStringLiteral("out"))) + QStringLiteral("/report.json"));
        QCOMPARE(index["status"].toString(), QStringLiteral("failed"));
        QVERIFY(index.contains(QStringLiteral("endTime")));
    }
    QTRY_COMPARE_WITH_TIMEOUT(groupMembers(pid), wholeGroup ? QList<pid_t> {} : helper, 2000);
}

QTEST_GUILESS_MAIN(TestSimLab)
#include "tst_simlab.moc"
