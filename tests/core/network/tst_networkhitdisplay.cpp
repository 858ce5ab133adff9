// What the traffic views and exports make of exchanges: the detail's body and
// copied text, the list's filter, the replay command lines (run through a
// shell and a stand-in curl that hands back its words) and the HAR 1.2 export
// (against the HAR schema, and mapped as a HAR reader expects).
#include "jsonschemasubset.h"
#include "netfoxlogbuilder.h"
#include "network/curlcommand.h"
#include "network/harexport.h"
#include "network/netfoxparser.h"
#include "network/networkhitdisplay.h"
#include "network/networkhitfilter.h"
#include "scratchfiles.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

NetworkHit hit(const QString &method, const QString &status, const QString &url = QStringLiteral("https://a.test/x"))
{
    return NetworkHit { url + method + status, QDateTime(), url, method, "Accept: \"application/json\"", "No Request Body",
        status, "Content-Type: application/json", "{\"token\":\"Abc\"}" };
}

// A request as the app's library logs it, read back by the parser.
NetworkHit parsedRequest(const QString &method, const QString &headers, const QString &body)
{
    const QString url = QStringLiteral("https://api.example.com/v2/cart?q=a%20b&x=1");
    const QString log = NetfoxLogBuilder::simpleRequest(
                            url, method, QStringLiteral("2026-12-06 08:36:44 +0000"), headers, QStringLiteral(" ") + body)
        + NetfoxLogBuilder::simpleResponse(url, QStringLiteral("200"), QStringLiteral(" ok"));
    const NetworkHitList hits = Netfox::parseNetworkLogText(log);
    return hits.isEmpty() ? NetworkHit() : hits.first();
}

// The sample session: a POST login answered 200, a GET cart answered with a
// redirect, and an orders request that got no answer.
QJsonObject sessionHar()
{
    return HarExport::document(Netfox::parseNetworkLog(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/session.log")),
        QStringLiteral("Kestrune"), QStringLiteral("0.1.0"));
}

// The value at a dotted path such as "log.entries.0.request".
QJsonValue at(const QJsonValue &document, const QString &path)
{
    QJsonValue value = document;
    for (const QString &key : path.split(u'.')) {
        bool isIndex = false;
        const int index = key.toInt(&isIndex);
        value = isIndex ? value[index] : value[key];
    }
    return value;
}

// `document` without the member at the dotted path.
QJsonValue without(const QJsonValue &document, QStringList path)
{
    const QString key = path.takeFirst();
    bool isIndex = false;
    const int index = key.toInt(&isIndex);
    if (isIndex) {
        QJsonArray array = document.toArray();
        array[index] = without(array[index], path);
        return array;
    }
    QJsonObject object = document.toObject();
    if (path.isEmpty())
        object.remove(key);
    else
        object[key] = without(object[key], path);
    return object;
}

// "name=value" of each name-value object in the array at `path`.
QStringList pairs(const QJsonValue &document, const QString &path)
{
    QStringList list;
    for (const QJsonValue &item : at(document, path).toArray())
        list << item[QLatin1String("name")].toString() + u'=' + item[QLatin1String("value")].toString();
    return list;
}

} // namespace

class TestNetworkHitDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void prettyBody_data();
    void prettyBody();
    void copyContent_data();
    void copyContent();
    void filter_data();
    void filter();
    void curlRoundTrip_data();
    void curlRoundTrip();
    void harSchemaCheck_data();
    void harSchemaCheck();
    void harExchangeMapping();
    void harHeaderPairs_data();
    void harHeaderPairs();

private:
    QTemporaryDir m_bin;
};

void TestNetworkHitDisplay::initTestCase()
{
    // A stand-in curl: prints each argument followed by a NUL.
    QVERIFY(testsupport::writeFile(
        m_bin.filePath(QStringLiteral("curl")), "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done\n", true));
}

void TestNetworkHitDisplay::prettyBody_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one-line object indented")
        << "{\"a\":1,\"b\":[true,null]}"
        << QStringLiteral("{\n    \"a\": 1,\n    \"b\": [\n        true,\n        null\n    ]\n}");
    QTest::newRow("escaped slash shown plain")
        << "{\"url\":\"https:\\/\\/x.test\\/a\"}" << QStringLiteral("{\n    \"url\": \"https://x.test/a\"\n}");
    QTest::newRow("array after spaces") << "  [1, \"é\"]\n" << QStringLiteral("[\n    1,\n    \"é\"\n]");
    QTest::newRow("plain text unchanged, untrimmed") << " hello {world} " << QStringLiteral(" hello {world} ");
    QTest::newRow("invalid [ unchanged") << "[ not json" << QStringLiteral("[ not json");
    QTest::newRow("object with trailing garbage unchanged") << "{\"a\":1} x" << QStringLiteral("{\"a\":1} x");
    QTest::newRow("placeholder unchanged") << "No Response Body" << QStringLiteral("No Response Body");
}

void TestNetworkHitDisplay::prettyBody()
{
    QFETCH(QString, body);
    QFETCH(QString, shown);
    QCOMPARE(NetworkHitDisplay::prettyBody(body), shown);
}

void TestNetworkHitDisplay::copyContent_data()
{
    QTest::addColumn<NetworkHit>("hit");
    QTest::addColumn<int>("side");
    QTest::addColumn<QString>("content");
    const NetworkHit answered = hit(QStringLiteral("GET"), QStringLiteral("200"));
    QTest::newRow("response tab") << answered << 1
                                  << "HEADERS\nContent-Type: application/json\n\nBODY\n{\n    \"token\": \"Abc\"\n}";
    QTest::newRow("request tab") << answered << 0 << "HEADERS\nAccept: \"application/json\"\n\nBODY\nNo Request Body";
    NetworkHit blank = answered;
    blank.resHeaders = QStringLiteral(" \n\t");
    QTest::newRow("blank headers say so") << blank << 1 << "HEADERS\nNo Headers\n\nBODY\n{\n    \"token\": \"Abc\"\n}";
}

void TestNetworkHitDisplay::copyContent()
{
    QFETCH(NetworkHit, hit);
    QFETCH(int, side);
    QFETCH(QString, content);
    QCOMPARE(NetworkHitDisplay::copyContent(hit, NetworkHitDisplay::Side(side)), content);
}

void TestNetworkHitDisplay::filter_data()
{
    QTest::addColumn<NetworkHit>("hit");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("failedOnly");
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("matches");
    const NetworkHit ok = hit(QStringLiteral("post"), QStringLiteral("200"), QStringLiteral("https://api.test/Login"));
    QTest::newRow("blank search matches") << ok << "  " << false << "" << true;
    QTest::newRow("url ignoring case") << ok << "LOGIN" << false << "" << true;
    QTest::newRow("method") << ok << "POST" << false << "" << true;
    QTest::newRow("status") << ok << "200" << false << "" << true;
    QTest::newRow("request header") << ok << "application/JSON" << false << "" << true;
    QTest::newRow("response body") << ok << "abc" << false << "" << true;
    QTest::newRow("no field holds it") << ok << "logout" << false << "" << false;
    QTest::newRow("200 not failed") << ok << "" << true << "" << false;
    QTest::newRow("404 failed") << hit("GET", "404") << "" << true << "" << true;
    QTest::newRow("TIMEOUT failed") << hit("GET", "TIMEOUT") << "" << true << "" << true;
    QTest::newRow("301 not failed") << hit("GET", "301") << "" << true << "" << false;
    QTest::newRow("method ignoring case") << ok << "" << false << "POST" << true;
    QTest::newRow("other method") << ok << "" << false << "GET" << false;
    QTest::newRow("all three must hold") << hit("DELETE", "500") << "a.test" << true << "DELETE" << true;
    QTest::newRow("search fails the conjunction") << hit("DELETE", "500") << "nothing" << true << "DELETE" << false;
}

void TestNetworkHitDisplay::filter()
{
    QFETCH(NetworkHit, hit);
    QFETCH(QString, search);
    QFETCH(bool, failedOnly);
    QFETCH(QString, method);
    QFETCH(bool, matches);
    NetworkHitFilter filter;
    filter.search = search;
    filter.failedOnly = failedOnly;
    filter.method = method;
    QCOMPARE(filter.matches(hit), matches);
    QCOMPARE(filter.isActive(), !search.trimmed().isEmpty() || failedOnly || !method.isEmpty());
}

void TestNetworkHitDisplay::curlRoundTrip_data()
{
    QTest::addColumn<NetworkHit>("hit");
    QTest::addColumn<QStringList>("words");
    const QString url = QStringLiteral("https://api.example.com/v2/cart?q=a%20b&x=1");
    const QString headers
        = QStringLiteral("[AnyHashable(\"Content-Type\"): \"application/json\", AnyHashable(\"X-Note\"): \"it's\"]");
    QTest::newRow("GET without body") << parsedRequest(QStringLiteral("GET"), QStringLiteral("[:]"), QString())
                                      << QStringList { "--url", url };
    QTest::newRow("header quotes removed, quote in a value") << parsedRequest(QStringLiteral("DELETE"), headers,
        QString()) << QStringList { "-X", "DELETE", "-H", "Content-Type: application/json", "-H", "X-Note: it's", "--url", url };
    QTest::newRow("body with a quote, a line break and non-ASCII")
        << parsedRequest(
               QStringLiteral("POST"), headers, QStringLiteral("{\"name\":\"O'Brien\",\n\"city\":\"Zürich 🚀 $HOME `id`\"}"))
        << QStringList { "-X", "POST", "-H", "Content-Type: application/json", "-H", "X-Note: it's", "--data-raw",
               "{\"name\":\"O'Brien\",\n\"city\":\"Zürich 🚀 $HOME `id`\"}", "--url", url };
    NetworkHit dashed = hit(QStringLiteral("GET"), QStringLiteral("200"), QStringLiteral("-o/tmp/x"));
    dashed.reqHeaders = QStringLiteral("No Request Headers");
    dashed.reqBody = QStringLiteral("'; rm -rf / #''");
    NetworkHit globbed = hit(QStringLiteral("PATCH"), QStringLiteral("200"), QStringLiteral("https://a.test/~u/*?[a]#x"));
    globbed.reqHeaders = QStringLiteral("X-Empty: \"\"");
    QTest::newRow("shell pattern characters and an empty value stay words")
        << globbed << QStringList { "-X", "PATCH", "-H", "X-Empty: ", "--url", "https://a.test/~u/*?[a]#x" };
    QTest::newRow("GET with a body says its method")
        << dashed << QStringList { "-X", "GET", "--data-raw", "'; rm -rf / #''", "--url", "-o/tmp/x" };
}

void TestNetworkHitDisplay::curlRoundTrip()
{
    QFETCH(NetworkHit, hit);
    QFETCH(QStringList, words);
    QVERIFY(!hit.url.isEmpty());
    const QString command = CurlCommand::command(hit);
    QVERIFY2(command.startsWith(QStringLiteral("curl ")), qPrintable(command));
    const testsupport::ScopedEnv path("PATH", QFile::encodeName(m_bin.path()) + ':' + qgetenv("PATH"));
    const testsupport::ScopedEnv locale("LC_ALL", "C.UTF-8");
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command });
    QVERIFY(shell.waitForFinished(10'000));
    QCOMPARE(shell.exitCode(), 0);
    QByteArray out = shell.readAllStandardOutput();
    QVERIFY(out.endsWith('\0'));
    out.chop(1);
    QStringList got;
    for (const QByteArray &word : out.split('\0'))
        got.append(QString::fromUtf8(word));
    QCOMPARE(got, words);
    // `--format curl` output: one line of its own per exchange.
    QCOMPARE(CurlCommand::commands({ hit, hit }), command + u'\n' + command + u'\n');
}

void TestNetworkHitDisplay::harSchemaCheck_data()
{
    QTest::addColumn<bool>("noExchanges");
    QTest::addColumn<QString>("removed"); // the path of a member of the first entry
    QTest::addColumn<bool>("valid");
    QTest::newRow("the sample session") << false << QString() << true;
    QTest::newRow("no exchanges") << true << QString() << true;
    QTest::newRow("without startedDateTime") << false << "startedDateTime" << false;
    QTest::newRow("without timings") << false << "timings" << false;
    QTest::newRow("without request.queryString") << false << "request.queryString" << false;
    QTest::newRow("without response.content") << false << "response.content" << false;
}

void TestNetworkHitDisplay::harSchemaCheck()
{
    // The validator knows every keyword the schema uses, and must be able to
    // fail: the same document without one required member does not pass.
    QFETCH(bool, noExchanges);
    QFETCH(QString, removed);
    QFETCH(bool, valid);
    QJsonObject har = noExchanges ? HarExport::document({}, QStringLiteral("K"), QStringLiteral("1")) : sessionHar();
    QCOMPARE(at(har, QStringLiteral("log.entries")).toArray().size(), noExchanges ? 0 : 3);
    if (!removed.isEmpty())
        har = without(har, QString(u"log.entries.0." + removed).split(u'.')).toObject();
    const QByteArray schema = testsupport::readFile(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/har-1.2.schema.json"));
    const QStringList errors = JsonSchemaSubset(QJsonDocument::fromJson(schema).object()).validate(har);
    QVERIFY2(errors.isEmpty() == valid, qPrintable(errors.join(u'\n')));
}

void TestNetworkHitDisplay::harExchangeMapping()
{
    const QJsonObject har = sessionHar();
    auto text = [&](const char *path) { return at(har, QString::fromLatin1(path)).toString(); };
    QCOMPARE(text("log.version"), QStringLiteral("1.2"));
    QCOMPARE(text("log.creator.name"), QStringLiteral("Kestrune"));
    QCOMPARE(text("log.entries.0.startedDateTime"), QStringLiteral("2026-12-06T08:36:43.000+00:00"));
    QCOMPARE(text("log.entries.0.request.method"), QStringLiteral("POST"));
    QCOMPARE(
        pairs(har, "log.entries.0.request.headers"), (QStringList { "Content-Type=application/json", "Accept-Language=id-ID" }));
    QCOMPARE(pairs(har, "log.entries.0.request.queryString"), (QStringList { "user=qa@example.com", "lang=id" }));
    QCOMPARE(text("log.entries.0.request.postData.mimeType"), QStringLiteral("application/json"));
    QVERIFY(text("log.entries.0.request.postData.text").contains(u"\"password\" : \"••••\""));
    QCOMPARE(at(har, "log.entries.0.response.status").toInt(), 200);
    QCOMPARE(pairs(har, "log.entries.0.response.headers"),
        (QStringList { "Content-Type=application/json; charset=utf-8", "Date=Sun, 06 Dec 2026 08:36:45 GMT",
            "Set-Cookie=session=abc; Path=/" }));
    QVERIFY(text("log.entries.0.response.content.text").contains(u"Dévi Ñoño 🚀"));
    QCOMPARE(at(har, "log.entries.0.response.content.size").toInt(), text("log.entries.0.response.content.text").toUtf8().size());
    QCOMPARE(text("log.entries.0.response.content.mimeType"), QStringLiteral("application/json; charset=utf-8"));
    // The GET with an empty body has no postData; its response redirects.
    QVERIFY(!at(har, "log.entries.1.request").toObject().contains(QLatin1String("postData")));
    QCOMPARE(at(har, "log.entries.1.request.bodySize").toInt(-1), 0);
    QCOMPARE(text("log.entries.1.response.redirectURL"), QStringLiteral("https://api.example.com/v2/cart/1"));
    // No response: status 0, the logged status text, no headers, no text.
    QCOMPARE(at(har, "log.entries.2.response.status").toInt(-1), 0);
    QCOMPARE(text("log.entries.2.response.statusText"), QStringLiteral("TIMEOUT"));
    QCOMPARE(at(har, "log.entries.2.response.headers").toArray().size(), 0);
    QVERIFY(!at(har, "log.entries.2.response.content").toObject().contains(QLatin1String("text")));
    QCOMPARE(at(har, "log.entries.2.response.content.size").toInt(-1), 0);
}

void TestNetworkHitDisplay::harHeaderPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("placeholder") << "No Request Headers" << QStringList {};
    QTest::newRow("empty dictionary") << ":" << QStringList {};
    QTest::newRow("continuation line") << "Link: <a>\n <b>" << QStringList { "Link=<a>\n<b>" };
    QTest::newRow("lone quote stays") << "X: \"" << QStringList { "X=\"" };
}

void TestNetworkHitDisplay::harHeaderPairs()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QStringList actual;
    for (const auto &[name, value] : HarExport::headerPairs(text))
        actual << name + u'=' + value;
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestNetworkHitDisplay)
#include "tst_networkhitdisplay.moc"
