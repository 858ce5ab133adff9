// The display rules of the traffic list and the exchange detail, the list's
// filter, and the replay command lines (run through a shell with a stand-in
// curl that hands back the words it got).
#include "netfoxlogbuilder.h"
#include "network/curlcommand.h"
#include "network/netfoxparser.h"
#include "network/networkhitdisplay.h"
#include "network/networkhitfilter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using NetworkHitDisplay::ColorRole;

Q_DECLARE_METATYPE(ColorRole)

namespace {

NetworkHit hit(const QString &method, const QString &status, const QString &url = QStringLiteral("https://a.test/x"))
{
    NetworkHit h;
    h.id = url + method + status;
    h.url = url;
    h.reqMethod = method;
    h.resStatus = status;
    h.reqHeaders = QStringLiteral("Accept: \"application/json\"");
    h.reqBody = QStringLiteral("No Request Body");
    h.resHeaders = QStringLiteral("Content-Type: application/json");
    h.resBody = QStringLiteral("{\"token\":\"Abc\"}");
    return h;
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

} // namespace

class TestNetworkHitDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void methodColor_data();
    void methodColor();
    void statusColor_data();
    void statusColor();
    void detailStatusColor_data();
    void detailStatusColor();
    void prettyBody_data();
    void prettyBody();
    void copyContent_data();
    void copyContent();
    void filter_data();
    void filter();
    void curlRoundTrip_data();
    void curlRoundTrip();

private:
    QTemporaryDir m_bin;
};

void TestNetworkHitDisplay::initTestCase()
{
    // A stand-in curl: prints each argument followed by a NUL.
    QVERIFY(m_bin.isValid());
    QFile script(m_bin.filePath(QStringLiteral("curl")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
}

void TestNetworkHitDisplay::methodColor_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<ColorRole>("role");
    QTest::newRow("GET blue") << "GET" << ColorRole::Blue;
    QTest::newRow("post written in lower case is green") << "post" << ColorRole::Green;
    QTest::newRow("PUT orange") << "PUT" << ColorRole::Orange;
    QTest::newRow("Delete red") << "Delete" << ColorRole::Red;
    QTest::newRow("PATCH grey") << "PATCH" << ColorRole::Grey;
    QTest::newRow("empty grey") << "" << ColorRole::Grey;
}

void TestNetworkHitDisplay::methodColor()
{
    QFETCH(QString, method);
    QFETCH(ColorRole, role);
    QCOMPARE(NetworkHitDisplay::methodColor(method), role);
}

void TestNetworkHitDisplay::statusColor_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<ColorRole>("role");
    QTest::newRow("200 green") << "200" << ColorRole::Green;
    QTest::newRow("204 green") << "204" << ColorRole::Green;
    QTest::newRow("301 orange") << "301" << ColorRole::Orange;
    QTest::newRow("404 red") << "404" << ColorRole::Red;
    QTest::newRow("500 red") << "500" << ColorRole::Red;
    QTest::newRow("TIMEOUT grey") << "TIMEOUT" << ColorRole::Grey;
    QTest::newRow("timeout in lower case orange") << "timeout" << ColorRole::Orange;
    QTest::newRow("100 orange") << "100" << ColorRole::Orange;
}

void TestNetworkHitDisplay::statusColor()
{
    QFETCH(QString, status);
    QFETCH(ColorRole, role);
    QCOMPARE(NetworkHitDisplay::statusColor(status), role);
}

void TestNetworkHitDisplay::detailStatusColor_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<ColorRole>("role");
    QTest::newRow("201 green") << "201" << ColorRole::Green;
    QTest::newRow("301 red") << "301" << ColorRole::Red;
    QTest::newRow("TIMEOUT red") << "TIMEOUT" << ColorRole::Red;
}

void TestNetworkHitDisplay::detailStatusColor()
{
    QFETCH(QString, status);
    QFETCH(ColorRole, role);
    QCOMPARE(NetworkHitDisplay::detailStatusColor(status), role);
}

void TestNetworkHitDisplay::prettyBody_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one-line object indented") << "{\"a\":1,\"b\":[true,null]}"
                                              << "{\n    \"a\": 1,\n    \"b\": [\n        true,\n        null\n    ]\n}";
    QTest::newRow("escaped slash shown plain") << "{\"url\":\"https:\\/\\/x.test\\/a\"}"
                                               << "{\n    \"url\": \"https://x.test/a\"\n}";
    QTest::newRow("array after spaces") << "  [1, \"é\"]\n"
                                        << "[\n    1,\n    \"é\"\n]";
    QTest::newRow("plain text unchanged, untrimmed") << " hello {world} "
                                                     << " hello {world} ";
    QTest::newRow("invalid [ unchanged") << "[ not json"
                                         << "[ not json";
    QTest::newRow("object with trailing garbage unchanged") << "{\"a\":1} x"
                                                            << "{\"a\":1} x";
    QTest::newRow("placeholder unchanged") << "No Response Body"
                                           << "No Response Body";
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
    NetworkHit answered = hit(QStringLiteral("GET"), QStringLiteral("200"));
    QTest::newRow("response tab") << answered << 1
                                  << "HEADERS\nContent-Type: application/json\n\nBODY\n{\n    \"token\": \"Abc\"\n}";
    QTest::newRow("request tab") << answered << 0 << "HEADERS\nAccept: \"application/json\"\n\nBODY\nNo Request Body";
    NetworkHit blank = answered;
    blank.resHeaders = QStringLiteral(" \n\t");
    blank.resBody = QStringLiteral("plain");
    QTest::newRow("blank headers") << blank << 1 << "HEADERS\nNo Headers\n\nBODY\nplain";
    NetworkHit timedOut = hit(QStringLiteral("GET"), QStringLiteral("TIMEOUT"));
    timedOut.resHeaders = QStringLiteral("No Response Headers");
    timedOut.resBody = QStringLiteral("No Response Body");
    QTest::newRow("placeholder headers kept") << timedOut << 1 << "HEADERS\nNo Response Headers\n\nBODY\nNo Response Body";
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
    QTest::newRow("no filter") << ok << "" << false << "" << true;
    QTest::newRow("blank search matches") << ok << "  " << false << "" << true;
    QTest::newRow("url ignoring case") << ok << "LOGIN" << false << "" << true;
    QTest::newRow("method") << ok << "POST" << false << "" << true;
    QTest::newRow("status") << ok << "200" << false << "" << true;
    QTest::newRow("request header") << ok << "application/JSON" << false << "" << true;
    QTest::newRow("response body") << ok << "abc" << false << "" << true;
    QTest::newRow("no field holds it") << ok << "logout" << false << "" << false;
    QTest::newRow("200 not failed") << ok << "" << true << "" << false;
    QTest::newRow("404 failed") << hit("GET", "404") << "" << true << "" << true;
    QTest::newRow("503 failed") << hit("GET", "503") << "" << true << "" << true;
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
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), m_bin.path() + u':' + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    shell.setProcessEnvironment(environment);
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

QTEST_GUILESS_MAIN(TestNetworkHitDisplay)
#include "tst_networkhitdisplay.moc"
