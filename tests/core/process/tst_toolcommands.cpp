#include "process/toolcommands.h"

#include <QTest>

namespace {

// Distinct stand-in locations, so that a command using the wrong tool shows.
ToolPaths standInPaths()
{
    ToolPaths paths;
    paths.xcrun = QStringLiteral("/lab/xcrun");
    paths.xcodebuild = QStringLiteral("/lab/xcodebuild");
    paths.shell = QStringLiteral("/lab/zsh");
    paths.pkill = QStringLiteral("/lab/pkill");
    paths.cp = QStringLiteral("/lab/cp");
    paths.security = QStringLiteral("/lab/security");
    return paths;
}

QStringList loginShellPrefix()
{
    return { QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("\"$@\""), QStringLiteral("--") };
}

} // namespace

class TestToolCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandLines_data();
    void commandLines();
    void defaultsAndOverrides();
};

void TestToolCommands::commandLines_data()
{
    QTest::addColumn<ToolCommand>("command");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    const ToolCommands commands(standInPaths());
    const QString runner = QStringLiteral("/Users/qa/.maestro-runner/bin/maestro-runner");
    const QString udid = QStringLiteral("00008110-001A2B3C4D5E6F70");

    ToolCommands::TestRun run;
    run.runnerPath = runner;
    run.teamId = QStringLiteral("K7QX2M9R4T");
    run.deviceId = udid;
    run.bundleId = QStringLiteral("com.example.shop");
    run.variables = { { QStringLiteral("USERNAME"), QStringLiteral("qa user") },
                      { QStringLiteral("QUERY"), QStringLiteral("a=b&c=\"d\" $HOME") } };
    run.outputFolder = QStringLiteral("/Users/qa/Documents/out/SIT_20260101_120000");
    run.flowFile = QStringLiteral("/Users/qa/Documents/out/SIT_20260101_120000/sandbox/login/flow.yaml");
    QTest::newRow("runner test run, variables unquoted and in order")
        << commands.runnerTestRun(run) << QStringLiteral("/lab/zsh")
        << loginShellPrefix() + QStringList {
               runner, QStringLiteral("--platform"), QStringLiteral("ios"), QStringLiteral("--team-id"),
               QStringLiteral("K7QX2M9R4T"), QStringLiteral("--device"), udid,
               QStringLiteral("-e"), QStringLiteral("BUNDLE_ID=com.example.shop"),
               QStringLiteral("-e"), QStringLiteral("USERNAME=qa user"),
               QStringLiteral("-e"), QStringLiteral("QUERY=a=b&c=\"d\" $HOME"),
               QStringLiteral("--artifacts"), QStringLiteral("on-failure"),
               QStringLiteral("--output"), run.outputFolder, run.flowFile };

    ToolCommands::TestRun bare = run;
    bare.variables.clear();
    bare.bundleId.clear();
    QTest::newRow("runner test run without variables or app")
        << commands.runnerTestRun(bare) << QStringLiteral("/lab/zsh")
        << loginShellPrefix() + QStringList {
               runner, QStringLiteral("--platform"), QStringLiteral("ios"), QStringLiteral("--team-id"),
               QStringLiteral("K7QX2M9R4T"), QStringLiteral("--device"), udid,
               QStringLiteral("-e"), QStringLiteral("BUNDLE_ID="),
               QStringLiteral("--artifacts"), QStringLiteral("on-failure"),
               QStringLiteral("--output"), run.outputFolder, run.flowFile };

    QTest::newRow("hierarchy fetch")
        << commands.runnerHierarchy(runner, QStringLiteral("K7QX2M9R4T"), udid) << QStringLiteral("/lab/zsh")
        << loginShellPrefix() + QStringList {
               runner, QStringLiteral("--platform"), QStringLiteral("ios"), QStringLiteral("--team-id"),
               QStringLiteral("K7QX2M9R4T"), QStringLiteral("--device"), udid,
               QStringLiteral("hierarchy"), QStringLiteral("--compact") };

    QTest::newRow("login environment") << commands.loginEnvironment() << QStringLiteral("/lab/zsh")
                                       << QStringList { QStringLiteral("-lic"), QStringLiteral("env") };
    QTest::newRow("which runner") << commands.whichRunner() << QStringLiteral("/lab/zsh")
                                  << QStringList { QStringLiteral("-lc"), QStringLiteral("which maestro-runner || which maestro") };
    QTest::newRow("xctrace list devices") << commands.xctraceListDevices() << QStringLiteral("/lab/xcrun")
                                          << QStringList { QStringLiteral("xctrace"), QStringLiteral("list"), QStringLiteral("devices") };
    QTest::newRow("devicectl apps") << commands.devicectlListApps(udid) << QStringLiteral("/lab/xcrun")
                                    << QStringList { QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("info"),
                                                     QStringLiteral("apps"), QStringLiteral("--device"), udid };
    QTest::newRow("devicectl copy from")
        << commands.devicectlCopyFrom(udid, QStringLiteral("com.example.shop"),
                                      QString::fromLatin1(ToolCommands::kNetfoxLogInContainer),
                                      QStringLiteral("/tmp/run folder/network.log"))
        << QStringLiteral("/lab/xcrun")
        << QStringList { QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("copy"), QStringLiteral("from"),
                         QStringLiteral("--device"), udid, QStringLiteral("--domain-type"), QStringLiteral("appDataContainer"),
                         QStringLiteral("--domain-identifier"), QStringLiteral("com.example.shop"),
                         QStringLiteral("--source"), QStringLiteral("tmp/NFX/session.log"),
                         QStringLiteral("--destination"), QStringLiteral("/tmp/run folder/network.log") };
    QTest::newRow("simctl data container")
        << commands.simctlAppDataContainer(QStringLiteral("SIM-UDID"), QStringLiteral("com.example.shop"))
        << QStringLiteral("/lab/xcrun")
        << QStringList { QStringLiteral("simctl"), QStringLiteral("get_app_container"), QStringLiteral("SIM-UDID"),
                         QStringLiteral("com.example.shop"), QStringLiteral("data") };
    QTest::newRow("simctl listapps") << commands.simctlListApps(QStringLiteral("SIM UDID")) << QStringLiteral("/lab/xcrun")
                                     << QStringList { QStringLiteral("simctl"), QStringLiteral("listapps"),
                                                      QStringLiteral("SIM UDID") };
    QTest::newRow("xcodebuild version") << commands.xcodebuildVersion() << QStringLiteral("/lab/xcodebuild")
                                        << QStringList { QStringLiteral("-version") };
    QTest::newRow("signing identities") << commands.securityFindCodesigningIdentities() << QStringLiteral("/lab/security")
                                        << QStringList { QStringLiteral("find-identity"), QStringLiteral("-v"),
                                                         QStringLiteral("-p"), QStringLiteral("codesigning") };
    QTest::newRow("pkill TERM children") << commands.pkillChildren(ToolCommands::Signal::Terminate, 4242)
                                         << QStringLiteral("/lab/pkill")
                                         << QStringList { QStringLiteral("-TERM"), QStringLiteral("-P"), QStringLiteral("4242") };
    QTest::newRow("pkill KILL children") << commands.pkillChildren(ToolCommands::Signal::Kill, 4242)
                                         << QStringLiteral("/lab/pkill")
                                         << QStringList { QStringLiteral("-9"), QStringLiteral("-P"), QStringLiteral("4242") };
    QTest::newRow("cp") << commands.copyFile(QStringLiteral("/c/tmp/NFX/session.log"), QStringLiteral("/run/network.log"))
                        << QStringLiteral("/lab/cp")
                        << QStringList { QStringLiteral("/c/tmp/NFX/session.log"), QStringLiteral("/run/network.log") };
}

void TestToolCommands::commandLines()
{
    QFETCH(ToolCommand, command);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QCOMPARE(command.program, program);
    QCOMPARE(command.arguments, arguments);
}

void TestToolCommands::defaultsAndOverrides()
{
    qunsetenv("KESTRUNE_XCRUN");
    qunsetenv("KESTRUNE_SHELL");
    qputenv("KESTRUNE_XCODEBUILD", "");
    const ToolCommands defaults(ToolPaths::fromEnvironment());
    QCOMPARE(defaults.xctraceListDevices().program, QStringLiteral("/usr/bin/xcrun"));
    QCOMPARE(defaults.xcodebuildVersion().program, QStringLiteral("/usr/bin/xcodebuild"));
    QCOMPARE(defaults.loginEnvironment().program, QStringLiteral("/bin/zsh"));

    qputenv("KESTRUNE_XCRUN", "/opt/lab/kestrune-sim");
    qputenv("KESTRUNE_SHELL", "/opt/lab/zsh");
    const ToolCommands overridden(ToolPaths::fromEnvironment());
    QCOMPARE(overridden.devicectlListApps(QStringLiteral("X")).program, QStringLiteral("/opt/lab/kestrune-sim"));
    QCOMPARE(overridden.whichRunner().program, QStringLiteral("/opt/lab/zsh"));
    QCOMPARE(overridden.xcodebuildVersion().program, QStringLiteral("/usr/bin/xcodebuild"));
    qunsetenv("KESTRUNE_XCRUN");
    qunsetenv("KESTRUNE_SHELL");
    qunsetenv("KESTRUNE_XCODEBUILD");
}

QTEST_GUILESS_MAIN(TestToolCommands)
#include "tst_toolcommands.moc"
