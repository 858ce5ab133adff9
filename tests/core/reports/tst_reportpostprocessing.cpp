// Post-processing of the runner's report.html and Allure results: file
// search, screenshot linking, branding, the network-log panel, atomic and
// change-only writes, and the whole hand-off on a sample run folder.
#include "reporttestsupport.h"

#include "reports/allureattacher.h"
#include "reports/embeddedreportdata.h"
#include "reports/networklogpanel.h"
#include "reports/reportbranding.h"
#include "reports/reportgenerator.h"
#include "reports/reportresources.h"
#include "reports/screenshotlinker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ReportTestSupport;

namespace {

const QByteArray kOneExchangeLog = "-------START REQUEST -  https://api.example.com/v2/cart -------\n"
                                   "[Request Method] GET\n"
                                   "[Request Date] 2026-12-06 08:36:44 +0000\n"
                                   "[Request Headers]\n[:]\n"
                                   "[Request Body]\n {\"q\":\"</script><script>alert(1)</script>\"}\n"
                                   "-------END REQUEST - https://api.example.com/v2/cart -------\n";

QString pageWithData(const QString &json)
{
    return QStringLiteral("<html><body>\n<script>\n        let reportData = ") + json
        + QStringLiteral(";\n</script>\n</body></html>\n");
}

void collectScreenshotAfter(const std::vector<EmbeddedCommand> &commands, QStringList &out)
{
    for (const EmbeddedCommand &command : commands) {
        if (command.artifacts) {
            for (const EmbeddedArtifact &artifact : *command.artifacts) {
                if (artifact.key == QLatin1String("screenshotAfter"))
                    out.append(command.id.value_or(QStringLiteral("?")) + QLatin1Char('=') + artifact.value.toString());
            }
        }
        if (command.subCommands)
            collectScreenshotAfter(*command.subCommands, out);
    }
}

QJsonObject readJsonObject(const QString &path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

} // namespace

class TestReportPostProcessing final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useUtc();
        // The suite checks the report log lines, which the test setup silences.
        qputenv("QT_LOGGING_RULES", "io.kestrune.*=false;io.kestrune.Kestrune.Report.info=true");
    }

private Q_SLOTS:
    void initTestCase();
    void logLines();
    void findSkipsSandbox_data();
    void findSkipsSandbox();
    void findSkipsNamedPipes();
    void screenshotLinking_data();
    void screenshotLinking();
    void screenshotFolderStaysInsideTheReport_data();
    void screenshotFolderStaysInsideTheReport();
    void screenshotPrefix_data();
    void screenshotPrefix();
    void branding();
    void brandingLeavesOtherTextAlone();
    void undecodableEmbeddedDataStillBranded_data();
    void undecodableEmbeddedDataStillBranded();
    void panelPlacement_data();
    void panelPlacement();
    void panelNeedsExchanges();
    void unchangedPageKeepsModificationTime();
    void crlfPageIsNormalisedWhenPatched();
    void unreadablePageIsAnError();
    void linkedPageIsNotWrittenThrough();
    void allureAttachments_data();
    void allureAttachments();
    void allureWithoutResultsKeepsAttachment();
    void allureLinkedResultIsNotWrittenThrough();
    void allureResultThatIsAPipe();
    void handOffOnSampleRun();
    void handOffTwiceEqualsOnce();
    void handOffOutcome_data();
    void handOffOutcome();
    void linkedLogIsAbsent_data();
    void linkedLogIsAbsent();
    void fullDiskKeepsOriginal_data();
    void fullDiskKeepsOriginal();
    void handOffWithPipeForLog();
};

void TestReportPostProcessing::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("io.kestrune.Kestrune.Report.info=true"));
}

void TestReportPostProcessing::logLines()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    QTest::ignoreMessage(QtInfoMsg, "Patched cmd-003 with cmd-003-cart-again.png");
    QTest::ignoreMessage(QtInfoMsg, "Successfully processed and patched report.html (Screenshots, UI, Netfox Log)");
    QTest::ignoreMessage(
        QtInfoMsg, qPrintable(QStringLiteral("Generated dynamic report at: ") + report + QStringLiteral("/report-custom.html")));
    QTest::ignoreMessage(QtInfoMsg,
        QRegularExpression(QStringLiteral("^Attached netfox log to 1 Allure result\\(s\\) as [0-9a-f-]{36}-attachment\\.txt$")));
    ReportGenerator().generate(run, std::nullopt);

    // Failures are logged and the later steps still run.
    QVERIFY(writeAll(report + QStringLiteral("/report.json"), "{\"flows\":3}"));
    QVERIFY(writeAll(report + QStringLiteral("/report.html"), "caf\xe9"));
    QTest::ignoreMessage(
        QtInfoMsg, QRegularExpression(QStringLiteral("^Warning: Failed to patch report.html: .*not valid UTF-8$")));
    QTest::ignoreMessage(QtInfoMsg,
        QRegularExpression(QStringLiteral("^Warning: Failed to generate custom report: Expected Array at \"flows\"$")));
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^Attached netfox log to 1 Allure result")));
    ReportGenerator().generate(run, std::nullopt);
}

void TestReportPostProcessing::findSkipsSandbox_data()
{
    QTest::addColumn<QStringList>("files"); // relative paths created under the run folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("expected"); // relative path, "-" for none

    QTest::newRow("sandbox sorts first, report beside it")
        << QStringList { "a/sandbox/report.html", "b/report.html" } << "report.html" << false << "b/report.html";
    QTest::newRow("only inside sandbox") << QStringList { "sandbox/deep/report.json" } << "report.json" << false << "-";
    QTest::newRow("depth first") << QStringList { "a/x/report.json", "b/report.json" } << "report.json" << false
                                 << "a/x/report.json";
    QTest::newRow("a folder with the file's name is not a file")
        << QStringList { "a/report.html/keep", "b/report.html" } << "report.html" << false << "b/report.html";
    QTest::newRow("directory outside sandbox")
        << QStringList { "sandbox/allure-results/x", "r/allure-results/y" } << "allure-results" << true << "r/allure-results";
    QTest::newRow("sandbox itself is never found") << QStringList { "sandbox/x" } << "sandbox" << true << "-";
    QTest::newRow("node_modules is never entered")
        << QStringList { "node_modules/cov/report.json", "r/report.json" } << "report.json" << false << "r/report.json";
    QTest::newRow(".git is never entered") << QStringList { ".git/x/report.html" } << "report.html" << false << "-";
    QTest::newRow("no results folder under Pods") << QStringList { "Pods/allure-results/x" } << "allure-results" << true << "-";
    QTest::newRow("exact name only") << QStringList { "r/Report.html", "r/report.html.bak" } << "report.html" << false << "-";
}

void TestReportPostProcessing::findSkipsSandbox()
{
    QFETCH(QStringList, files);
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &file : files)
        QVERIFY(writeAll(dir.filePath(file), "x"));
    const auto found = directory ? ReportGenerator::findDirectory(name, dir.path()) : ReportGenerator::findFile(name, dir.path());
    QCOMPARE(found ? QDir(dir.path()).relativeFilePath(*found) : QStringLiteral("-"), expected);
}

void TestReportPostProcessing::findSkipsNamedPipes()
{
    // A named pipe called report.html or report.json (an unpacked archive can
    // hold one) is not the runner's file: reading it would wait for ever.
    QTemporaryDir dir;
    for (const char *name : { "a/report.html", "a/report.json" }) {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a"))));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QLatin1String(name))).constData(), 0600), 0);
    }
    QVERIFY(writeAll(dir.filePath(QStringLiteral("b/report.json")), "{}"));
    const auto html = ReportGenerator::findFile(QStringLiteral("report.html"), dir.path());
    QCOMPARE(html ? QDir(dir.path()).relativeFilePath(*html) : QStringLiteral("-"), QStringLiteral("-"));
    const auto json = ReportGenerator::findFile(QStringLiteral("report.json"), dir.path());
    QCOMPARE(json ? QDir(dir.path()).relativeFilePath(*json) : QStringLiteral("-"), QStringLiteral("b/report.json"));
}

void TestReportPostProcessing::screenshotLinking_data()
{
    QTest::addColumn<QString>("commands"); // the flow's commands as JSON
    QTest::addColumn<QStringList>("files"); // under assets/flow-000
    QTest::addColumn<QStringList>("expected"); // id=screenshotAfter after patching, every depth

    QTest::newRow("index 4 without artifacts")
        << R"([{"id":"cmd-004","index":4,"type":"takeScreenshot"}])" << QStringList { "cmd-004-shot.png" }
        << QStringList { "cmd-004=assets/flow-000/cmd-004-shot.png" };
    QTest::newRow("index 7 is zero-filled") << R"([{"id":"c","index":7,"type":"takeScreenshot","artifacts":{}}])"
                                            << QStringList { "cmd-07-a.png", "cmd-007-b.png" }
                                            << QStringList { "c=assets/flow-000/cmd-007-b.png" };
    QTest::newRow("four digits kept") << R"([{"id":"c","index":1234,"type":"takeScreenshot"}])"
                                      << QStringList { "cmd-234-a.png", "cmd-1234-a.png" }
                                      << QStringList { "c=assets/flow-000/cmd-1234-a.png" };
    QTest::newRow("file used by a sub-command is not reused")
        << R"([{"id":"r","index":1,"type":"runFlow","subCommands":[{"id":"s","artifacts":{"screenshotBefore":"assets/flow-000/cmd-002-a.png"}}]},)"
           R"({"id":"c","index":2,"type":"takeScreenshot"}])"
        << QStringList { "cmd-002-a.png", "cmd-002-b.png" } << QStringList { "c=assets/flow-000/cmd-002-b.png" };
    QTest::newRow("same index takes the next free file")
        << R"([{"id":"a","index":5,"type":"takeScreenshot"},{"id":"b","index":5,"type":"takeScreenshot"},{"id":"c","index":5,"type":"takeScreenshot"}])"
        << QStringList { "cmd-005-1.png", "cmd-005-2.png" }
        << QStringList { "a=assets/flow-000/cmd-005-1.png", "b=assets/flow-000/cmd-005-2.png" };
    QTest::newRow("existing screenshotAfter kept, its file stays free")
        << R"([{"id":"a","index":3,"type":"takeScreenshot","artifacts":{"screenshotAfter":"elsewhere.jpg"}},{"id":"b","index":3,"type":"takeScreenshot"}])"
        << QStringList { "cmd-003-x.png" } << QStringList { "a=elsewhere.jpg", "b=assets/flow-000/cmd-003-x.png" };
    QTest::newRow("direct sub-command linked")
        << R"([{"id":"r","index":0,"type":"runFlow","subCommands":[{"id":"s","index":2,"type":"takeScreenshot"}]}])"
        << QStringList { "cmd-002-x.png" } << QStringList { "s=assets/flow-000/cmd-002-x.png" };
    QTest::newRow("two levels deep not linked")
        << R"([{"id":"r","index":0,"type":"runFlow","subCommands":[{"id":"s","type":"repeat","subCommands":[{"id":"d","index":2,"type":"takeScreenshot"}]}]}])"
        << QStringList { "cmd-002-x.png" } << QStringList {};
    QTest::newRow("other command types not linked")
        << R"([{"id":"a","index":2,"type":"tapOn"}])" << QStringList { "cmd-002-x.png" } << QStringList {};
    QTest::newRow("no index not linked") << R"([{"id":"a","type":"takeScreenshot"}])" << QStringList { "cmd-000-x.png" }
                                         << QStringList {};
    QTest::newRow("extension is case-sensitive") << R"([{"id":"a","index":2,"type":"takeScreenshot"}])"
                                                 << QStringList { "cmd-002-x.PNG", "cmd-002-y.jpg" } << QStringList {};
    QTest::newRow("command without id still linked")
        << R"([{"index":2,"type":"takeScreenshot"}])" << QStringList { "cmd-002-x.png" }
        << QStringList { "?=assets/flow-000/cmd-002-x.png" };
}

void TestReportPostProcessing::screenshotLinking()
{
    QFETCH(QString, commands);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    for (const QString &file : files)
        QVERIFY(writeAll(dir.filePath(QStringLiteral("assets/flow-000/") + file), "png"));
    const QString original = pageWithData(QStringLiteral(R"({"flows":[{"id":"flow-000","commands":)") + commands
        + QStringLiteral(R"(,"name":"keep me"}],"index":{"status":"passed"}})"));
    QString html = original;
    const bool changed = ScreenshotLinker::patchScreenshots(html, dir.path());

    const auto range = EmbeddedReportLocator::locate(html);
    QVERIFY(range);
    const auto data = EmbeddedReportData::decode(QStringView(html).mid(range->start, range->length));
    QVERIFY(data);
    QStringList actual;
    collectScreenshotAfter(*(*data->flows)[0].commands, actual);
    QCOMPARE(actual, expected);
    const bool expectChange
        = std::any_of(expected.cbegin(), expected.cend(), [](const QString &e) { return e.contains(QLatin1String("=assets/")); });
    QCOMPARE(changed, expectChange);
    if (!changed) {
        QCOMPARE(html, original);
    } else {
        // Slashes written escaped, the members outside the family kept.
        QVERIFY(html.contains(QLatin1String("assets\\/flow-000\\/cmd-")));
        QVERIFY(html.contains(QLatin1String(R"("name":"keep me")")));
        QVERIFY(html.contains(QLatin1String(R"("index":{"status":"passed"})")));
        QVERIFY(html.startsWith(QLatin1String("<html><body>\n<script>\n        let reportData = {")));
        QVERIFY(html.endsWith(QLatin1String("};\n</script>\n</body></html>\n")));
    }
}

void TestReportPostProcessing::screenshotFolderStaysInsideTheReport_data()
{
    // The flow id of the embedded data names the screenshot folder; a page
    // from elsewhere must not make the patch list and link the user's files.
    QTest::addColumn<QString>("flowId"); // %1: the temporary folder
    QTest::addColumn<bool>("linked");
    QTest::newRow("the runner's id") << "flow-000" << true;
    QTest::newRow("a detour that stays inside") << "flow-000/../flow-000" << true;
    QTest::newRow("up and out") << "../../elsewhere" << false;
    QTest::newRow("absolute") << "%1/elsewhere" << false;
    QTest::newRow("through a link inside") << "escape" << false;
}

void TestReportPostProcessing::screenshotFolderStaysInsideTheReport()
{
    QFETCH(QString, flowId);
    QFETCH(bool, linked);
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report"));
    const QStringList folders { report + QStringLiteral("/assets/flow-000"), dir.filePath(QStringLiteral("elsewhere")) };
    for (const QString &folder : folders)
        QVERIFY(writeAll(folder + QStringLiteral("/cmd-004-shot.png"), "png"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), report + QStringLiteral("/assets/escape")));
    flowId.replace(QLatin1String("%1"), dir.path());
    QString html = pageWithData(QStringLiteral(R"({"flows":[{"id":)") + JsonText::quoted(flowId)
        + QStringLiteral(R"(,"commands":[{"id":"c","index":4,"type":"takeScreenshot"}]}]})"));
    QCOMPARE(ScreenshotLinker::patchScreenshots(html, report), linked);
    QCOMPARE(html.contains(QLatin1String("cmd-004-shot.png")), linked);
}

void TestReportPostProcessing::screenshotPrefix_data()
{
    QTest::addColumn<qint64>("index");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("0") << qint64(0) << "cmd-000-";
    QTest::newRow("7") << qint64(7) << "cmd-007-";
    QTest::newRow("42") << qint64(42) << "cmd-042-";
    QTest::newRow("999") << qint64(999) << "cmd-999-";
    QTest::newRow("1234") << qint64(1234) << "cmd-1234-";
}

void TestReportPostProcessing::screenshotPrefix()
{
    QFETCH(qint64, index);
    QFETCH(QString, prefix);
    QCOMPARE(ScreenshotLinker::screenshotPrefix(index), prefix);
}

void TestReportPostProcessing::branding()
{
    QString html
        = QString::fromUtf8(readAll(dataDir() + QStringLiteral("/runs/SIT_20261206_093640/2026-12-06_09-36-40/report.html")));
    html.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    html += QStringLiteral("<a href=\"https://github.com/devicelab-dev/maestro-runner\" class=\"x\">second\nlink</a>");
    QVERIFY(ReportBranding::apply(html));

    QVERIFY(html.contains(QLatin1String("--accent: #005a9c;")));
    QVERIFY(html.contains(QLatin1String("--running: #005a9c;")));
    QVERIFY(!html.contains(QLatin1String("#06b6d4")));
    QVERIFY(html.contains(QLatin1String("<span class=\"brand-name\">Olvex Mobile E2E</span>")));
    QVERIFY(html.contains(QLatin1String(
        "<span class=\"brand-by\">by <strong class=\"brand-link\" style=\"color:#005a9c;\">Trellisan</strong></span>")));
    QVERIFY(!html.contains(QLatin1String("devicelab")));
    QVERIFY(!html.contains(QLatin1String("Star</a>")));
    QVERIFY(!html.contains(QLatin1String("second")));
    QVERIFY(!html.contains(QLatin1String("alt=\"DeviceLab\"")));
    QVERIFY(html.contains(QStringLiteral("<img src=\"") + ReportResources::logoDataUri()
        + QStringLiteral("\" alt=\"Kestrune\" style=\"width:32px;height:32px;border-radius:8px;"
                         "box-shadow:0 2px 8px rgba(0,0,0,0.15);\" />")));
    // The embedded data is untouched.
    QVERIFY(html.contains(QLatin1String("let reportData = {\"flows\":")));
}

void TestReportPostProcessing::brandingLeavesOtherTextAlone()
{
    const QString original
        = QStringLiteral("<img src=\"data:image/png;base64,AAAA\" alt=\"Other\" style=\"width:32px;height:32px;\" />"
                         "<a href=\"https://github.com/devicelab-dev/maestro-runnerX\">fork</a>"
                         "<span class=\"brand-name\">Maestro-Runner</span>");
    QString html = original;
    QVERIFY(!ReportBranding::apply(html));
    QCOMPARE(html, original);
    // A dollar sign or backslash in the page is not read as a template.
    QString withLogo = QStringLiteral("$1 \\1 <img src=\"data:image/jpeg;base64,/9j/\" alt=\"DeviceLab\" "
                                      "style=\"width:32px;height:32px;\" /> $0");
    QVERIFY(ReportBranding::apply(withLogo));
    QVERIFY(withLogo.startsWith(QLatin1String("$1 \\1 <img src=\"data:image/png;base64,")));
    QVERIFY(withLogo.endsWith(QLatin1String(" /> $0")));
}

void TestReportPostProcessing::undecodableEmbeddedDataStillBranded_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("wrong type")
        << R"(let reportData = {"flows":[{"id":"flow-000","commands":[{"index":"3","type":"takeScreenshot"}]}]};)";
    QTest::newRow("not JSON") << R"(let reportData = {"flows":[{"id":"flow-000",}]};)";
    QTest::newRow("no line break after it")
        << R"(let reportData = {"flows":[{"id":"flow-000","commands":[{"index":3,"type":"takeScreenshot"}]}]}; x)";
}

void TestReportPostProcessing::undecodableEmbeddedDataStillBranded()
{
    QFETCH(QString, statement);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath(QStringLiteral("assets/flow-000/cmd-003-x.png")), "png"));
    const QString page = dir.filePath(QStringLiteral("report.html"));
    QVERIFY(writeAll(page,
        (QStringLiteral("<style>--accent: #06b6d4;</style>\n<script>\n") + statement + QStringLiteral("\n</script>\n"))
            .toUtf8()));
    QString error;
    QVERIFY(ReportGenerator().patchReportHTML(page, QString(), std::nullopt, &error));
    const QString html = QString::fromUtf8(readAll(page));
    QVERIFY(html.contains(QLatin1String("--accent: #005a9c;")));
    QVERIFY(html.contains(statement));
    QVERIFY(!html.contains(QLatin1String("cmd-003-x.png")));
}

void TestReportPostProcessing::panelPlacement_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<int>("scripts");
    QTest::addColumn<bool>("atEnd");
    QTest::newRow("one body end") << "<html><body>x</body></html>" << 1 << false;
    QTest::newRow("two body ends") << "<body>a</body><body>b</body>" << 2 << false;
    QTest::newRow("no body end") << "<html><p>x</p>" << 1 << true;
}

void TestReportPostProcessing::panelPlacement()
{
    QFETCH(QString, html);
    QFETCH(int, scripts);
    QFETCH(bool, atEnd);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    QVERIFY(writeAll(log, kOneExchangeLog));
    QVERIFY(NetworkLogPanel::embed(html, log, std::nullopt));

    QCOMPARE(int(html.count(QLatin1String("netfox-network-log-container')"))), scripts);
    QCOMPARE(int(html.count(QLatin1String("__LOG_DATA_PLACEHOLDER__"))), 0);
    if (atEnd)
        QVERIFY(html.endsWith(QLatin1String("</script>\n")));
    else
        QCOMPARE(int(html.count(QLatin1String("</script>\n</body>"))), scripts);
    // The hostile body cannot end the script block early: the only closing
    // tags are the blocks' own.
    QCOMPARE(int(html.count(QLatin1String("</script>"))), scripts);
    QVERIFY(html.contains(QLatin1String("\\u003c\\/script\\u003e\\u003cscript\\u003ealert(1)")));
    QVERIFY(html.contains(QLatin1String("[Request Method] GET https:\\/\\/api.example.com\\/v2\\/cart")));
}

void TestReportPostProcessing::panelNeedsExchanges()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    const QString original = QStringLiteral("<body></body>");

    QString html = original;
    QVERIFY(!NetworkLogPanel::embed(html, log, std::nullopt)); // no file
    QVERIFY(writeAll(log, "no blocks here\n"));
    QVERIFY(!NetworkLogPanel::embed(html, log, std::nullopt));
    QVERIFY(writeAll(log, kOneExchangeLog));
    const QDateTime after(QDate(2026, 12, 6), QTime(8, 36, 45), Qt::UTC);
    QVERIFY(!NetworkLogPanel::embed(html, log, after)); // every exchange before the run
    QCOMPARE(html, original);
}

void TestReportPostProcessing::unchangedPageKeepsModificationTime()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("report.html"));
    // CRLF line ends alone are not a reason to write.
    const QByteArray bytes = "<html>\r\n<body>plain page</body>\r\n</html>\r\n";
    QVERIFY(writeAll(page, bytes));
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QDateTime old(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
    QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    file.close();

    QString error;
    QVERIFY(ReportGenerator().patchReportHTML(page, dir.filePath(QStringLiteral("missing.txt")), std::nullopt, &error));
    QCOMPARE(QFileInfo(page).lastModified().toUTC(), old);
    QCOMPARE(readAll(page), bytes);
}

void TestReportPostProcessing::crlfPageIsNormalisedWhenPatched()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("report.html"));
    QVERIFY(writeAll(page, "<style>\r\n--accent: #06b6d4;\r\n</style>\r\n"));
    QString error;
    QVERIFY(ReportGenerator().patchReportHTML(page, QString(), std::nullopt, &error));
    QCOMPARE(readAll(page), QByteArray("<style>\n--accent: #005a9c;\n</style>\n"));
    // No temporary file of the atomic write is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("report.html") });
}

void TestReportPostProcessing::unreadablePageIsAnError()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("report.html"));
    const QByteArray latin1 = "--accent: #06b6d4; caf\xe9\n";
    QVERIFY(writeAll(page, latin1));
    QString error;
    QVERIFY(!ReportGenerator().patchReportHTML(page, QString(), std::nullopt, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(page), latin1);
    // A missing page is only a warning.
    QVERIFY(ReportGenerator().patchReportHTML(dir.filePath(QStringLiteral("none.html")), QString(), std::nullopt, &error));
}

void TestReportPostProcessing::linkedPageIsNotWrittenThrough()
{
    // A copied run folder whose report.html is a link to a page elsewhere:
    // the hand-off must not rewrite the page it points to.
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    QVERIFY(!run.isEmpty());
    const QString report = basicReportFolder(run);
    const QString outside = dir.filePath(QStringLiteral("elsewhere/page.html"));
    const QByteArray outsideBytes = "<html><style>--accent: #06b6d4;</style><body>mine</body></html>\n";
    QVERIFY(writeAll(outside, outsideBytes));
    QVERIFY(QFile::remove(report + QStringLiteral("/report.html")));
    QVERIFY(QFile::link(outside, report + QStringLiteral("/report.html")));

    ReportGenerator().generate(run, std::nullopt);
    QCOMPARE(readAll(outside), outsideBytes);
    QVERIFY(QFileInfo(report + QStringLiteral("/report.html")).isSymLink());

    QString error;
    QVERIFY(!ReportGenerator().patchReportHTML(report + QStringLiteral("/report.html"), QString(), std::nullopt, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(outside), outsideBytes);
}

void TestReportPostProcessing::allureAttachments_data()
{
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<int>("expectedAttachments"); // -1: file left unchanged
    QTest::newRow("null attachments") << QByteArray(R"({"name":"a","attachments":null})") << 1;
    QTest::newRow("object instead of array") << QByteArray(R"({"name":"a","attachments":{"name":"x"}})") << 1;
    QTest::newRow("absent") << QByteArray(R"({"name":"a"})") << 1;
    QTest::newRow("existing entry kept") << QByteArray(R"({"attachments":[{"name":"shot","source":"s.png"}]})") << 2;
    QTest::newRow("not an object") << QByteArray(R"([1,2])") << -1;
    QTest::newRow("not JSON") << QByteArray(R"({"name":)") << -1;
}

void TestReportPostProcessing::allureAttachments()
{
    QFETCH(QByteArray, result);
    QFETCH(int, expectedAttachments);
    QTemporaryDir dir;
    const QString allure = dir.filePath(QStringLiteral("allure-results"));
    const QString resultFile = allure + QStringLiteral("/flow-000-result.json");
    QVERIFY(writeAll(resultFile, result));
    QVERIFY(writeAll(allure + QStringLiteral("/categories.json"), "[]"));
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    QVERIFY(writeAll(log, kOneExchangeLog));

    QString error;
    QVERIFY(AllureAttacher::attach(allure, log, &error));
    QCOMPARE(readAll(allure + QStringLiteral("/categories.json")), QByteArray("[]"));
    const QStringList copies = QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readAll(allure + QLatin1Char('/') + copies.first()), kOneExchangeLog);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}-attachment\\.txt$"))
                .match(copies.first())
                .hasMatch());

    if (expectedAttachments < 0) {
        QCOMPARE(readAll(resultFile), result);
        return;
    }
    const QJsonArray attachments = readJsonObject(resultFile).value(QLatin1String("attachments")).toArray();
    QCOMPARE(attachments.size(), expectedAttachments);
    const QJsonObject record = attachments.last().toObject();
    QCOMPARE(record.value(QLatin1String("name")).toString(), QStringLiteral("Netfox Network Log"));
    QCOMPARE(record.value(QLatin1String("source")).toString(), copies.first());
    QCOMPARE(record.value(QLatin1String("type")).toString(), QStringLiteral("text/plain"));
}

void TestReportPostProcessing::allureWithoutResultsKeepsAttachment()
{
    QTemporaryDir dir;
    const QString allure = dir.filePath(QStringLiteral("allure-results"));
    QVERIFY(QDir().mkpath(allure));
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    QString error;
    // No log: nothing copied.
    QVERIFY(AllureAttacher::attach(allure, log, &error));
    QVERIFY(QDir(allure).isEmpty());
    QVERIFY(writeAll(log, kOneExchangeLog));
    QVERIFY(AllureAttacher::attach(allure, log, &error));
    QCOMPARE(QDir(allure).entryList(QDir::Files).size(), 1);
    // Not a folder: skipped.
    QVERIFY(AllureAttacher::attach(log, log, &error));
}

void TestReportPostProcessing::allureLinkedResultIsNotWrittenThrough()
{
    // A result file that links to a JSON object elsewhere keeps that file as
    // it is; the real result files still get the log.
    QTemporaryDir dir;
    const QString allure = dir.filePath(QStringLiteral("run/allure-results"));
    QVERIFY(writeAll(allure + QStringLiteral("/flow-000-result.json"), R"({"name":"a"})"));
    const QString outside = dir.filePath(QStringLiteral("elsewhere/settings.json"));
    const QByteArray outsideBytes = "{\n    \"theme\": \"dark\"\n}\n";
    QVERIFY(writeAll(outside, outsideBytes));
    QVERIFY(QFile::link(outside, allure + QStringLiteral("/flow-001-result.json")));
    const QString log = dir.filePath(QStringLiteral("run/network_log.txt"));
    QVERIFY(writeAll(log, kOneExchangeLog));

    QString error;
    QVERIFY(AllureAttacher::attach(allure, log, &error));
    QCOMPARE(readAll(outside), outsideBytes);
    QVERIFY(QFileInfo(allure + QStringLiteral("/flow-001-result.json")).isSymLink());
    const QJsonObject result = readJsonObject(allure + QStringLiteral("/flow-000-result.json"));
    QCOMPARE(result.value(QLatin1String("attachments")).toArray().size(), 1);
}

void TestReportPostProcessing::allureResultThatIsAPipe()
{
    // A named pipe called *-result.json (an unpacked archive can hold one)
    // is passed over; the real result files still get the log.
    QTemporaryDir dir;
    const QString allure = dir.filePath(QStringLiteral("run/allure-results"));
    QVERIFY(writeAll(allure + QStringLiteral("/flow-000-result.json"), R"({"name":"a"})"));
    const QByteArray pipe = QFile::encodeName(allure + QStringLiteral("/flow-001-result.json"));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    const QString log = dir.filePath(QStringLiteral("run/network_log.txt"));
    QVERIFY(writeAll(log, kOneExchangeLog));

    QString error;
    bool attached = false;
    QVERIFY2(finishesBesidePipe(pipe, [&] { attached = AllureAttacher::attach(allure, log, &error); }),
        "the Allure step waited on a named pipe");
    QVERIFY(attached);
    const QJsonObject result = readJsonObject(allure + QStringLiteral("/flow-000-result.json"));
    QCOMPARE(result.value(QLatin1String("attachments")).toArray().size(), 1);
}

void TestReportPostProcessing::handOffOnSampleRun()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    QVERIFY(!run.isEmpty());
    QVERIFY(QFile::remove(run + QStringLiteral("/network_log.txt")));
    const QString report = basicReportFolder(run);
    const QByteArray sandboxPage = readAll(run + QStringLiteral("/sandbox/old/report.html"));

    CustomReportOptions options;
    options.now = QDateTime(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC);
    options.appVersion = QStringLiteral("9.9.9");
    options.environment = [](const QString &) { return std::optional<QString>(); };
    ReportGenerator(options).generate(run, std::nullopt);

    const QByteArray page = readAll(report + QStringLiteral("/report.html"));
    QVERIFY(matchesGolden(dataDir() + QStringLiteral("/golden/report-patched-nolog.html"), page));
    QCOMPARE(readAll(run + QStringLiteral("/sandbox/old/report.html")), sandboxPage);
    QVERIFY(QFileInfo::exists(report + QStringLiteral("/report-custom.html")));

    // The embedded object still carries all the runner wrote.
    const QString html = QString::fromUtf8(page);
    const auto range = EmbeddedReportLocator::locate(html);
    QVERIFY(range);
    const auto root = JsonText::parse(QStringView(html).mid(range->start, range->length));
    QVERIFY(root);
    QVERIFY(root->member(QLatin1String("index")));
    QCOMPARE(root->member(QLatin1String("index"))->member(QLatin1String("updateSeq"))->text, QStringLiteral("14"));
    const JsonNode &flow = root->member(QLatin1String("flows"))->items.at(0);
    QCOMPARE(flow.member(QLatin1String("name"))->text, QStringLiteral("Checkout <smoke> & pay"));
    const JsonNode &shot = flow.member(QLatin1String("commands"))->items.at(3);
    QCOMPARE(shot.member(QLatin1String("yaml"))->text, QStringLiteral("takeScreenshot: cart"));
    QCOMPARE(shot.member(QLatin1String("artifacts"))->member(QLatin1String("screenshotAfter"))->text,
        QStringLiteral("assets/flow-000/cmd-003-cart-again.png"));
    QVERIFY(html.contains(QLatin1String("Checkout \\u003csmoke\\u003e \\u0026 pay")));

    // Without a log the Allure results get nothing.
    QCOMPARE(readJsonObject(report + QStringLiteral("/allure-results/flow-000-result.json"))
                 .value(QLatin1String("attachments"))
                 .isNull(),
        true);
}

void TestReportPostProcessing::handOffTwiceEqualsOnce()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    const QString allure = report + QStringLiteral("/allure-results");
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    const QByteArray page = readAll(report + QStringLiteral("/report.html"));
    const QByteArray result = readAll(allure + QStringLiteral("/flow-000-result.json"));
    QCOMPARE(int(page.count("function addNetfoxPanel")), 1);
    QVERIFY(ReportGenerator().generate(run, std::nullopt));

    QCOMPARE(readAll(report + QStringLiteral("/report.html")), page);
    QCOMPARE(readAll(allure + QStringLiteral("/flow-000-result.json")), result);
    const QStringList copies = QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readAll(allure + QLatin1Char('/') + copies.first()), readAll(run + QStringLiteral("/network_log.txt")));

    // A changed log replaces the panel and the attachment, it is not added.
    QVERIFY(writeAll(run + QStringLiteral("/network_log.txt"), kOneExchangeLog));
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    const QByteArray repatched = readAll(report + QStringLiteral("/report.html"));
    QCOMPARE(int(repatched.count("function addNetfoxPanel")), 1);
    QVERIFY(repatched.contains("api.example.com"));
    QCOMPARE(QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files).size(), 1);
    QCOMPARE(
        readJsonObject(allure + QStringLiteral("/flow-000-result.json")).value(QLatin1String("attachments")).toArray().size(), 1);
    // The sandbox's decoy result is never touched.
    QCOMPARE(readAll(run + QStringLiteral("/sandbox/allure-results/decoy-result.json")), QByteArray("{}\n"));
}

void TestReportPostProcessing::handOffOutcome_data()
{
    QTest::addColumn<QString>("breakage"); // what is done to the sample run first
    QTest::addColumn<bool>("generated");
    QTest::addColumn<QString>("reason"); // a part of the reason
    QTest::newRow("sample run") << "" << true << "";
    QTest::newRow("no report folder") << "remove report" << false << "no report.html or report.json";
    QTest::newRow("report.json of another shape") << "foreign json" << false << "Expected Array at \"flows\"";
    QTest::newRow("page not UTF-8") << "latin1 page" << false << "not valid UTF-8";
}

void TestReportPostProcessing::handOffOutcome()
{
    QFETCH(QString, breakage);
    QFETCH(bool, generated);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    if (breakage == QLatin1String("remove report"))
        QVERIFY(QDir(report).removeRecursively());
    else if (breakage == QLatin1String("foreign json"))
        QVERIFY(writeAll(report + QStringLiteral("/report.json"), "{\"flows\":3}"));
    else if (breakage == QLatin1String("latin1 page"))
        QVERIFY(writeAll(report + QStringLiteral("/report.html"), "caf\xe9"));
    QString why;
    QCOMPARE(ReportGenerator().generate(run, std::nullopt, &why), generated);
    QVERIFY2(reason.isEmpty() ? why.isEmpty() : why.contains(reason), qPrintable(why));
}

void TestReportPostProcessing::linkedLogIsAbsent_data()
{
    QTest::addColumn<QString>("target"); // what network_log.txt links to, relative to the temporary folder
    QTest::newRow("a file outside the run") << "secret.txt";
    QTest::newRow("a log inside the run") << "SIT_20261206_093640/logs/real_log.txt";
}

void TestReportPostProcessing::linkedLogIsAbsent()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString log = run + QStringLiteral("/network_log.txt");
    QVERIFY(writeAll(dir.filePath(target), readAll(log)));
    QVERIFY(QFile::remove(log));
    QVERIFY(QFile::link(dir.filePath(target), log));
    QVERIFY(ReportGenerator().generate(run, std::nullopt));

    const QString report = basicReportFolder(run);
    QVERIFY(!readAll(report + QStringLiteral("/report.html")).contains("addNetfoxPanel"));
    QCOMPARE(QDir(report + QStringLiteral("/allure-results")).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files),
        QStringList());
}

void TestReportPostProcessing::fullDiskKeepsOriginal_data()
{
    // A file-size limit makes write() stop short without an error, as a full
    // disk does. The step runs in a child so the limit stays there.
    QTest::addColumn<QString>("target"); // relative to the report folder
    QTest::addColumn<int>("limit"); // bytes any file may grow to
    QTest::newRow("the runner's page") << "report.html" << 6000;
    QTest::newRow("the custom page") << "report-custom.html" << 6000;
    QTest::newRow("an Allure result") << "allure-results/flow-000-result.json" << 20000;
}

void TestReportPostProcessing::fullDiskKeepsOriginal()
{
    QFETCH(QString, target);
    QFETCH(int, limit);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString path = basicReportFolder(run) + QLatin1Char('/') + target;
    if (target.startsWith(QLatin1String("allure"))) {
        // A result larger than the limit and than the log, so the log's copy
        // fits and the rewritten result does not.
        QJsonObject result = readJsonObject(path);
        result.insert(QStringLiteral("description"), QString(limit, u'd'));
        QVERIFY(writeAll(path, QJsonDocument(result).toJson(QJsonDocument::Compact)));
    } else if (target == QLatin1String("report-custom.html")) {
        QVERIFY(writeAll(path, "<html>the page of the earlier build</html>\n"));
    }
    const QByteArray original = readAll(path);

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small { rlim_t(limit), rlim_t(limit) };
        ::setrlimit(RLIMIT_FSIZE, &small);
        QString reason;
        const bool generated = ReportGenerator().generate(run, std::nullopt, &reason);
        ::_exit(generated ? 0 : (reason.isEmpty() ? 2 : 1));
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 1); // reported, with a reason
    QCOMPARE(readAll(path), original);
    // No temporary file is left beside it.
    QCOMPARE(
        QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tmp")), QStringList());
}

void TestReportPostProcessing::handOffWithPipeForLog()
{
    // An unpacked run folder with a named pipe where network_log.txt should
    // be: the hand-off must finish, without a log.
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    QVERIFY(!run.isEmpty());
    const QString report = basicReportFolder(run);
    const QByteArray pipe = QFile::encodeName(run + QStringLiteral("/network_log.txt"));
    QVERIFY(QFile::remove(QFile::decodeName(pipe)));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);

    QVERIFY2(
        finishesBesidePipe(pipe, [&] { ReportGenerator().generate(run, std::nullopt); }), "the hand-off waited on a named pipe");
    QVERIFY(QFileInfo::exists(report + QStringLiteral("/report-custom.html")));
    QVERIFY(!readAll(report + QStringLiteral("/report.html")).contains("function addNetfoxPanel"));
}

QTEST_GUILESS_MAIN(TestReportPostProcessing)
#include "tst_reportpostprocessing.moc"
