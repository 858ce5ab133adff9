// The custom report page and the runner's files it reads: times and the
// flow detail file decoded, the API calls per command, escaping of every
// foreign text, broken and huge report files, paths leaving the report
// folder, and a golden page of the sample run (which pins the markup).
#include "reporttestsupport.h"

#include "reports/apihitindex.h"
#include "reports/customreportbuilder.h"
#include "reports/fullreportmodels.h"
#include "reports/reportformatters.h"
#include "reports/reporthistorystore.h"
#include "reports/reportresources.h"
#include "reports/steprowrenderer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

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

QString rows(const std::vector<FlowCommand> &commands, const NetworkHitList &hits)
{
    const ApiHitIndex index(hits);
    StepRowRenderer::FlowState state;
    QString out;
    StepRowRenderer(hits, index).renderStepRows(out, commands, state, QString());
    return out;
}

// A report folder with one flow whose detail file holds `commands`.
QString writeRun(const QString &root, const QByteArray &commands, const QByteArray &extraReport = QByteArray())
{
    const QString report = root + QStringLiteral("/SIT_20261206_093640/report");
    writeFile(report + QStringLiteral("/report.json"),
        "{" + extraReport
            + "\"flows\":[{\"name\":\"Flow A\",\"dataFile\":\"flows/flow-000.json\",\"assetsDir\":\"assets/flow-000\"}]}");
    writeFile(report + QStringLiteral("/flows/flow-000.json"), "{\"commands\":" + commands + "}");
    return report;
}

bool generate(const QString &report, QString *error)
{
    return CustomReportBuilder::generateCustomReport(
        report + QStringLiteral("/report.json"), QString(), std::nullopt, error, fixedOptions());
}

} // namespace

class TestCustomReport final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void internetDateTime_data();
    void internetDateTime();
    void detailFileDecoding_data();
    void detailFileDecoding();
    void apiList_data();
    void apiList();
    void resolveAppId_data();
    void resolveAppId();
    void hostileTextsAreEscaped_data();
    void hostileTextsAreEscaped();
    void brokenFiles_data();
    void brokenFiles();
    void hugeReportJson();
    void namedFilesStayInsideTheReport_data();
    void namedFilesStayInsideTheReport();
    void goldenSamplePage();
};

void TestCustomReport::internetDateTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expectedMsecs"); // -1: does not parse

    const qint64 base = QDateTime(QDate(2026, 12, 6), QTime(8, 36, 44), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("on the second, no fraction") << "2026-12-06T09:36:44+01:00" << base;
    QTest::newRow("one digit") << "2026-12-06T09:36:44.5+01:00" << base + 500;
    QTest::newRow("eight digits") << "2026-12-06T09:36:44.62944893+01:00" << base + 629;
    QTest::newRow("negative offset") << "2026-12-06T03:06:44.1-05:30" << base + 100;
    QTest::newRow("ten digits") << "2026-12-06T09:36:44.2286447491+01:00" << qint64(-1);
    QTest::newRow("no zone") << "2026-12-06T09:36:44.5" << qint64(-1);
    QTest::newRow("no such day") << "2026-02-30T09:36:44Z" << qint64(-1);
}

void TestCustomReport::internetDateTime()
{
    QFETCH(QString, text);
    QFETCH(qint64, expectedMsecs);
    const auto parsed = ReportFormatters::parseInternetDateTime(text);
    if (expectedMsecs < 0) {
        QVERIFY(!parsed);
        return;
    }
    QVERIFY(parsed);
    QCOMPARE(parsed->toMSecsSinceEpoch(), expectedMsecs);
}

void TestCustomReport::detailFileDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("firstError"); // the first command's error message; "-": none; "!": the file fails
    QTest::newRow("error object with message only")
        << QByteArray(R"({"commands":[{"index":4,"error":{"message":"boom"}}]})") << "boom";
    QTest::newRow("runner's error object, all strings")
        << QByteArray(R"({"commands":[{"error":{"type":"T","message":"m \u003cb\u003e","details":"","suggestion":"s"}}]})")
        << "m <b>";
    QTest::newRow("error object with a numeric member")
        << QByteArray(R"({"commands":[{"error":{"message":"b","code":3}}]})") << "!";
    QTest::newRow("error object without message") << QByteArray(R"({"commands":[{"error":{"type":"T"}}]})") << "!";
    QTest::newRow("plain string error") << QByteArray(R"({"commands":[{"error":"plain"}]})") << "plain";
    QTest::newRow("numeric error") << QByteArray(R"({"commands":[{"error":7}]})") << "!";
    QTest::newRow("null error and index are absent") << QByteArray(R"({"commands":[{"error":null,"index":null}]})") << "-";
    QTest::newRow("fractional index") << QByteArray(R"({"commands":[{"index":4.5}]})") << "!";
    QTest::newRow("non-string artifact") << QByteArray(R"({"commands":[{"artifacts":{"a":1}}]})") << "!";
    QTest::newRow("nested sub-command of wrong type")
        << QByteArray(R"({"commands":[{"subCommands":[{"subCommands":[{"status":1}]}]}]})") << "!";
    QTest::newRow("not JSON") << QByteArray("{\"commands\":[") << "!";
}

void TestCustomReport::detailFileDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, firstError);
    QString error;
    const auto details = FlowDetailsJSON::decode(json, &error);
    QCOMPARE(details.has_value(), firstError != u"!");
    QCOMPARE(error.isEmpty(), bool(details));
    if (details) {
        QVERIFY(details->commands && !details->commands->empty());
        const FlowCommand &command = details->commands->front();
        QCOMPARE(command.error ? command.error->message : QStringLiteral("-"), firstError);
    }
}

void TestCustomReport::apiList_data()
{
    // The call is at 10:00:00.000 plus the offset; a leaf command's list
    // shows it from its start to 0.5 s after its end.
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<int>("offsetMs");
    QTest::addColumn<bool>("shown");
    const QByteArray second = R"([{"yaml":"x","startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T11:00:01.000+01:00"}])";
    QTest::newRow("just before the start") << second << -1 << false;
    QTest::newRow("at the start") << second << 0 << true;
    QTest::newRow("0.5 s after the end") << second << 1500 << true;
    QTest::newRow("0.501 s after the end") << second << 1501 << false;
    QTest::newRow("a parent command gets none")
        << QByteArray(R"([{"startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z","subCommands":[{"yaml":"c"}]}])")
        << 500 << false;
    QTest::newRow("no end time") << QByteArray(R"([{"startTime":"2026-12-06T10:00:00Z"}])") << 500 << false;
    QTest::newRow("unreadable end time") << QByteArray(R"([{"startTime":"2026-12-06T10:00:00Z","endTime":"soon"}])") << 500
                                         << false;
    QTest::newRow("the child of a parent gets them")
        << QByteArray(R"([{"subCommands":[{"startTime":"2026-12-06T10:00:00Z","endTime":"2026-12-06T10:00:01Z"}]}])") << 500
        << true;
}

void TestCustomReport::apiList()
{
    QFETCH(QByteArray, commands);
    QFETCH(int, offsetMs);
    QFETCH(bool, shown);
    const NetworkHitList hits { hit(QStringLiteral("h1"), kNow.addMSecs(offsetMs)) };
    const QString html = rows(commandsFrom(commands), hits);
    QCOMPARE(html.contains(QLatin1String("showApiDetails('h1')")), shown);
    QCOMPARE(html.contains(QLatin1String("<div class='api-list'>")), shown);
}

void TestCustomReport::resolveAppId_data()
{
    QTest::addColumn<QString>("fields"); // the report's app id, the run folder, BUNDLE_ID, the id shown; "-": absent
    QTest::newRow("from the report") << "com.shop.app UAT_20261206_093640 env.id com.shop.app";
    QTest::newRow("placeholder, UAT preset") << "${BUNDLE_ID} UAT_20261206_093640 - io.kestrune.demo.uat";
    QTest::newRow("placeholder, environment wins") << "${BUNDLE_ID} UAT_20261206_093640 env.id env.id";
    QTest::newRow("absent, SIT preset") << "- SIT_20261206_093640 - io.kestrune.demo.sit";
    QTest::newRow("custom run keeps placeholder") << "${BUNDLE_ID} CUSTOM_20261206_093640 - ${BUNDLE_ID}";
    QTest::newRow("prefix needs the underscore") << "- SITE_20261206_093640 - Unknown";
}

void TestCustomReport::resolveAppId()
{
    QFETCH(QString, fields);
    const QStringList f = fields.split(u' ');
    const auto given = [&](int i) { return f[i] == u"-" ? std::nullopt : std::optional<QString>(f[i]); };
    QCOMPARE(CustomReportBuilder::resolveAppId(given(0), f[1], fixedOptions(given(2))), f[3]);
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
    const QString report = writeRun(dir.path(),
        "[{\"yaml\":" + quoted + ",\"status\":" + quoted + ",\"error\":{\"message\":" + quoted
            + "},\"startTime\":\"2026-12-06T10:00:00Z\",\"endTime\":\"2026-12-06T10:00:01Z\",\"artifacts\":{\"a\":"
            + quoted.chopped(1) + ".png\"}}]",
        "\"device\":{\"name\":" + quoted + ",\"id\":" + quoted + ",\"platform\":" + quoted + "},\"app\":{\"id\":" + quoted
            + "},\"maestroRunner\":{\"version\":" + quoted + "},");
    const auto decoded = MaestroFullReport::decode(readFile(report + QStringLiteral("/report.json")));
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
    QVERIFY(!table.contains(u'<') && !table.contains(u'>'));
    QCOMPARE(
        QJsonDocument::fromJson(table.toUtf8()).object().value(hostile).toObject().value(QLatin1String("resBody")).toString(),
        hostile);
    // Everywhere else nothing of the hostile text survives unescaped: no
    // tag, quote or closing sequence of it appears as written.
    const QString rest = page.left(tableStart) + page.mid(tableEnd);
    for (const char *piece : { "<script>window", "<img src=x", "' onmouseover=", "');window" })
        QVERIFY2(!rest.contains(QLatin1String(piece)), piece);
    QVERIFY(!rest.contains(hostile));
    QCOMPARE(int(page.count(QLatin1String("<script>"))), 1);
    QCOMPARE(int(page.count(QLatin1String("</script>"))), 1);
}

void TestCustomReport::brokenFiles_data()
{
    // A report.json that cannot be used fails with a message and leaves the
    // page of an earlier build as it was.
    QTest::addColumn<QByteArray>("reportJson"); // null: none; "runner's": the one writeRun wrote
    QTest::addColumn<QByteArray>("detail"); // the flow's commands
    QTest::addColumn<bool>("generated");
    QTest::addColumn<QByteArrayList>("page"); // what the page holds afterwards; "!text": does not hold
    const QByteArrayList earlier { "earlier" };
    QTest::newRow("no report.json: nothing to do") << QByteArray() << QByteArray("[]") << true << earlier;
    QTest::newRow("report.json of the wrong shape") << QByteArray(R"({"flows":"none"})") << QByteArray("[]") << false << earlier;
    QTest::newRow("report.json cut off mid-way")
        << QByteArray(R"({"flows":[{"name":"Flow A","dataFile":"flows/fl)") << QByteArray("[]") << false << earlier;
    QTest::newRow("undecodable detail file: the flow's header row only")
        << QByteArray("runner's") << QByteArray(R"([{"status":1}])") << true
        << QByteArrayList { "<td colspan=\"6\">Flow: Flow A</td>", "!<tr class='flow-0", "status-pass\">PASSED" };
}

void TestCustomReport::brokenFiles()
{
    QFETCH(QByteArray, reportJson);
    QFETCH(QByteArray, detail);
    QFETCH(bool, generated);
    QFETCH(QByteArrayList, page);
    QTemporaryDir dir;
    const QString report = writeRun(dir.path(), detail);
    if (reportJson.isNull())
        QVERIFY(QFile::remove(report + QStringLiteral("/report.json")));
    else if (reportJson != "runner's")
        QVERIFY(writeFile(report + QStringLiteral("/report.json"), reportJson));
    QVERIFY(writeFile(report + QStringLiteral("/report-custom.html"), "earlier"));
    QString error;
    QCOMPARE(generate(report, &error), generated);
    QCOMPARE(error.isEmpty(), generated);
    const QByteArray html = readFile(report + QStringLiteral("/report-custom.html"));
    for (const QByteArray &text : page)
        QVERIFY2(text.startsWith('!') ? !html.contains(text.mid(1)) : html.contains(text), text.constData());
}

void TestCustomReport::hugeReportJson()
{
    // A 200 MB report.json (a runner that logged a huge value into it) gives
    // the usual page and history row. (One cut off mid-way: brokenFiles.)
    QTemporaryDir dir;
    const QString run = dir.filePath(QStringLiteral("UAT_20261206_093640"));
    const QString report = run + QStringLiteral("/2026-12-06_09-36-40");
    QVERIFY(writeFile(report + QStringLiteral("/flows/flow-000.json"),
        "{\"commands\":[{\"status\":\"COMPLETED\",\"type\":\"launchApp\",\"index\":0}]}\n"));
    const qint64 bulk = 200LL * 1000 * 1000;
    {
        QFile file(report + QStringLiteral("/report.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"status\":\"passed\",\"device\":{\"name\":\"iPhone de QA\"},\"flows\":[{\"name\":\"Checkout big\","
                   "\"dataFile\":\"flows/flow-000.json\",\"commands\":{\"total\":1,\"passed\":1}}],\"debugLog\":\"");
        const QByteArray chunk = QByteArray("0123456789abcdef").repeated(65536);
        for (qint64 written = 0; written < bulk; written += chunk.size())
            QCOMPARE(file.write(chunk), chunk.size());
        QVERIFY(file.write("\"}\n") == 3 && file.flush());
    }
    QString error;
    QVERIFY2(generate(report, &error), qPrintable(error));
    const QByteArray html = readFile(report + QStringLiteral("/report-custom.html"));
    QVERIFY(html.contains("Checkout big") && html.contains("launchApp"));
    QVERIFY2(html.size() < 5 * 1000 * 1000, "the bulk is copied into the page");
    std::optional<TestReport> row = ReportHistoryStore::readRunFolder(run);
    QVERIFY(row);
    QCOMPARE(row->status, TestStatus::Passed);
    QCOMPARE(row->deviceName, std::optional<QString>(QStringLiteral("iPhone de QA")));
}

void TestCustomReport::namedFilesStayInsideTheReport_data()
{
    // report.json names the flow's detail file and screenshot folder; only
    // places inside the report folder count.
    QTest::addColumn<QString>("dataFile");
    QTest::addColumn<QString>("assetsDir");
    QTest::addColumn<bool>("read");
    QTest::newRow("the runner's paths") << "flows/flow-000.json"
                                        << "assets/flow-000" << true;
    QTest::newRow("a detour that stays inside") << "flows/../flows/flow-000.json"
                                                << "assets/./flow-000" << true;
    QTest::newRow("up and out") << "../outside/detail.json"
                                << "../outside" << false;
    QTest::newRow("out and back in by name") << "../report/../outside/detail.json"
                                             << "flows/../../outside" << false;
    QTest::newRow("absolute") << "%1/outside/detail.json"
                              << "%1/outside" << false;
    QTest::newRow("through a link inside") << "escape/detail.json"
                                           << "escape" << false;
}

void TestCustomReport::namedFilesStayInsideTheReport()
{
    QFETCH(QString, dataFile);
    QFETCH(QString, assetsDir);
    QFETCH(bool, read);
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report"));
    // The same detail file inside the report and outside it.
    const QByteArray detail = R"({"commands":[{"yaml":"tapOn: DETAIL_TEXT","status":"passed"}]})";
    QVERIFY(writeFile(report + QStringLiteral("/flows/flow-000.json"), detail));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("outside/detail.json")), detail));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("outside")), report + QStringLiteral("/escape")));
    const auto json = [&](const QString &text) { return QJsonValue(QString(text).replace(QLatin1String("%1"), dir.path())); };
    QJsonObject flow { { "name", "Flow A" }, { "dataFile", json(dataFile) }, { "assetsDir", json(assetsDir) } };
    QVERIFY(writeFile(
        report + QStringLiteral("/report.json"), QJsonDocument(QJsonObject { { "flows", QJsonArray { flow } } }).toJson()));

    QString error;
    QVERIFY2(generate(report, &error), qPrintable(error));
    QCOMPARE(readFile(report + QStringLiteral("/report-custom.html")).contains("DETAIL_TEXT"), read);
}

void TestCustomReport::goldenSamplePage()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString report = basicReportFolder(run);
    const auto decoded = MaestroFullReport::decode(readFile(report + QStringLiteral("/report.json")));
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
