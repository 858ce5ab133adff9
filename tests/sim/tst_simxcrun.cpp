// kestrune-sim in the roles of xcrun (xctrace, devicectl, simctl) and of the
// runner's hierarchy command, checked against what the application's
// parsers expect of the real tools.

#include "simtestsupport.h"

#include "devices/devicedetector.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList sectionLines(const QString &text, const QString &header)
{
    QStringList lines;
    bool inside = false;
    for (const QString &l : text.split(u'\n')) {
        if (l.startsWith(QLatin1String("== "))) {
            inside = l == header;
            continue;
        }
        if (inside && !l.isEmpty())
            lines << l;
    }
    return lines;
}

QString maskClock(QString text)
{
    static const QRegularExpression clock(QStringLiteral(R"(^\d\d:\d\d:\d\d  )"), QRegularExpression::MultilineOption);
    return text.replace(clock, QStringLiteral("HH:MM:SS  "));
}

// The console's re-indentation of hierarchy lines: the nearest earlier line
// indented less is the parent; a child sits two spaces deeper than it.
QList<int> reindent(const QStringList &lines)
{
    QList<std::pair<int, int>> stack { { -1, -2 } };
    QList<int> result;
    for (const QString &line : lines) {
        int raw = 0;
        while (raw < line.size() && line.at(raw) == u' ')
            ++raw;
        int parent = -2;
        while (!stack.isEmpty()) {
            if (stack.last().first < raw) {
                parent = stack.last().second;
                break;
            }
            stack.removeLast();
        }
        stack.append({ raw, parent + 2 });
        result << parent + 2;
    }
    return result;
}

} // namespace

class TestSimXcrun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceListHasTheRealSections();
    void deviceListLines_data();
    void deviceListLines();
    void appTableColumns();
    void appListParsesToUserApps_data();
    void appListParsesToUserApps();
    void failures_data();
    void failures();
    void copyFromDevice();
    void simulatorContainer();
    void answersAreTheSameForTheSameState_data();
    void answersAreTheSameForTheSameState();
    void labStateIsReadFromItsFolder();
    void hierarchyShape_data();
    void hierarchyShape();
    void hierarchyUnknownDevice();

private:
    SimLab m_lab;
};

void TestSimXcrun::deviceListHasTheRealSections()
{
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ QStringLiteral("xctrace"), QStringLiteral("list"), QStringLiteral("devices") });
    QVERIFY(r.finished);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains(QLatin1String("simulated device lab")), qPrintable(r.err));
    QVERIFY(!r.out.contains(QLatin1String("simulated")));
    const QStringList headers = r.out.split(u'\n').filter(QRegularExpression(QStringLiteral("^== .* ==$")));
    QCOMPARE(headers,
        (QStringList {
            QStringLiteral("== Devices =="), QStringLiteral("== Devices Offline =="), QStringLiteral("== Simulators ==") }));

    const QStringList devices = sectionLines(r.out, QStringLiteral("== Devices =="));
    // The host Mac once without a version part, once with one.
    QVERIFY(devices.contains(QStringLiteral("QA Lab\u2019s MacBook Pro (305FB8F6-801F-5FD2-BE49-BE799A13D773)")));
    static const QRegularExpression pattern1(QStringLiteral(R"(^QA Lab’s Mac .* \(\d+\.\d+\) \(.*\)$)"));
    QVERIFY(devices.filter(pattern1).size() == 1);
    QCOMPARE(sectionLines(r.out, QStringLiteral("== Devices Offline ==")).size(), 1);
    const QStringList simulators = sectionLines(r.out, QStringLiteral("== Simulators =="));
    QVERIFY(simulators.size() >= 3);
    static const QRegularExpression pattern2(QStringLiteral(R"( Simulator \(\d+\.\d+\) \([0-9A-F-]{36}\)$)"));
    for (const QString &s : simulators)
        QVERIFY2(s.contains(pattern2), qPrintable(s));

    // What the application itself makes of it.
    QStringList ids;
    for (const DeviceInfo &d : DeviceDetector::parseDeviceList(r.out))
        ids << d.id;
    QCOMPARE(ids,
        (QStringList { SimTest::iPhone, SimTest::iPhoneWithoutLog, QStringLiteral("00008103-001A2B3C4D5E6F70"),
            SimTest::simulator, QStringLiteral("8E788B42-658C-47F3-A314-68CA670B7CFC"), SimTest::emptySimulator }));
}

void TestSimXcrun::deviceListLines_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe in name") << SimTest::iPhone << "== Devices ==" << QStringLiteral("QA Lab\u2019s iPhone 15 Pro");
    QTest::newRow("no-break space in name") << SimTest::iPhoneWithoutLog
                                            << "== Devices ==" << QStringLiteral("iPhone\u00a014 Rina");
    QTest::newRow("iPad") << "00008103-001A2B3C4D5E6F70"
                          << "== Devices =="
                          << "iPad Pro 11-inch QA";
    QTest::newRow("offline") << SimTest::offlinePhone << "== Devices Offline =="
                             << "iPhone SE Kasir";
    QTest::newRow("simulator with parentheses in name") << "8E788B42-658C-47F3-A314-68CA670B7CFC"
                                                        << "== Simulators =="
                                                        << "iPad (A16) Simulator";
}

void TestSimXcrun::deviceListLines()
{
    QFETCH(QString, udid);
    QFETCH(QString, section);
    QFETCH(QString, name);
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ QStringLiteral("xctrace"), QStringLiteral("list"), QStringLiteral("devices") });
    const QStringList lines = sectionLines(r.out, section).filter(QStringLiteral("(") + udid + u')');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(name + QStringLiteral(" (")), qPrintable(lines.first()));
    QVERIFY(lines.first().endsWith(QStringLiteral(" (") + udid + u')'));
}

void TestSimXcrun::appTableColumns()
{
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("info"),
        QStringLiteral("apps"), QStringLiteral("--device"), SimTest::iPhone });
    QCOMPARE(r.exitCode, 0);
    QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    // Progress lines with a clock first, then the table.
    static const QRegularExpression pattern3(QStringLiteral(R"(^\d\d:\d\d:\d\d  Acquired tunnel connection to device\.$)"));
    QVERIFY(lines.first().contains(pattern3));
    const qsizetype start = lines.indexOf(QStringLiteral("Apps installed:"));
    QVERIFY(start > 0);
    const QString header = lines.at(start + 1);
    const QString dashes = lines.at(start + 2);
    QVERIFY(header.startsWith(QLatin1String("Name ")));
    QList<qsizetype> columns { 0, header.indexOf(QLatin1String("Bundle Identifier")), header.indexOf(QLatin1String("Version")),
        header.indexOf(QLatin1String("Bundle Version")) };
    for (qsizetype c = 1; c < columns.size(); ++c) {
        QVERIFY(columns[c] > columns[c - 1]);
        QCOMPARE(header.mid(columns[c] - 3, 3), QStringLiteral("   ")); // at least three spaces between columns
        QCOMPARE(dashes.at(columns[c]), u'-');
        QCOMPARE(dashes.at(columns[c] - 1), u' ');
    }
    const QList<QStringList> expectedRows {
        { QStringLiteral("Pasar"), QStringLiteral("com.lumenfold.pasar"), QStringLiteral("3.14.0"), QStringLiteral("3140") },
        { QStringLiteral("Rina\u2019s Notes"), QStringLiteral("io.rinalabs.notes"), QStringLiteral("1.2"), QStringLiteral("12") },
        { QStringLiteral("Safari"), QStringLiteral("com.apple.mobilesafari"), QStringLiteral("18.6"),
            QStringLiteral("8621.3.11.10.3") },
    };
    int appleApps = 0;
    for (qsizetype i = start + 3; i < lines.size(); ++i) {
        const QString row = lines.at(i);
        QStringList cells;
        for (qsizetype c = 0; c < columns.size(); ++c)
            cells << row.mid(columns[c], c + 1 < columns.size() ? columns[c + 1] - columns[c] : -1).trimmed();
        appleApps += cells[1].startsWith(QLatin1String("com.apple."));
        for (const QStringList &expected : expectedRows) {
            if (expected[1] == cells[1])
                QCOMPARE(cells, expected); // widths are counted in characters, U+2019 included
        }
    }
    QVERIFY(appleApps >= 3);
}

void TestSimXcrun::appListParsesToUserApps_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QStringList>("apps");
    QTest::newRow("simulator: its user apps") << SimTest::simulator
                                              << QStringList { "com.lumenfold.pasar", "com.lumenfold.pasar.staging" };
    QTest::newRow("shut-down simulator: nothing") << SimTest::emptySimulator << QStringList {};
    QTest::newRow("lab iPhone") << SimTest::iPhone
                                << QStringList { "com.facebook.WebDriverAgentRunner.xctrunner", "com.lumenfold.pasar",
                                       "com.lumenfold.pasar.staging", "id.trellis-pay.dompet", "io.rinalabs.notes" };
    QTest::newRow("iPhone 14") << SimTest::iPhoneWithoutLog
                               << QStringList { "com.facebook.WebDriverAgentRunner.xctrunner", "com.lumenfold.pasar",
                                      "id.trellis-pay.dompet" };
    QTest::newRow("iPad") << "00008103-001A2B3C4D5E6F70" << QStringList { "com.lumenfold.pasar", "io.rinalabs.notes" };
}

void TestSimXcrun::appListParsesToUserApps()
{
    QFETCH(QString, udid);
    QFETCH(QStringList, apps);
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const bool simulator = udid == SimTest::simulator || udid == SimTest::emptySimulator;
    const SimResult r = simulator
        ? lab.run({ QStringLiteral("simctl"), QStringLiteral("listapps"), udid })
        : lab.run({ QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("info"), QStringLiteral("apps"),
              QStringLiteral("--device"), udid });
    QCOMPARE(simulator ? DeviceDetector::parseSimulatorAppList(r.out) : DeviceDetector::parseAppList(r.out), apps);
}

void TestSimXcrun::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const auto apps = [](const QString &udid) { return QStringList { "devicectl", "device", "info", "apps", "--device", udid }; };
    const auto copy = [](const QString &udid, const QString &bundle, const QString &domain = QStringLiteral("appDataContainer")) {
        return QStringList { "devicectl", "device", "copy", "from", "--device", udid, "--domain-type", domain,
            "--domain-identifier", bundle, "--source", "tmp/NFX/session.log", "--destination", "copied.log" };
    };
    QTest::newRow("apps of an unknown device") << apps("0000-NOPE") << 1 << "ERROR: The specified device was not found";
    QTest::newRow("apps of a simulator") << apps(SimTest::simulator) << 1 << "ERROR: The specified device was not found";
    QTest::newRow("apps of the host Mac") << apps(SimTest::hostMac) << 1 << "ERROR: The specified device was not found";
    QTest::newRow("apps of an offline device") << apps(SimTest::offlinePhone) << 1 << "not currently connected";
    QTest::newRow("copy from an app not installed")
        << copy(SimTest::iPhone, "com.example.absent") << 1 << "Failed to find the app container";
    QTest::newRow("copy a log not written yet") << copy(SimTest::iPhoneWithoutLog, "com.lumenfold.pasar") << 1 << "no such file";
    QTest::newRow("copy from an app without the logger") << copy(SimTest::iPhone, "id.trellis-pay.dompet") << 1 << "no such file";
    QTest::newRow("copy from another domain")
        << copy(SimTest::iPhone, "com.lumenfold.pasar", "systemCrashLogs") << 1 << "not supported";
    QTest::newRow("container of an unknown simulator")
        << QStringList { "simctl", "get_app_container", "NOPE", "com.lumenfold.pasar", "data" } << 148 << "Invalid device: NOPE";
    QTest::newRow("container on a physical device") << QStringList { "simctl", "get_app_container", SimTest::iPhone,
        "com.lumenfold.pasar", "data" } << 148 << "Invalid device";
    QTest::newRow("container of an app not installed") << QStringList { "simctl", "get_app_container", SimTest::emptySimulator,
        "com.lumenfold.pasar", "data" } << 2 << "Failed to get the data container for com.lumenfold.pasar";
    QTest::newRow("apps of a shut-down simulator") << QStringList { "simctl", "listapps", SimTest::emptySimulator } << 149
                                                   << "Unable to lookup in current state: Shutdown";
    QTest::newRow("apps of an unknown simulator") << QStringList { "simctl", "listapps", SimTest::iPhone } << 148
                                                  << "Invalid device";
    QTest::newRow("unknown xctrace command") << QStringList { "xctrace", "record" } << 64 << "unsupported arguments";
}

void TestSimXcrun::failures()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run(args);
    QVERIFY(r.finished);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(lab.path(QStringLiteral("copied.log"))));
}

void TestSimXcrun::copyFromDevice()
{
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const QString destination = lab.path(QStringLiteral("live_network_log.txt"));
    QFile stale(destination);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("stale copy from an earlier pull");
    stale.close();
    const QStringList args { "devicectl", "device", "copy", "from", "--device", SimTest::iPhone, "--domain-type",
        "appDataContainer", "--domain-identifier", "com.lumenfold.pasar", "--source", "tmp/NFX/session.log", "--destination",
        destination };
    const SimResult r = lab.run(args);
    QCOMPARE(r.exitCode, 0);
    const QByteArray copied = SimTest::readFile(destination);
    const QString source = lab.home() + QStringLiteral("/devices/") + SimTest::iPhone
        + QStringLiteral("/AppData/com.lumenfold.pasar/tmp/NFX/session.log");
    QCOMPARE(copied, SimTest::readFile(source));
    QVERIFY(copied.startsWith("-------START REQUEST -  https://"));
    // A source outside the container is refused.
    QStringList escape = args;
    escape[escape.indexOf(QStringLiteral("tmp/NFX/session.log"))] = QStringLiteral("../../../../lab.json");
    QCOMPARE(lab.run(escape).exitCode, 1);
}

void TestSimXcrun::simulatorContainer()
{
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ "simctl", "get_app_container", SimTest::simulator, "com.lumenfold.pasar", "data" });
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.endsWith(u'\n'));
    const QString path = r.out.trimmed();
    QVERIFY2(path.contains(QRegularExpression(QStringLiteral("/Containers/Data/Application/[0-9A-F-]{36}$"))), qPrintable(path));
    QVERIFY(QFileInfo(path + QStringLiteral("/tmp")).isDir());
    QVERIFY(QFileInfo(path + QStringLiteral("/tmp/NFX/session.log")).isFile());
}

void TestSimXcrun::answersAreTheSameForTheSameState_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("xctrace") << QStringList { "xctrace", "list", "devices" };
    QTest::newRow("devicectl apps") << QStringList { "devicectl", "device", "info", "apps", "--device", SimTest::iPhone };
    QTest::newRow("simctl") << QStringList { "simctl", "get_app_container", SimTest::simulator, "com.lumenfold.pasar.staging",
        "data" };
    QTest::newRow("hierarchy") << QStringList { "--platform", "ios", "--device", SimTest::iPhone, "hierarchy", "--compact" };
}

void TestSimXcrun::answersAreTheSameForTheSameState()
{
    QFETCH(QStringList, args);
    SimLab first, second;
    const SimResult a = first.run(args);
    const SimResult b = first.run(args);
    const SimResult c = second.run(args);
    QCOMPARE(a.exitCode, 0);
    QCOMPARE(maskClock(b.out), maskClock(a.out));
    // Another lab folder seeded from scratch gives the same answer, apart from its own path.
    QCOMPARE(maskClock(c.out).replace(second.home(), QStringLiteral("HOME")),
        maskClock(a.out).replace(first.home(), QStringLiteral("HOME")));
}

void TestSimXcrun::labStateIsReadFromItsFolder()
{
    SimLab lab;
    QCOMPARE(lab.run({ "xctrace", "list", "devices" }).exitCode, 0);
    const QString file = lab.home() + QStringLiteral("/lab.json");
    QJsonObject root = QJsonDocument::fromJson(SimTest::readFile(file)).object();
    QJsonArray devices = root.value(QStringLiteral("devices")).toArray();
    QJsonArray kept;
    for (const QJsonValue &d : devices) {
        if (d.toObject().value(QStringLiteral("kind")).toString() != QLatin1String("offline"))
            kept.append(d);
    }
    QVERIFY(kept.size() < devices.size());
    root.insert(QStringLiteral("devices"), kept);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(root).toJson());
    out.close();
    const SimResult r = lab.run({ "xctrace", "list", "devices" });
    QVERIFY(!r.out.contains(QLatin1String("== Devices Offline ==")));
    QVERIFY(r.out.contains(QLatin1String("== Simulators ==")));
}

void TestSimXcrun::hierarchyShape_data()
{
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("app on its login screen") << SimTest::iPhone << "text=\"Masuk\"";
    QTest::newRow("home screen of a simulator") << SimTest::simulator << "Icon  text=\"Pasar\"  (";
}

void TestSimXcrun::hierarchyShape()
{
    QFETCH(QString, udid);
    QFETCH(QString, expectedText);
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ "--platform", "ios", "--team-id", "K7QX2M9R4T", "--device", udid, "hierarchy", "--compact" });
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains(QLatin1String("simulated device lab")), qPrintable(r.err));
    QVERIFY(r.err.contains(QLatin1String("Starting WebDriverAgent")));
    QVERIFY(!r.out.contains(QLatin1String("WebDriverAgent")));
    QVERIFY(r.out.contains(expectedText));

    static const QRegularExpression shape(QStringLiteral(
        R"(^( *)([A-Z][A-Za-z]+)(  id=\S+)?(  text="[^"]*")?  \((-?\d+),(-?\d+) (\d+)x(\d+)\)(  \[(disabled|selected|focused)\])*$)"));
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 6);
    QVERIFY(lines.first().startsWith(QLatin1String("Application  ")));
    QSet<int> steps;
    int bareOthers = 0;
    int previous = -1;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = shape.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const int indent = int(m.captured(1).size());
        if (indent > previous)
            steps.insert(indent - std::max(previous, 0));
        previous = indent;
        if (line.contains(QLatin1String("Other  (")) && !line.contains(QLatin1String("id="))
            && !line.contains(QLatin1String("text=")))
            ++bareOthers;
    }
    QVERIFY(bareOthers >= 2);
    // Irregular: the levels do not all add two spaces.
    QVERIFY2(steps.size() > 1, "expected more than one indentation step");
    // After the console's re-indentation every level is two spaces deeper than its parent.
    const QList<int> levels = reindent(lines);
    for (qsizetype i = 1; i < levels.size(); ++i) {
        QVERIFY(levels[i] % 2 == 0);
        QVERIFY(levels[i] <= levels[i - 1] + 2);
    }
}

void TestSimXcrun::hierarchyUnknownDevice()
{
    const SimLab &lab = m_lab; // read-only use of the shared lab
    const SimResult r = lab.run({ "--platform", "ios", "--device", "NOPE", "hierarchy", "--compact" });
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.startsWith(QLatin1String("Error: device NOPE not found")));
    QVERIFY(r.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestSimXcrun)
#include "tst_simxcrun.moc"
