// Opens a generated report-custom.html in headless Chromium and drives it
// with a small script appended to a copy of the page: searching filters rows,
// collapsing a flow hides its rows, an API item opens the dialog with the
// body as a JSON tree, and hostile texts from the runner's files and the
// network run nothing. Skipped when no Chromium is installed.
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

QByteArray jsonString(const QString &text)
{
    return QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

const char kDriver[] = R"JS(
<script>
window.addEventListener('load', function () {
  setTimeout(function () {
    var results = {};
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
    try {
      results.rows = document.querySelectorAll('tr.step-row').length;
      results.flow0 = visible('tr.step-row.flow-0');
      results.flow1 = visible('tr.step-row.flow-1');

      search('NEEDLE');
      results.searchVisible = visible('tr.step-row');
      results.searchText = Array.prototype.filter.call(document.querySelectorAll('tr.step-row'), function (row) {
        return getComputedStyle(row).display !== 'none';
      }).map(function (row) { return row.cells[1].textContent; });
      search('');
      results.clearedVisible = visible('tr.step-row');

      document.querySelector('tr.flow-header[data-flow="flow-0"]').click();
      results.collapsedFlow0 = visible('tr.step-row.flow-0');
      results.collapsedFlow1 = visible('tr.step-row.flow-1');
      results.headerCollapsed = document.querySelector('tr.flow-header[data-flow="flow-0"]').classList.contains('collapsed');
      document.querySelector('tr.flow-header[data-flow="flow-0"]').click();
      results.expandedFlow0 = visible('tr.step-row.flow-0');

      var modal = document.getElementById('apiModal');
      results.modalBefore = getComputedStyle(modal).display;
      var items = document.querySelectorAll('.api-list-item');
      results.items = items.length;
      var opened = 0;
      Array.prototype.forEach.call(items, function (item) {
        modal.style.display = 'none';
        document.getElementById('modalTitle').textContent = '';
        item.click();
        if (getComputedStyle(modal).display !== 'none' && document.getElementById('modalTitle').textContent !== '') opened++;
      });
      results.itemsOpened = opened;

      var json = null;
      Array.prototype.forEach.call(items, function (item) {
        if (item.textContent.indexOf('orders') !== -1) json = item;
      });
      json.click();
      results.modalShown = getComputedStyle(modal).display;
      results.title = document.getElementById('modalTitle').textContent;
      results.jsonKeys = Array.prototype.map.call(document.querySelectorAll('#Response .json-key'), function (e) { return e.textContent; });
      results.jsonStrings = Array.prototype.map.call(document.querySelectorAll('#Response .json-string'), function (e) { return e.textContent; });
      results.jsonNumbers = Array.prototype.map.call(document.querySelectorAll('#Response .json-number'), function (e) { return e.textContent; });
      results.jsonTrees = document.querySelectorAll('#Response details.json-tree[open]').length;
      results.requestHeaders = document.querySelector('#Request .api-headers-pre').textContent;
      results.responseBefore = getComputedStyle(document.getElementById('Response')).display;
      document.querySelectorAll('.tablinks')[1].click();
      results.responseAfter = getComputedStyle(document.getElementById('Response')).display;
      results.requestAfter = getComputedStyle(document.getElementById('Request')).display;

      modal.click();
      results.modalAfterBackdrop = getComputedStyle(modal).display;
      results.footer = document.querySelector('.footer').textContent;
    } catch (e) {
      results.error = String(e) + ' ' + (e.stack || '');
    }
    setTimeout(function () {
      results.pwned = window.__pwned || 0;
      var pre = document.createElement('pre');
      pre.id = 'test-results';
      pre.textContent = JSON.stringify(results);
      document.body.appendChild(pre);
    }, 1500);
  }, 200);
});
</script>
)JS";

// Lists the card values with a word split over two lines or reaching past
// their card, and the card labels that wrap.
const char kCardDriver[] = R"JS(
<script>
window.addEventListener('load', function () {
  setTimeout(function () {
    var results = { broken: [], overflowing: [], wrappedLabels: [], values: 0 };
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
    var pre = document.createElement('pre');
    pre.id = 'test-results';
    pre.textContent = JSON.stringify(results);
    document.body.appendChild(pre);
  }, 200);
});
</script>
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
    const QString fromEnvironment = qEnvironmentVariable("KESTRUNE_CHROMIUM");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    for (const char *name : { "chromium", "chromium-browser", "google-chrome", "google-chrome-stable" }) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

// Opens `pagePath` in headless Chromium `width` pixels wide and returns what
// its appended driver left in <pre id="test-results">; empty on failure.
QJsonObject resultsOfPage(const QString &chromium, const QString &pagePath, const QString &profile, int width)
{
    QProcess browser;
    browser.setProcessChannelMode(QProcess::SeparateChannels);
    browser.start(chromium,
        { QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"), QStringLiteral("--no-first-run"),
            QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND"), QStringLiteral("--user-data-dir=") + profile,
            QStringLiteral("--window-size=%1,900").arg(width), QStringLiteral("--hide-scrollbars"),
            QStringLiteral("--virtual-time-budget=10000"), QStringLiteral("--dump-dom"),
            QUrl::fromLocalFile(pagePath).toString() });
    if (!browser.waitForStarted(30000)) {
        qWarning("Chromium: %s", qPrintable(browser.errorString()));
        return {};
    }
    if (!browser.waitForFinished(180000)) {
        browser.kill();
        browser.waitForFinished();
        qWarning("Chromium did not finish");
        return {};
    }
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    static const QRegularExpression resultsPattern(
        QStringLiteral("<pre id=\"test-results\">(.*?)</pre>"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = resultsPattern.match(dom);
    if (!match.hasMatch()) {
        qWarning("%s", qPrintable(QString::fromUtf8(browser.readAllStandardError()).right(2000)));
        return {};
    }
    QString resultText = match.captured(1);
    resultText.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return QJsonDocument::fromJson(resultText.toUtf8()).object();
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
    const QString report = dir.filePath(QStringLiteral("SIT_20261206_100000/report"));
    const QByteArray s = jsonString(kScript), i = jsonString(kImage), q = jsonString(kQuotes);
    QVERIFY(writeAll(report + QStringLiteral("/report.json"),
        "{\"startTime\":\"2026-12-06T10:00:00Z\",\"endTime\":\"2026-12-06T10:00:30Z\","
        "\"device\":{\"name\":"
            + s + ",\"id\":" + i + ",\"platform\":" + q + ",\"osVersion\":" + q
            + "},"
              "\"app\":{\"id\":"
            + q + "},\"maestroRunner\":{\"version\":" + s + ",\"driver\":" + i
            + "},"
              "\"flows\":[{\"name\":"
            + s + ",\"dataFile\":\"flows/flow-000.json\",\"assetsDir\":" + q
            + "},"
              "{\"name\":"
            + q + ",\"dataFile\":\"flows/flow-001.json\"}]}"));
    QVERIFY(writeAll(report + QStringLiteral("/flows/flow-000.json"),
        "{\"commands\":[{\"yaml\":\"tapOn: NEEDLE\",\"status\":\"passed\",\"startTime\":\"2026-12-06T10:00:00Z\","
        "\"endTime\":\"2026-12-06T10:00:02Z\"},"
        "{\"yaml\":"
            + s + ",\"status\":" + i + ",\"error\":{\"message\":" + q
            + "},\"startTime\":\"2026-12-06T10:00:03Z\","
              "\"endTime\":\"2026-12-06T10:00:04Z\",\"artifacts\":{\"screenshotAfter\":\"x\\\" "
              "onerror=\\\"window.__pwned=1\\\".png\"}},"
              "{\"yaml\":"
            + i + ",\"subCommands\":[{\"yaml\":" + q
            + ",\"startTime\":\"2026-12-06T10:00:05Z\",\"endTime\":\"2026-12-06T10:00:06Z\"}]}]}"));
    QVERIFY(writeAll(report + QStringLiteral("/flows/flow-001.json"),
        "{\"commands\":[{\"yaml\":\"launchApp\",\"status\":\"passed\"},{\"yaml\":\"tapOn: other\",\"status\":\"failed\"}]}"));
    const auto decoded = MaestroFullReport::decode(readAll(report + QStringLiteral("/report.json")));
    QVERIFY(decoded);

    const QString jsonBody = QStringLiteral("{\"orders\":[{\"id\":7,\"note\":\"")
        + QString(kScript).replace(QLatin1Char('"'), QStringLiteral("\\\"")) + QStringLiteral("\"}],\"")
        + QString(kImage).replace(QLatin1Char('"'), QStringLiteral("\\\"")) + QStringLiteral("\":true}");
    const NetworkHitList hits {
        exchange(QStringLiteral("1.0_https://api/orders_GET_1"), 1, QStringLiteral("https://api.example.com/v1/orders"),
            QStringLiteral("GET"), QStringLiteral("200"), jsonBody),
        exchange(kQuotes, 3, QStringLiteral("https://api.example.com/") + kImage, kQuotes, kScript, kScript),
        exchange(kScript + QStringLiteral("\"'\\"), 5, QStringLiteral("https://api.example.com/") + kQuotes, kImage,
            QStringLiteral("TIMEOUT"), kImage),
    };
    CustomReportOptions options;
    options.now = QDateTime(QDate(2026, 12, 6), QTime(11, 0), Qt::UTC);
    options.appVersion = QStringLiteral("2.3.4");
    options.environment = [](const QString &) { return std::optional<QString>(); };
    QString page = CustomReportBuilder::buildPage(*decoded, report, QStringLiteral("SIT_20261206_100000"), hits, options);
    const qsizetype bodyEnd = page.lastIndexOf(QLatin1String("</body>"));
    QVERIFY(bodyEnd > 0);
    page.insert(bodyEnd, QString::fromUtf8(kDriver));
    const QString pagePath = report + QStringLiteral("/report-custom-driven.html");
    QVERIFY(writeAll(pagePath, page.toUtf8()));

    const QJsonObject results = resultsOfPage(chromium, pagePath, dir.filePath(QStringLiteral("profile")), 1280);
    QVERIFY(!results.isEmpty());
    QVERIFY2(!results.contains(QLatin1String("error")), qPrintable(results.value(QLatin1String("error")).toString()));

    // Nothing hostile ran.
    QCOMPARE(results.value(QLatin1String("pwned")).toInt(), 0);

    // The table: 4 rows in flow 0 (one nested), 2 in flow 1, all shown.
    QCOMPARE(results.value(QLatin1String("rows")).toInt(), 6);
    QCOMPARE(results.value(QLatin1String("flow0")).toInt(), 4);
    QCOMPARE(results.value(QLatin1String("flow1")).toInt(), 2);

    // Searching filters rows; clearing shows them again.
    QCOMPARE(results.value(QLatin1String("searchVisible")).toInt(), 1);
    QCOMPARE(results.value(QLatin1String("searchText")).toArray().first().toString(), QStringLiteral("tapOn: NEEDLE"));
    QCOMPARE(results.value(QLatin1String("clearedVisible")).toInt(), 6);

    // Collapsing a flow hides its rows only.
    QVERIFY(results.value(QLatin1String("headerCollapsed")).toBool());
    QCOMPARE(results.value(QLatin1String("collapsedFlow0")).toInt(), 0);
    QCOMPARE(results.value(QLatin1String("collapsedFlow1")).toInt(), 2);
    QCOMPARE(results.value(QLatin1String("expandedFlow0")).toInt(), 4);

    // Every API item opens the dialog, hostile ids included.
    QCOMPARE(results.value(QLatin1String("modalBefore")).toString(), QStringLiteral("none"));
    QCOMPARE(results.value(QLatin1String("items")).toInt(), 3);
    QCOMPARE(results.value(QLatin1String("itemsOpened")).toInt(), 3);
    QCOMPARE(results.value(QLatin1String("modalShown")).toString(), QStringLiteral("block"));
    QVERIFY(results.value(QLatin1String("title")).toString().contains(QLatin1String("https://api.example.com/v1/orders")));

    // The JSON body is a tree, its texts shown as text.
    QCOMPARE(results.value(QLatin1String("jsonKeys")).toArray(),
        (QJsonArray { QStringLiteral("\"orders\""), QStringLiteral("\"id\""), QStringLiteral("\"note\""),
            QJsonValue(QStringLiteral("\"") + kImage + QStringLiteral("\"")) }));
    QCOMPARE(results.value(QLatin1String("jsonStrings")).toArray(),
        QJsonArray { QJsonValue(QStringLiteral("\"") + kScript + QStringLiteral("\"")) });
    QCOMPARE(results.value(QLatin1String("jsonNumbers")).toArray(), QJsonArray { QJsonValue(QStringLiteral("7")) });
    QCOMPARE(results.value(QLatin1String("jsonTrees")).toInt(), 3);
    QVERIFY(results.value(QLatin1String("requestHeaders")).toString().endsWith(kScript));

    // Tabs and closing.
    QCOMPARE(results.value(QLatin1String("responseBefore")).toString(), QStringLiteral("none"));
    QCOMPARE(results.value(QLatin1String("responseAfter")).toString(), QStringLiteral("block"));
    QCOMPARE(results.value(QLatin1String("requestAfter")).toString(), QStringLiteral("none"));
    QCOMPARE(results.value(QLatin1String("modalAfterBackdrop")).toString(), QStringLiteral("none"));
    QVERIFY(results.value(QLatin1String("footer")).toString().endsWith(QLatin1String("v2.3.4")));
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
    QVERIFY(writeAll(report + QStringLiteral("/report.json"),
        R"({"startTime":"2026-12-07T02:14:40Z","endTime":"2026-12-07T02:15:02.4Z","status":"passed",)"
        R"("device":{"name":"QA Lab’s iPhone 15 Pro Max on the second shelf","id":"00008130-001E39811A12001C","platform":"ios",)"
        R"("osVersion":"18.6"},"app":{"id":"com.lumenfold.pasar.enterprise"},"maestroRunner":{"version":"1.1.25","driver":"wda"},)"
        R"("flows":[{"name":"Payment with QRIS","dataFile":"flows/flow-000.json"}]})"));
    QVERIFY(writeAll(report + QStringLiteral("/flows/flow-000.json"),
        R"({"commands":[{"yaml":"launchApp","status":"passed","startTime":"2026-12-07T02:14:40Z","endTime":"2026-12-07T02:14:42Z"}]})"));
    const auto decoded = MaestroFullReport::decode(readAll(report + QStringLiteral("/report.json")));
    QVERIFY(decoded);
    CustomReportOptions options;
    options.now = QDateTime(QDate(2026, 12, 7), QTime(2, 16), Qt::UTC);
    options.appVersion = QStringLiteral("2.3.4");
    options.environment = [](const QString &) { return std::optional<QString>(); };
    QString page = CustomReportBuilder::buildPage(*decoded, report, QStringLiteral("SIT_20261207_021440"), {}, options);
    page.insert(page.lastIndexOf(QLatin1String("</body>")), QString::fromUtf8(kCardDriver));
    const QString pagePath = report + QStringLiteral("/report-custom-cards.html");
    QVERIFY(writeAll(pagePath, page.toUtf8()));

    const QJsonObject results = resultsOfPage(chromium, pagePath, dir.filePath(QStringLiteral("profile")), width);
    QVERIFY(!results.isEmpty());
    QVERIFY(results.value(QLatin1String("values")).toInt() >= 12);
    QCOMPARE(results.value(QLatin1String("broken")).toArray(), QJsonArray());
    QCOMPARE(results.value(QLatin1String("overflowing")).toArray(), QJsonArray());
    QCOMPARE(results.value(QLatin1String("wrappedLabels")).toArray(), QJsonArray());
}

QTEST_GUILESS_MAIN(TestCustomReportBrowser)
#include "tst_customreportbrowser.moc"
