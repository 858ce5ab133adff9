// The custom report page: counts, numbering, evidence, the API calls per
// command, escaping of every foreign text, and a golden page of the sample run.
#include "reporttestsupport.h"

#include "reports/apihitindex.h"
#include "reports/customreportbuilder.h"
#include "reports/htmlescape.h"
#include "reports/reportresources.h"
#include "reports/steprowrenderer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ReportTestSupport;

namespace {

const QDateTime kNow(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC);

CustomReportOptions fixedOptions(std::optional<QString> bundleId = std::nullopt)
{
    CustomReportOptions options;
    options.now = kNow;
    options.appVersion = QStringLiteral("9.9.9");
    options.environment
        = [bundleId](const QString &name) { return name == QLatin1String("BUNDLE_ID") ? bundleId : std::nullopt; };
    return options;
}

std::vector<FlowCommand> commandsFrom(const QByteArray &json)
{
    const auto details = FlowDetailsJSON::decode("{\"commands\":" + json + "}");
    return details && details->commands ? *details->commands : std::vector<FlowCommand> {};
}

NetworkHit hit(const QString &id, const QDateTime &time, const QString &url = QStringLiteral("https://api.example.com/v1/items"),
    const QString &status = QStringLiteral("200"), const QString &method = QStringLiteral("GET"))
{
    NetworkHit h;
    h.id = id;
    h.time = time;
    h.url = url;
    h.reqMethod = method;
    h.reqHeaders = QStringLiteral("Accept: \"application/json\"");
    h.reqBody = QStringLiteral("No Request Body");
    h.resStatus = status;
    h.resHeaders = QStringLiteral("Content-Type: application/json");
    h.resBody = QStringLiteral("{\"ok\":true}");
    return h;
}

QString rows(const std::vector<FlowCommand> &commands, const NetworkHitList &hits, StepRowRenderer::FlowState &state)
{
    const ApiHitIndex index(hits);
    const StepRowRenderer renderer(hits, index);
    QString out;
    renderer.renderStepRows(out, commands, state, QString());
    return out;
}

QString rows(const std::vector<FlowCommand> &commands, const NetworkHitList &hits = {})
{
    StepRowRenderer::FlowState state;
    return rows(commands, hits, state);
}

// A report folder with one flow whose detail file holds `commands`.
QString writeRun(
    const QString &root, const QString &runName, const QByteArray &commands, const QByteArray &extraReport = QByteArray())
{
    const QString report = root + QLatin1Char('/') + runName + QStringLiteral("/report");
    writeAll(report + QStringLiteral("/report.json"),
        "{" + extraReport
            + "\"flows\":[{\"name\":\"Flow A\",\"dataFile\":\"flows/flow-000.json\",\"assetsDir\":\"assets/flow-000\"}]}");
    writeAll(report + QStringLiteral("/flows/flow-000.json"), "{\"commands\":" + commands + "}");
    return report;
}

} // namespace

class TestCustomReport final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void stepCounts_data();
    void stepCounts();
    void numberingAndPadding();
    void rowCells_data();
    void rowCells();
    void apiWindow_data();
    void apiWindow();
    void apiClaimedOncePerFlow();
    void apiOnlyForLeafCommandsWithTimes();
    void endpoint_data();
    void endpoint();
    void statusBadge_data();
    void statusBadge();
    void evidence();
    void resolveAppId_data();
    void resolveAppId();
    void hostileTextsAreEscaped_data();
    void hostileTextsAreEscaped();
    void exchangeTableEscaping();
    void dashboardOfFailedDeepRun();
    void missingOrBrokenFiles();
    void namedFilesStayInsideTheReport_data();
    void namedFilesStayInsideTheReport();
    void detailFileThatIsAPipe();
    void linkedPageIsNotWrittenThrough_data();
    void linkedPageIsNotWrittenThrough();
    void goldenSamplePage();
};

void TestCustomReport::stepCounts_data()
{
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<int>("passed");
    QTest::addColumn<int>("failed");
    QTest::newRow("flat") << QByteArray(R"([{"status":"passed"},{"status":"failed"},{"status":"skipped"}])") << 1 << 1;
    QTest::newRow("every depth") << QByteArray(
        R"([{"status":"passed","subCommands":[{"status":"passed","subCommands":[{"status":"failed"},{"status":"passed"}]}]},{"status":"skipped"}])")
                                 << 3 << 1;
    QTest::newRow("case-sensitive words") << QByteArray(R"([{"status":"Passed"},{"status":"FAILED"},{}])") << 0 << 0;
    QTest::newRow("empty") << QByteArray("[]") << 0 << 0;
}

void TestCustomReport::stepCounts()
{
    QFETCH(QByteArray, commands);
    QFETCH(int, passed);
    QFETCH(int, failed);
    const auto [p, f] = CustomReportBuilder::countStepResults(commandsFrom(commands));
    QCOMPARE(p, passed);
    QCOMPARE(f, failed);
}

void TestCustomReport::numberingAndPadding()
{
    const QString html = rows(commandsFrom(
        R"([{"yaml":"one"},{"yaml":"two","subCommands":[{"yaml":"two.one","subCommands":[{"yaml":"deep","status":"failed"}]},{"yaml":"two.two"}]},{"yaml":"three"}])"));
    const QStringList lines = html.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QVERIFY(
        lines[0].startsWith(QLatin1String("<tr class='flow-0 step-row'><td>1</td><td><div><span class='cmd-text'>one</span>")));
    QVERIFY(lines[1].startsWith(QLatin1String("<tr class='flow-0 step-row'><td>2</td>")));
    QVERIFY(lines[2].startsWith(QLatin1String(
        "<tr class='flow-0 step-row subflow-row'><td style='padding-left: 36px;'>2.1</td><td><div style='padding-left: 20px; "
        "border-left: 2px solid var(--border); margin-left: 4px;'>")));
    QVERIFY(lines[3].startsWith(QLatin1String("<tr class='flow-0 step-row subflow-row'><td style='padding-left: "
                                              "56px;'>2.1.1</td><td><div style='padding-left: 40px;")));
    QVERIFY(lines[4].contains(QLatin1String(">2.2</td>")));
    QVERIFY(lines[5].contains(QLatin1String("<td>3</td>")));
}

void TestCustomReport::rowCells_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("expectedParts");
    QTest::newRow("label from yaml, duration, start time")
        << QByteArray(
               R"({"yaml":"tapOn: x","type":"tapOn","status":"passed","duration":1240,"startTime":"2026-12-06T09:36:44+01:00"})")
        << QStringList { "<span class='cmd-text'>tapOn: x</span>",
               "<td>1.2s<div style='margin-top: 4px; font-size: 11px; color: var(--text-muted);'>08:36:44</div></td>",
               "<td class='passed'>PASSED</td>" };
    QTest::newRow("label from type, no duration")
        << QByteArray(R"({"type":"stopApp","status":"skipped"})")
        << QStringList { "<span class='cmd-text'>stopApp</span>", "<td>0.0s</td>", "<td class='failed'>SKIPPED</td>" };
    QTest::newRow("no status, no label") << QByteArray(
        R"({})") << QStringList { "<span class='cmd-text'>unknown</span>", "<td class='failed'>UNKNOWN</td>" };
    QTest::newRow("error box") << QByteArray(R"({"yaml":"x","error":{"message":"gone"}})")
                               << QStringList { "<strong>Error:</strong> gone</div>" };
    QTest::newRow("empty error message shows no box") << QByteArray(R"({"yaml":"x","error":""})") << QStringList {};
    QTest::newRow("unreadable start shows no time")
        << QByteArray(R"({"startTime":"2026-12-06 09:36:44","duration":90})") << QStringList { "<td>0.1s</td>" };
}

void TestCustomReport::rowCells()
{
    QFETCH(QByteArray, command);
    QFETCH(QStringList, expectedParts);
    const QString html = rows(commandsFrom("[" + command + "]"));
    for (const QString &part : expectedParts)
        QVERIFY2(html.contains(part), qPrintable(html));
    if (expectedParts.isEmpty())
        QVERIFY(!html.contains(QLatin1String("Error:")));
}

void TestCustomReport::apiWindow_data()
{
    QTest::addColumn<int>("offsetMs"); // from the command's start (10:00:00.000; it ends at 10:00:01.000)
    QTest::addColumn<bool>("shown");
    QTest::newRow("just before the start") << -1 << false;
    QTest::newRow("at the start") << 0 << true;
    QTest::newRow("inside") << 600 << true;
    QTest::newRow("0.4 s after the end") << 1400 << true;
    QTest::newRow("0.5 s after the end") << 1500 << true;
    QTest::newRow("0.501 s after the end") << 1501 << false;
    QTest::newRow("0.6 s after the end") << 1600 << false;
}

void TestCustomReport::apiWindow()
{
    QFETCH(int, offsetMs);
    QFETCH(bool, shown);
    const QDateTime start(QDate(2026, 12, 6), QTime(10, 0), Qt::UTC);
    const NetworkHitList hits { hit(QStringLiteral("h1"), start.addMSecs(offsetMs)) };
    const QString html = rows(
        commandsFrom(R"([{"yaml":"x","startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T11:00:01.000+01:00"}])"), hits);
    QCOMPARE(html.contains(QLatin1String("showApiDetails('h1')")), shown);
    QCOMPARE(html.contains(QLatin1String("<div class='api-list'>")), shown);
}

void TestCustomReport::apiClaimedOncePerFlow()
{
    const QDateTime t(QDate(2026, 12, 6), QTime(10, 0, 0, 500), Qt::UTC);
    const NetworkHitList hits { hit(QStringLiteral("late"), t.addSecs(10)), hit(QStringLiteral("a"), t),
        hit(QStringLiteral("a"), t.addMSecs(100)), hit(QStringLiteral("b"), t.addMSecs(200)) };
    const auto commands
        = commandsFrom(R"([{"yaml":"first","startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z"},)"
                       R"({"yaml":"second","startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z"}])");
    StepRowRenderer::FlowState flow0;
    const QStringList lines = rows(commands, hits, flow0).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    // In list order, the duplicate id dropped.
    QCOMPARE(int(lines[0].count(QLatin1String("api-list-item"))), 2);
    QVERIFY(lines[0].indexOf(QLatin1String("showApiDetails('a')")) < lines[0].indexOf(QLatin1String("showApiDetails('b')")));
    QVERIFY(!lines[1].contains(QLatin1String("api-list")));
    // Another flow starts with nothing claimed.
    StepRowRenderer::FlowState flow1;
    flow1.flowIndex = 1;
    QVERIFY(rows(commands, hits, flow1).contains(QLatin1String("showApiDetails('a')")));
}

void TestCustomReport::apiOnlyForLeafCommandsWithTimes()
{
    const QDateTime t(QDate(2026, 12, 6), QTime(10, 0, 0, 500), Qt::UTC);
    const NetworkHitList hits { hit(QStringLiteral("h"), t) };
    QVERIFY(
        !rows(commandsFrom(
                  R"([{"startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z","subCommands":[{"yaml":"child"}]}])"),
            hits)
             .contains(QLatin1String("api-list")));
    QVERIFY(!rows(commandsFrom(R"([{"startTime":"2026-12-06T10:00:00Z"}])"), hits).contains(QLatin1String("api-list")));
    QVERIFY(!rows(commandsFrom(R"([{"startTime":"2026-12-06T10:00:00Z","endTime":"soon"}])"), hits)
                 .contains(QLatin1String("api-list")));
    // The child of a parent gets them.
    QVERIFY(
        rows(commandsFrom(R"([{"subCommands":[{"startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z"}]}])"), hits)
            .contains(QLatin1String("showApiDetails('h')")));
}

void TestCustomReport::endpoint_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("last piece") << "https://api.example.com/v2/cart"
                                << "cart";
    QTest::newRow("trailing slash") << "https://api.example.com/v2/cart/"
                                    << "cart";
    QTest::newRow("query kept") << "https://x.io/a/search?q=1"
                                << "search?q=1";
    QTest::newRow("host only") << "https://x.io"
                               << "x.io";
    QTest::newRow("only slashes") << "///"
                                  << "///";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCustomReport::endpoint()
{
    QFETCH(QString, url);
    QFETCH(QString, endpoint);
    QCOMPARE(StepRowRenderer::endpointOf(url), endpoint);
}

void TestCustomReport::statusBadge_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("cssClass");
    QTest::newRow("timeout") << "TIMEOUT"
                             << "timeout";
    QTest::newRow("200") << "200"
                         << "success";
    QTest::newRow("302") << "302"
                         << "warning";
    QTest::newRow("404") << "404"
                         << "error";
    QTest::newRow("503") << "503"
                         << "error";
    QTest::newRow("999") << "999"
                         << "warning";
    QTest::newRow("lower-case timeout") << "timeout"
                                        << "warning";
    QTest::newRow("empty") << ""
                           << "warning";
}

void TestCustomReport::statusBadge()
{
    QFETCH(QString, status);
    QFETCH(QString, cssClass);
    QCOMPARE(StepRowRenderer::apiStatusClass(status), cssClass);
    NetworkHit h = hit(QStringLiteral("i"), kNow, QStringLiteral("https://x/y"), status, QStringLiteral("POST"));
    QVERIFY(StepRowRenderer::apiItem(h).contains(QStringLiteral("<span class='api-badge api-status ") + cssClass
        + QStringLiteral("'>") + status + QStringLiteral("</span>")));
    QVERIFY(StepRowRenderer::apiItem(h).contains(QLatin1String("<span class='api-badge api-method post'>POST</span>")));
}

void TestCustomReport::evidence()
{
    StepRowRenderer::FlowState state;
    state.assetsFolderText = QStringLiteral("assets/flow-000");
    state.pngFiles = QStringList { QStringLiteral("cmd-002-a.png"), QStringLiteral("cmd-002-b.png") };
    state.usedScreenshots.insert(QStringLiteral("cmd-002-a.png"));
    const QString html = rows(
        commandsFrom(
            R"([{"type":"tapOn","artifacts":{"viewHierarchy":"h.xml","screenshotAfter":"assets/flow-000/cmd-001-after.png"}},)"
            R"({"type":"takeScreenshot","index":2,"artifacts":{}},{"type":"takeScreenshot","index":2},{"type":"tapOn","index":2}])"),
        {}, state);
    const QStringList lines = html.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(html.contains(QLatin1String("<img src=\"assets/flow-000/cmd-001-after.png\" alt=\"Screenshot\" loading=\"lazy\" "
                                        "onclick=\"openLightbox(this.src)\">")));
    QVERIFY(html.contains(QLatin1String("word-break: break-all;\">cmd-001-after.png</div>")));
    QVERIFY(html.contains(QLatin1String("src=\"assets/flow-000/cmd-002-b.png\"")));
    QVERIFY(!html.contains(QLatin1String("cmd-002-a.png")));
    QCOMPARE(int(html.count(QLatin1String("screenshot-container"))), 2);
    QVERIFY(state.usedScreenshots.contains(QStringLiteral("cmd-002-b.png")));
}

void TestCustomReport::resolveAppId_data()
{
    QTest::addColumn<QString>("appId"); // "-" when absent
    QTest::addColumn<QString>("runFolder");
    QTest::addColumn<QString>("environment"); // "-" when unset
    QTest::addColumn<QString>("expected");
    QTest::newRow("from the report") << "com.shop.app"
                                     << "UAT_20261206_093640"
                                     << "env.id"
                                     << "com.shop.app";
    QTest::newRow("placeholder, UAT preset") << "${BUNDLE_ID}"
                                             << "UAT_20261206_093640"
                                             << "-"
                                             << "io.kestrune.demo.uat";
    QTest::newRow("placeholder, environment wins") << "${BUNDLE_ID}"
                                                   << "UAT_20261206_093640"
                                                   << "env.id"
                                                   << "env.id";
    QTest::newRow("absent, SIT preset") << "-"
                                        << "SIT_20261206_093640"
                                        << "-"
                                        << "io.kestrune.demo.sit";
    QTest::newRow("PREPROD preset") << "Unknown"
                                    << "PREPROD_20261206_093640"
                                    << "-"
                                    << "io.kestrune.demo.preprod";
    QTest::newRow("custom run keeps placeholder") << "${BUNDLE_ID}"
                                                  << "CUSTOM_20261206_093640"
                                                  << "-"
                                                  << "${BUNDLE_ID}";
    QTest::newRow("absent, custom run") << "-"
                                        << "CUSTOM_20261206_093640"
                                        << "-"
                                        << "Unknown";
    QTest::newRow("prefix needs the underscore") << "-"
                                                 << "SITE_20261206_093640"
                                                 << "-"
                                                 << "Unknown";
}

void TestCustomReport::resolveAppId()
{
    QFETCH(QString, appId);
    QFETCH(QString, runFolder);
    QFETCH(QString, environment);
    QFETCH(QString, expected);
    const auto options = fixedOptions(environment == QLatin1String("-") ? std::nullopt : std::optional<QString>(environment));
    const std::optional<QString> id = appId == QLatin1String("-") ? std::nullopt : std::optional<QString>(appId);
    QCOMPARE(CustomReportBuilder::resolveAppId(id, runFolder, options), expected);
}

void TestCustomReport::hostileTextsAreEscaped_data()
{
    QTest::addColumn<QString>("hostile");
    QTest::newRow("script") << "</td></tr><script>window.__pwned=1</script>";
    QTest::newRow("img onerror") << "<img src=x onerror=\"window.__pwned=1\">";
    QTest::newRow("attribute break") << "x' onmouseover='window.__pwned=1' y=\"";
    QTest::newRow("js string break") << "a');window.__pwned=1;('";
}

void TestCustomReport::hostileTextsAreEscaped()
{
    QFETCH(QString, hostile);
    QTemporaryDir dir;
    const QByteArray quoted = QJsonDocument(QJsonArray { hostile }).toJson(QJsonDocument::Compact).mid(1).chopped(1);
    const QString report = writeRun(dir.path(), QStringLiteral("SIT_20261206_093640"),
        "[{\"yaml\":" + quoted + ",\"status\":" + quoted + ",\"error\":{\"message\":" + quoted
            + "},\"startTime\":\"2026-12-06T10:00:00Z\",\"endTime\":\"2026-12-06T10:00:01Z\",\"artifacts\":{\"a\":"
            + quoted.chopped(1) + ".png\"}}]",
        "\"device\":{\"name\":" + quoted + ",\"id\":" + quoted + ",\"platform\":" + quoted + "},\"app\":{\"id\":" + quoted
            + "},\"maestroRunner\":{\"version\":" + quoted + "},");
    const auto decoded = MaestroFullReport::decode(readAll(report + QStringLiteral("/report.json")));
    QVERIFY(decoded);
    NetworkHit h = hit(hostile, QDateTime(QDate(2026, 12, 6), QTime(10, 0, 0, 300), Qt::UTC),
        QStringLiteral("https://x/") + hostile, hostile, hostile);
    h.resBody = hostile;
    h.reqHeaders = hostile;
    const QString page
        = CustomReportBuilder::buildPage(*decoded, report, QStringLiteral("SIT_20261206_093640"), { h }, fixedOptions());
    // The exchange table is JSON inside the script block: it must parse
    // back to the same texts and hold no markup at all.
    const qsizetype tableStart = page.indexOf(QLatin1String("const apiData = ")) + 16;
    const qsizetype tableEnd = page.indexOf(QLatin1String(";\n\n"), tableStart);
    QVERIFY(tableStart > 16 && tableEnd > tableStart);
    const QString table = page.mid(tableStart, tableEnd - tableStart);
    QVERIFY(!table.contains(QLatin1Char('<')) && !table.contains(QLatin1Char('>')));
    QCOMPARE(
        QJsonDocument::fromJson(table.toUtf8()).object().value(hostile).toObject().value(QLatin1String("resBody")).toString(),
        hostile);
    // Everywhere else nothing of the hostile text survives unescaped: no
    // tag, quote or closing sequence of it appears as written.
    const QString rest = page.left(tableStart) + page.mid(tableEnd);
    QVERIFY(!rest.contains(hostile));
    QVERIFY(!rest.contains(QLatin1String("<script>window")));
    QVERIFY(!rest.contains(QLatin1String("<img src=x")));
    QVERIFY(!rest.contains(QLatin1String("' onmouseover=")));
    QVERIFY(!rest.contains(QLatin1String("');window")));
    QCOMPARE(int(page.count(QLatin1String("<script>"))), 1);
    QCOMPARE(int(page.count(QLatin1String("</script>"))), 1);
    QVERIFY(page.contains(QLatin1String("<span class='cmd-text'>") + HtmlEscape::text(hostile)));
    QVERIFY(page.contains(QLatin1String("onclick=\"showApiDetails('") + HtmlEscape::jsString(hostile) + QLatin1String("')\"")));
}

void TestCustomReport::exchangeTableEscaping()
{
    NetworkHit h = hit(QStringLiteral("1.0_https://x/a\"b</script>"), kNow);
    h.resBody = QStringLiteral("</script><script>alert(1)</script>");
    const QString table = CustomReportBuilder::exchangeTable({ h, hit(QStringLiteral("2"), kNow) });
    QVERIFY(!table.contains(QLatin1String("</script>")));
    QVERIFY(table.startsWith(QLatin1String(R"({"1.0_https:\/\/x\/a\"b\u003c\/script\u003e":{"url":)")));
    QVERIFY(table.contains(QLatin1String(R"(},"2":{"url":"https:\/\/api.example.com\/v1\/items","reqMethod":"GET",)")));
    QVERIFY(table.endsWith(QLatin1String(R"("resBody":"{\"ok\":true}"}})")));
    // It is valid JSON that reads back to the same texts.
    const QJsonObject parsed = QJsonDocument::fromJson(table.toUtf8()).object();
    QCOMPARE(parsed.size(), 2);
    QCOMPARE(parsed.value(h.id).toObject().value(QLatin1String("resBody")).toString(), h.resBody);
    QCOMPARE(CustomReportBuilder::exchangeTable({}), QStringLiteral("{}"));
}

void TestCustomReport::dashboardOfFailedDeepRun()
{
    QTemporaryDir dir;
    const QString report = writeRun(dir.path(), QStringLiteral("UAT_20261206_093640"),
        R"([{"status":"passed"},{"status":"passed","subCommands":[{"status":"passed","subCommands":[{"status":"failed","yaml":"deep"}]}]}])",
        R"("startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:01:05.25Z","device":{"platform":"ios","osVersion":"27.0","isSimulator":true},"app":{"id":"${BUNDLE_ID}"},)");
    QString error;
    QVERIFY(CustomReportBuilder::generateCustomReport(
        report + QStringLiteral("/report.json"), dir.filePath(QStringLiteral("none.txt")), std::nullopt, &error, fixedOptions()));
    const QString page = QString::fromUtf8(readAll(report + QStringLiteral("/report-custom.html")));
    QVERIFY(page.contains(QLatin1String("<span class=\"status-badge status-fail\">FAILED</span>")));
    QVERIFY(page.contains(
        QLatin1String("Steps Passed</span><span class=\"card-value\" style=\"color: var(--success); font-weight: 600;\">3<")));
    QVERIFY(page.contains(
        QLatin1String("Steps Failed</span><span class=\"card-value\" style=\"color: var(--danger); font-weight: 600;\">1<")));
    QVERIFY(page.contains(QLatin1String("<td style='padding-left: 56px;'>2.1.1</td>")));
    QVERIFY(page.contains(QLatin1String(">Ios 27.0<")));
    QVERIFY(page.contains(QLatin1String(">Simulator<")));
    QVERIFY(page.contains(QLatin1String(">io.kestrune.demo.uat<")));
    QVERIFY(page.contains(QLatin1String(">65.2s<")) || page.contains(QLatin1String(">65.3s<")));
    QVERIFY(page.contains(QLatin1String(">2026-12-06 10:00:00<")));
    QVERIFY(page.contains(QLatin1String("Total API Calls</span><span class=\"card-value\">0<")));
    QVERIFY(page.contains(QLatin1String("style=\"color: var(--text-main); font-weight: 600;\">0<")));
    QVERIFY(page.contains(QLatin1String("const apiData = {};")));
    QVERIFY(page.contains(QLatin1String("QA automation report v9.9.9</div>")));
    QVERIFY(page.contains(QLatin1String("<div class=\"header-right-value\">06 Dec 2026, 10:00</div>")));
}

void TestCustomReport::missingOrBrokenFiles()
{
    QTemporaryDir dir;
    QString error;
    // No report.json: not an error, no page.
    QVERIFY(
        CustomReportBuilder::generateCustomReport(dir.filePath(QStringLiteral("report.json")), QString(), std::nullopt, &error));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("report-custom.html"))));

    // A report.json of the wrong shape: an error, and an earlier page stays.
    QVERIFY(writeAll(dir.filePath(QStringLiteral("report.json")), R"({"flows":"none"})"));
    QVERIFY(writeAll(dir.filePath(QStringLiteral("report-custom.html")), "earlier"));
    QVERIFY(
        !CustomReportBuilder::generateCustomReport(dir.filePath(QStringLiteral("report.json")), QString(), std::nullopt, &error));
    QVERIFY(error.contains(QLatin1String("flows")));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("report-custom.html"))), QByteArray("earlier"));

    // A detail file that does not decode: the flow keeps only its header row.
    const QString report = writeRun(dir.path(), QStringLiteral("SIT_20261206_093640"), R"([{"status":1}])");
    QVERIFY(CustomReportBuilder::generateCustomReport(
        report + QStringLiteral("/report.json"), QString(), std::nullopt, &error, fixedOptions()));
    const QString page = QString::fromUtf8(readAll(report + QStringLiteral("/report-custom.html")));
    QVERIFY(page.contains(QLatin1String("<td colspan=\"6\">Flow: Flow A</td>")));
    QVERIFY(!page.contains(QLatin1String("<tr class='flow-0")));
    QVERIFY(page.contains(QLatin1String("status-pass\">PASSED")));
}

void TestCustomReport::namedFilesStayInsideTheReport_data()
{
    // report.json names the flow's detail file and screenshot folder; only
    // places inside the report folder count.
    QTest::addColumn<QString>("dataFile");
    QTest::addColumn<QString>("assetsDir");
    QTest::addColumn<bool>("read");
    QTest::newRow("the runner's paths") << "flows/flow-000.json" << "assets/flow-000" << true;
    QTest::newRow("a detour that stays inside") << "flows/../flows/flow-000.json" << "assets/./flow-000" << true;
    QTest::newRow("up and out") << "../outside/detail.json" << "../outside" << false;
    QTest::newRow("out and back in by name") << "../report/../outside/detail.json" << "flows/../../outside" << false;
    QTest::newRow("absolute") << "%1/outside/detail.json" << "%1/outside" << false;
    QTest::newRow("through a link inside") << "escape/detail.json" << "escape" << false;
}

void TestCustomReport::namedFilesStayInsideTheReport()
{
    QFETCH(QString, dataFile);
    QFETCH(QString, assetsDir);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report"));
    const QByteArray commands = R"([{"yaml":"tapOn: DETAIL_TEXT","status":"passed"}])";
    // The same detail file inside the report and outside it.
    for (const QString &folder : QStringList { report + QStringLiteral("/flows"), dir.filePath(QStringLiteral("outside")) }) {
        const QString name = folder.endsWith(QLatin1String("flows")) ? QStringLiteral("flow-000.json") : QStringLiteral("detail.json");
        QVERIFY(writeAll(folder + u'/' + name, "{\"commands\":" + commands + "}"));
    }
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside")), report + QStringLiteral("/escape")));
    const auto json = [&](const QString &text) { return QJsonValue(QString(text).replace(QLatin1String("%1"), dir.path())); };
    QJsonObject flow { { "name", "Flow A" }, { "dataFile", json(dataFile) }, { "assetsDir", json(assetsDir) } };
    QVERIFY(writeAll(report + QStringLiteral("/report.json"), QJsonDocument(QJsonObject { { "flows", QJsonArray { flow } } }).toJson()));

    QString error;
    QVERIFY2(CustomReportBuilder::generateCustomReport(
                 report + QStringLiteral("/report.json"), QString(), std::nullopt, &error, fixedOptions()),
        qPrintable(error));
    const QString page = QString::fromUtf8(readAll(report + QStringLiteral("/report-custom.html")));
    QCOMPARE(page.contains(QLatin1String("DETAIL_TEXT")), read);
}

void TestCustomReport::detailFileThatIsAPipe()
{
    // A named pipe where the flow's detail file should be (an unpacked
    // archive can hold one): the page is still made, with the flow's header
    // row only.
    QTemporaryDir dir;
    const QString report = writeRun(dir.path(), QStringLiteral("SIT_20261206_093640"), "[]");
    const QByteArray pipe = QFile::encodeName(report + QStringLiteral("/flows/flow-000.json"));
    QVERIFY(QFile::remove(QFile::decodeName(pipe)));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);

    bool made = false;
    QString error;
    const bool finished = finishesBesidePipe(pipe, [&] {
        made = CustomReportBuilder::generateCustomReport(
            report + QStringLiteral("/report.json"), QString(), std::nullopt, &error, fixedOptions());
    });
    QVERIFY2(finished, "the page waited on a named pipe");
    QVERIFY2(made, qPrintable(error));
    QVERIFY(readAll(report + QStringLiteral("/report-custom.html")).contains("<td colspan=\"6\">Flow: Flow A</td>"));
}

void TestCustomReport::linkedPageIsNotWrittenThrough_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("link to a file elsewhere") << true;
    QTest::newRow("link to a file not there yet") << false;
}

void TestCustomReport::linkedPageIsNotWrittenThrough()
{
    // A copied report folder whose report-custom.html is a link to a file
    // elsewhere: generating the page must neither overwrite nor create that
    // file; the link itself gives way to the page.
    QFETCH(bool, targetExists);
    QTemporaryDir dir;
    const QString report = writeRun(dir.path(), QStringLiteral("SIT_20261206_093640"), R"([{"status":"passed"}])");
    const QString outside = dir.filePath(QStringLiteral("elsewhere/notes.txt"));
    QVERIFY(QDir().mkpath(QFileInfo(outside).absolutePath()));
    if (targetExists)
        QVERIFY(writeAll(outside, "my notes\n"));
    QVERIFY(QFile::link(outside, report + QStringLiteral("/report-custom.html")));

    QString error;
    QVERIFY2(CustomReportBuilder::generateCustomReport(
                 report + QStringLiteral("/report.json"), QString(), std::nullopt, &error, fixedOptions()),
        qPrintable(error));
    if (targetExists)
        QCOMPARE(readAll(outside), QByteArray("my notes\n"));
    else
        QVERIFY(!QFileInfo::exists(outside));
    const QFileInfo page(report + QStringLiteral("/report-custom.html"));
    QVERIFY(!page.isSymLink());
    QVERIFY(readAll(page.filePath()).contains("<html"));
}

void TestCustomReport::goldenSamplePage()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    const auto decoded = MaestroFullReport::decode(readAll(report + QStringLiteral("/report.json")));
    QVERIFY(decoded);
    // Exchanges as the parser gives them, with fixed ids.
    NetworkHit session = hit(QStringLiteral("1796546202.0_https://api.example.com/v2/session_POST_17"),
        QDateTime(QDate(2026, 12, 6), QTime(8, 36, 42), Qt::UTC), QStringLiteral("https://api.example.com/v2/session"),
        QStringLiteral("200"), QStringLiteral("POST"));
    session.resBody = QStringLiteral("{\n  \"token\" : \"abc\"\n}");
    const NetworkHitList hits {
        session,
        hit(QStringLiteral("1796546205.0_https://api.example.com/v2/cart/_GET_3"),
            QDateTime(QDate(2026, 12, 6), QTime(8, 36, 45), Qt::UTC), QStringLiteral("https://api.example.com/v2/cart/"),
            QStringLiteral("404")),
        hit(QStringLiteral("1796546212.0_https://api.example.com/v2/pay_POST_9"),
            QDateTime(QDate(2026, 12, 6), QTime(8, 36, 52), Qt::UTC), QStringLiteral("https://api.example.com/v2/pay"),
            QStringLiteral("TIMEOUT"), QStringLiteral("POST")),
    };
    QString page = CustomReportBuilder::buildPage(*decoded, report, QStringLiteral("SIT_20261206_093640"), hits, fixedOptions());
    QCOMPARE(int(page.count(ReportResources::logoDataUri())), 1);
    page.replace(ReportResources::logoDataUri(), QStringLiteral("@LOGO@"));
    QVERIFY(matchesGolden(dataDir() + QStringLiteral("/golden/report-custom.html"), page.toUtf8()));
}

QTEST_GUILESS_MAIN(TestCustomReport)
#include "tst_customreport.moc"
