#include "clitestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
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
    void toolFailures_data();
    void toolFailures();
    void help_data();
    void help();

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
}

// CI must tell "no device attached" (0, an empty list) from "xcrun is
// broken" (3, the tool's own error on standard error).
void TestCliDevices::toolFailures_data()
{
    QTest::addColumn<QString>("xcrun"); // the stand-in's body; empty: none at all
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString failing = QStringLiteral("echo 'xcrun: error: unable to find utility \"xctrace\"' >&2; exit 72");
    QTest::newRow("devices, xcrun fails") << failing << QStringList { "devices" } << 3 << "unable to find utility";
    QTest::newRow("devices, no xcrun") << QString() << QStringList { "devices" } << 3 << "could not start";
    QTest::newRow("devices, none attached") << "printf '== Devices ==\\n== Simulators ==\\n'" << QStringList { "devices" } << 0
                                            << QString();
    QTest::newRow("apps, device unknown to devicectl")
        << "echo 'ERROR: The specified device was not found.' >&2; exit 1" << QStringList { "apps", "unknown" } << 3
        << "device was not found";
    QTest::newRow("apps, none installed") << "exit 0" << QStringList { "apps", "00008130-001E39811A12001C" } << 0 << QString();
}

void TestCliDevices::toolFailures()
{
    QFETCH(QString, xcrun);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QProcessEnvironment env = m_env;
    const QString path = m_dir.filePath(QStringLiteral("xcrun-%1").arg(QTest::currentDataTag()).replace(u' ', u'_'));
    if (xcrun.isEmpty())
        env.insert(QStringLiteral("KESTRUNE_XCRUN"), m_dir.filePath(QStringLiteral("missing")));
    else {
        QVERIFY(writeScript(path, xcrun.toUtf8() + '\n'));
        env.insert(QStringLiteral("KESTRUNE_XCRUN"), path);
    }
    const CliResult result = runCli(arguments, env);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, QString());
    if (message.isEmpty())
        QCOMPARE(result.err, QString());
    else
        QVERIFY2(result.err.contains(message) && result.err.contains(QStringLiteral("kestrune-cli ") + arguments.first()),
            qPrintable(result.err));
}

// Every command answers --help (and `help COMMAND`) on standard output with
// its usage, and documents every option its usage line names.
void TestCliDevices::help_data()
{
    QTest::addColumn<QString>("command");
    const CliResult overview = runCli({ QStringLiteral("--help") });
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "), QRegularExpression::MultilineOption);
    for (auto it = commandLine.globalMatch(overview.out); it.hasNext();) {
        const QString name = it.next().captured(1);
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestCliDevices::help()
{
    QFETCH(QString, command);
    const CliResult help = runCli({ command, QStringLiteral("--help") }, m_env);
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith(QStringLiteral("Usage: kestrune-cli ") + command + u' '));
    QCOMPARE(runCli({ QStringLiteral("help"), command }, m_env).out, help.out);
    const QString usage = help.out.section(u'\n', 0, 0);
    static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
    QStringList options;
    for (auto it = option.globalMatch(usage); it.hasNext();) {
        const QString name = it.next().captured();
        QVERIFY2(help.out.contains(QStringLiteral("\n  ") + name + u' '), qPrintable(command + u' ' + name));
        options << name;
    }
    QVERIFY(help.out.contains(QStringLiteral("Examples:")));

    // The bash completion offers exactly these options (and --help).
    QProcess bash;
    bash.start(QStringLiteral("bash"), { QStringLiteral("-c"),
        QStringLiteral("source \"$0\"; COMP_WORDS=(kestrune-cli \"$1\" --); COMP_CWORD=2; _kestrune_cli; "
                       "printf '%s\\n' \"${COMPREPLY[@]}\""),
        QStringLiteral(KESTRUNE_SOURCE_DIR "/packaging/completions/kestrune-cli.bash"), command });
    QVERIFY(bash.waitForFinished(10'000));
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    options << QStringLiteral("--help");
    options.removeDuplicates();
    options.sort();
    offered.sort();
    QCOMPARE(offered, options);
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
