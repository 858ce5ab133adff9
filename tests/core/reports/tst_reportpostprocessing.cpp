// Post-processing of the runner's report.html and Allure results: the
// embedded report object (located, decoded, written back as the runner wrote
// it), file search, screenshot linking, the network-log panel, and the whole
// hand-off on a sample run folder with its pipes, links, hostile files and
// full disks.
#include "reporttestsupport.h"

#include "reports/allureattacher.h"
#include "reports/embeddedreportdata.h"
#include "reports/jsonnode.h"
#include "reports/networklogpanel.h"
#include "reports/reportgenerator.h"
#include "reports/screenshotlinker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ReportTestSupport;

namespace {

const QByteArray kOneExchangeLog
    = "-------START REQUEST -  https://api.example.com/v2/cart -------\n[Request Method] GET\n"
      "[Request Date] 2026-12-06 08:36:44 +0000\n[Request Headers]\n[:]\n[Request Body]\n"
      " {\"q\":\"</script><script>alert(1)</script>\"}\n-------END REQUEST - https://api.example.com/v2/cart -------\n";

QString pageWithData(const QString &json)
{
    return QStringLiteral("<html><body>\n<script>\n        let reportData = ") + json
        + QStringLiteral(";\n</script>\n</body></html>\n");
}

void collectScreenshotAfter(const std::vector<EmbeddedCommand> &commands, QStringList &out)
{
    for (const EmbeddedCommand &command : commands) {
        for (const EmbeddedArtifact &artifact : command.artifacts.value_or(std::vector<EmbeddedArtifact> {})) {
            if (artifact.key == QLatin1String("screenshotAfter"))
                out.append(command.id.value_or(QStringLiteral("?")) + u'=' + artifact.value.toString());
        }
        if (command.subCommands)
            collectScreenshotAfter(*command.subCommands, out);
    }
}

QJsonObject readJsonObject(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

// True when the file holds `text`, or, for "!text", when it does not.
bool holds(const QString &path, const QByteArray &text)
{
    const QByteArray bytes = readFile(path);
    return text.startsWith('!') ? !bytes.contains(text.mid(1)) : bytes.contains(text);
}

} // namespace

class TestReportPostProcessing final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void locateEmbeddedObject_data();
    void locateEmbeddedObject();
    void embeddedWriteBackKeepsRunnerMembers();
    void embeddedNullArtifactWrittenAsEmptyString();
    void jsonStringEscaping_data();
    void jsonStringEscaping();
    void jsonParserRejects_data();
    void jsonParserRejects();
    void findFile_data();
    void findFile();
    void screenshotLinking_data();
    void screenshotLinking();
    void screenshotFolderStaysInsideTheReport_data();
    void screenshotFolderStaysInsideTheReport();
    void panelPlacement_data();
    void panelPlacement();
    void allureAttachments_data();
    void allureAttachments();
    void handOffOnSampleRunTwiceEqualsOnce();
    void handOffOutcome_data();
    void handOffOutcome();
    void namedPipes_data();
    void namedPipes();
    void links_data();
    void links();
    void fullDiskKeepsOriginal_data();
    void fullDiskKeepsOriginal();
};

void TestReportPostProcessing::locateEmbeddedObject_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected"); // null when none
    QTest::newRow("runner's line") << "<script>\n        let reportData = {\"flows\":[]};\n        render();\n"
                                   << QStringLiteral("{\"flows\":[]}");
    QTest::newRow("no line break after the semicolon") << "let reportData = {\"flows\":[]}; render();" << QString();
    QTest::newRow("carriage return before the line break") << "let reportData = {\"flows\":[]};\r\n" << QString();
    QTest::newRow("lazy end at the first }; and line break") << "let reportData = {\"a\":{\"b\":1}};\nx = {};\n"
                                                             << QStringLiteral("{\"a\":{\"b\":1}}");
    QTest::newRow("no statement") << "<html></html>\n" << QString();
}

void TestReportPostProcessing::locateEmbeddedObject()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    const auto range = EmbeddedReportLocator::locate(html);
    QCOMPARE(range ? html.mid(range->start, range->length) : QString(), expected);
}

void TestReportPostProcessing::embeddedWriteBackKeepsRunnerMembers()
{
    // As the runner writes it: Go escapes, `index`, members the family does
    // not know, numbers in several forms, sub-commands.
    const QString original = QStringLiteral(
        R"({"flows":[{"id":"flow-000","name":"Checkout \u003csmoke\u003e \u0026 pay","status":"failed",)"
        R"("commands":[{"id":"cmd-003","index":3,"type":"takeScreenshot","yaml":"takeScreenshot: cart",)"
        R"("status":"passed","startTime":"2026-12-06T09:36:51+01:00","duration":290,"artifacts":{},)"
        R"("ratio":1.50,"big":1e3},)"
        R"({"id":"cmd-004","index":4,"type":"runFlow","subCommands":[{"id":"sub-0","index":0,"type":"tapOn","artifacts":{"screenshotBefore":""}}]}]}],)"
        R"("index":{"version":"1.1.25","summary":{"total":1,"passed":0},"flows":[{"index":0,"error":"x"}]}})");
    auto data = EmbeddedReportData::decode(original);
    QVERIFY(data);

    // Unchanged, the object comes back exactly as the runner wrote it.
    QCOMPARE(data->encode(), original);

    (*(*data->flows)[0].commands)[0].setArtifact(
        QStringLiteral("screenshotAfter"), QStringLiteral("assets/flow-000/cmd-003-cart.png"));
    const QString patched = data->encode();
    QString expected = original;
    expected.replace(QStringLiteral(R"("artifacts":{},)"),
        QStringLiteral(R"("artifacts":{"screenshotAfter":"assets\/flow-000\/cmd-003-cart.png"},)"));
    QCOMPARE(patched, expected);
}

void TestReportPostProcessing::embeddedNullArtifactWrittenAsEmptyString()
{
    const QString original = QStringLiteral(
        R"({"flows":[{"id":"f","commands":[{"artifacts":{"viewHierarchy":null},"type":"x"},{"artifacts":{"a":null}}]}]})");
    auto data = EmbeddedReportData::decode(original);
    QVERIFY(data);
    EmbeddedCommand &command = (*(*data->flows)[0].commands)[0];
    QVERIFY(command.artifacts);
    QCOMPARE(command.artifacts->front().value.toString(), QString());
    QVERIFY(command.artifacts->front().value.isString());
    // Untouched commands keep exactly what the runner wrote.
    QCOMPARE(data->encode(), original);
    // A patched command's artifacts are written from the model: null as "".
    command.setArtifact(QStringLiteral("screenshotAfter"), QStringLiteral("assets/f/s.png"));
    QCOMPARE(data->encode(),
        QStringLiteral(
            R"({"flows":[{"id":"f","commands":[{"artifacts":{"viewHierarchy":"","screenshotAfter":"assets\/f\/s.png"},)"
            R"("type":"x"},{"artifacts":{"a":null}}]}]})"));
}

void TestReportPostProcessing::jsonStringEscaping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("literal");
    QTest::newRow("slash") << "a/b" << QStringLiteral(R"("a\/b")");
    QTest::newRow("markup") << "</script><b>&" << QStringLiteral(R"("\u003c\/script\u003e\u003cb\u003e\u0026")");
    QTest::newRow("quote and backslash") << "\"\\" << QStringLiteral(R"("\"\\")");
    QTest::newRow("controls") << QStringLiteral("\n\t\x01") << R"("\n\t\u0001")";
    QTest::newRow("line separators") << QString(QChar(0x2028)) + QChar(0x2029) << R"("\u2028\u2029")";
    QTest::newRow("non-ascii kept") << QStringLiteral("Café ✓") << QStringLiteral("\"Café ✓\"");
}

void TestReportPostProcessing::jsonStringEscaping()
{
    QFETCH(QString, value);
    QFETCH(QString, literal);
    QCOMPARE(JsonText::quoted(value), literal);
    // And it reads back to the same text.
    const auto node = JsonText::parse(literal);
    QVERIFY(node);
    QCOMPARE(node->text, value);
}

void TestReportPostProcessing::jsonParserRejects_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("trailing comma") << "[1,]";
    QTest::newRow("leading zero") << "01";
    QTest::newRow("bad escape") << R"("\x")";
    QTest::newRow("single quotes") << "{'a':1}";
    QTest::newRow("raw line break in string") << "\"a\nb\"";
    QTest::newRow("trailing text") << "{} x";
    QTest::newRow("too deep") << QString(600, QLatin1Char('[')) + QString(600, QLatin1Char(']'));
}

void TestReportPostProcessing::jsonParserRejects()
{
    QFETCH(QString, json);
    QString error;
    QVERIFY(!JsonText::parse(json, &error));
    QVERIFY(!error.isEmpty());
}

void TestReportPostProcessing::findFile_data()
{
    QTest::addColumn<QStringList>("files"); // relative paths created under the run folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("expected"); // relative path, "-" for none

    QTest::newRow("sandbox sorts first, report beside it")
        << QStringList { "a/sandbox/report.html", "b/report.html" } << "report.html" << false << "b/report.html";
    QTest::newRow("a folder with the file's name is not a file")
        << QStringList { "a/report.html/keep", "b/report.html" } << "report.html" << false << "b/report.html";
    QTest::newRow("directory outside sandbox")
        << QStringList { "sandbox/allure-results/x", "r/allure-results/y" } << "allure-results" << true << "r/allure-results";
    QTest::newRow("sandbox itself is never found") << QStringList { "sandbox/x" } << "sandbox" << true << "-";
    QTest::newRow("node_modules is never entered")
        << QStringList { "node_modules/cov/report.json", "r/report.json" } << "report.json" << false << "r/report.json";
    QTest::newRow(".git is never entered") << QStringList { ".git/x/report.html" } << "report.html" << false << "-";
    QTest::newRow("no results folder under Pods") << QStringList { "Pods/allure-results/x" } << "allure-results" << true << "-";
}

void TestReportPostProcessing::findFile()
{
    QFETCH(QStringList, files);
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &file : files)
        QVERIFY(writeFile(dir.filePath(file), "x"));
    const auto found = directory ? ReportGenerator::findDirectory(name, dir.path()) : ReportGenerator::findFile(name, dir.path());
    QCOMPARE(found ? QDir(dir.path()).relativeFilePath(*found) : QStringLiteral("-"), expected);
}

void TestReportPostProcessing::screenshotLinking_data()
{
    QTest::addColumn<QString>("commands"); // the flow's commands as JSON
    QTest::addColumn<QStringList>("files"); // under assets/flow-000
    QTest::addColumn<QStringList>("expected"); // id=screenshotAfter after patching, every depth

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
}

void TestReportPostProcessing::screenshotLinking()
{
    QFETCH(QString, commands);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    for (const QString &file : files)
        QVERIFY(writeFile(dir.filePath(QStringLiteral("assets/flow-000/") + file), "png"));
    const QString original
        = pageWithData(QStringLiteral(R"({"flows":[{"id":"flow-000","commands":)") + commands + QStringLiteral("}]}"));
    QString html = original;
    const bool changed = ScreenshotLinker::patchScreenshots(html, dir.path());

    const auto range = EmbeddedReportLocator::locate(html);
    QVERIFY(range);
    const auto data = EmbeddedReportData::decode(QStringView(html).mid(range->start, range->length));
    QVERIFY(data);
    QStringList actual;
    collectScreenshotAfter(*(*data->flows)[0].commands, actual);
    QCOMPARE(actual, expected);
    QCOMPARE(changed, !expected.filter(QStringLiteral("=assets/")).isEmpty());
    if (!changed)
        QCOMPARE(html, original);
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
    for (const QString &folder :
        QStringList { report + QStringLiteral("/assets/flow-000"), dir.filePath(QStringLiteral("elsewhere")) })
        QVERIFY(writeFile(folder + QStringLiteral("/cmd-004-shot.png"), "png"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), report + QStringLiteral("/assets/escape")));
    flowId.replace(QLatin1String("%1"), dir.path());
    QString html = pageWithData(QStringLiteral(R"({"flows":[{"id":)") + JsonText::quoted(flowId)
        + QStringLiteral(R"(,"commands":[{"id":"c","index":4,"type":"takeScreenshot"}]}]})"));
    QCOMPARE(ScreenshotLinker::patchScreenshots(html, report), linked);
    QCOMPARE(html.contains(QLatin1String("cmd-004-shot.png")), linked);
}

void TestReportPostProcessing::panelPlacement_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<int>("scripts");
    QTest::addColumn<bool>("atEnd");
    QTest::newRow("one body end") << "<html><body>x</body></html>" << 1 << false;
    QTest::newRow("no body end") << "<html><p>x</p>" << 1 << true;
}

void TestReportPostProcessing::panelPlacement()
{
    QFETCH(QString, html);
    QFETCH(int, scripts);
    QFETCH(bool, atEnd);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    QVERIFY(writeFile(log, kOneExchangeLog));
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

void TestReportPostProcessing::allureAttachments_data()
{
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<int>("expectedAttachments"); // -1: file left unchanged
    QTest::newRow("null attachments") << QByteArray(R"({"name":"a","attachments":null})") << 1;
    QTest::newRow("object instead of array") << QByteArray(R"({"name":"a","attachments":{"name":"x"}})") << 1;
    QTest::newRow("existing entry kept") << QByteArray(R"({"attachments":[{"name":"shot","source":"s.png"}]})") << 2;
    QTest::newRow("not JSON") << QByteArray(R"({"name":)") << -1;
    QTest::newRow("no result files: the log is still copied") << QByteArray() << -1;
}

void TestReportPostProcessing::allureAttachments()
{
    QFETCH(QByteArray, result);
    QFETCH(int, expectedAttachments);
    QTemporaryDir dir;
    const QString allure = dir.filePath(QStringLiteral("allure-results"));
    const QString resultFile = allure + QStringLiteral("/flow-000-result.json");
    QVERIFY(writeFile(allure + QStringLiteral("/categories.json"), "[]"));
    if (!result.isNull())
        QVERIFY(writeFile(resultFile, result));
    const QString log = dir.filePath(QStringLiteral("network_log.txt"));
    QVERIFY(writeFile(log, kOneExchangeLog));

    QString error;
    QVERIFY(AllureAttacher::attach(allure, log, &error));
    QCOMPARE(readFile(allure + QStringLiteral("/categories.json")), QByteArray("[]"));
    const QStringList copies = QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readFile(allure + u'/' + copies.first()), kOneExchangeLog);
    if (expectedAttachments < 0) {
        QCOMPARE(readFile(resultFile), result);
        return;
    }
    const QJsonArray attachments = readJsonObject(resultFile).value(QLatin1String("attachments")).toArray();
    QCOMPARE(attachments.size(), expectedAttachments);
    const QJsonObject record = attachments.last().toObject();
    QCOMPARE(record.toVariantMap(),
        (QVariantMap { { "name", "Netfox Network Log" }, { "source", copies.first() }, { "type", "text/plain" } }));
}

void TestReportPostProcessing::handOffOnSampleRunTwiceEqualsOnce()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    const QString allure = report + QStringLiteral("/allure-results");
    const QString log = run + QStringLiteral("/network_log.txt");
    const QByteArray logBytes = readFile(log);
    // Without a log: the golden page, and nothing for the Allure results.
    QVERIFY(QFile::remove(log));
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    QVERIFY(matchesGolden(dataDir() + QStringLiteral("/golden/report-patched-nolog.html"), readFile(report + "/report.html")));
    QVERIFY(holds(allure + QStringLiteral("/flow-000-result.json"), "!Netfox"));
    QCOMPARE(QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files), QStringList());

    // With the log, post-processing twice equals once, byte for byte.
    QVERIFY(writeFile(log, logBytes));
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    const QByteArray page = readFile(report + QStringLiteral("/report.html"));
    const QByteArray result = readFile(allure + QStringLiteral("/flow-000-result.json"));
    QCOMPARE(int(page.count("function addNetfoxPanel")), 1);
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    QCOMPARE(readFile(report + QStringLiteral("/report.html")), page);
    QCOMPARE(readFile(allure + QStringLiteral("/flow-000-result.json")), result);
    QCOMPARE(QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files).size(), 1);

    // A changed log replaces the panel and the attachment, it is not added.
    QVERIFY(writeFile(run + QStringLiteral("/network_log.txt"), kOneExchangeLog));
    QVERIFY(ReportGenerator().generate(run, std::nullopt));
    const QByteArray repatched = readFile(report + QStringLiteral("/report.html"));
    QCOMPARE(int(repatched.count("function addNetfoxPanel")), 1);
    QVERIFY(repatched.contains("api.example.com"));
    QCOMPARE(QDir(allure).entryList({ QStringLiteral("*-attachment.txt") }, QDir::Files).size(), 1);
    QCOMPARE(readJsonObject(allure + QStringLiteral("/flow-000-result.json")).value("attachments").toArray().size(), 1);
    // The sandbox's decoy result is never touched.
    QCOMPARE(readFile(run + QStringLiteral("/sandbox/allure-results/decoy-result.json")), QByteArray("{}\n"));
}

void TestReportPostProcessing::handOffOutcome_data()
{
    // The hand-off says whether it worked, and a file it could not use stays
    // as it was. A runner's page whose embedded data does not decode is still
    // branded, its screenshots left unlinked.
    QTest::addColumn<QString>("file"); // relative to the report folder; "-": no report folder
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("generated");
    QTest::addColumn<QString>("reason"); // a part of the reason
    QTest::newRow("sample run") << "" << QByteArray() << true << "";
    QTest::newRow("no report folder") << "-" << QByteArray() << false << "no report.html or report.json";
    QTest::newRow("report.json of another shape")
        << "report.json" << QByteArray("{\"flows\":3}") << false << "Expected Array at \"flows\"";
    QTest::newRow("report.json cut off mid-way") << "report.json" << QByteArray("{\"flows\":[{\"name\":\"Ch") << false << "";
    QTest::newRow("page not UTF-8") << "report.html" << QByteArray("--accent: #06b6d4; caf\xe9\n") << false << "not valid UTF-8";
    const auto page = [](const char *data) -> QByteArray {
        return "<style>--accent: #06b6d4;</style>\n<script>\nlet reportData = " + QByteArray(data) + "\n</script>\n";
    };
    QTest::newRow("embedded index of the wrong type")
        << "report.html" << page(R"({"flows":[{"id":"flow-000","commands":[{"index":"3"}]}]};)") << true << "";
    QTest::newRow("embedded data not JSON") << "report.html" << page(R"({"flows":[{"id":"flow-000",}]};)") << true << "";
    QTest::newRow("no line break after the embedded data")
        << "report.html" << page(R"({"flows":[{"id":"flow-000","commands":[{"index":3,"type":"takeScreenshot"}]}]}; x)") << true
        << "";
    QTest::newRow("embedded flows as an object") << "report.html" << page(R"({"flows":{}};)") << true << "";
    QTest::newRow("embedded artifacts as an array")
        << "report.html" << page(R"({"flows":[{"id":"flow-000","commands":[{"index":3,"artifacts":[]}]}]};)") << true << "";
    QTest::newRow("embedded sub-command id as a number")
        << "report.html" << page(R"({"flows":[{"id":"flow-000","commands":[{"subCommands":[{"id":1}]}]}]};)") << true << "";
    QTest::newRow("embedded artifact values of any type: decoded")
        << "report.html" << page(R"({"flows":[{"id":"flow-000","commands":[{"artifacts":{"a":[true,{"b":null}]}}]}]};)") << true
        << "";
}

void TestReportPostProcessing::handOffOutcome()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, generated);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    if (file == u"-")
        QVERIFY(QDir(report).removeRecursively());
    else if (!file.isEmpty())
        QVERIFY(writeFile(report + u'/' + file, bytes));
    QString why;
    QCOMPARE(ReportGenerator().generate(run, std::nullopt, &why), generated);
    QVERIFY2(generated ? why.isEmpty() : !why.isEmpty() && why.contains(reason), qPrintable(why));
    const QByteArray after = readFile(report + u'/' + file);
    if (!generated)
        QCOMPARE(after, bytes);
    else if (!bytes.isEmpty())
        QVERIFY(after.contains("--accent: #005a9c;") && !after.contains("cmd-003-cart"));
}

void TestReportPostProcessing::namedPipes_data()
{
    // An unpacked run folder can hold a named pipe with one of the runner's
    // names; reading it would wait for ever. The hand-off must finish and do
    // the rest of its work.
    QTest::addColumn<QString>("pipe"); // relative to the run folder
    QTest::addColumn<QString>("file"); // relative to the report folder
    QTest::addColumn<QByteArray>("text"); // what `file` holds afterwards; "!text": does not hold
    const QString report = QStringLiteral("2026-12-06_09-36-40/");
    QTest::newRow("named pipe called report.html found before the runner's") << report + "assets/report.html"
                                                                             << "report.html" << QByteArray("--accent: #005a9c;");
    QTest::newRow("named pipe called report.json found before the runner's")
        << report + "assets/report.json"
        << "report-custom.html" << QByteArray("<td colspan=\"6\">Flow: ");
    QTest::newRow("named pipe for network_log.txt") << "network_log.txt"
                                                    << "report.html" << QByteArray("!addNetfoxPanel");
    QTest::newRow("named pipe among the Allure results")
        << report + "allure-results/flow-001-result.json"
        << "allure-results/flow-000-result.json" << QByteArray("Netfox Network Log");
    QTest::newRow("named pipe for a flow's detail file") << report + "flows/flow-000.json"
                                                         << "report-custom.html" << QByteArray("<td colspan=\"6\">Flow: ");
}

void TestReportPostProcessing::namedPipes()
{
    QFETCH(QString, pipe);
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString path = run + u'/' + pipe;
    QFile::remove(path);
    QVERIFY(makeFifo(path));
    QVERIFY2(
        finishesBesidePipe(path, [&] { ReportGenerator().generate(run, std::nullopt); }), "the hand-off waited on a named pipe");
    QVERIFY(holds(basicReportFolder(run) + u'/' + file, text));
}

void TestReportPostProcessing::links_data()
{
    // A copied run folder can hold links with the runner's names. What they
    // point to is never written (nor created), and a linked log is no log.
    QTest::addColumn<QString>("link"); // relative to the run folder
    QTest::addColumn<QString>("target"); // relative to the temporary folder
    QTest::addColumn<QByteArray>("content"); // of the target; null: not there; "@log": the run's log
    QTest::addColumn<bool>("generated");
    QTest::addColumn<QString>("file"); // relative to the report folder
    QTest::addColumn<QByteArray>("text"); // what `file` holds afterwards; "!text": does not hold
    const QString report = QStringLiteral("2026-12-06_09-36-40/");
    QTest::newRow("report.html links to a page elsewhere")
        << report + "report.html"
        << "elsewhere/page.html" << QByteArray("<html><style>--accent: #06b6d4;</style><body>mine</body></html>\n") << false
        << "report-custom.html" << QByteArray("<html");
    QTest::newRow("an Allure result links to a JSON file elsewhere")
        << report + "allure-results/flow-001-result.json"
        << "elsewhere/settings.json" << QByteArray("{\n    \"theme\": \"dark\"\n}\n") << true
        << "allure-results/flow-000-result.json" << QByteArray("Netfox Network Log");
    QTest::newRow("network_log.txt links to a file outside the run")
        << "network_log.txt"
        << "secret.txt" << QByteArray("@log") << true << "report.html" << QByteArray("!addNetfoxPanel");
    QTest::newRow("network_log.txt links to a log inside the run")
        << "network_log.txt"
        << "SIT_20261206_093640/logs/real_log.txt" << QByteArray("@log") << true << "report.html"
        << QByteArray("!addNetfoxPanel");
    QTest::newRow("report-custom.html links to a file elsewhere")
        << report + "report-custom.html"
        << "elsewhere/notes.txt" << QByteArray("my notes\n") << true << "report-custom.html" << QByteArray("<html");
    QTest::newRow("report-custom.html links to a file not there yet")
        << report + "report-custom.html"
        << "elsewhere/notes.txt" << QByteArray() << true << "report-custom.html" << QByteArray("<html");
}

void TestReportPostProcessing::links()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QByteArray, content);
    QFETCH(bool, generated);
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString targetPath = dir.filePath(target);
    if (content == "@log")
        content = readFile(run + QStringLiteral("/network_log.txt"));
    QVERIFY(content.isNull() ? QDir().mkpath(QFileInfo(targetPath).absolutePath()) : writeFile(targetPath, content));
    QFile::remove(run + u'/' + link);
    QVERIFY(QFile::link(targetPath, run + u'/' + link));

    QString why;
    QCOMPARE(ReportGenerator().generate(run, std::nullopt, &why), generated);
    if (content.isNull())
        QVERIFY(!QFileInfo::exists(targetPath));
    else
        QCOMPARE(readFile(targetPath), content);
    QVERIFY(holds(basicReportFolder(run) + u'/' + file, text));
    if (link == u"network_log.txt") // nor attached to the Allure results
        QCOMPARE(QDir(basicReportFolder(run) + "/allure-results").entryList({ "*-attachment.txt" }, QDir::Files), QStringList());
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
    const QString path = basicReportFolder(run) + u'/' + target;
    if (target.startsWith(QLatin1String("allure"))) {
        // A result larger than the limit and than the log, so the log's copy
        // fits and the rewritten result does not.
        QJsonObject result = readJsonObject(path);
        result.insert(QStringLiteral("description"), QString(limit, u'd'));
        QVERIFY(writeFile(path, QJsonDocument(result).toJson(QJsonDocument::Compact)));
    } else if (target == QLatin1String("report-custom.html")) {
        QVERIFY(writeFile(path, "<html>the page of the earlier build</html>\n"));
    }
    const QByteArray original = readFile(path);

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
    QCOMPARE(readFile(path), original);
    // No temporary file is left beside it.
    QCOMPARE(
        QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".tmp")), QStringList());
}

QTEST_GUILESS_MAIN(TestReportPostProcessing)
#include "tst_reportpostprocessing.moc"
