// Opens generated report-custom.html pages in headless Chromium and drives
// them with a small script appended to a copy: searching filters rows,
// collapsing a flow hides its rows, an API item opens the dialog with the
// body as a JSON tree, hostile texts from the runner's files and the network
// run nothing, and the summary cards keep their values whole. Skipped when no
// Chromium is installed.
#include "reporttestsupport.h"

#include "reports/customreportbuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace ReportTestSupport;

namespace {

// Each payload bumps window.__pwned if it ever runs.
const QString kScript = QStringLiteral("</td></tr><script>window.__pwned=(window.__pwned||0)+1</script>");
const QString kImage = QStringLiteral("<img src=x onerror=\"window.__pwned=(window.__pwned||0)+1\">");
const QString kQuotes = QStringLiteral(
    "x' onmouseover='window.__pwned=1' \"onclick=\"window.__pwned=1\" ');window.__pwned=(window.__pwned||0)+1;('");

// Runs a driver 200 ms after the page loaded; 1.5 s later, when a delayed
// payload would have run, leaves its `results` and window.__pwned in
// <pre id="test-results">, base64 so that the dumped page keeps them as sent.
const char kHarness[] = R"JS(<script>
window.addEventListener('load', function () { setTimeout(function () {
  var results = {};
  try { DRIVER } catch (e) { results.error = String(e) + ' ' + (e.stack || ''); }
  setTimeout(function () {
    results.pwned = window.__pwned || 0;
    var pre = document.body.appendChild(document.createElement('pre'));
    pre.id = 'test-results';
    pre.textContent = btoa(unescape(encodeURIComponent(JSON.stringify(results))));
  }, 1500);
}, 200); });
</script>
)JS";

const char kDriver[] = R"JS(
function visible(selector) {
  return Array.prototype.filter.call(document.querySelectorAll(selector), function (row) {
    return getComputedStyle(row).display !== 'none';
  }).length;
}
function search(text) {
  var input = document.getElementById('searchInput');
  input.value = text;
  input.dispatchEvent(new KeyboardEvent('keyup', {bubbles: true}));
}
results.rows = [visible('tr.step-row.flow-0'), visible('tr.step-row.flow-1')];
search('NEEDLE');
results.searched = visible('tr.step-row');
search('');
results.cleared = visible('tr.step-row');
var header = document.querySelector('tr.flow-header[data-flow="flow-0"]');
header.click();
results.collapsed = [visible('tr.step-row.flow-0'), visible('tr.step-row.flow-1')];
var modal = document.getElementById('apiModal'), title = document.getElementById('modalTitle');
var items = document.querySelectorAll('.api-list-item');
results.opened = 0;
Array.prototype.forEach.call(items, function (item) {
  modal.style.display = 'none';
  title.textContent = '';
  item.click();
  if (getComputedStyle(modal).display !== 'none' && title.textContent !== '') results.opened++;
});
Array.prototype.filter.call(items, function (item) { return item.textContent.indexOf('orders') !== -1; })[0].click();
results.jsonKeys = Array.prototype.map.call(document.querySelectorAll('#Response .json-key'), function (e) { return e.textContent; });
modal.click();
results.closed = getComputedStyle(modal).display;
)JS";

// Lists the card values with a word split over two lines or reaching past
// their card, and the card labels that wrap.
const char kCardDriver[] = R"JS(
results = { broken: [], overflowing: [], wrappedLabels: [], values: 0 };
function lines(range) {
  var tops = {};
  Array.prototype.forEach.call(range.getClientRects(), function (r) { if (r.width > 0) tops[Math.round(r.top)] = true; });
  return Object.keys(tops).length;
}
document.querySelectorAll('.card-value').forEach(function (value) {
  results.values++;
  var walker = document.createTreeWalker(value, NodeFilter.SHOW_TEXT), node;
  while ((node = walker.nextNode())) {
    var words = /\S+/g, m;
    while ((m = words.exec(node.data))) {
      var range = document.createRange();
      range.setStart(node, m.index);
      range.setEnd(node, m.index + m[0].length);
      if (lines(range) > 1) results.broken.push(m[0]);
    }
  }
  if (value.getBoundingClientRect().right > value.closest('.card').getBoundingClientRect().right + 0.5)
    results.overflowing.push(value.textContent);
});
document.querySelectorAll('.card-label').forEach(function (label) {
  var range = document.createRange();
  range.selectNodeContents(label);
  if (lines(range) > 1) results.wrappedLabels.push(label.textContent);
});
)JS";

NetworkHit exchange(
    const QString &id, int second, const QString &url, const QString &method, const QString &status, const QString &body)
{
    NetworkHit hit;
    hit.id = id;
    hit.time = QDateTime(QDate(2026, 12, 6), QTime(10, 0, second), Qt::UTC);
    hit.url = url;
    hit.reqMethod = method;
    hit.reqHeaders = QStringLiteral("Accept: \"application/json\"\n") + kScript;
    hit.reqBody = kImage;
    hit.resStatus = status;
    hit.resHeaders = kQuotes;
    hit.resBody = body;
    return hit;
}

QString findChromium()
{
    QString path = qEnvironmentVariable("KESTRUNE_CHROMIUM");
    for (const char *name : { "chromium", "chromium-browser", "google-chrome", "google-chrome-stable" }) {
        if (path.isEmpty())
            path = QStandardPaths::findExecutable(QLatin1String(name));
    }
    return path;
}

// Builds the page of the report folder `report` (its report.json and flow
// files written already), appends `driver` and opens it in headless Chromium
// `width` pixels wide; returns what the driver left in <pre id="test-results">,
// empty on failure.
QJsonObject drivePage(const QString &chromium, const QString &report, const NetworkHitList &hits, const char *driver, int width)
{
    const auto decoded = MaestroFullReport::decode(readFile(report + QStringLiteral("/report.json")));
    if (!decoded)
        return {};
    CustomReportOptions options;
    options.now = QDateTime(QDate(2026, 12, 7), QTime(2, 16), Qt::UTC);
    options.appVersion = QStringLiteral("2.3.4");
    options.environment = [](const QString &) { return std::optional<QString>(); };
    QString page = CustomReportBuilder::buildPage(*decoded, report, QStringLiteral("SIT_20261207_021440"), hits, options);
    page.insert(page.lastIndexOf(QLatin1String("</body>")),
        QString::fromUtf8(kHarness).replace(QLatin1String("DRIVER"), QString::fromUtf8(driver)));
    const QString pagePath = report + QStringLiteral("/report-custom-driven.html");
    if (!writeFile(pagePath, page.toUtf8()))
        return {};
    QStringList arguments = QStringLiteral("--headless --no-sandbox --disable-gpu --disable-background-networking "
                                           "--disable-component-update --disable-sync --no-first-run --hide-scrollbars "
                                           "--virtual-time-budget=10000 --dump-dom")
                                .split(u' ');
    arguments << QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND") << QStringLiteral("--window-size=%1,900").arg(width)
              << QStringLiteral("--user-data-dir=") + report + QStringLiteral("/profile")
              << QUrl::fromLocalFile(pagePath).toString();
    QProcess browser;
    browser.start(chromium, arguments);
    if (!browser.waitForFinished(180000)) {
        browser.kill();
        browser.waitForFinished();
        qWarning("Chromium did not finish: %s", qPrintable(browser.errorString()));
        return {};
    }
    static const QRegularExpression resultsPattern(QStringLiteral("<pre id=\"test-results\">([A-Za-z0-9+/=]*)</pre>"));
    const QRegularExpressionMatch match = resultsPattern.match(QString::fromUtf8(browser.readAllStandardOutput()));
    if (!match.hasMatch())
        qWarning("%s", qPrintable(QString::fromUtf8(browser.readAllStandardError()).right(2000)));
    return QJsonDocument::fromJson(QByteArray::fromBase64(match.captured(1).toLatin1())).object();
}

} // namespace

class TestCustomReportBrowser final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void pageWorksAndRunsNoHostileText();
    void cardValuesStayWhole_data();
    void cardValuesStayWhole();
};

void TestCustomReportBrowser::pageWorksAndRunsNoHostileText()
{
    const QString chromium = findChromium();
    if (chromium.isEmpty())
        QSKIP("No Chromium installed (the test setup installs Debian's chromium)");
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("SIT_20261207_021440/report"));
    const QJsonObject device { { "name", kScript }, { "id", kImage }, { "platform", kQuotes }, { "osVersion", kQuotes } };
    const QJsonArray flows { QJsonObject { { "name", kScript }, { "dataFile", "flows/flow-000.json" }, { "assetsDir", kQuotes } },
        QJsonObject { { "name", kQuotes }, { "dataFile", "flows/flow-001.json" } } };
    const QJsonObject summary { { "startTime", "2026-12-06T10:00:00Z" }, { "endTime", "2026-12-06T10:00:30Z" },
        { "device", device }, { "app", QJsonObject { { "id", kQuotes } } },
        { "maestroRunner", QJsonObject { { "version", kScript }, { "driver", kImage } } }, { "flows", flows } };
    QVERIFY(writeFile(report + QStringLiteral("/report.json"), QJsonDocument(summary).toJson()));
    const auto step = [](const QString &yaml, int second) {
        return QJsonObject { { "yaml", yaml },
            { "startTime", QStringLiteral("2026-12-06T10:00:%1Z").arg(second, 2, 10, QLatin1Char('0')) },
            { "endTime", QStringLiteral("2026-12-06T10:00:%1Z").arg(second + 1, 2, 10, QLatin1Char('0')) } };
    };
    QJsonObject hostileStep = step(kScript, 3);
    hostileStep.insert("status", kImage);
    hostileStep.insert("error", QJsonObject { { "message", kQuotes } });
    hostileStep.insert("artifacts", QJsonObject { { "screenshotAfter", "x\" onerror=\"window.__pwned=1\".png" } });
    QJsonObject parent { { "yaml", kImage }, { "subCommands", QJsonArray { step(kQuotes, 5) } } };
    QVERIFY(writeFile(report + QStringLiteral("/flows/flow-000.json"),
        QJsonDocument(QJsonObject { { "commands", QJsonArray { step("tapOn: NEEDLE", 0), hostileStep, parent } } }).toJson()));
    QVERIFY(writeFile(report + QStringLiteral("/flows/flow-001.json"),
        R"({"commands":[{"yaml":"launchApp","status":"passed"},{"yaml":"tapOn: other","status":"failed"}]})"));
    const QString jsonBody = QStringLiteral("{\"orders\":[{\"id\":7,\"note\":\"")
        + QString(kScript).replace(u'"', QStringLiteral("\\\"")) + QStringLiteral("\"}],\"")
        + QString(kImage).replace(u'"', QStringLiteral("\\\"")) + QStringLiteral("\":true}");
    const NetworkHitList hits {
        exchange(QStringLiteral("1.0_https://api/orders_GET_1"), 1, QStringLiteral("https://api.example.com/v1/orders"),
            QStringLiteral("GET"), QStringLiteral("200"), jsonBody),
        exchange(kQuotes, 3, QStringLiteral("https://api.example.com/") + kImage, kQuotes, kScript, kScript),
        exchange(kScript + QStringLiteral("\"'\\"), 5, QStringLiteral("https://api.example.com/") + kQuotes, kImage,
            QStringLiteral("TIMEOUT"), kImage),
    };
    const QJsonObject results = drivePage(chromium, report, hits, kDriver, 1280);
    QVERIFY2(!results.isEmpty() && !results.contains(QLatin1String("error")), qPrintable(results.value("error").toString()));
    // Nothing hostile ran.
    QCOMPARE(results.value(QLatin1String("pwned")).toInt(), 0);
    // Four rows in flow 0 (one nested), two in flow 1; searching filters
    // them, collapsing a flow hides its rows only.
    QCOMPARE(results.value(QLatin1String("rows")).toArray(), (QJsonArray { 4, 2 }));
    QCOMPARE(results.value(QLatin1String("searched")).toInt(), 1);
    QCOMPARE(results.value(QLatin1String("cleared")).toInt(), 6);
    QCOMPARE(results.value(QLatin1String("collapsed")).toArray(), (QJsonArray { 0, 2 }));
    // Every API item opens the dialog, hostile ids included; the JSON body
    // is a tree whose texts are shown as text; the backdrop closes it.
    QCOMPARE(results.value(QLatin1String("opened")).toInt(), 3);
    QCOMPARE(results.value(QLatin1String("jsonKeys")).toArray(),
        (QJsonArray { QStringLiteral("\"orders\""), QStringLiteral("\"id\""), QStringLiteral("\"note\""),
            QJsonValue(QStringLiteral("\"") + kImage + QStringLiteral("\"")) }));
    QCOMPARE(results.value(QLatin1String("closed")).toString(), QStringLiteral("none"));
}

void TestCustomReportBrowser::cardValuesStayWhole_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("1280 px window") << 1280;
    QTest::newRow("1024 px window") << 1024;
    QTest::newRow("800 px window") << 800;
}

void TestCustomReportBrowser::cardValuesStayWhole()
{
    QFETCH(int, width);
    const QString chromium = findChromium();
    if (chromium.isEmpty())
        QSKIP("No Chromium installed (the test setup installs Debian's chromium)");
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("SIT_20261207_021440/report"));
    QVERIFY(writeFile(report + QStringLiteral("/report.json"),
        R"({"startTime":"2026-12-07T02:14:40Z","endTime":"2026-12-07T02:15:02.4Z","status":"passed",)"
        R"("device":{"name":"QA Lab’s iPhone 15 Pro Max on the second shelf","id":"00008130-001E39811A12001C","platform":"ios",)"
        R"("osVersion":"18.6"},"app":{"id":"com.lumenfold.pasar.enterprise"},"maestroRunner":{"version":"1.1.25","driver":"wda"},)"
        R"("flows":[{"name":"Payment with QRIS","dataFile":"flows/flow-000.json"}]})"));
    QVERIFY(writeFile(report + QStringLiteral("/flows/flow-000.json"),
        R"({"commands":[{"yaml":"launchApp","status":"passed","startTime":"2026-12-07T02:14:40Z","endTime":"2026-12-07T02:14:42Z"}]})"));
    const QJsonObject results = drivePage(chromium, report, {}, kCardDriver, width);
    QVERIFY2(!results.isEmpty() && !results.contains(QLatin1String("error")), qPrintable(results.value("error").toString()));
    QVERIFY(results.value(QLatin1String("values")).toInt() >= 12);
    QCOMPARE(results.value(QLatin1String("broken")).toArray(), QJsonArray());
    QCOMPARE(results.value(QLatin1String("overflowing")).toArray(), QJsonArray());
    QCOMPARE(results.value(QLatin1String("wrappedLabels")).toArray(), QJsonArray());
}

QTEST_GUILESS_MAIN(TestCustomReportBrowser)
#include "tst_customreportbrowser.moc"
