#include "clitestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// kestrune-cli devices and apps against a stand-in xcrun.
class TestCliDevices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void devices();
    void devicesJson();
    void apps();
    void usageErrors_data();
    void usageErrors();

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

void TestCliDevices::initTestCase()
{
    const QString xcrun = m_dir.filePath(QStringLiteral("xcrun"));
    QVERIFY(writeScript(xcrun, R"(case "$1" in
xctrace) printf '== Devices ==\nQA Mac (305F)\niPhone de QA (27.0) (00008130-001E39811A12001C)\nPixel\t (17.0) (BBBB)\n== Simulators ==\niPhone 17 Simulator (27.0) (45D5)\n' ;;
devicectl) [ "$6" = "00008130-001E39811A12001C" ] && printf 'Apps installed:\nShop   com.example.shop.uat   1.0   1\nSettings   com.apple.Preferences   1.0   1\nA   com.example.a   2.0   2\n' ;;
simctl) [ "$2 $3" = "listapps 45D5" ] && printf '{\n    "com.apple.Maps" =     {\n        ApplicationType = System;\n    };\n    "de.example.cafe-finder" =     {\n        ApplicationType = User;\n    };\n}\n' ;;
esac
)"));
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("KESTRUNE_XCRUN"), xcrun);
    m_env.insert(QStringLiteral("KESTRUNE_SETTINGS_FILE"), m_dir.filePath(QStringLiteral("settings.ini")));
}

void TestCliDevices::devices()
{
    const CliResult result = runCli({ QStringLiteral("devices") }, m_env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out,
        QString::fromUtf8("00008130-001E39811A12001C\tiPhone de QA\tdevice\nBBBB\tPixel\tdevice\n"
                          "45D5\tiPhone 17 Simulator\tsimulator\n"));
    QCOMPARE(result.err, QString());
}

void TestCliDevices::devicesJson()
{
    const CliResult result = runCli({ QStringLiteral("devices"), QStringLiteral("--json") }, m_env);
    QCOMPARE(result.exitCode, 0);
    const QJsonArray array = QJsonDocument::fromJson(result.out.toUtf8()).array();
    QCOMPARE(array.size(), 3);
    QCOMPARE(array.at(2).toObject().value(QStringLiteral("isSimulator")).toBool(false), true);
    QCOMPARE(array.at(0).toObject().value(QStringLiteral("id")).toString(), QStringLiteral("00008130-001E39811A12001C"));
    QCOMPARE(array.at(0).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("iPhone de QA"));
    QCOMPARE(array.at(0).toObject().value(QStringLiteral("isSimulator")).toBool(true), false);
}

void TestCliDevices::apps()
{
    CliResult result = runCli({ QStringLiteral("apps"), QStringLiteral("00008130-001E39811A12001C") }, m_env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("com.example.a\ncom.example.shop.uat\n"));
    result = runCli({ QStringLiteral("apps"), QStringLiteral("45D5") }, m_env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("de.example.cafe-finder\n"));
    result = runCli({ QStringLiteral("apps"), QStringLiteral("unknown") }, m_env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QString());
}

void TestCliDevices::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("apps without a device") << QStringList { QStringLiteral("apps") };
    QTest::newRow("apps with two devices") << QStringList { QStringLiteral("apps"), QStringLiteral("a"), QStringLiteral("b") };
    QTest::newRow("devices with an unknown option") << QStringList { QStringLiteral("devices"), QStringLiteral("--xml") };
    QTest::newRow("devices with an argument") << QStringList { QStringLiteral("devices"), QStringLiteral("extra") };
}

void TestCliDevices::usageErrors()
{
    QFETCH(QStringList, arguments);
    const CliResult result = runCli(arguments, m_env);
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.contains(QStringLiteral("Usage: kestrune-cli ")), qPrintable(result.err));
}

QTEST_GUILESS_MAIN(TestCliDevices)
#include "tst_clidevices.moc"
