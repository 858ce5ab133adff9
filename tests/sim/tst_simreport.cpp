// kestrune-sim in the runner's role: one three-flow run of the demo
// workspace in fast mode, then its console, its report folder and the app's
// network log, checked against what the application's readers expect.

#include "simtestsupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>
#include <QXmlStreamReader>

namespace {

const QStringList kThreeFlows { QStringLiteral("login.yaml"), QStringLiteral("checkout/cart_and_checkout.yaml"),
    QStringLiteral("checkout/payment.yaml") };

const QRegularExpression &rfc3339()
{
    static const QRegularExpression re(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{0,8}[1-9])?(Z|[+-]\d\d:\d\d)$)"));
    return re;
}

// Every value under a time key, anywhere in the document.
void collectTimes(const QJsonValue &value, QStringList *times, int *nulls)
{
    if (value.isNull())
        ++*nulls;
    if (value.isObject()) {
        const QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() == QLatin1String("startTime") || it.key() == QLatin1String("endTime")
                || it.key() == QLatin1String("lastUpdated"))
                times->append(it.value().toString(QStringLiteral("<not a string>")));
            collectTimes(it.value(), times, nulls);
        }
    } else if (value.isArray()) {
        for (const QJsonValue &v : value.toArray())
            collectTimes(v, times, nulls);
    }
}

void collectArtifacts(const QJsonArray &commands, QStringList *paths)
{
    for (const QJsonValue &c : commands) {
        const QJsonObject artifacts = c.toObject().value(QStringLiteral("artifacts")).toObject();
        for (auto it = artifacts.begin(); it != artifacts.end(); ++it)
            paths->append(it.value().toString());
        collectArtifacts(c.toObject().value(QStringLiteral("subCommands")).toArray(), paths);
    }
}

struct LogBlock
{
    bool request;
    QString url;
    QString body; // the text between the start and end lines
    qsizetype position;
};

// Walks the session log line by line: every start line needs its end line
// with the same URL before the next block starts.
bool readBlocks(const QString &text, QList<LogBlock> *blocks, QString *problem)
{
    static const QRegularExpression start(QStringLiteral(R"(^-------START (REQUEST|RESPONSE) -  (\S+) -------$)"));
    static const QRegularExpression end(QStringLiteral(R"(^-------END (REQUEST|RESPONSE) - (\S+) -------$)"));
    const QStringList lines = text.split(u'\n');
    std::optional<LogBlock> open;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch s = start.match(lines[i]);
        const QRegularExpressionMatch e = end.match(lines[i]);
        if (s.hasMatch()) {
            if (open) {
                *problem = QStringLiteral("block at line %1 not closed").arg(open->position);
                return false;
            }
            open = LogBlock { s.captured(1) == QLatin1String("REQUEST"), s.captured(2), QString(), i + 1 };
        } else if (e.hasMatch()) {
            if (!open || open->url != e.captured(2) || open->request != (e.captured(1) == QLatin1String("REQUEST"))) {
                *problem = QStringLiteral("unmatched end line %1").arg(i + 1);
                return false;
            }
            blocks->append(*open);
            open.reset();
        } else if (open) {
            open->body += lines[i] + u'\n';
        }
    }
    if (open) {
        *problem = QStringLiteral("unterminated block");
        return false;
    }
    return true;
}

QString requestId(const QString &block)
{
    static const QRegularExpression id(QStringLiteral(R"((?i)(X-Request-Id|Trace-Id|RequestId)[\s:]*([a-zA-Z0-9\-]+))"));
    const QRegularExpressionMatch m = id.match(block);
    return m.hasMatch() ? m.captured(2) : QString();
}

} // namespace

class TestSimReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void consoleOutput();
    void reportFolderFiles_data();
    void reportFolderFiles();
    void reportJsonKeys_data();
    void reportJsonKeys();
    void timesAndEscaping();
    void embeddedReportData();
    void failedStepArtifacts();
    void screenshotsPartlyReferenced();
    void allureAndJunit();
    void networkLogBlocks();
    void networkLogTraffic();
    void networkLogPairsLikeTheParser();
    void runVariables();

private:
    SimLab m_lab;
    SimResult m_run;
    QString m_report;
    QString m_sessionLog;
    qint64 m_sessionBefore = 0;
    QDateTime m_runStart;
};

void TestSimReport::initTestCase()
{
    QVERIFY(m_lab.isValid());
    QCOMPARE(m_lab.run({ "xctrace", "list", "devices" }).exitCode, 0); // seeds the lab
    m_sessionLog = m_lab.home() + QStringLiteral("/devices/") + SimTest::iPhone
        + QStringLiteral("/AppData/com.lumenfold.pasar/tmp/NFX/session.log");
    m_sessionBefore = QFileInfo(m_sessionLog).size();
    m_runStart = QDateTime::currentDateTimeUtc();
    m_run = m_lab.run(SimTest::runnerArguments(SimTest::iPhone, m_lab.path(QStringLiteral("out")), kThreeFlows));
    QVERIFY(m_run.finished);
    m_report = SimTest::onlyReportFolder(m_lab.path(QStringLiteral("out")));
    QVERIFY2(!m_report.isEmpty(), qPrintable(m_run.err));
}

void TestSimReport::consoleOutput()
{
    QCOMPARE(m_run.exitStatus, QProcess::NormalExit);
    QCOMPARE(m_run.exitCode, 1); // one flow fails
    const QStringList lines = m_run.out.split(u'\n');
    QVERIFY(lines.first().contains(QLatin1String("simulated device lab")));
    QVERIFY(m_run.out.contains(QLatin1String("  maestro-runner 1.1.25 - by DeviceLab.dev")));
    QVERIFY(m_run.out.contains(QStringLiteral("Setup\n") + QString(40, QChar(0x2500)) + u'\n'));
    QVERIFY(m_run.out.contains(QStringLiteral("Execution\n") + QString(40, QChar(0x2500)) + u'\n'));
    QVERIFY(lines.contains(QStringLiteral("Starting WebDriverAgent...")));
    QVERIFY(lines.contains(QStringLiteral("  [1/3] Login (login.yaml)")));
    QVERIFY(lines.contains(QStringLiteral("  [3/3] Payment with QRIS (payment.yaml)")));
    QVERIFY(lines.contains(QStringLiteral("      \u25b8 Run subflows/login_steps.yaml")));

    static const QRegularExpression step(QStringLiteral(R"(^( {4,})([✓⚠✗]) (.+) \((\d+ms|\d+\.\d+s|\d+m \d+s)\)$)"));
    int steps = 0, failed = 0, nested = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = step.match(lines[i]);
        if (!m.hasMatch())
            continue;
        ++steps;
        QVERIFY(m.captured(1).size() % 4 == 0);
        nested += m.captured(1).size() == 8;
        if (m.captured(2) == QStringLiteral("\u2717")) {
            ++failed;
            QVERIFY(lines.value(i + 1).startsWith(m.captured(1) + QStringLiteral("  \u2570\u2500 ")));
        }
    }
    QVERIFY(steps >= 20);
    QVERIFY(nested >= 10);
    QCOMPARE(failed, 1);
    QVERIFY(m_run.out.contains(QRegularExpression(QStringLiteral("\n\u2713 Login \\d+\\.\\ds\n"))));
    QVERIFY(m_run.out.contains(QRegularExpression(QStringLiteral("\n\u2717 Payment with QRIS \\d+\\.\\ds\n"))));
    QVERIFY(m_run.out.contains(QLatin1String("  TOTAL")));
    // The device library's lines go to stderr, where the console filter drops them.
    static const QRegularExpression pattern1(QStringLiteral(
        R"(time="[^"]+" level=error msg="Error accepting new connection accept tcp \[::\]:8138: use of closed network connection")"));
    QVERIFY(m_run.err.contains(pattern1));
    static const QRegularExpression pattern2(
        QStringLiteral(R"(time="[^"]+" level=info msg="closed listener successfully" phonePort=8138)"));
    QVERIFY(m_run.err.contains(pattern2));
}

void TestSimReport::reportFolderFiles_data()
{
    QTest::addColumn<QString>("file");
    for (const char *f :
        { "report.json", "report.html", "flows/flow-000.json", "flows/flow-001.json", "flows/flow-002.json", "junit-report.xml",
            "maestro-runner.log", "allure-results/flow-000-result.json", "allure-results/flow-002-result.json",
            "allure-results/categories.json", "allure-results/environment.properties", "allure-results/executor.json" })
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestSimReport::reportFolderFiles()
{
    QFETCH(QString, file);
    static const QRegularExpression pattern3(QStringLiteral(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d$)"));
    QVERIFY(QFileInfo(m_report).fileName().contains(pattern3));
    QVERIFY2(QFileInfo(m_report + u'/' + file).size() > 0, qPrintable(file));
    QVERIFY(!QFileInfo::exists(m_report + QStringLiteral("/report.json.tmp")));
    for (const QString &flow : { QStringLiteral("flow-000"), QStringLiteral("flow-001"), QStringLiteral("flow-002") })
        QVERIFY(QFileInfo(m_report + QStringLiteral("/assets/") + flow).isDir());
}

void TestSimReport::reportJsonKeys_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("path"); // "" for the top level, "flows/0" for the first flow entry, "commands/0" ...
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("index") << "report.json"
                           << ""
                           << QStringList { "version", "updateSeq", "status", "startTime", "endTime", "lastUpdated", "device",
                                  "app", "maestroRunner", "summary", "flows" };
    QTest::newRow("index device") << "report.json"
                                  << "device" << QStringList { "id", "name", "platform", "osVersion", "model", "isSimulator" };
    QTest::newRow("index app") << "report.json"
                               << "app" << QStringList { "id", "name", "version", "build" };
    QTest::newRow("index runner") << "report.json"
                                  << "maestroRunner" << QStringList { "version", "driver" };
    QTest::newRow("index summary") << "report.json"
                                   << "summary" << QStringList { "total", "passed", "failed", "skipped", "running", "pending" };
    QTest::newRow("flow entry") << "report.json"
                                << "flows/2"
                                << QStringList { "index", "id", "name", "sourceFile", "tags", "dataFile", "assetsDir", "status",
                                       "updateSeq", "endTime", "duration", "commands", "attempts", "error" };
    QTest::newRow("detail") << "flows/flow-002.json"
                            << ""
                            << QStringList { "id", "name", "sourceFile", "tags", "device", "startTime", "endTime", "duration",
                                   "commands", "stepLatency", "artifacts" };
    QTest::newRow("sub-flow command") << "flows/flow-002.json"
                                      << "commands/0"
                                      << QStringList { "id", "index", "type", "yaml", "status", "startTime", "endTime",
                                             "duration", "artifacts", "subCommands" };
    QTest::newRow("skipped command") << "flows/flow-002.json"
                                     << "commands/9" << QStringList { "id", "index", "type", "yaml", "status", "artifacts" };
}

void TestSimReport::reportJsonKeys()
{
    QFETCH(QString, file);
    QFETCH(QString, path);
    QFETCH(QStringList, keys);
    QJsonValue node = SimTest::readJsonObject(m_report + u'/' + file);
    for (const QString &part : path.split(u'/', Qt::SkipEmptyParts)) {
        bool isIndex = false;
        const int index = part.toInt(&isIndex);
        node = isIndex ? node.toArray().at(index) : node.toObject().value(part);
    }
    QVERIFY(node.isObject());
    QStringList actual = node.toObject().keys();
    QStringList expected = keys;
    actual.sort();
    expected.sort();
    QCOMPARE(actual, expected);
}

void TestSimReport::timesAndEscaping()
{
    QStringList times;
    int nulls = 0;
    for (const QString &file : { QStringLiteral("report.json"), QStringLiteral("flows/flow-000.json"),
             QStringLiteral("flows/flow-001.json"), QStringLiteral("flows/flow-002.json") }) {
        const QByteArray raw = SimTest::readFile(m_report + u'/' + file);
        // The runner's encoder writes &, < and > as \u0026, \u003c, \u003e.
        QVERIFY2(!raw.contains('&') && !raw.contains('<') && !raw.contains('>'), qPrintable(file));
        collectTimes(QJsonDocument::fromJson(raw).object(), &times, &nulls);
    }
    QCOMPARE(nulls, 0); // absent, never null
    QVERIFY(SimTest::readFile(m_report + QStringLiteral("/report.json")).contains("Cart \\u0026 checkout"));
    QCOMPARE(SimTest::readJsonObject(m_report + QStringLiteral("/flows/flow-001.json")).value(QStringLiteral("name")).toString(),
        QStringLiteral("Cart & checkout"));
    int wholeSeconds = 0, nineDigits = 0;
    for (const QString &t : times) {
        const QRegularExpressionMatch m = rfc3339().match(t);
        QVERIFY2(m.hasMatch(), qPrintable(t));
        wholeSeconds += m.captured(1).isEmpty();
        nineDigits += m.captured(1).size() == 10;
    }
    QVERIFY(wholeSeconds >= 1);
    QVERIFY(nineDigits >= 1);
    QVERIFY(times.size() > 50);
}

void TestSimReport::embeddedReportData()
{
    const QString html = QString::fromUtf8(SimTest::readFile(m_report + QStringLiteral("/report.html")));
    static const QRegularExpression statement(
        QStringLiteral("let reportData = (\\{.*?\\});\\n"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = statement.match(html);
    QVERIFY(m.hasMatch());
    const qsizetype lineStart = html.lastIndexOf(u'\n', m.capturedStart()) + 1;
    QCOMPARE(html.mid(lineStart, m.capturedStart() - lineStart), QString(8, u' '));
    QJsonParseError error;
    const QJsonDocument data = QJsonDocument::fromJson(m.captured(1).toUtf8(), &error);
    QVERIFY2(data.isObject(), qPrintable(error.errorString()));
    QStringList keys = data.object().keys();
    QCOMPARE(keys, (QStringList { "flows", "index" }));
    QCOMPARE(SimTest::withoutTimes(data.object().value(QStringLiteral("index"))),
        SimTest::withoutTimes(SimTest::readJsonObject(m_report + QStringLiteral("/report.json"))));
    const QJsonArray flows = data.object().value(QStringLiteral("flows")).toArray();
    QCOMPARE(flows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(flows.at(i).toObject(), SimTest::readJsonObject(m_report + QStringLiteral("/flows/flow-00%1.json").arg(i)));
    for (const char *brand : { "<span class=\"brand-name\">maestro-runner</span>",
             "<span class=\"brand-by\">by <a href=\"https://devicelab.dev/\" target=\"_blank\" "
             "class=\"brand-link\">DeviceLab</a></span>",
             "<a href=\"https://github.com/devicelab-dev/maestro-runner\" target=\"_blank\" class=\"github-star\">",
             "alt=\"DeviceLab\" style=\"width:32px;height:32px;\" />", "--accent: #06b6d4;", "--running: #06b6d4;" })
        QVERIFY2(html.contains(QString::fromUtf8(brand)), brand);
    static const QRegularExpression pattern4(QStringLiteral(R"(<img src="data:image/jpeg;base64,[^"]+" alt="DeviceLab")"));
    QVERIFY(html.contains(pattern4));
}

void TestSimReport::failedStepArtifacts()
{
    const QJsonObject index = SimTest::readJsonObject(m_report + QStringLiteral("/report.json"));
    const QJsonObject entry = index.value(QStringLiteral("flows")).toArray().at(2).toObject();
    QCOMPARE(entry.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QVERIFY(entry.value(QStringLiteral("error")).isString());
    QVERIFY(entry.value(QStringLiteral("error")).toString().contains(QLatin1String("Pembayaran berhasil")));
    QCOMPARE(index.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));

    const QJsonArray commands
        = SimTest::readJsonObject(m_report + QStringLiteral("/flows/flow-002.json")).value(QStringLiteral("commands")).toArray();
    int failedAt = -1;
    for (int i = 0; i < commands.size(); ++i) {
        const QJsonObject c = commands.at(i).toObject();
        const QString status = c.value(QStringLiteral("status")).toString();
        QCOMPARE(c.value(QStringLiteral("id")).toString(), QStringLiteral("cmd-%1").arg(i, 3, 10, QLatin1Char('0')));
        if (status == QLatin1String("failed")) {
            failedAt = i;
            const QJsonObject error = c.value(QStringLiteral("error")).toObject();
            QCOMPARE(error.value(QStringLiteral("type")).toString(), QStringLiteral("assertion"));
            QVERIFY(!error.value(QStringLiteral("message")).toString().isEmpty());
            const QJsonObject artifacts = c.value(QStringLiteral("artifacts")).toObject();
            const QString stem = QStringLiteral("assets/flow-002/cmd-%1-").arg(i, 3, 10, QLatin1Char('0'));
            QCOMPARE(artifacts.value(QStringLiteral("screenshotAfter")).toString(), stem + QStringLiteral("after.png"));
            QCOMPARE(artifacts.value(QStringLiteral("viewHierarchy")).toString(), stem + QStringLiteral("hierarchy.xml"));
            QVERIFY(SimTest::readFile(m_report + u'/' + stem + QStringLiteral("after.png")).startsWith("\x89PNG\r\n\x1a\n"));
            QXmlStreamReader xml(SimTest::readFile(m_report + u'/' + stem + QStringLiteral("hierarchy.xml")));
            int elements = 0;
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement)
                    ++elements;
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY(elements > 5);
        } else if (failedAt >= 0) {
            QCOMPARE(status, QStringLiteral("skipped"));
            QVERIFY(!c.contains(QStringLiteral("startTime")));
            QVERIFY(!c.contains(QStringLiteral("duration")));
        } else {
            QCOMPARE(status, QStringLiteral("passed"));
        }
    }
    QCOMPARE(failedAt, 7);
}

void TestSimReport::screenshotsPartlyReferenced()
{
    int referenced = 0, unreferenced = 0;
    for (int i = 0; i < 3; ++i) {
        const QString id = QStringLiteral("flow-00%1").arg(i);
        QStringList artifacts;
        collectArtifacts(SimTest::readJsonObject(m_report + QStringLiteral("/flows/") + id + QStringLiteral(".json"))
                             .value(QStringLiteral("commands"))
                             .toArray(),
            &artifacts);
        for (const QString &png : QDir(m_report + QStringLiteral("/assets/") + id).entryList({ QStringLiteral("*.png") })) {
            static const QRegularExpression pattern5(QStringLiteral(R"(^cmd-\d{3}-.+\.png$)"));
            QVERIFY2(png.contains(pattern5), qPrintable(png));
            const QByteArray bytes = SimTest::readFile(m_report + QStringLiteral("/assets/") + id + u'/' + png);
            QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
            QVERIFY(bytes.endsWith(QByteArray("IEND\xAE\x42\x60\x82", 8)));
            (artifacts.contains(QStringLiteral("assets/") + id + u'/' + png) ? referenced : unreferenced) += 1;
        }
    }
    QVERIFY(referenced >= 3);
    QVERIFY(unreferenced >= 3);
    QVERIFY(QFileInfo::exists(m_report + QStringLiteral("/assets/flow-001/cmd-005-product_added.png")));
}

void TestSimReport::allureAndJunit()
{
    int nullAttachments = 0, listAttachments = 0;
    const std::function<void(const QJsonArray &)> walk = [&](const QJsonArray &steps) {
        for (const QJsonValue &s : steps) {
            const QJsonObject step = s.toObject();
            QVERIFY(step.contains(QStringLiteral("attachments")));
            const QJsonValue a = step.value(QStringLiteral("attachments"));
            if (a.isNull()) {
                ++nullAttachments;
            } else {
                QVERIFY(a.isArray());
                ++listAttachments;
                const QString source = a.toArray().at(0).toObject().value(QStringLiteral("source")).toString();
                QVERIFY(QFileInfo(m_report + QStringLiteral("/allure-results/") + source).isFile());
            }
            walk(step.value(QStringLiteral("steps")).toArray());
        }
    };
    const QStringList results = QDir(m_report + QStringLiteral("/allure-results")).entryList({ QStringLiteral("*-result.json") });
    QCOMPARE(results, (QStringList { "flow-000-result.json", "flow-001-result.json", "flow-002-result.json" }));
    for (const QString &file : results) {
        const QJsonObject r = SimTest::readJsonObject(m_report + QStringLiteral("/allure-results/") + file);
        for (const char *key : { "uuid", "historyId", "fullName", "name", "status", "stage", "statusDetails", "steps",
                 "attachments", "parameters", "labels", "links", "start", "stop" })
            QVERIFY2(r.contains(QLatin1String(key)), key);
        QVERIFY(r.value(QStringLiteral("stop")).toDouble() >= r.value(QStringLiteral("start")).toDouble());
        walk(r.value(QStringLiteral("steps")).toArray());
    }
    QVERIFY(nullAttachments > 10);
    QCOMPARE(listAttachments, 1);

    QXmlStreamReader junit(SimTest::readFile(m_report + QStringLiteral("/junit-report.xml")));
    QVERIFY(junit.readNextStartElement());
    QCOMPARE(junit.name().toString(), QStringLiteral("testsuites"));
    QCOMPARE(junit.attributes().value(QStringLiteral("tests")).toString(), QStringLiteral("3"));
    QCOMPARE(junit.attributes().value(QStringLiteral("failures")).toString(), QStringLiteral("1"));
    while (!junit.atEnd())
        junit.readNext();
    QVERIFY(!junit.hasError());
}

void TestSimReport::networkLogBlocks()
{
    const QString text = QString::fromUtf8(SimTest::readFile(m_sessionLog));
    QList<LogBlock> blocks;
    QString problem;
    QVERIFY2(readBlocks(text, &blocks, &problem), qPrintable(problem));
    QVERIFY(QFileInfo(m_sessionLog).size() > m_sessionBefore);
    static const QRegularExpression date(QStringLiteral(R"(\[(Request|Response) Date\] (.*)\n)"));
    for (const LogBlock &b : blocks) {
        const QRegularExpressionMatch m = date.match(b.body);
        QVERIFY2(m.hasMatch(), qPrintable(b.url));
        static const QRegularExpression pattern6(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000$)"));
        QVERIFY2(m.captured(2).contains(pattern6), qPrintable(m.captured(2)));
        QVERIFY(b.body.contains(b.request ? QLatin1String("[Request Headers]\n") : QLatin1String("[Response Headers]\n")));
        QVERIFY(b.body.contains(b.request ? QLatin1String("[Request Body]\n ") : QLatin1String("\n\n[Response Body]\n ")));
    }
    // Every URL has at least as many requests as responses.
    QHash<QString, int> balance;
    for (const LogBlock &b : blocks)
        balance[b.url] += b.request ? 1 : -1;
    for (auto it = balance.begin(); it != balance.end(); ++it)
        QVERIFY2(it.value() >= 0, qPrintable(it.key()));
}

void TestSimReport::networkLogTraffic()
{
    const QString text = QString::fromUtf8(SimTest::readFile(m_sessionLog));
    const QString newPart = QString::fromUtf8(SimTest::readFile(m_sessionLog).mid(m_sessionBefore));
    QList<LogBlock> blocks;
    QString problem;
    QVERIFY(readBlocks(newPart, &blocks, &problem));

    // A request left unanswered.
    const auto count = [&](const QString &url, bool request) {
        return std::count_if(
            blocks.begin(), blocks.end(), [&](const LogBlock &b) { return b.url == url && b.request == request; });
    };
    const QString recommendations = QStringLiteral("https://api.lumenfold.id/v2/recommendations?sku=A-1");
    QVERIFY(count(recommendations, true) >= 1);
    QCOMPARE(count(recommendations, false), 0);
    // Analytics traffic, which the parser drops.
    QVERIFY(newPart.contains(QLatin1String("-------START REQUEST -  https://app-measurement.com/a -------")));
    // Identical URLs in flight: REQ a, REQ b, RESP a, RESP b.
    const QString badge = QStringLiteral("https://api.lumenfold.id/v2/cart/badge");
    qsizetype first = -1;
    for (qsizetype i = 0; i + 3 < blocks.size(); ++i) {
        if (blocks[i].url == badge && blocks[i + 1].url == badge && blocks[i + 2].url == badge && blocks[i + 3].url == badge) {
            first = i;
            break;
        }
    }
    QVERIFY(first >= 0);
    QVERIFY(blocks[first].request && blocks[first + 1].request && !blocks[first + 2].request && !blocks[first + 3].request);
    // Two cart updates whose answers arrive in the other order pair by their plain X-Request-Id lines.
    const QString cart = QStringLiteral("https://api.lumenfold.id/v2/cart");
    QList<LogBlock> cartBlocks;
    for (const LogBlock &b : blocks) {
        if (b.url == cart && b.body.contains(QLatin1String("[Request Method] POST")))
            cartBlocks << b;
        else if (b.url == cart && !b.request && b.body.contains(QLatin1String("\"qty\""))
            && !b.body.contains(QLatin1String("currency")))
            cartBlocks << b;
    }
    QVERIFY(cartBlocks.size() >= 4);
    QVERIFY(cartBlocks[0].request && cartBlocks[1].request && !cartBlocks[2].request && !cartBlocks[3].request);
    QVERIFY(cartBlocks[0].body.contains(QRegularExpression(QStringLiteral("\nX-Request-Id: [0-9A-F-]{36}\n"))));
    QVERIFY(!requestId(cartBlocks[0].body).isEmpty());
    QCOMPARE(requestId(cartBlocks[2].body), requestId(cartBlocks[1].body));
    QCOMPARE(requestId(cartBlocks[3].body), requestId(cartBlocks[0].body));
    // The dictionary printout: quoted request values, bare response values; no headers as [:].
    QVERIFY(newPart.contains(QLatin1String("[AnyHashable(\"Accept\"): \"application/json\", ")));
    QVERIFY(newPart.contains(QLatin1String("AnyHashable(\"Content-Type\"): application/json; charset=utf-8, ")));
    QVERIFY(newPart.contains(QLatin1String("[Response Headers]\n[:]\n")));
    // Pretty JSON bodies with escaped slashes, a CRLF body, the earlier session kept in front.
    QVERIFY(newPart.contains(QLatin1String("\"image\" : \"https:\\/\\/cdn.lumenfold.id\\/p\\/A-1.jpg\"")));
    QVERIFY(newPart.contains(QLatin1String("Payment declined\r\nReason: insufficient funds\r\n")));
    QVERIFY(newPart.contains(QLatin1String("[Response Status] 999\n")));
    QVERIFY(text.startsWith(QLatin1String("-------START REQUEST -  https://api.lumenfold.id/v2/config?platform=ios "
                                          "-------\n[Request Method] GET\n[Request Date] 2026-01-15 07:30:00 +0000\n")));
}

void TestSimReport::networkLogPairsLikeTheParser()
{
    // The reader's pairing: by request identifier when both blocks carry
    // one, else first in, first out per URL; analytics hosts dropped.
    const QString text = QString::fromUtf8(SimTest::readFile(m_sessionLog).mid(m_sessionBefore))
                             .replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QList<LogBlock> blocks;
    QString problem;
    QVERIFY(readBlocks(text, &blocks, &problem));
    static const QRegularExpression requestDate(QStringLiteral("\\[Request Date\\] (.*)\n"));
    QHash<QString, LogBlock> byId;
    QHash<QString, QList<LogBlock>> byUrl;
    QList<std::pair<LogBlock, LogBlock>> pairs;
    int ignored = 0;
    for (const LogBlock &b : blocks) {
        if (b.url.contains(QLatin1String("app-measurement.com")) || b.url.contains(QLatin1String("crashlytics"))) {
            ++ignored;
            continue;
        }
        if (b.request) {
            const QDateTime date
                = QDateTime::fromString(requestDate.match(b.body).captured(1).left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QDateTime utc = date;
            utc.setTimeZone(QTimeZone::utc());
            // Kept by the reader's start filter (run start minus five seconds).
            QVERIFY2(utc.secsTo(m_runStart) <= 5, qPrintable(b.url));
            const QString id = requestId(b.body);
            if (!id.isEmpty())
                byId.insert(id, b);
            else
                byUrl[b.url].append(b);
            continue;
        }
        const QString id = requestId(b.body);
        if (!id.isEmpty() && byId.contains(id))
            pairs.append({ byId.take(id), b });
        else if (!byUrl.value(b.url).isEmpty())
            pairs.append({ byUrl[b.url].takeFirst(), b });
        else
            QFAIL(qPrintable(QStringLiteral("response without a request: ") + b.url));
    }
    QVERIFY(ignored >= 4);
    static const QRegularExpression qty(QStringLiteral("\"qty\":(\\d)"));
    int cartPairs = 0;
    for (const auto &[request, response] : pairs) {
        QCOMPARE(request.url, response.url);
        const QRegularExpressionMatch m = qty.match(request.body);
        if (request.url.endsWith(QLatin1String("/v2/cart")) && m.hasMatch()) {
            ++cartPairs;
            QVERIFY2(response.body.contains(QStringLiteral("\"qty\" : ") + m.captured(1)), qPrintable(response.body));
        }
    }
    QCOMPARE(cartPairs, 4); // two flows add to the cart twice each
    int unanswered = 0;
    for (const QList<LogBlock> &waiting : std::as_const(byUrl)) {
        for (const LogBlock &b : waiting) {
            QVERIFY2(b.url.contains(QLatin1String("/v2/recommendations")), qPrintable(b.url));
            ++unanswered;
        }
    }
    QCOMPARE(unanswered, 2);
    QVERIFY(byId.isEmpty());
}

void TestSimReport::runVariables()
{
    const QJsonArray commands
        = SimTest::readJsonObject(m_report + QStringLiteral("/flows/flow-000.json")).value(QStringLiteral("commands")).toArray();
    const QJsonArray login = commands.at(0).toObject().value(QStringLiteral("subCommands")).toArray();
    QStringList typed;
    QStringList yaml;
    for (const QJsonValue &c : login) {
        if (c.toObject().value(QStringLiteral("type")).toString() == QLatin1String("inputText")) {
            typed << c.toObject().value(QStringLiteral("params")).toObject().value(QStringLiteral("text")).toString();
            yaml << c.toObject().value(QStringLiteral("yaml")).toString();
        }
    }
    // The sub-flow's own EMAIL default, then -e PASSWORD split at its first "=".
    QCOMPARE(typed, (QStringList { "qa@lumenfold.id", "a=b c" }));
    QCOMPARE(yaml, (QStringList { "inputText: \"${EMAIL}\"", "inputText: \"${PASSWORD}\"" }));
    QCOMPARE(SimTest::readJsonObject(m_report + QStringLiteral("/report.json"))
                 .value(QStringLiteral("app"))
                 .toObject()
                 .value(QStringLiteral("id"))
                 .toString(),
        QStringLiteral("com.lumenfold.pasar"));
}

QTEST_GUILESS_MAIN(TestSimReport)
#include "tst_simreport.moc"
