// kestrune-sim in the runner's role, beyond one run's files: argument
// errors, device kinds, the same answers for the same lab state, and
// stopping by SIGTERM with the helper child in the run's process group.

#include "simtestsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

const QStringList kThreeFlows { QStringLiteral("login.yaml"), QStringLiteral("checkout/cart_and_checkout.yaml"),
    QStringLiteral("checkout/payment.yaml") };

QString maskLogTimes(QString text)
{
    static const QRegularExpression dates(
        QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000|\] \d{1,2}:\d\d\n|\w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d GMT)"));
    return text.replace(dates, QStringLiteral("<time>"));
}

pid_t helperOf(pid_t parent)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        const QString stat = QString::fromLatin1(SimTest::readFile(QStringLiteral("/proc/%1/stat").arg(pid)));
        const QStringList fields = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ');
        if (fields.size() > 2 && fields.at(1).toInt() == parent)
            return pid;
    }
    return -1;
}

bool isAlive(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return false;
    const QString stat = QString::fromLatin1(SimTest::readFile(QStringLiteral("/proc/%1/stat").arg(pid)));
    return !stat.mid(stat.lastIndexOf(u')') + 2).startsWith(u'Z');
}

} // namespace

class TestSimRunner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void argumentErrors_data();
    void argumentErrors();
    void deviceKinds_data();
    void deviceKinds();
    void sameStateSameRun();
    void stopBySigterm_data();
    void stopBySigterm();
};

void TestSimRunner::argumentErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString flow = SimTest::demoWorkspace() + QStringLiteral("/login.yaml");
    QTest::newRow("unknown device") << QStringList { "--platform", "ios", "--device", "NOPE", flow } << "device NOPE not found";
    QTest::newRow("offline device") << QStringList { "--platform", "ios", "--device", SimTest::offlinePhone, flow }
                                    << "is offline";
    QTest::newRow("host Mac") << QStringList { "--platform", "ios", "--device", SimTest::hostMac, flow } << "not found";
    QTest::newRow("missing flow file") << QStringList { "--platform", "ios", "--device", SimTest::iPhone,
        "/nonexistent/flow.yaml" } << "flow file not found";
    QTest::newRow("unknown flag") << QStringList { "--platform", "ios", "--bogus", flow } << "unknown flag: --bogus";
    QTest::newRow("env without equals") << QStringList { "--platform", "ios", "-e", "JUSTKEY", flow } << "invalid env format";
    QTest::newRow("no flow") << QStringList { "--platform", "ios", "--device", SimTest::iPhone } << "no flow files given";
    QTest::newRow("flag without value") << QStringList { "--platform", "ios", "--device" } << "flag needs an argument: --device";
    QTest::newRow("folder without flows") << QStringList { "--platform", "ios", "--device", SimTest::iPhone,
        SimTest::demoWorkspace() + "/node_modules" }
                                          << "no flows found";
}

void TestSimRunner::argumentErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    SimLab lab;
    const SimResult r = lab.run(args);
    QVERIFY(r.finished);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QLatin1String("Error: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestSimRunner::deviceKinds_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QStringList>("flows");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("isSimulator");
    QTest::addColumn<QString>("flowError");
    QTest::newRow("simulator") << SimTest::simulator << "com.lumenfold.pasar" << QStringList { "login.yaml" } << 0 << true << "";
    QTest::newRow("app not installed") << SimTest::iPhone << "com.example.absent" << QStringList { "login.yaml" } << 1 << false
                                       << "App com.example.absent is not installed";
    QTest::newRow("bad yaml gives no report")
        << SimTest::iPhone << "com.lumenfold.pasar" << QStringList { "BAD" } << 1 << false << "";
    QTest::newRow("folder of flows") << SimTest::iPhone << "com.lumenfold.pasar" << QStringList { "smoke" } << 0 << false << "";
}

void TestSimRunner::deviceKinds()
{
    QFETCH(QString, udid);
    QFETCH(QString, bundle);
    QFETCH(QStringList, flows);
    QFETCH(int, exitCode);
    QFETCH(bool, isSimulator);
    QFETCH(QString, flowError);
    SimLab lab;
    QStringList args = SimTest::runnerArguments(udid, lab.path(QStringLiteral("out")), flows, bundle);
    if (flows == QStringList { QStringLiteral("BAD") }) {
        QFile bad(lab.path(QStringLiteral("bad.yaml")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("appId: x\n---\n- tapOn:\n\t  id: tabbed\n");
        bad.close();
        args.last() = bad.fileName();
    }
    const SimResult r = lab.run(args);
    QCOMPARE(r.exitCode, exitCode);
    if (flows == QStringList { QStringLiteral("BAD") }) {
        QVERIFY2(r.err.contains(QLatin1String("Error: failed to parse flow")), qPrintable(r.err));
        QVERIFY(r.err.contains(QLatin1String("line 4")));
        QVERIFY(!QFileInfo::exists(lab.path(QStringLiteral("out"))));
        return;
    }
    const QString report = SimTest::onlyReportFolder(lab.path(QStringLiteral("out")));
    const QJsonObject index = SimTest::readJsonObject(report + QStringLiteral("/report.json"));
    QCOMPARE(index.value(QStringLiteral("device")).toObject().value(QStringLiteral("isSimulator")).toBool(), isSimulator);
    QCOMPARE(r.err.contains(QLatin1String("level=")), !isSimulator);
    const QJsonArray entries = index.value(QStringLiteral("flows")).toArray();
    if (!flowError.isEmpty())
        QVERIFY(entries.at(0).toObject().value(QStringLiteral("error")).toString().contains(flowError));
    if (flows == QStringList { QStringLiteral("smoke") }) {
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.at(0).toObject().value(QStringLiteral("status")).toString(), QStringLiteral("passed"));
        QVERIFY(r.out.contains(QStringLiteral("\u25b8 Repeat 2 times")));
        // The conditional sub-flow whose condition does not hold is skipped, without times.
        const QJsonArray commands = SimTest::readJsonObject(report + QStringLiteral("/flows/flow-000.json"))
                                        .value(QStringLiteral("commands"))
                                        .toArray();
        const QJsonObject conditional = commands.last().toObject();
        QCOMPARE(conditional.value(QStringLiteral("type")).toString(), QStringLiteral("runFlow"));
        QCOMPARE(conditional.value(QStringLiteral("status")).toString(), QStringLiteral("skipped"));
        QVERIFY(!conditional.contains(QStringLiteral("startTime")));
    }
    if (isSimulator) {
        const QString container = lab.run({ "simctl", "get_app_container", udid, bundle, "data" }).out.trimmed();
        QVERIFY(SimTest::readFile(container + QStringLiteral("/tmp/NFX/session.log")).contains("/v2/auth/login"));
        // The device keeps showing the screen the run ended on.
        const SimResult tree = lab.run({ "--platform", "ios", "--device", udid, "hierarchy", "--compact" });
        QCOMPARE(tree.exitCode, 0);
        QVERIFY2(tree.out.contains(QLatin1String("StaticText  text=\"Keranjang kosong\"")), qPrintable(tree.out));
    }
}

void TestSimRunner::sameStateSameRun()
{
    SimLab a, b;
    const QStringList flows { QStringLiteral("login.yaml"), QStringLiteral("checkout/payment.yaml") };
    const SimResult ra = a.run(SimTest::runnerArguments(SimTest::iPhone, a.path(QStringLiteral("out")), flows));
    const SimResult rb = b.run(SimTest::runnerArguments(SimTest::iPhone, b.path(QStringLiteral("out")), flows));
    QCOMPARE(ra.exitCode, rb.exitCode);
    const auto withoutReportLine
        = [](QString out) { return out.remove(QRegularExpression(QStringLiteral("\nReport: [^\n]*\n"))); };
    QCOMPARE(withoutReportLine(rb.out), withoutReportLine(ra.out));
    const QString reportA = SimTest::onlyReportFolder(a.path(QStringLiteral("out")));
    const QString reportB = SimTest::onlyReportFolder(b.path(QStringLiteral("out")));
    for (const QString &file :
        { QStringLiteral("report.json"), QStringLiteral("flows/flow-000.json"), QStringLiteral("flows/flow-001.json") })
        QCOMPARE(SimTest::withoutTimes(SimTest::readJsonObject(reportB + u'/' + file)),
            SimTest::withoutTimes(SimTest::readJsonObject(reportA + u'/' + file)));
    QCOMPARE(QDir(reportB + QStringLiteral("/assets/flow-001")).entryList(QDir::Files),
        QDir(reportA + QStringLiteral("/assets/flow-001")).entryList(QDir::Files));
    const QString log
        = QStringLiteral("/devices/") + SimTest::iPhone + QStringLiteral("/AppData/com.lumenfold.pasar/tmp/NFX/session.log");
    const QString logA = maskLogTimes(QString::fromUtf8(SimTest::readFile(a.home() + log)));
    QCOMPARE(maskLogTimes(QString::fromUtf8(SimTest::readFile(b.home() + log))), logA);

    // A second run on the lab that has moved on sends new request identifiers.
    const SimResult again
        = a.run(SimTest::runnerArguments(SimTest::iPhone, a.path(QStringLiteral("out2")), { QStringLiteral("login.yaml") }));
    QCOMPARE(again.exitCode, 0);
    const QString grown = QString::fromUtf8(SimTest::readFile(a.home() + log));
    static const QRegularExpression ids(QStringLiteral("X-Request-Id: ([0-9A-F-]{36})"));
    QSet<QString> seen;
    auto it = ids.globalMatch(grown);
    int requestsWithIds = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (grown.lastIndexOf(QLatin1String("-------START REQUEST"), m.capturedStart())
            > grown.lastIndexOf(QLatin1String("-------START RESPONSE"), m.capturedStart())) {
            ++requestsWithIds;
            seen.insert(m.captured(1));
        }
    }
    QVERIFY(requestsWithIds >= 2);
    QCOMPARE(seen.size(), requestsWithIds);
}

void TestSimRunner::stopBySigterm_data()
{
    QTest::addColumn<bool>("wholeGroup");
    QTest::newRow("group stop reaches the helper") << true;
    QTest::newRow("parent-only stop leaves the helper") << false;
}

void TestSimRunner::stopBySigterm()
{
    QFETCH(bool, wholeGroup);
    if (!QFileInfo::exists(QStringLiteral("/proc/self/stat")))
        QSKIP("needs /proc to find the helper child");
    SimLab lab;
    QProcess process;
    process.setProcessEnvironment(lab.environment(QStringLiteral("human")));
    process.setChildProcessModifier([] { setpgid(0, 0); });
    process.start(SimTest::program(), SimTest::runnerArguments(SimTest::iPhone, lab.path(QStringLiteral("out")), kThreeFlows));
    QVERIFY(process.waitForStarted(10000));
    QByteArray output;
    while (!output.contains("Execution\n") && process.waitForReadyRead(15000))
        output += process.readAllStandardOutput();
    QVERIFY2(output.contains("Execution\n"), output.constData());
    const pid_t pid = pid_t(process.processId());
    pid_t helper = -1;
    for (int i = 0; i < 50 && helper < 0; ++i) {
        helper = helperOf(pid);
        if (helper < 0)
            QTest::qWait(20);
    }
    QVERIFY(helper > 0);
    QCOMPARE(getpgid(helper), getpgid(pid));
    QCOMPARE(getpgid(pid), pid);

    QVERIFY(kill(wholeGroup ? -pid : pid, SIGTERM) == 0);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit); // ended by the signal
    const QJsonObject index
        = SimTest::readJsonObject(SimTest::onlyReportFolder(lab.path(QStringLiteral("out"))) + QStringLiteral("/report.json"));
    QCOMPARE(index.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QVERIFY(index.contains(QStringLiteral("endTime")));

    bool helperAlive = isAlive(helper);
    for (int i = 0; i < 100 && wholeGroup && helperAlive; ++i) {
        QTest::qWait(20);
        helperAlive = isAlive(helper);
    }
    QCOMPARE(helperAlive, !wholeGroup);
    if (helperAlive)
        kill(helper, SIGKILL);
}

QTEST_GUILESS_MAIN(TestSimRunner)
#include "tst_simrunner.moc"
