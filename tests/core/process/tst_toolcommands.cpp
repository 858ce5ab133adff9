// The one table of every command line handed to an outside tool: the runner's
// (device, app, variables, output folder, flow), xcrun's, pkill's, cp's.

#include "process/toolcommands.h"
#include "scratchfiles.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Distinct stand-in locations, so that a command using the wrong tool shows.
const ToolPaths kStandIns { .xcrun = u"/lab/xcrun"_s,
    .xcodebuild = u"/lab/xcodebuild"_s,
    .shell = u"/lab/zsh"_s,
    .pkill = u"/lab/pkill"_s,
    .cp = u"/lab/cp"_s,
    .security = u"/lab/security"_s };

// The program and its arguments, written as one line split at spaces.
QStringList words(const QString &line)
{
    return line.split(u' ');
}

} // namespace

class TestToolCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandLines_data();
    void commandLines();
    void toolPathsFromEnvironment();
};

void TestToolCommands::commandLines_data()
{
    QTest::addColumn<ToolCommand>("command");
    QTest::addColumn<QStringList>("expected"); // the program, then its arguments

    const ToolCommands commands(kStandIns);
    const QString runner = QStringLiteral("/Users/qa/My Tools/maestro-runner");
    const QString udid = QStringLiteral("00008110-001A2B3C4D5E6F70");
    // The login shell passes the runner every argument after "--" unchanged.
    const QStringList runnerPrefix = words(u"/lab/zsh -l -c \"$@\" --"_s)
        << runner << words(u"--platform ios --team-id K7QX2M9R4T --device "_s + udid);

    ToolCommands::TestRun run;
    run.runnerPath = runner;
    run.teamId = QStringLiteral("K7QX2M9R4T");
    run.deviceId = udid;
    run.bundleId = QStringLiteral("com.example.shop");
    run.variables = { { QStringLiteral("USERNAME"), QStringLiteral("qa user") },
        { QStringLiteral("QUERY"), QStringLiteral("a=b&c=\"d\" $HOME") }, { QStringLiteral("EMPTY"), QString() } };
    run.outputFolder = QStringLiteral("/Users/qa/Documents/out/SIT_20260101_120000");
    run.flowFile = run.outputFolder + QStringLiteral("/sandbox/login flow.yaml");
    QTest::newRow("test run: app first, variables unquoted and in order, output folder, the flow last")
        << commands.runnerTestRun(run)
        << runnerPrefix
            + QStringList { "-e", "BUNDLE_ID=com.example.shop", "-e", "USERNAME=qa user", "-e", "QUERY=a=b&c=\"d\" $HOME", "-e",
                  "EMPTY=", "--artifacts", "on-failure", "--output", run.outputFolder, run.flowFile };
    ToolCommands::TestRun bare = run;
    bare.variables.clear();
    bare.bundleId.clear();
    QTest::newRow("test run without variables or app: an empty BUNDLE_ID still goes") << commands.runnerTestRun(bare)
                                                                                      << runnerPrefix
            + QStringList { "-e", "BUNDLE_ID=", "--artifacts", "on-failure", "--output", run.outputFolder, run.flowFile };
    QTest::newRow("hierarchy fetch") << commands.runnerHierarchy(runner, QStringLiteral("K7QX2M9R4T"), udid)
                                     << runnerPrefix + QStringList { "hierarchy", "--compact" };

    QTest::newRow("login environment") << commands.loginEnvironment() << words(u"/lab/zsh -lic env"_s);
    QTest::newRow("which runner") << commands.whichRunner()
                                  << QStringList { "/lab/zsh", "-lc", "which maestro-runner || which maestro" };
    QTest::newRow("xctrace list devices") << commands.xctraceListDevices() << words(u"/lab/xcrun xctrace list devices"_s);
    QTest::newRow("devicectl apps") << commands.devicectlListApps(udid)
                                    << words(u"/lab/xcrun devicectl device info apps --device "_s + udid);
    QTest::newRow("devicectl copy from the app's container")
        << commands.devicectlCopyFrom(udid, QStringLiteral("com.example.shop"),
               QString::fromLatin1(ToolCommands::kNetfoxLogInContainer), QStringLiteral("/tmp/run folder/network.log"))
        << words(u"/lab/xcrun devicectl device copy from --device "_s + udid
               + u" --domain-type appDataContainer --domain-identifier com.example.shop --source tmp/NFX/session.log"
                 " --destination"_s)
            + QStringList { "/tmp/run folder/network.log" };
    QTest::newRow("simctl data container") << commands.simctlAppDataContainer(u"SIM-UDID"_s, u"com.example.shop"_s)
                                           << words(u"/lab/xcrun simctl get_app_container SIM-UDID com.example.shop data"_s);
    QTest::newRow("simctl listapps, the id one argument")
        << commands.simctlListApps(u"SIM UDID"_s) << QStringList { "/lab/xcrun", "simctl", "listapps", "SIM UDID" };
    QTest::newRow("xcodebuild version") << commands.xcodebuildVersion() << words(u"/lab/xcodebuild -version"_s);
    QTest::newRow("signing identities") << commands.securityFindCodesigningIdentities()
                                        << words(u"/lab/security find-identity -v -p codesigning"_s);
    QTest::newRow("pkill TERM children") << commands.pkillChildren(ToolCommands::Signal::Terminate, 4242)
                                         << words(u"/lab/pkill -TERM -P 4242"_s);
    QTest::newRow("pkill KILL children") << commands.pkillChildren(ToolCommands::Signal::Kill, 4242)
                                         << words(u"/lab/pkill -9 -P 4242"_s);
    QTest::newRow("cp") << commands.copyFile(u"/c/tmp/NFX/session.log"_s, u"/run/network.log"_s)
                        << words(u"/lab/cp /c/tmp/NFX/session.log /run/network.log"_s);
}

void TestToolCommands::commandLines()
{
    QFETCH(ToolCommand, command);
    QFETCH(QStringList, expected);
    QCOMPARE(QStringList { command.program } + command.arguments, expected);
}

// Each tool's variable replaces its location; an empty one does not.
void TestToolCommands::toolPathsFromEnvironment()
{
    using testsupport::ScopedEnv;
    const ScopedEnv xcrun("KESTRUNE_XCRUN", "/opt/xcrun"), xcodebuild("KESTRUNE_XCODEBUILD", ""),
        shell("KESTRUNE_SHELL", "/opt/zsh"), pkill("KESTRUNE_PKILL", "/opt/pkill"), cp("KESTRUNE_CP", "/opt/cp"),
        security("KESTRUNE_SECURITY", "/opt/security");
    QCOMPARE(ToolPaths::fromEnvironment(),
        (ToolPaths { .xcrun = u"/opt/xcrun"_s,
            .shell = u"/opt/zsh"_s,
            .pkill = u"/opt/pkill"_s,
            .cp = u"/opt/cp"_s,
            .security = u"/opt/security"_s }));
}

QTEST_GUILESS_MAIN(TestToolCommands)
#include "tst_toolcommands.moc"
