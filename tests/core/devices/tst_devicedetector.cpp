// Device discovery: what xctrace, devicectl and simctl print on real Macs,
// parsed; then the one-shot tool runner (and a run's network log pulls)
// against stand-in tools that fail, flood, hang or leave children behind.

#include "devices/devicedetector.h"
#include "devices/oneshotprocess.h"
#include "processprobe.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

enum Listing { Devices, Offline, Apps, SimulatorApps };

// What a listing yields, an entry a line: a device as "id name", a simulator
// as "id name [simulator]", an app as its bundle identifier.
QStringList parsed(Listing listing, const QString &text)
{
    if (listing == Apps)
        return DeviceDetector::parseAppList(text);
    if (listing == SimulatorApps)
        return DeviceDetector::parseSimulatorAppList(text);
    const DeviceScan scan = DeviceDetector::scanDeviceList(text);
    QStringList entries;
    for (const DeviceInfo &device : listing == Offline ? scan.offline : scan.devices)
        entries << device.id + u' ' + device.name + (device.isSimulator ? u" [simulator]"_s : QString());
    return entries;
}

// xctrace's listing on a Mac: the Mac with and without a version part, a
// watch and a phone offline, names with U+2019 and no-break spaces.
const QString kXctraceCapture = u"== Devices ==\n"
                                "QA Lab\u2019s MacBook Pro (305FB8F6-801F-5FD2-BE49-BE799A13D773)\n"
                                "QA Lab\u2019s Mac\u00a0Studio (26.1) (00006001-001C35E21E38801E)\n"
                                "iPhone de QA (27.0) (00008130-001E39811A12001C)\n"
                                "\n"
                                "== Devices Offline ==\n"
                                "QA Lab\u2019s Apple Watch (00008310-001233622188A01E)\n"
                                "QA Lab\u2019s Apple Watch (11.5) (00008310-001233622188A01F)\n"
                                "iPhone Offline (27.0) (00008130-001E39811A12001D)\n"
                                "\n"
                                "== Simulators ==\n"
                                "iPad (A16) Simulator (27.0) (8E788B42-658C-47F3-A314-68CA670B7CFC)\n"
                                "QA\u2019s iPhone\u00a017 Simulator (27.0) (45D578D6-0267-467B-BA25-3CF08BCFE468)\n"_s;

} // namespace

class TestDeviceDetector : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listings_data();
    void listings();
    void toolOutput_data();
    void toolOutput();
    void appsComeFromTheDevicesOwnTool();
    void hangingToolIsGivenUp_data();
    void hangingToolIsGivenUp();

private:
    // A stand-in for xcrun: a shell script with the given body.
    QString writeTool(const QByteArray &body);
    QTemporaryDir m_dir;
    int m_toolCount = 0;
};

void TestDeviceDetector::listings_data()
{
    QTest::addColumn<int>("listing");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    // xctrace list devices
    QTest::newRow("real capture: the attached phone, then the simulators")
        << int(Devices) << kXctraceCapture
        << QStringList { "00008130-001E39811A12001C iPhone de QA",
               "8E788B42-658C-47F3-A314-68CA670B7CFC iPad (A16) Simulator [simulator]",
               "45D578D6-0267-467B-BA25-3CF08BCFE468 QA\u2019s iPhone\u00a017 Simulator [simulator]" };
    QTest::newRow("real capture: offline apart, without the paired watch")
        << int(Offline) << kXctraceCapture << QStringList { "00008130-001E39811A12001D iPhone Offline" };
    QTest::newRow("no devices header: simulators only")
        << int(Devices)
        << u"iPhone 15 (17.0) (00008130-001E39811A12001C)\n== Simulators ==\nPro Simulator (27.0) (45D578D6-0267-467B)\n"_s
        << QStringList { "45D578D6-0267-467B Pro Simulator [simulator]" };
    QTest::newRow("simulators listed after devices whatever the section order")
        << int(Devices) << u"== Simulators ==\nSim (18.0) (SIM1)\n== Devices ==\nPhone (18.0) (AAAA)\n"_s
        << QStringList { "AAAA Phone", "SIM1 Sim [simulator]" };
    QTest::newRow("lines before the first header are ignored")
        << int(Devices) << u"iPhone A (17.0) (AAAA)\n== Devices ==\niPhone B (17.0) (BBBB)\n"_s
        << QStringList { "BBBB iPhone B" };
    QTest::newRow("a later devices header switches listing on again")
        << int(Devices)
        << u"== Devices ==\nA (17.0) (AAAA)\n== Devices Offline ==\nB (17.0) (BBBB)\n== Devices ==\nC (17.0) (CCCC)\n"_s
        << QStringList { "AAAA A", "CCCC C" };
    QTest::newRow("header without inner spaces, or with tabs around, is an ordinary line")
        << int(Devices)
        << u"== Devices ==\n==Simulators==\nA (1) (AAAA)\n\t== Simulators ==\nB (1) (BBBB)\n== Simulators == \t\nC (1) (CCCC)\n"_s
        << QStringList { "AAAA A", "BBBB B", "CCCC C" };
    QTest::newRow("mac inside a word keeps the device")
        << int(Devices)
        << u"== Devices ==\niPhone de Macarena (17.0) (A)\nJamaica\u2019s iPhone (17.0) (B)\nMACKENZIE's iPhone (17.0) (C)\n"_s
        << QStringList { "A iPhone de Macarena", "B Jamaica\u2019s iPhone", "C MACKENZIE's iPhone" };
    QTest::newRow("Macs with a version part are dropped, any case")
        << int(Devices)
        << u"== Devices ==\nMy Mac mini (15.1) (A1)\nQA\u2019s MacBook Air (15.1) (A2)\niMac (15.1) (A3)\n"
           "Studio mac (15.1) (A4)\nMac Pro (15.1) (A5)\nMac Studio (15.1) (A6)\n"_s
        << QStringList {};
    QTest::newRow("one parenthesised part, or text after the identifier, does not match")
        << int(Devices) << u"== Devices ==\nPhone (AAAA)\nPhone A (17.0) (AAAA) extra\n"_s << QStringList {};
    QTest::newRow("name with its own parentheses stays whole")
        << int(Devices) << u"== Devices ==\nPhone (Work) (17.0) (AAAA)\n"_s << QStringList { "AAAA Phone (Work)" };
    QTest::newRow("CRLF line ends and surrounding spaces")
        << int(Devices) << u"== Devices ==\r\n \tPhone A  (17.0) (AAAA)\r\n"_s << QStringList { "AAAA Phone A" };
    QTest::newRow("no-break spaces stay in the name")
        << int(Devices) << u"== Devices ==\n\u00a0Phone\u00a0A (17.0) (AAAA)\n"_s << QStringList { "AAAA \u00a0Phone\u00a0A" };
    QTest::newRow("unicode line separator splits lines")
        << int(Devices) << u"== Devices ==\u2028Phone A (17.0) (AAAA)\u2029Phone B (17.0) (BBBB)"_s
        << QStringList { "AAAA Phone A", "BBBB Phone B" };

    // devicectl device info apps (order, uniqueness, shape: the fuzz target's)
    QTest::newRow("real capture: hyphen, four parts, version-only token, names with spaces and accents")
        << int(Apps)
        << u"13:45:57  Acquired tunnel connection to device.\n"
           "13:45:57  Enabling developer disk image services.\n"
           "Apps installed:\n"
           "Name                      Bundle Identifier              Version   Bundle Version\n"
           "-----------------------   ----------------------------   -------   --------------\n"
           "Caf\u00e9 Finder (Beta)        de.example.cafe-finder         2.1.0     2.1.0.4\n"
           "Rina\u2019s Notes             io.rinalabs.notes.dev.beta     1.2       12\n"
           "Pasar Staging             com.lumenfold.pasar.staging    3.15.0-rc.2   3151\n"
           "Shop UAT                  com.example.shop.uat           4.2.0     512\n"
           "Shop                      com.example.shop               4.2.1     513\n"
           "Fotos                     com.apple.mobileslideshow      1.0       1.0\n"_s
        << QStringList { "com.example.shop", "com.example.shop.uat", "com.lumenfold.pasar.staging", "de.example.cafe-finder",
               "io.rinalabs.notes.dev.beta" };
    QTest::newRow("hyphens allowed in every part")
        << int(Apps) << u"app   com.my-co.app-x\n"_s << QStringList { "com.my-co.app-x" };
    QTest::newRow("two on one line, any column")
        << int(Apps) << u"com.b.two   com.a.one\n"_s << QStringList { "com.a.one", "com.b.two" };

    // simctl listapps: bare and quoted values, \U escapes, nested dictionaries
    const QString listing = QStringLiteral(R"({
    "com.apple.mobilesafari" =     {
        ApplicationType = System;
        CFBundleIdentifier = "com.apple.mobilesafari";
        GroupContainers =         {
            "group.com.apple.safari" = "file:///Users/qa/Library/Developer/CoreSimulator/Devices/X/data/";
        };
    };
    "de.example.cafe-finder" =     {
        ApplicationType = User;
        CFBundleDisplayName = "Caf\U00e9 Finder";
        CFBundleIdentifier = "de.example.cafe-finder";
        SBAppTags =         (
            hidden
        );
    };
    "io.rinalabs.notes" =     {
        ApplicationType = User;
        CFBundleDisplayName = "Rina\U2019s Notes \"beta\" {";
        CFBundleIdentifier = "io.rinalabs.notes";
    };
})");
    QTest::newRow("simulator: user apps only")
        << int(SimulatorApps) << listing << QStringList { "de.example.cafe-finder", "io.rinalabs.notes" };
    QTest::newRow("simulator shut down: nothing printed") << int(SimulatorApps) << QString() << QStringList {};
    QTest::newRow("simulator: no identifier field, the entry's key")
        << int(SimulatorApps) << u"{\n    \"com.example.shop\" =     {\n        ApplicationType = User;\n    };\n}\n"_s
        << QStringList { "com.example.shop" };
    QTest::newRow("simulator: bare keys, unsorted, repeated")
        << int(SimulatorApps)
        << u"{ b.example.app = { ApplicationType = User; }; a.example.app = { ApplicationType = User; };"
           " b.example.app = { ApplicationType = User; }; }"_s
        << QStringList { "a.example.app", "b.example.app" };
    QTest::newRow("simulator: a nested ApplicationType does not count")
        << int(SimulatorApps) << u"{ x.example.app = { ApplicationType = System; Info = { ApplicationType = User; }; }; }"_s
        << QStringList {};
    QTest::newRow("simulator: cut off mid-entry")
        << int(SimulatorApps) << u"{ x.example.app = { ApplicationType = User; CFBundleIdentifier = \"x.ex"_s << QStringList {};
}

void TestDeviceDetector::listings()
{
    QFETCH(int, listing);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(parsed(Listing(listing), text), expected);
}

QString TestDeviceDetector::writeTool(const QByteArray &body)
{
    const QString path = m_dir.filePath(u"tool%1.sh"_s.arg(++m_toolCount));
    return testsupport::writeFile(path, "#!/bin/sh\n" + body + '\n', true) ? path : QString();
}

void TestDeviceDetector::toolOutput_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: no tool at all
    QTest::addColumn<DeviceList>("expected");
    QTest::addColumn<QString>("failure"); // what the failure names, empty for none

    const QByteArray listing = "printf '== Devices ==\\nPhone (17.0) (AAAA)\\n'";
    const DeviceList phone { DeviceInfo { u"AAAA"_s, u"Phone"_s, false } };
    QTest::newRow("listing") << listing << phone << QString();
    QTest::newRow("exit status is reported, the listing still read")
        << listing + "; exit 3" << phone << u"failed (exit status 3)"_s;
    QTest::newRow("stderr is not parsed") << listing + " >&2" << DeviceList {} << QString();
    QTest::newRow("invalid UTF-8 counts as no output")
        << QByteArray("printf '== Devices ==\\nPhone \\377 (17.0) (AAAA)\\nOther (17.0) (BBBB)\\n'") << DeviceList {}
        << u"not UTF-8"_s;
    // Far beyond a pipe's buffer before the device.
    QTest::newRow("8 MB of rows before the device does not stall") << QByteArray(
        "printf '== Devices ==\\n'; yes 'Filler row of the listing, not a device' | head -c 8000000; "
        "printf 'Phone (17.0) (AAAA)\\n'") << phone << QString();
    QTest::newRow("tool missing") << QByteArray() << DeviceList {} << u"could not start"_s;
    QTest::newRow("the tool's PATH is the default search path, the rest of the environment kept")
        << QByteArray("printf '== Devices ==\\n%s (1) (AAAA)\\n' \"$PATH|$KESTRUNE_TEST_MARKER\"")
        << DeviceList { DeviceInfo { u"AAAA"_s, ToolPaths::defaultSearchPath() + u"|kept"_s, false } } << QString();
}

void TestDeviceDetector::toolOutput()
{
    QFETCH(QByteArray, body);
    QFETCH(DeviceList, expected);
    QFETCH(QString, failure);
    const testsupport::ScopedEnv marker("KESTRUNE_TEST_MARKER", "kept");
    DeviceDetector detector(body.isEmpty() ? m_dir.filePath(u"missing-tool"_s) : writeTool(body));
    QString reported;
    QCOMPARE(detector.scanDevices(&reported).devices, expected);
    QVERIFY2(failure.isEmpty() ? reported.isEmpty() : reported.contains(failure), qPrintable(reported));
}

// A phone's apps come from devicectl's table, a simulator's from simctl's
// property list.
void TestDeviceDetector::appsComeFromTheDevicesOwnTool()
{
    DeviceDetector detector(writeTool("case \"$1\" in\n"
                                      "devicectl) echo 'x com.example.phone' ;;\n"
                                      "simctl) echo '{ com.example.sim = { ApplicationType = User; }; }' ;;\n"
                                      "esac"));
    QCOMPARE(detector.listApps(DeviceInfo { u"my device 1"_s, {}, false }), QStringList { "com.example.phone" });
    QCOMPARE(detector.listApps(DeviceInfo { u"my sim 1"_s, {}, true }), QStringList { "com.example.sim" });
}

void TestDeviceDetector::hangingToolIsGivenUp_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("networkPull");
    // The tool writes its pid, or its child's, to the file it is given.
    const QByteArray itself("echo $$ > \"$1\"\nexec sleep 600");
    const QByteArray child("sleep 600 &\necho $! > \"$1\"\necho partial\nwait");
    const QByteArray ignoresTerm("trap '' TERM\necho $$ > \"$1\"\nwhile :; do sleep 1; done");
    QTest::newRow("the tool itself hangs") << itself << false;
    QTest::newRow("the tool's child hangs, holding the output open") << child << false;
    QTest::newRow("the tool ignores SIGTERM") << ignoresTerm << false;
    QTest::newRow("network pull: the tool itself hangs") << itself << true;
    QTest::newRow("network pull: the tool's child hangs, holding the output open") << child << true;
    QTest::newRow("network pull: the tool ignores SIGTERM") << ignoresTerm << true;
}

void TestDeviceDetector::hangingToolIsGivenUp()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, networkPull);
    const QString tool = writeTool(body);
    const QString pidFile = tool + u".pid"_s;
    if (networkPull) {
        const RunnerViewModel::ToolResult result = RunnerViewModel::runToolWithin({ tool, { pidFile } }, 300ms);
        QVERIFY(result.started && result.exitCode == -1);
    } else {
        QVERIFY(!OneShotProcess::run(tool, { pidFile }, OneShotProcess::toolEnvironment(), 300).has_value());
    }
    const qint64 pid = testsupport::readFile(pidFile).trimmed().toLongLong();
    QVERIFY(pid > 1);
    QTRY_VERIFY2_WITH_TIMEOUT(!processprobe::isAlive(pid), qPrintable(u"process %1 survived the time-out"_s.arg(pid)), 10'000);
}

QTEST_GUILESS_MAIN(TestDeviceDetector)
#include "tst_devicedetector.moc"
