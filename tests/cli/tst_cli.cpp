// kestrune-cli as a user runs it: the built executable, scripts standing in
// for xcrun and the runner, the sample run folder and Netfox log. One table
// of "arguments + stand-ins -> exit status + what was printed", and the cases
// that need a terminal, a signal or a reader that goes away.
#include "clitestsupport.h"
#include "processprobe.h"
#include "scratchfiles.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

// One case: the command line, what must come out and what is planted in
// the case's folder first. Text checks: "text" is printed, "!text" is not,
// "#text" exactly once, "=text" is all of it. File checks: "PATH\tCHECK" as a
// text check on the file, "!PATH" for a file that must not exist. @B is the
// case's folder, @W its workspace, @O the output folder, @R the runner, @S
// the sample run folder, @P its report folder, @D the test data, @F the run
// folder the command printed.
struct Case
{
    QStringList arguments {};
    int exitCode = 0;
    QStringList out {};
    QStringList err {};
    QString plant {}; // see setUp(); by default no xcrun at all and kRunner
    QStringList files {};
};

const QString kDevice = QStringLiteral("00008130-001E39811A12001C");

const char *const kXcrun = R"(case "$1" in
xctrace) printf '== Devices ==\nQA Mac (305F)\niPhone de QA (27.0) (00008130-001E39811A12001C)\nPixel\t (17.0) (BBBB)\n== Simulators ==\niPhone 17 Simulator (27.0) (45D5)\n' ;;
devicectl) [ "$6" = "00008130-001E39811A12001C" ] && printf 'Apps installed:\nShop   com.example.shop.uat   1.0   1\nSettings   com.apple.Preferences   1.0   1\nA   com.example.a   2.0   2\n' ;;
simctl) [ "$2 $3" = "listapps 45D5" ] && printf '{\n    "com.apple.Maps" =     {\n        ApplicationType = System;\n    };\n    "de.example.cafe-finder" =     {\n        ApplicationType = User;\n    };\n}\n' ;;
esac
)";

// Prints what it was given and what it sees; as the hierarchy fetch, a
// small screen.
const char *const kRunner = R"SH(printf 'args:'; printf ' %s' "$@"; echo
case " $* " in *" hierarchy "*)
  printf 'Application  text="Shop"  (0,0 390x844)\n    Window  (0,0 390x844)\n        Other  (0,0 390x844)\n        Button  id=pay  (1,2 3x4)\n'
  exit 0 ;;
esac
echo "env: APP_ENV=$APP_ENV BUNDLE_ID=$BUNDLE_ID MAESTRO_APPLE_TEAM_ID=$MAESTRO_APPLE_TEAM_ID VESK_APPLE_TEAM_ID=$VESK_APPLE_TEAM_ID CI_MARK=${CI_MARK:-} PWD=$PWD"
for a; do flow=$a; done
echo "flow: $(cat "$flow")"
)SH";

// Plants that replace a stand-in by `script`.
const auto xcrun = [](const char *script) -> QString { return QStringLiteral("xcrun:") + QString::fromUtf8(script); };
const auto runner = [](const char *script) -> QString { return QStringLiteral("runner:") + QString::fromUtf8(script); };

// Leave a child of their own running (its pid in @B/child).
const QString kSleepingRunner = runner("sleep 300 &\necho $! > '@B/child'\necho waiting\nwait\n");
const QString kTickingRunner
    = runner("sleep 300 &\necho $! > '@B/child'\necho waiting\nwhile :; do echo tick; sleep 0.1; done\n");
const QString kSlowXcrun = xcrun("sleep 300 &\necho $! > '@B/child'\nwait\n");

QStringList run(const QStringList &changes = {})
{
    QStringList arguments { "run", "--workspace", "@W", "--flow", "flows/login.yaml", "--device", kDevice, "--app",
        "com.example.shop.uat", "--runner", "@R", "--team-id", "TEAM123456", "--output-dir", "@O" };
    // An option the command line has gets the new value; anything else is added.
    const qsizetype given = arguments.size();
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const qsizetype at = arguments.indexOf(changes[i]);
        if (at > 0 && at < given && i + 1 < changes.size())
            arguments[at + 1] = changes[++i];
        else
            arguments << changes[i];
    }
    return arguments;
}

// The first check of `checks` that `text` fails, or nothing.
QString unmet(const QString &text, const QStringList &checks)
{
    for (const QString &check : checks) {
        const QString body = check.mid(1);
        const bool met = check.startsWith(u'!') ? !text.contains(body)
            : check.startsWith(u'#')            ? text.count(body) == 1
            : check.startsWith(u'=')            ? text == body
                                                : text.contains(check);
        if (!met)
            return check;
    }
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void commands_data();
    void commands();
    void help_data();
    void help();
    void onATerminal_data();
    void onATerminal();
    void stops_data();
    void stops();

private:
    QString expand(QString text, const QString &runFolder = QString()) const;
    QStringList expand(QStringList texts, const QString &runFolder = QString()) const;
    void setUp(const QString &plant, QProcessEnvironment &env);

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QString m_base;
    int m_case = 0;
};

void TestCli::initTestCase()
{
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("KESTRUNE_SETTINGS_FILE"), m_dir.filePath(QStringLiteral("settings.ini")));
    // Netfox dates show in local time: a zone seven hours ahead.
    m_env.insert(QStringLiteral("TZ"), QStringLiteral("UTC-7"));
    m_env.remove(QStringLiteral("QT_LOGGING_RULES"));
}

void TestCli::init()
{
    m_base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    QVERIFY(writeFile(m_base + QStringLiteral("/workspace/flows/login.yaml"), "appId: x\n"));
    QVERIFY(writeFile(m_base + QStringLiteral("/workspace/.env.uat"), "USER = \"qa\"\nPASS: secret\n"));
}

QString TestCli::expand(QString text, const QString &runFolder) const
{
    const QString sample = m_base + QStringLiteral("/runs/SIT_20261206_093640");
    return text.replace(QStringLiteral("@F"), runFolder)
        .replace(QStringLiteral("@W"), m_base + QStringLiteral("/workspace"))
        .replace(QStringLiteral("@O"), m_base + QStringLiteral("/out"))
        .replace(QStringLiteral("@R"), m_base + QStringLiteral("/bin/runner"))
        .replace(QStringLiteral("@P"), sample + QStringLiteral("/2026-12-06_09-36-40"))
        .replace(QStringLiteral("@S"), sample)
        .replace(QStringLiteral("@D"), QStringLiteral(KESTRUNE_TEST_DATA_DIR))
        .replace(QStringLiteral("@B"), m_base);
}

QStringList TestCli::expand(QStringList texts, const QString &runFolder) const
{
    for (QString &text : texts)
        text = expand(text, runFolder);
    return texts;
}

// A plant: a stand-in's script (xcrun(), runner()) or a name of what to set up.
void TestCli::setUp(const QString &what, QProcessEnvironment &env)
{
    env = m_env;
    env.insert(QStringLiteral("KESTRUNE_XCRUN"), m_base + QStringLiteral("/bin/xcrun"));
    QVERIFY(writeFile(expand(QStringLiteral("@R")), "#!/bin/sh\n" + expand(QString::fromUtf8(kRunner)).toUtf8(), true));
    const QString workspace = expand(QStringLiteral("@W"));
    if (what.isEmpty()) {
        return;
    } else if (what.startsWith(u"xcrun:") || what.startsWith(u"runner:")) {
        const QString path = what.startsWith(u'x') ? env.value(QStringLiteral("KESTRUNE_XCRUN")) : expand(QStringLiteral("@R"));
        QVERIFY(writeFile(path, "#!/bin/sh\n" + expand(what.mid(what.indexOf(u':') + 1)).toUtf8(), true));
    } else if (what == u"links") {
        QVERIFY(writeFile(m_base + QStringLiteral("/outside.yaml"), "appId: x\n"));
        QVERIFY(QFile::link(m_base + QStringLiteral("/outside.yaml"), workspace + QStringLiteral("/flows/linked.yaml")));
        QVERIFY(QFile::link(workspace + QStringLiteral("/flows"), workspace + QStringLiteral("/linked")));
        QVERIFY(writeFile(workspace + QStringLiteral("/node_modules/pkg/flow.yaml"), "appId: x\n"));
    } else if (what == u"workspace link") {
        QVERIFY(QFile::link(workspace, m_base + QStringLiteral("/workspace-link")));
    } else if (what == u"output is a file") {
        QVERIFY(writeFile(expand(QStringLiteral("@O")), ""));
    } else if (what == u"huge variable") {
        // One value over the kernel's 128 KiB limit for a single string.
        QVERIFY(writeFile(workspace + QStringLiteral("/.env.big"), "BIG=" + QByteArray(200 * 1024, 'x') + '\n'));
    } else if (what == u"terminal exports") {
        env.insert(QStringLiteral("CI_MARK"), QStringLiteral("from the terminal"));
        env.insert(QStringLiteral("APP_ENV"), QStringLiteral("PROD"));
        env.insert(QStringLiteral("BUNDLE_ID"), QStringLiteral("com.example.wrong"));
    } else if (what == u"control log") {
        QVERIFY(writeFile(m_base + QStringLiteral("/controls.log"),
            "-------START REQUEST -  https://api.example.com/a -------\n[Request Method] GET\n"
            "[Request Date] 2026-12-06 08:36:44 +0000\n[Request Body]\n {}\n-------END REQUEST - x -------\n"
            "-------START RESPONSE -  https://api.example.com/a -------\n[Response Status] 200\n[Response Body]\n"
            " \x1B[31mred\x07 \xC2\x9D"
            "0;title\x07 hidden\rshown\x7F \xC3\xA9\tend\n"
            "-------END RESPONSE\n"));
    } else if (what.startsWith(u"coverage") || what.startsWith(u"node_modules")) {
        // A project that is no run folder, with another tool's report files.
        QVERIFY(writeFile(m_base + QStringLiteral("/project/coverage/report.html"), "<html>coverage</html>\n"));
        if (what.startsWith(u"coverage"))
            QVERIFY(writeFile(m_base + QStringLiteral("/project/coverage/report.json"), "{\"total\":{\"lines\":{\"pct\":81}}}"));
        else
            QVERIFY(testsupport::copyTree(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/reports/runs/SIT_20261206_093640"),
                m_base + QStringLiteral("/project/node_modules/pkg/SIT_20261206_093640")));
    } else {
        QVERIFY(testsupport::copyTree(
            QStringLiteral(KESTRUNE_TEST_DATA_DIR "/reports/runs/SIT_20261206_093640"), expand(QStringLiteral("@S"))));
        if (what == u"reported")
            QCOMPARE(runCli({ QStringLiteral("report"), expand(QStringLiteral("@S")) }, env).exitCode, 0);
        if (what == u"unpatchable page")
            QVERIFY(writeFile(expand(QStringLiteral("@P/report.html")), "caf\xe9"));
        if (what.startsWith(u"history")) {
            QVERIFY(QDir().mkpath(m_base + QStringLiteral("/runs/UAT_20261205_080000/sandbox")));
            QVERIFY(QDir().mkpath(m_base + QStringLiteral("/runs/notes")));
        }
        if (what == u"history with controls") {
            const QString json = expand(QStringLiteral("@P/report.json"));
            QVERIFY(writeFile(json,
                readFile(json).replace("Checkout \\u003csmoke\\u003e \\u0026 pay", "Checkout \\u001b]0;pwned\\u0007\\nNext")));
        }
    }
}

void TestCli::commands_data()
{
    QTest::addColumn<Case>("c");
    auto add = [](const QString &name, const Case &c) { QTest::newRow(qPrintable(name)) << c; };
    const QString log = QStringLiteral("@D/netfox/session.log");

    add("no command", { {}, 2, { "=" }, { "Usage: kestrune-cli " } });
    add("--version", { { "--version" }, 0, { "kestrune-cli " }, { "=" } });
    add("unknown command", { { "launch" }, 2, { "=" }, { "unknown command \"launch\"" } });
    for (const char *line : { "apps", "apps a b", "devices --xml", "devices extra", "hierarchy", "history --all", "report",
             "report /nonexistent/run", "report . --since yesterday", "report . --since", "report . --fast", "report . ..",
             "netfox", "netfox LOG --format xml", "netfox LOG --format", "netfox LOG --since yesterday", "netfox LOG LOG",
             "netfox LOG --verbose" }) {
        const QStringList arguments = QString::fromLatin1(line).replace(QStringLiteral("LOG"), log).split(u' ');
        add(QStringLiteral("usage error: %1").arg(QLatin1String(line)),
            { arguments, 2, { "=" }, { "kestrune-cli " + arguments[0] } });
    }
    add("netfox of a missing log",
        { { "netfox", "/nonexistent/session.log" }, 1, { "=" }, { "cannot read /nonexistent/session.log" } });

    // CI tells "no device attached" (0, an empty list) from "xcrun is broken"
    // (3, the tool's own error on standard error).
    add("devices: phones, then simulators, no Macs",
        { { "devices" }, 0,
            { "=00008130-001E39811A12001C\tiPhone de QA\tdevice\nBBBB\tPixel\tdevice\n45D5\tiPhone 17 Simulator\tsimulator\n" },
            { "=" }, xcrun(kXcrun) });
    add("devices as JSON",
        { { "devices", "--json" }, 0,
            { "\"id\": \"00008130-001E39811A12001C\"", "\"name\": \"iPhone de QA\"", "#\"isSimulator\": true" }, {},
            xcrun(kXcrun) });
    add("apps of a phone, sorted, without Apple's",
        { { "apps", kDevice }, 0, { "=com.example.a\ncom.example.shop.uat\n" }, {}, xcrun(kXcrun) });
    add("apps of a simulator, from simctl", { { "apps", "45D5" }, 0, { "=de.example.cafe-finder\n" }, {}, xcrun(kXcrun) });
    add("devices, xcrun fails",
        { { "devices" }, 3, { "=" }, { "kestrune-cli devices", "unable to find utility" },
            xcrun("echo 'xcrun: error: unable to find utility \"xctrace\"' >&2; exit 72\n") });
    add("devices, no xcrun", { { "devices" }, 3, { "=" }, { "kestrune-cli devices", "could not start" } });
    add("devices, none attached",
        { { "devices" }, 0, { "=" }, { "=" }, xcrun("printf '== Devices ==\\n== Simulators ==\\n'\n") });
    add("apps, device unknown to devicectl",
        { { "apps", "unknown" }, 3, { "=" }, { "kestrune-cli apps", "device was not found" },
            xcrun("echo 'ERROR: The specified device was not found.' >&2; exit 1\n") });
    add("apps, none installed", { { "apps", kDevice }, 0, { "=" }, { "=" }, xcrun("exit 0\n") });

    // Runs that must not start the runner ("args:" is its first line).
    add("run: flow file missing",
        { run({ "--flow", "flows/gone.yaml" }), 2, { "Please refresh workspace.", "!Run folder: ", "!args:" } });
    add("run: runner missing",
        { run({ "--runner", "/no/runner" }), 2, { "ERROR: maestro-runner binary not found at /no/runner!", "Run folder: " } });
    add("run: output folder is a file",
        { run(), 2, { "Sandbox creation failed: ", "!Run folder: ", "!args:" }, {}, "output is a file" });
    add("run: runner cannot be launched (a value over the kernel's limit)",
        { run({ "--env", ".env.big" }), 2, { "Error starting process: ", "Run folder: ", "!args:" }, {}, "huge variable" });
    // A mistyped --env must not run the flow without its variables.
    add("run: --env file missing", { run({ "--env", ".env.uta" }), 2, { "!Run folder: ", "!args:" }, { ".env.uta" } });
    // Refused before anything is copied: no run folder at all.
    const std::pair<const char *, const char *> refused[] = { { "@W/flows/login.yaml", "must be relative" },
        { "flows/../../outside.yaml", "leaves the workspace" }, { "flows/linked.yaml", "symbolic link" },
        { "linked/login.yaml", "symbolic link" }, { "node_modules/pkg/flow.yaml", "leave out" } };
    for (const auto &[flow, reason] : refused)
        add(QStringLiteral("run: flow %1 refused").arg(QLatin1String(flow)),
            { run({ "--flow", flow }), 2, { "!args:" }, { reason }, "links", { "!@O" } });

    add("run: settings, variables and the terminal's environment reach the runner",
        { run({ "--env", ".env.uat", "--var", "PASS=from the command line", "--var", "EXTRA=a=b" }), 0,
            { "Run folder: @O/UAT_", "--team-id TEAM123456", "--device 00008130-001E39811A12001C",
                "-e BUNDLE_ID=com.example.shop.uat -e USER=qa -e PASS=from the command line -e EXTRA=a=b ",
                "--output @F @F/sandbox/flows/login.yaml\n", "flow: appId: x",
                "env: APP_ENV=UAT BUNDLE_ID=com.example.shop.uat MAESTRO_APPLE_TEAM_ID=TEAM123456 "
                "VESK_APPLE_TEAM_ID=TEAM123456 CI_MARK=from the terminal PWD=@F\n" },
            {}, "terminal exports" });
    // ~/flows pointing at another disk is the folder it points at.
    add("run: workspace named through a symbolic link",
        { run({ "--workspace", "@B/workspace-link/" }), 0, { "flow: appId: x", "!Skipped symbolic link" }, {},
            "workspace link" });
    // Relative to the folder the command was given in, not the run folder.
    add("run: relative --runner", { run({ "--runner", "bin/runner" }), 0, { "args:" } });
    // No device tool: the log copy fails, the stand-in writes no report; the
    // console says both and the command still ends after the report step.
    add("run: failing runner without a device tool or a report",
        { run(), 3,
            { "Starting Maestro Test in Sandbox...", "Target Flow: flows/login.yaml", "last line without a line feed\n",
                "#Test Failed or Terminated (Exit code: 3)", "Network log (NFX) not found or failed to pull.",
                "Generating HTML Report...", "Report not generated: no report.html or report.json in " },
            {}, runner("printf 'last line without a line feed'\nexit 3\n") });
    add("run --no-time", { run({ "--no-time" }), 0, { "\nargs: --platform" } });
    add("run: runner exits 11", { run(), 11, {}, {}, runner("exit 11\n") });
    // The shell's way: a runner killed by SIGSEGV is not "exit 11".
    add("run: runner killed by SIGSEGV", { run(), 128 + SIGSEGV, {}, {}, runner("kill -SEGV $$\n") });
    add("run: runner killed by SIGKILL", { run(), 128 + SIGKILL, {}, {}, runner("kill -KILL $$\n") });
    add("hierarchy of the current screen",
        { { "hierarchy", "--device", "D1", "--runner", "@R", "--team-id", "T1", "--no-time" }, 0,
            { "Fetching UI Hierarchy...\n", "--team-id T1 --device D1 hierarchy", "\n    Button  id=pay  (1,2 3x4)\n",
                "UI Hierarchy Fetched Successfully!\n" } });

    const QString once = QStringLiteral("@P/allure-results/flow-000-result.json\t#\"source\"");
    add("report on a run folder",
        { { "report", "@S" }, 0, { "=Report page: @P/report-custom.html\n" }, {}, "sample run",
            { "@P/report.html\tnetfox-network-log-container", "@P/report-custom.html\t<h1>Kestrune</h1>", once } });
    add("report on a folder already reported",
        { { "report", "@S" }, 0, { "Report page: " }, {}, "reported", { "@P/report.html\t#function addNetfoxPanel()", once } });
    add("report --since drops earlier exchanges",
        { { "report", "@S", "--since", "2026-12-06T09:40:00+01:00" }, 0, {}, {}, "sample run",
            { "@P/report.html\t!netfox-network-log-container", "@P/report-custom.html\tconst apiData = {};" } });
    add("report on an empty folder", { { "report", "@W" }, 2, {}, { "not a run folder" } });
    // Another tool's report files are not ours to edit.
    for (const char *project : { "coverage report.json", "node_modules holding a run" })
        add(QStringLiteral("report on a project with a %1").arg(QLatin1String(project)),
            { { "report", "@B/project" }, 2, {}, { "not a run folder" }, project,
                { "@B/project/coverage/report.html\t=<html>coverage</html>\n", "!@B/project/coverage/report-custom.html" } });
    add("report on a page that cannot be patched",
        { { "report", "@S" }, 1, {}, { "report not generated: " }, "unpatchable page" });

    add("history as text",
        { { "history", "--dir", "@B/runs" }, 0,
            { "=SIT\t20261206_093640\tfailed\tCheckout <smoke> & pay\t14s\tiPhone de QA\t4/8\t@P/report.html\n"
              "UAT\t20261205_080000\tunknown\tUnknown Flow\t-\t-\t-\t-\n" },
            {}, "history" });
    add("history as JSON",
        { { "history", "--dir", "@B/runs", "--json" }, 0,
            { "\"environment\": \"SIT\"", "\"flow\": \"Checkout <smoke> & pay\"", "\"durationSeconds\": 14",
                "\"passedCommands\": 4", "\"totalCommands\": 8", "\"page\": \"@P/report.html\"", "\"status\": \"unknown\"",
                "#\"page\"" },
            {}, "history" });
    add("history of an empty folder", { { "history", "--dir", "@W/flows" }, 0, { "=No test history found.\n" } });

    add("netfox as text, in local time",
        { { "netfox", log }, 0,
            { "\n[Request Date] 2026-12-06 15:36:43\n",
                "\n\n--------------------------------------------------\n[Request Date] 2026-12-06 15:36:44\n",
                "[Request Body]\nNone\n", "\"name\" : \"D\u00e9vi \u00d1o\u00f1o \U0001F680\"",
                "[Response Body]\nNo Response Body\n" } });
    add("netfox as JSON",
        { { "netfox", log, "--format", "json" }, 0,
            { "\"time\": \"2026-12-06T08:36:44.000+00:00\"", "\"reqBody\": \"\",", "\"reqMethod\": \"PUT\"",
                "\"resStatus\": \"TIMEOUT\"" } });
    add("netfox as HAR", { { "netfox", log, "--format=har" }, 0, { "\"creator\": {", "\"name\": \"Kestrune\"" } });
    add("netfox as curl",
        { { "netfox", log, "--format=curl" }, 0,
            { "curl -X POST -H 'Content-Type: application/json' ", " --url https://api.example.com/v2/orders\n" } });
    add("netfox since the second request",
        { { "netfox", log, "--since", "2026-12-06T08:36:44Z" }, 0, { "!15:36:43", "15:36:44", "15:36:47" } });
    add("netfox since, with offset and milliseconds",
        { { "netfox", log, "--since=2026-12-06T15:36:44.001+07:00" }, 0, { "!15:36:44", "15:36:47" } });
    add("netfox since after all", { { "netfox", log, "--since", "2026-12-07T00:00:00Z" }, 0, { "=" } });
}

void TestCli::commands()
{
    QFETCH(Case, c);
    QProcessEnvironment env;
    setUp(c.plant, env);
    const CliResult result = runCli(expand(c.arguments), env, 60'000, m_base);
    const QString printed = QStringLiteral("exit %1\n%2\n%3").arg(result.exitCode).arg(result.out, result.err);
    QVERIFY2(result.exitCode == c.exitCode, qPrintable(printed));

    // "Run folder:" only for a folder that exists; none made otherwise.
    static const QRegularExpression runFolderLine(QStringLiteral("Run folder: (.*)$"), QRegularExpression::MultilineOption);
    const QString runFolder = runFolderLine.match(result.out).captured(1);
    if (!runFolder.isEmpty())
        QVERIFY2(QFileInfo(runFolder).isDir(), qPrintable(runFolder));
    else if (c.arguments.value(0) == u"run")
        QVERIFY2(!QFileInfo(expand(QStringLiteral("@O"))).isDir() || QDir(expand(QStringLiteral("@O"))).isEmpty(),
            qPrintable(printed));

    const QString outMiss = unmet(result.out, expand(c.out, runFolder));
    QVERIFY2(outMiss.isEmpty(), qPrintable(QStringLiteral("stdout: ") + outMiss + u'\n' + printed));
    const QString errMiss = unmet(result.err, expand(c.err, runFolder));
    QVERIFY2(errMiss.isEmpty(), qPrintable(QStringLiteral("stderr: ") + errMiss + u'\n' + printed));
    for (const QString &check : expand(c.files, runFolder)) {
        QVERIFY2(check.startsWith(u'!')
                ? !QFileInfo::exists(check.mid(1))
                : unmet(QString::fromUtf8(readFile(check.section(u'\t', 0, 0))), { check.section(u'\t', 1) }).isEmpty(),
            qPrintable(check));
    }
}

// Every command answers --help (and `help COMMAND`) on standard output with
// its usage, and documents every option its usage line names; the bash
// completion offers exactly those options.
void TestCli::help_data()
{
    QTest::addColumn<QString>("command");
    const CliResult overview = runCli({ QStringLiteral("--help") });
    QVERIFY(overview.exitCode == 0);
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "), QRegularExpression::MultilineOption);
    for (auto it = commandLine.globalMatch(overview.out); it.hasNext();) {
        const QString name = it.next().captured(1);
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestCli::help()
{
    QFETCH(QString, command);
    const CliResult help = runCli({ command, QStringLiteral("--help") }, m_env);
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith(QStringLiteral("Usage: kestrune-cli ") + command + u' '));
    QCOMPARE(runCli({ QStringLiteral("help"), command }, m_env).out, help.out);
    const QString usage = help.out.section(u'\n', 0, 0);
    static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
    QStringList options { QStringLiteral("--help") };
    for (auto it = option.globalMatch(usage); it.hasNext();) {
        const QString name = it.next().captured();
        QVERIFY2(help.out.contains(QStringLiteral("\n  ") + name + u' '), qPrintable(command + u' ' + name));
        options << name;
    }
    QVERIFY(help.out.contains(QStringLiteral("Examples:")));

    QProcess bash;
    bash.start(QStringLiteral("bash"),
        { QStringLiteral("-c"),
            QStringLiteral("source \"$0\"; COMP_WORDS=(kestrune-cli \"$1\" --); COMP_CWORD=2; _kestrune_cli; "
                           "printf '%s\\n' \"${COMPREPLY[@]}\""),
            QStringLiteral(KESTRUNE_SOURCE_DIR "/packaging/completions/kestrune-cli.bash"), command });
    QVERIFY(bash.waitForFinished(10'000));
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    options.removeDuplicates();
    options.sort();
    offered.sort();
    QCOMPARE(offered, options);
}

// Text from outside (the runner's lines, the app's traffic, a flow's name)
// shows its control characters in caret notation on a terminal, never obeys
// them, and goes to a pipe as it came.
void TestCli::onATerminal_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("terminal");
    QTest::addColumn<QByteArray>("pipe");
    QTest::newRow("runner: title, clipboard, screen clear, cursor query, C1 CSI")
        << runner("printf 'msg \\033]0;owned\\007 \\033]52;c;eA==\\007 \\033[2J \\033[6n \\302\\23331m\\n'\n")
        << run({ "--no-time" }) << QByteArray("\nmsg ^[]0;owned^G ^[]52;c;eA==^G ^[[2J ^[[6n ^[[31m\n")
        << QByteArray("\nmsg \x1b]0;owned\x07 \x1b]52;c;eA==\x07 \x1b[2J \x1b[6n \xc2\x9b"
                      "31m\n");
    QTest::newRow("netfox body: colour, bell, C1 title, carriage return, DEL")
        << QStringLiteral("control log") << QStringList { "netfox", "@B/controls.log" }
        << QByteArray("[Response Body]\n^[[31mred^G ^[]0;title^G hidden^Mshown^? \xc3\xa9\tend\n")
        << QByteArray("[Response Body]\n\x1B[31mred\x07 \xC2\x9D"
                      "0;title\x07 hidden\rshown\x7F \xC3\xA9\tend\n");
    // A line break in a name never starts a new row, terminal or not.
    QTest::newRow("history: flow name with a title sequence and a line break")
        << QStringLiteral("history with controls") << QStringList { "history", "--dir", "@B/runs" }
        << QByteArray("\tCheckout ^[]0;pwned^G^JNext\t") << QByteArray("\tCheckout \x1b]0;pwned\x07^JNext\t");
}

void TestCli::onATerminal()
{
    QFETCH(QString, plant);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, terminal);
    QFETCH(QByteArray, pipe);
    QProcessEnvironment env;
    setUp(plant, env);
    arguments = expand(arguments);
    const QByteArray piped = runCli(arguments, env, 60'000, m_base).out.toUtf8();
    QVERIFY2(piped.contains(pipe), piped.constData());
    const std::optional<QByteArray> shown = runOnTerminal(arguments, env, m_base);
    if (!shown)
        QSKIP("no pseudo-terminal here");
    QVERIFY2(shown->contains(terminal), shown->constData());
    QVERIFY2(!shown->contains('\x1b'), shown->constData());
}

// A stopped command ends what it started (the stand-in's own child too) and
// exits the shell's way, never as a success.
void TestCli::stops_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<int>("stopSignal"); // 0: the reader of standard output goes away
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");
    QTest::newRow("SIGTERM while the runner runs")
        << kSleepingRunner << int(SIGTERM) << 128 + SIGTERM
        << QStringList { "STOPPING TEST...", "#Test Failed or Terminated (Exit code: " } << QStringList {};
    QTest::newRow("Ctrl-C while xcrun is slow to list the devices")
        << kSlowXcrun << int(SIGINT) << 128 + SIGINT << QStringList { "!args:" }
        << QStringList { "waiting for xcrun to list the devices" };
    // `kestrune-cli run … | grep -m1 …`: the next write stops the run as
    // Ctrl-C does, instead of SIGPIPE killing the command (141) and leaving
    // the runner's children behind.
    QTest::newRow("standard output closed by its reader")
        << kTickingRunner << 0 << 128 + SIGTERM << QStringList {} << QStringList {};
}

void TestCli::stops()
{
    QFETCH(QString, plant);
    QFETCH(int, stopSignal);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);
    QProcessEnvironment env;
    setUp(plant, env);
    QStringList arguments = expand(run());
    const QString childFile = m_base + QStringLiteral("/child");
    qint64 child = 0;
    auto reap = qScopeGuard([&] {
        if (processprobe::isAlive(child))
            ::kill(pid_t(child), SIGKILL);
    });
    QProcess cli;
    cli.setProcessEnvironment(env);
    // Through a pipe, the command's status comes out on standard error after grep has gone.
    if (stopSignal == 0)
        arguments = QStringList { "-c", "{ \"$0\" \"$@\"; echo \"status $?\" >&2; } | grep -m1 waiting", cliPath() } + arguments;
    cli.start(stopSignal == 0 ? QStringLiteral("sh") : cliPath(), arguments);
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT((child = readFile(childFile).trimmed().toLongLong()) > 0, 30'000);
    QString printed;
    QString errors;
    if (stopSignal != 0) {
        // Once the command has said what it waits for.
        const QString waitFor = err.isEmpty() ? QStringLiteral("waiting") : err.first();
        QTRY_VERIFY_WITH_TIMEOUT(
            (printed += QString::fromUtf8(cli.readAllStandardOutput()), errors += QString::fromUtf8(cli.readAllStandardError()),
                QString(printed + errors).contains(waitFor)),
            30'000);
        ::kill(pid_t(cli.processId()), stopSignal);
    }
    QVERIFY(cli.waitForFinished(30'000));
    printed += QString::fromUtf8(cli.readAllStandardOutput());
    errors += QString::fromUtf8(cli.readAllStandardError());
    const int status = stopSignal == 0 ? errors.section(QStringLiteral("status "), 1).trimmed().toInt() : cli.exitCode();
    QVERIFY2(status == exitCode, qPrintable(QStringLiteral("exit %1\n").arg(status) + printed + errors));
    QVERIFY2(unmet(printed, out).isEmpty(), qPrintable(printed));
    QVERIFY2(unmet(errors, err).isEmpty(), qPrintable(errors));
    QTRY_VERIFY_WITH_TIMEOUT(!processprobe::isAlive(child), 10'000);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
