#include "devices/devicedetector.h"
#include "devices/oneshotprocess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDeviceDetector : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseDeviceList_data();
    void parseDeviceList();
    void offlineEntries();
    void parseAppList_data();
    void parseAppList();
    void parseSimulatorAppList_data();
    void parseSimulatorAppList();
    void toolOutput_data();
    void toolOutput();
    void largeOutputDoesNotStall();
    void deviceIdIsOneArgument();
    void toolSeesDefaultSearchPath();
    void hungToolTimesOut();

private:
    // A stand-in for xcrun: a shell script with the given body.
    QString writeTool(const QString &body);
    QTemporaryDir m_dir;
    int m_toolCount = 0;
};

namespace {

DeviceInfo device(const char *id, const QString &name)
{
    return DeviceInfo { QString::fromUtf8(id), name, false };
}

DeviceInfo simulator(const char *id, const QString &name)
{
    return DeviceInfo { QString::fromUtf8(id), name, true };
}

// xctrace's listing on a Mac: the Mac with and without a version part, a
// watch and a phone offline, names with U+2019 and no-break spaces.
QString realCapture()
{
    return QString::fromUtf8("== Devices ==\n"
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
                             "QA\u2019s iPhone\u00a017 Simulator (27.0) (45D578D6-0267-467B-BA25-3CF08BCFE468)\n");
}

} // namespace

void TestDeviceDetector::parseDeviceList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<DeviceList>("expected");

    QTest::newRow("empty") << QString() << DeviceList {};
    QTest::newRow("no devices header: simulators only")
        << QStringLiteral("iPhone 15 (17.0) (00008130-001E39811A12001C)\n== Simulators ==\n"
                          "iPhone 17 Pro Simulator (27.0) (45D578D6-0267-467B-BA25-3CF08BCFE468)\n")
        << DeviceList { simulator("45D578D6-0267-467B-BA25-3CF08BCFE468", QStringLiteral("iPhone 17 Pro Simulator")) };

    QTest::newRow("real capture: the attached phone, then the simulators")
        << realCapture()
        << DeviceList { device("00008130-001E39811A12001C", QStringLiteral("iPhone de QA")),
               simulator("8E788B42-658C-47F3-A314-68CA670B7CFC", QStringLiteral("iPad (A16) Simulator")),
               simulator("45D578D6-0267-467B-BA25-3CF08BCFE468", QString::fromUtf8("QA\u2019s iPhone\u00a017 Simulator")) };
    QTest::newRow("simulators listed after devices whatever the section order")
        << QStringLiteral("== Simulators ==\nSim (18.0) (SIM1)\n== Devices ==\nPhone (18.0) (AAAA)\n")
        << DeviceList { device("AAAA", QStringLiteral("Phone")), simulator("SIM1", QStringLiteral("Sim")) };

    QTest::newRow("lines before the first header are ignored")
        << QStringLiteral("iPhone A (17.0) (AAAA)\n== Devices ==\niPhone B (17.0) (BBBB)\n")
        << DeviceList { device("BBBB", QStringLiteral("iPhone B")) };
    QTest::newRow("a later devices header switches listing on again")
        << QStringLiteral("== Devices ==\nPhone A (17.0) (AAAA)\n== Devices Offline ==\nPhone B (17.0) (BBBB)\n"
                          "== Devices ==\nPhone C (17.0) (CCCC)\n")
        << DeviceList { device("AAAA", QStringLiteral("Phone A")), device("CCCC", QStringLiteral("Phone C")) };
    QTest::newRow("header without inner spaces is an ordinary line") << QStringLiteral(
        "== Devices ==\n==Simulators==\nPhone A (17.0) (AAAA)\n") << DeviceList { device("AAAA", QStringLiteral("Phone A")) };
    QTest::newRow("header with surrounding tabs")
        << QStringLiteral("\t== Devices ==\nPhone A (17.0) (AAAA)\n== Devices == \t\nPhone B (17.0) (BBBB)\n") << DeviceList {};
    QTest::newRow("mac inside a word keeps the device")
        << QString::fromUtf8("== Devices ==\niPhone de Macarena (17.0) (AAAA)\nJamaica\u2019s iPhone (17.0) (BBBB)\n"
                             "MACKENZIE's iPhone (17.0) (CCCC)\n")
        << DeviceList { device("AAAA", QStringLiteral("iPhone de Macarena")),
               device("BBBB", QString::fromUtf8("Jamaica\u2019s iPhone")), device("CCCC", QStringLiteral("MACKENZIE's iPhone")) };
    QTest::newRow("Macs with a version part are dropped, any case")
        << QString::fromUtf8("== Devices ==\nMy Mac mini (15.1) (A1)\nQA\u2019s MacBook Air (15.1) (A2)\niMac (15.1) (A3)\n"
                             "Studio mac (15.1) (A4)\nMac Pro (15.1) (A5)\nMac Studio (15.1) (A6)\n")
        << DeviceList {};
    QTest::newRow("identifier with a colon is dropped")
        << QStringLiteral("== Devices ==\nPhone A (17.0) (fe80::1)\nPhone B (17.0) (BBBB)\n")
        << DeviceList { device("BBBB", QStringLiteral("Phone B")) };
    QTest::newRow("two identical lines give two entries")
        << QStringLiteral("== Devices ==\nPhone (17.0) (AAAA)\nPhone (17.0) (AAAA)\n")
        << DeviceList { device("AAAA", QStringLiteral("Phone")), device("AAAA", QStringLiteral("Phone")) };
    QTest::newRow("one parenthesised part does not match") << QStringLiteral("== Devices ==\nPhone (AAAA)\n") << DeviceList {};
    QTest::newRow("name with its own parentheses stays whole") << QStringLiteral(
        "== Devices ==\nPhone (Work) (17.0) (AAAA)\n") << DeviceList { device("AAAA", QStringLiteral("Phone (Work)")) };
    QTest::newRow("CRLF line ends and surrounding spaces") << QStringLiteral("== Devices ==\r\n \tPhone A  (17.0) (AAAA)\r\n")
                                                           << DeviceList { device("AAAA", QStringLiteral("Phone A")) };
    QTest::newRow("no-break spaces stay in the name") << QString::fromUtf8("== Devices ==\n\u00a0Phone\u00a0A (17.0) (AAAA)\n")
                                                      << DeviceList { device("AAAA", QString::fromUtf8("\u00a0Phone\u00a0A")) };
    QTest::newRow("unicode line separator splits lines")
        << QString::fromUtf8("== Devices ==\u2028Phone A (17.0) (AAAA)\u2029Phone B (17.0) (BBBB)")
        << DeviceList { device("AAAA", QStringLiteral("Phone A")), device("BBBB", QStringLiteral("Phone B")) };
    QTest::newRow("trailing text after the identifier does not match")
        << QStringLiteral("== Devices ==\nPhone A (17.0) (AAAA) extra\n") << DeviceList {};
}

void TestDeviceDetector::parseDeviceList()
{
    QFETCH(QString, text);
    QFETCH(DeviceList, expected);
    QCOMPARE(DeviceDetector::parseDeviceList(text), expected);
}

void TestDeviceDetector::offlineEntries()
{
    // Apart from the usable devices; the paired watch is not one to name.
    QCOMPARE(DeviceDetector::scanDeviceList(realCapture()).offline,
        DeviceList { device("00008130-001E39811A12001D", QStringLiteral("iPhone Offline")) });
}

void TestDeviceDetector::parseAppList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QString capture = QStringLiteral("13:45:57  Acquired tunnel connection to device.\n"
                                           "13:45:57  Enabling developer disk image services.\n"
                                           "Apps installed:\n"
                                           "Name        Bundle Identifier            Version   Bundle Version\n"
                                           "---------   --------------------------   -------   --------------\n"
                                           "Shop UAT    com.example.shop.uat         4.2.0     512\n"
                                           "Shop        com.example.shop             4.2.1     513\n"
                                           "Settings    com.apple.Preferences        1.0       1\n");
    QTest::newRow("real capture") << capture
                                  << QStringList { QStringLiteral("com.example.shop"), QStringLiteral("com.example.shop.uat") };
    QTest::newRow("empty") << QString() << QStringList {};
    QTest::newRow("two parts are not an identifier") << QStringLiteral("App   example.shop   1.0\n") << QStringList {};
    QTest::newRow("four parts are one candidate") << QStringLiteral("App   com.example.shop.dev.beta   1.0\n")
                                                  << QStringList { QStringLiteral("com.example.shop.dev.beta") };
    QTest::newRow("com.apple. drops the whole line")
        << QStringLiteral("Bridge   com.example.bridge   com.apple.bridge\nOther   com.example.other   1\n")
        << QStringList { QStringLiteral("com.example.other") };
    QTest::newRow("/System/ drops the line") << QStringLiteral("/System/Library/app.example.one\nfoo   com.example.two\n")
                                             << QStringList { QStringLiteral("com.example.two") };
    QTest::newRow("dotted version numbers are not apps")
        << QStringLiteral("App   com.example.a   10.2.3   1.2.3.4\n") << QStringList { QStringLiteral("com.example.a") };
    QTest::newRow("listed once when on three lines") << QStringLiteral("a com.example.a\nb com.example.a\nc com.example.a\n")
                                                     << QStringList { QStringLiteral("com.example.a") };
    QTest::newRow("upper case sorts first") << QStringLiteral("x com.example.app\ny Com.example.app\nz com.Example.app\n")
                                            << QStringList { QStringLiteral("Com.example.app"), QStringLiteral("com.Example.app"),
                                                   QStringLiteral("com.example.app") };
    QTest::newRow("underscore in the first parts yields no candidate")
        << QStringLiteral("app   com_x.example.app\n") << QStringList { QStringLiteral("x.example.app") };
    QTest::newRow("underscore in the second part") << QStringLiteral("app   com.my_co.app\n") << QStringList {};
    QTest::newRow("hyphens allowed in every part") << QStringLiteral("app   com.my-co.app-x\n")
                                                   << QStringList { QStringLiteral("com.my-co.app-x") };
    QTest::newRow("devicectl table: hyphen, four parts, version-only token, names with spaces and accents")
        << QString::fromUtf8("13:45:57  Acquired tunnel connection to device.\n"
                             "Apps installed:\n"
                             "Name                      Bundle Identifier              Version   Bundle Version\n"
                             "-----------------------   ----------------------------   -------   --------------\n"
                             "Café Finder (Beta)        de.example.cafe-finder         2.1.0     2.1.0.4\n"
                             "Rina\u2019s Notes             io.rinalabs.notes.dev.beta     1.2       12\n"
                             "Pasar Staging             com.lumenfold.pasar.staging    3.15.0-rc.2   3151\n"
                             "Fotos                     com.apple.mobileslideshow      1.0       1.0\n")
        << QStringList { QStringLiteral("com.lumenfold.pasar.staging"), QStringLiteral("de.example.cafe-finder"),
               QStringLiteral("io.rinalabs.notes.dev.beta") };
    QTest::newRow("two on one line, any column")
        << QStringLiteral("com.b.two   com.a.one\n") << QStringList { QStringLiteral("com.a.one"), QStringLiteral("com.b.two") };
}

void TestDeviceDetector::parseAppList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(DeviceDetector::parseAppList(text), expected);
}

void TestDeviceDetector::parseSimulatorAppList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    // simctl's property-list text: system and user apps, bare and quoted
    // values, non-ASCII as \U escapes, nested dictionaries and arrays.
    const QString listing = QStringLiteral(R"({
    "com.apple.mobilesafari" =     {
        ApplicationType = System;
        Bundle = "file:///Library/Developer/CoreSimulator/Volumes/iOS_22A3354/MobileSafari.app/";
        CFBundleDisplayName = Safari;
        CFBundleIdentifier = "com.apple.mobilesafari";
        GroupContainers =         {
            "group.com.apple.safari" = "file:///Users/qa/Library/Developer/CoreSimulator/Devices/X/data/";
        };
        SBAppTags =         (
        );
    };
    "de.example.cafe-finder" =     {
        ApplicationType = User;
        CFBundleDisplayName = "Caf\U00e9 Finder";
        CFBundleIdentifier = "de.example.cafe-finder";
        CFBundleVersion = "2.1.0";
        DataContainer = "file:///Users/qa/Library/Developer/CoreSimulator/Devices/X/data/Containers/Data/Application/Y/";
        GroupContainers =         {
        };
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
    QTest::newRow("user apps only") << listing
                                    << QStringList { QStringLiteral("de.example.cafe-finder"), QStringLiteral("io.rinalabs.notes") };
    QTest::newRow("shut-down simulator prints nothing") << QString() << QStringList {};
    QTest::newRow("no identifier field: the entry's key")
        << QStringLiteral("{\n    \"com.example.shop\" =     {\n        ApplicationType = User;\n    };\n}\n")
        << QStringList { QStringLiteral("com.example.shop") };
    QTest::newRow("bare keys, unsorted, repeated")
        << QStringLiteral("{ b.example.app = { ApplicationType = User; }; a.example.app = { ApplicationType = User; };"
                          " b.example.app = { ApplicationType = User; }; }")
        << QStringList { QStringLiteral("a.example.app"), QStringLiteral("b.example.app") };
    QTest::newRow("a nested ApplicationType does not count")
        << QStringLiteral("{ x.example.app = { ApplicationType = System; Info = { ApplicationType = User; }; }; }")
        << QStringList {};
    QTest::newRow("cut off mid-entry") << QStringLiteral("{ x.example.app = { ApplicationType = User; CFBundleIdentifier = \"x.ex")
                                       << QStringList {};
}

void TestDeviceDetector::parseSimulatorAppList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(DeviceDetector::parseSimulatorAppList(text), expected);
}

QString TestDeviceDetector::writeTool(const QString &body)
{
    const QString path = m_dir.filePath(QStringLiteral("tool%1.sh").arg(++m_toolCount));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

void TestDeviceDetector::toolOutput_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<DeviceList>("expected");

    QTest::newRow("listing") << QStringLiteral("printf '== Devices ==\\nPhone (17.0) (AAAA)\\n'")
                             << DeviceList { device("AAAA", QStringLiteral("Phone")) };
    QTest::newRow("exit status is ignored") << QStringLiteral("printf '== Devices ==\\nPhone (17.0) (AAAA)\\n'; exit 3")
                                            << DeviceList { device("AAAA", QStringLiteral("Phone")) };
    QTest::newRow("stderr is not parsed") << QStringLiteral("printf '== Devices ==\\nPhone (17.0) (AAAA)\\n' >&2")
                                          << DeviceList {};
    QTest::newRow("invalid UTF-8 counts as no output")
        << QStringLiteral("printf '== Devices ==\\nPhone \\377 (17.0) (AAAA)\\nOther (17.0) (BBBB)\\n'") << DeviceList {};
}

void TestDeviceDetector::toolOutput()
{
    QFETCH(QString, body);
    QFETCH(DeviceList, expected);
    DeviceDetector detector(writeTool(body));
    QCOMPARE(detector.listDevices(), expected);
}

void TestDeviceDetector::largeOutputDoesNotStall()
{
    // 8 MB of table rows before the device, far beyond a pipe's buffer.
    const QString tool
        = writeTool(QStringLiteral("printf '== Devices ==\\n'; yes 'Filler row of the listing, not a device' | head -c 8000000; "
                                   "printf 'Phone (17.0) (AAAA)\\n'"));
    DeviceDetector detector(tool);
    QCOMPARE(detector.listDevices(), DeviceList { device("AAAA", QStringLiteral("Phone")) });
}

void TestDeviceDetector::deviceIdIsOneArgument()
{
    const QString argsFile = m_dir.filePath(QStringLiteral("args.txt"));
    const QString tool
        = writeTool(QStringLiteral("for a in \"$@\"; do echo \"[$a]\" >> '%1'; done; echo 'x com.example.app'").arg(argsFile));
    DeviceDetector detector(tool);
    QCOMPARE(detector.listApps(DeviceInfo { QStringLiteral("my device 1"), {}, false }),
        QStringList { QStringLiteral("com.example.app") });
    // A simulator's apps come from simctl, which prints no table.
    QCOMPARE(detector.listApps(DeviceInfo { QStringLiteral("my sim 1"), {}, true }), QStringList {});
    QFile file(argsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
        QStringLiteral("[devicectl]\n[device]\n[info]\n[apps]\n[--device]\n[my device 1]\n[simctl]\n[listapps]\n[my sim 1]\n"));
}

void TestDeviceDetector::toolSeesDefaultSearchPath()
{
    qputenv("KESTRUNE_TEST_MARKER", "kept");
    const auto output = OneShotProcess::run(writeTool(QStringLiteral("echo \"$PATH|$KESTRUNE_TEST_MARKER\"")), {});
    QVERIFY(output.has_value());
    QCOMPARE(QString::fromUtf8(*output).trimmed(),
        QStringLiteral("/usr/bin:/bin:/usr/sbin:/sbin:/usr/local/bin:/opt/homebrew/bin|kept"));
}

void TestDeviceDetector::hungToolTimesOut()
{
    const auto output = OneShotProcess::run(
        writeTool(QStringLiteral("echo partial; exec sleep 30")), {}, OneShotProcess::toolEnvironment(), 300);
    QVERIFY(!output.has_value());
    QVERIFY(!OneShotProcess::run(m_dir.filePath(QStringLiteral("missing-tool")), {}).has_value());
}

QTEST_GUILESS_MAIN(TestDeviceDetector)
#include "tst_devicedetector.moc"
