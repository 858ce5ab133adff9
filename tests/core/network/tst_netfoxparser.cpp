// Behaviour of the Netfox session log parser. Every case runs twice: against
// the production scanner and against the pattern-based reference.
#include "netfoxlogbuilder.h"
#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"
#include "network/netfoxsyntax.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace NetfoxLogBuilder;

namespace {

using ParseFunction = NetworkHitList (*)(const QString &, const std::optional<QDateTime> &);

const QString kDate = QStringLiteral("2026-12-06 08:36:44 +0000");

QDateTime utc(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODate);
}

// "METHOD url -> status | response body" per exchange, in result order.
QStringList summary(const NetworkHitList &hits)
{
    QStringList lines;
    for (const NetworkHit &hit : hits)
        lines.append(hit.reqMethod + u' ' + hit.url + u" -> " + hit.resStatus + u" | " + hit.resBody);
    return lines;
}

} // namespace

class TestNetfoxParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();

    void logsWithoutExchangesAreEmpty_data();
    void logsWithoutExchangesAreEmpty();
    void pairing_data();
    void pairing();
    void sinceBoundary_data();
    void sinceBoundary();
    void droppedRequestsStillTakeTheirResponses_data();
    void droppedRequestsStillTakeTheirResponses();
    void crlfParsesLikeLf();
    void missingLabelsTakeFallbacks_data();
    void missingLabelsTakeFallbacks();
    void truncatedFinalBlock_data();
    void truncatedFinalBlock();
    void idsAreUniqueWithinOneParse();
    void knownHashesGiveTheExactIds_data();
    void knownHashesGiveTheExactIds();
    void equalTimesKeepPairingOrder();

    void formatHeaders_data();
    void formatHeaders();
    void formatHitAsText();
    void formatHitsAsTextJoinsWithBlankLine();

    void fileDecoding_data();
    void fileDecoding();
    void unreadableFileIsEmpty();

private:
    NetworkHitList parse(const QString &text, const std::optional<QDateTime> &since = std::nullopt)
    {
        QFETCH_GLOBAL(bool, reference);
        return reference ? NetfoxReference::parseNetworkLogText(text, since) : Netfox::parseNetworkLogText(text, since);
    }
};

void TestNetfoxParser::initTestCase_data()
{
    QTest::addColumn<bool>("reference");
    QTest::newRow("scanner") << false;
    QTest::newRow("reference") << true;
}

void TestNetfoxParser::logsWithoutExchangesAreEmpty_data()
{
    QTest::addColumn<QString>("log");
    QTest::newRow("empty") << QString();
    QTest::newRow("no start line") << QStringLiteral("hello\n[Request Method] GET\n-------END REQUEST\n");
    QTest::newRow("responses only") << simpleResponse(
        QStringLiteral("https://a.example/x"), QStringLiteral("200"), QStringLiteral(" {}"));
    QTest::newRow("start without end") << QStringLiteral("-------START REQUEST -  https://a.example/x -------\n"
                                                         "[Request Date] 2026-12-06 08:36:44 +0000\n");
}

void TestNetfoxParser::logsWithoutExchangesAreEmpty()
{
    QFETCH(QString, log);
    QCOMPARE(parse(log).size(), 0);
}

void TestNetfoxParser::pairing_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected");

    const QString cart = QStringLiteral("https://api.example.com/v2/cart");
    const QString poll = QStringLiteral("https://api.example.com/v1/poll");
    auto req = [&](const QString &url, const QString &method, const QString &second, const QString &headers) {
        return simpleRequest(url, method, QStringLiteral("2026-12-06 08:36:%1 +0000").arg(second), headers);
    };

    // Three requests to one URL; the responses come back in another order and
    // find their requests by identifier, whatever the letter case and colon.
    QTest::newRow("identifier across interleaved same-URL requests")
        << req(cart, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("X-Request-Id: abc-1"))
            + req(cart, QStringLiteral("POST"), QStringLiteral("42"), QStringLiteral("[:]"))
            + req(cart, QStringLiteral("PUT"), QStringLiteral("43"), QStringLiteral("x-request-id def-2"))
            + simpleResponse(cart, QStringLiteral("201"), QStringLiteral(" for-def"), QStringLiteral("X-REQUEST-ID def-2"))
            + simpleResponse(cart, QStringLiteral("202"), QStringLiteral(" for-post"))
            + simpleResponse(cart, QStringLiteral("200"), QStringLiteral(" for-abc"), QStringLiteral("x-Request-id:abc-1"))
        << QStringList { u"GET " + cart + u" -> 200 | for-abc", u"POST " + cart + u" -> 202 | for-post",
               u"PUT " + cart + u" -> 201 | for-def" };

    QTest::newRow("Trace-Id and RequestId") << req(cart, QStringLiteral("GET"), QStringLiteral("41"),
                                                   QStringLiteral("Trace-Id: t1"))
            + req(cart, QStringLiteral("PUT"), QStringLiteral("42"), QStringLiteral("RequestId::  r2"))
            + simpleResponse(cart, QStringLiteral("201"), QStringLiteral(" r"), QStringLiteral("requestid r2"))
            + simpleResponse(cart, QStringLiteral("200"), QStringLiteral(" t"), QStringLiteral("TRACE-ID\tt1"))
                                            << QStringList { u"GET " + cart + u" -> 200 | t", u"PUT " + cart + u" -> 201 | r" };

    QTest::newRow("first in, first out by URL")
        << req(poll, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("[:]"))
            + req(poll, QStringLiteral("POST"), QStringLiteral("42"), QStringLiteral("[:]"))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" first"))
            + simpleResponse(poll, QStringLiteral("500"), QStringLiteral(" second"))
        << QStringList { u"GET " + poll + u" -> 200 | first", u"POST " + poll + u" -> 500 | second" };

    // The quoted dictionary printout puts `"): "` between name and value, so
    // such identifiers are not seen and the exchange pairs by URL.
    QTest::newRow("dictionary printout pairs by URL")
        << req(cart, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("[AnyHashable(\"X-Request-Id\"): \"aaa\"]"))
            + req(cart, QStringLiteral("PUT"), QStringLiteral("42"), QStringLiteral("[AnyHashable(\"X-Request-Id\"): \"bbb\"]"))
            + simpleResponse(
                cart, QStringLiteral("200"), QStringLiteral(" one"), QStringLiteral("[AnyHashable(\"X-Request-Id\"): bbb]"))
            + simpleResponse(cart, QStringLiteral("201"), QStringLiteral(" two"))
        << QStringList { u"GET " + cart + u" -> 200 | one", u"PUT " + cart + u" -> 201 | two" };

    QTest::newRow("unknown identifier falls back to URL")
        << req(poll, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("[:]"))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" ok"), QStringLiteral("X-Request-Id: zz"))
        << QStringList { u"GET " + poll + u" -> 200 | ok" };

    QTest::newRow("response logged before its request still pairs")
        << simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" early"))
            + req(poll, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("[:]"))
        << QStringList { u"GET " + poll + u" -> 200 | early" };

    QTest::newRow("unanswered request times out") << req(poll, QStringLiteral("DELETE"), QStringLiteral("41"),
        QStringLiteral("[:]")) << QStringList { u"DELETE " + poll + u" -> TIMEOUT | No Response Body" };

    QTest::newRow("surplus response is dropped") << req(poll, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("[:]"))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" a"))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" b"))
                                                 << QStringList { u"GET " + poll + u" -> 200 | a" };

    QTest::newRow("a repeated identifier replaces the earlier request")
        << req(cart, QStringLiteral("GET"), QStringLiteral("41"), QStringLiteral("X-Request-Id: same"))
            + req(cart, QStringLiteral("PUT"), QStringLiteral("42"), QStringLiteral("X-Request-Id: same"))
        << QStringList { u"PUT " + cart + u" -> TIMEOUT | No Response Body" };

    const QString analytics = QStringLiteral("https://app-measurement.com/a?x=1");
    const QString crashes = QStringLiteral("https://reports.crashlytics.com/sdk");
    QTest::newRow("ignored hosts drop both halves")
        << req(analytics, QStringLiteral("POST"), QStringLiteral("41"), QStringLiteral("[:]"))
            + req(crashes, QStringLiteral("POST"), QStringLiteral("41"), QStringLiteral("[:]"))
            + req(poll, QStringLiteral("GET"), QStringLiteral("42"), QStringLiteral("[:]"))
            + simpleResponse(analytics, QStringLiteral("204"), QStringLiteral(" "))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" kept"))
        << QStringList { u"GET " + poll + u" -> 200 | kept" };

    QTest::newRow("results ordered by request time")
        << req(poll, QStringLiteral("GET"), QStringLiteral("50"), QStringLiteral("[:]"))
            + req(cart, QStringLiteral("GET"), QStringLiteral("40"), QStringLiteral("[:]"))
            + simpleResponse(poll, QStringLiteral("200"), QStringLiteral(" late"))
        << QStringList { u"GET " + cart + u" -> TIMEOUT | No Response Body", u"GET " + poll + u" -> 200 | late" };
}

void TestNetfoxParser::pairing()
{
    QFETCH(QString, log);
    QFETCH(QStringList, expected);
    QCOMPARE(summary(parse(log)), expected);
}

void TestNetfoxParser::sinceBoundary_data()
{
    QTest::addColumn<QString>("since");
    QTest::addColumn<QStringList>("expectedMethods");
    QTest::newRow("absent keeps all") << QString() << QStringList { "A", "B", "C" };
    QTest::newRow("equal instant kept") << QStringLiteral("2026-12-06T08:36:44Z") << QStringList { "B", "C" };
    QTest::newRow("same instant in another zone") << QStringLiteral("2026-12-06T15:36:44+07:00") << QStringList { "B", "C" };
    QTest::newRow("one second later drops it") << QStringLiteral("2026-12-06T08:36:45Z") << QStringList { "C" };
    QTest::newRow("after everything") << QStringLiteral("2026-12-07T00:00:00Z") << QStringList {};
}

void TestNetfoxParser::sinceBoundary()
{
    QFETCH(QString, since);
    QFETCH(QStringList, expectedMethods);
    const QString url = QStringLiteral("https://api.example.com/x");
    const QString log = simpleRequest(url, QStringLiteral("A"), QStringLiteral("2026-12-06 08:36:43 +0000"))
        + simpleRequest(url, QStringLiteral("B"), QStringLiteral("2026-12-06 08:36:44 +0000"))
        + simpleRequest(url, QStringLiteral("C"), QStringLiteral("2026-12-06 15:36:45 +0700"));
    const std::optional<QDateTime> sinceTime = since.isEmpty() ? std::nullopt : std::optional(utc(since));
    QStringList methods;
    for (const NetworkHit &hit : parse(log, sinceTime))
        methods.append(hit.reqMethod);
    QCOMPARE(methods, expectedMethods);
}

// A request that is left out (before `since`, or undated) still answers to
// its response, so a later request to the same URL is not given it.
void TestNetfoxParser::droppedRequestsStillTakeTheirResponses_data()
{
    QTest::addColumn<QString>("firstDate");
    QTest::addColumn<QString>("firstHeaders");
    QTest::addColumn<QString>("responseHeaders");
    QTest::newRow("before since, by URL") << QStringLiteral("2026-12-06 08:36:43 +0000") << QStringLiteral("[:]") << QString();
    QTest::newRow("before since, by identifier")
        << QStringLiteral("2026-12-06 08:36:43 +0000") << QStringLiteral("X-Request-Id: a1") << QStringLiteral("x-request-id a1");
    QTest::newRow("undated, by URL") << QStringLiteral("2026-12-06 08:36:43") << QStringLiteral("[:]") << QString();
}

void TestNetfoxParser::droppedRequestsStillTakeTheirResponses()
{
    QFETCH(QString, firstDate);
    QFETCH(QString, firstHeaders);
    QFETCH(QString, responseHeaders);
    const QString url = QStringLiteral("https://api.example.com/x");
    const QString log = simpleRequest(url, QStringLiteral("A"), firstDate, firstHeaders)
        + simpleRequest(url, QStringLiteral("B"), QStringLiteral("2026-12-06 08:36:50 +0000"))
        + simpleResponse(url, QStringLiteral("200"), QStringLiteral(" for-a"), responseHeaders);
    QCOMPARE(summary(parse(log, utc(QStringLiteral("2026-12-06T08:36:44Z")))),
        QStringList { u"B " + url + u" -> TIMEOUT | No Response Body" });
}

void TestNetfoxParser::crlfParsesLikeLf()
{
    QFile file(QStringLiteral(KESTRUNE_TEST_DATA_DIR "/netfox/session.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString lf = QString::fromUtf8(file.readAll());
    QString crlf = lf;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    const NetworkHitList expected = parse(lf);
    QCOMPARE(expected.size(), 3);
    QCOMPARE(parse(crlf), expected);
    QVERIFY(!expected.first().resBody.contains(u'\r'));
}

void TestNetfoxParser::missingLabelsTakeFallbacks_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected"); // method, reqHeaders, reqBody, resStatus, resHeaders, resBody; empty = dropped

    const QString url = QStringLiteral("https://api.example.com/x");
    const QString date = QStringLiteral("[Request Date] ") + kDate;
    QTest::newRow("no method") << request(url, { date, QStringLiteral("[Request Body]"), QStringLiteral(" b") })
                               << QStringList { "GET", "No Request Headers", "b", "TIMEOUT", "No Response Headers",
                                      "No Response Body" };
    QTest::newRow("no body") << request(url, { QStringLiteral("[Request Method] POST"), date })
                             << QStringList { "POST", "No Request Headers", "No Request Body", "TIMEOUT", "No Response Headers",
                                    "No Response Body" };
    QTest::newRow("empty body is empty, not missing")
        << request(url, { date, QStringLiteral("[Request Body]"), QStringLiteral(" ") })
        << QStringList { "GET", "No Request Headers", "", "TIMEOUT", "No Response Headers", "No Response Body" };
    QTest::newRow("headers need a following body label")
        << request(url, { date, QStringLiteral("[Request Headers]"), QStringLiteral("A: b") })
        << QStringList { "GET", "No Request Headers", "No Request Body", "TIMEOUT", "No Response Headers", "No Response Body" };
    QTest::newRow("response without status or headers")
        << request(url, { date }) + response(url, { QStringLiteral("[Response Body]"), QStringLiteral(" r") })
        << QStringList { "GET", "No Request Headers", "No Request Body", "TIMEOUT", "No Response Headers", "r" };
    QTest::newRow("response without body") << request(url, { date }) + response(url, { QStringLiteral("[Response Status] 404") })
                                           << QStringList { "GET", "No Request Headers", "No Request Body", "404",
                                                  "No Response Headers", "No Response Body" };
    QTest::newRow("no date: dropped") << request(url, { QStringLiteral("[Request Method] GET") }) << QStringList();
    QTest::newRow("zone-less date: dropped")
        << request(url, { QStringLiteral("[Request Date] 2026-12-06 08:36:44") }) << QStringList();
    QTest::newRow("garbage date: dropped") << request(url, { QStringLiteral("[Request Date] yesterday") }) << QStringList();
    // The value runs to the next line feed after at least one white-space
    // character, and white space includes line breaks: an empty method takes
    // the next line.
    QTest::newRow("empty method reads the next line")
        << request(url, { QStringLiteral("[Request Method] "), date })
        << QStringList { "[Request Date] 2026-12-06 08:36:44 +0000", "No Request Headers", "No Request Body", "TIMEOUT",
               "No Response Headers", "No Response Body" };
}

void TestNetfoxParser::missingLabelsTakeFallbacks()
{
    QFETCH(QString, log);
    QFETCH(QStringList, expected);
    const NetworkHitList hits = parse(log);
    if (expected.isEmpty()) {
        QCOMPARE(hits.size(), 0);
        return;
    }
    QCOMPARE(hits.size(), 1);
    const NetworkHit &hit = hits.first();
    QCOMPARE(QStringList({ hit.reqMethod, hit.reqHeaders, hit.reqBody, hit.resStatus, hit.resHeaders, hit.resBody }), expected);
    QCOMPARE(hit.url, QStringLiteral("https://api.example.com/x"));
}

void TestNetfoxParser::truncatedFinalBlock_data()
{
    QTest::addColumn<int>("cut"); // characters removed from the end
    QTest::addColumn<QStringList>("expected");
    const QString url = QStringLiteral("https://api.example.com/x");
    QTest::newRow("complete") << 0 << QStringList { u"GET " + url + u" -> 200 | one", u"POST " + url + u" -> 201 | two" };
    QTest::newRow("cut inside the last response's end marker")
        << 45 << QStringList { u"GET " + url + u" -> 200 | one", u"POST " + url + u" -> TIMEOUT | No Response Body" };
    QTest::newRow("cut inside the last response's body")
        << 70 << QStringList { u"GET " + url + u" -> 200 | one", u"POST " + url + u" -> TIMEOUT | No Response Body" };
}

void TestNetfoxParser::truncatedFinalBlock()
{
    QFETCH(int, cut);
    QFETCH(QStringList, expected);
    const QString url = QStringLiteral("https://api.example.com/x");
    QString log = simpleRequest(url, QStringLiteral("GET"), QStringLiteral("2026-12-06 08:36:41 +0000"))
        + simpleResponse(url, QStringLiteral("200"), QStringLiteral(" one"))
        + simpleRequest(url, QStringLiteral("POST"), QStringLiteral("2026-12-06 08:36:42 +0000"))
        + simpleResponse(url, QStringLiteral("201"), QStringLiteral(" two\n") + QString(60, u'x'));
    log.chop(cut);
    QStringList lines = summary(parse(log));
    if (cut == 0)
        lines.last() = lines.last().section(u'\n', 0, 0);
    QCOMPARE(lines, expected);

    // A request cut off before its end marker is not an exchange yet.
    const QString cutRequest = simpleRequest(url, QStringLiteral("GET"), QStringLiteral("2026-12-06 08:36:41 +0000"))
        + QStringLiteral("-------START REQUEST -  ") + url + QStringLiteral(" -------\n[Request Method] PUT\n[Req");
    QCOMPARE(summary(parse(cutRequest)), QStringList { u"GET " + url + u" -> TIMEOUT | No Response Body" });
}

void TestNetfoxParser::idsAreUniqueWithinOneParse()
{
    // A polling app sends the same request twice within one second.
    const QString url = QStringLiteral("https://api.example.com/v1/poll");
    const QString log = simpleRequest(url, QStringLiteral("GET"), kDate) + simpleRequest(url, QStringLiteral("GET"), kDate)
        + simpleRequest(url, QStringLiteral("GET"), kDate) + simpleResponse(url, QStringLiteral("200"), QStringLiteral(" a"));
    const NetworkHitList hits = parse(log);
    QCOMPARE(hits.size(), 3);
    const QString base = hits.at(0).id;
    QVERIFY2(QRegularExpression(QStringLiteral("^1796546204\\.0_https://api\\.example\\.com/v1/poll_GET_-?\\d+$"))
                 .match(base)
                 .hasMatch(),
        qPrintable(base));
    QCOMPARE(hits.at(1).id, base + QStringLiteral("_2"));
    QCOMPARE(hits.at(2).id, base + QStringLiteral("_3"));
    // Deterministic: the same log gives the same ids.
    QCOMPARE(parse(log).at(2).id, hits.at(2).id);
}

void TestNetfoxParser::knownHashesGiveTheExactIds_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all different") << QStringList { "a", "b", "c_2" } << QStringList { "a", "b", "c_2" };
    QTest::newRow("repeats") << QStringList { "a", "a", "b", "a" } << QStringList { "a", "a_2", "b", "a_3" };
    // A suffixed form that is some other record's own id.
    QTest::newRow("suffix taken later")
        << QStringList { "a", "a", "a_2", "x" } << QStringList { "a", "a_2", "a_2_2", "x" };
    QTest::newRow("suffix taken earlier")
        << QStringList { "a_2", "a", "a", "a" } << QStringList { "a_2", "a", "a_3", "a_4" };
    QTest::newRow("suffix of a repeated suffix")
        << QStringList { "a_2", "a_2", "a_2_2", "a", "a" } << QStringList { "a_2", "a_2_2", "a_2_2_2", "a", "a_3" };
    QTest::newRow("digits without underscore") << QStringList { "a", "a", "a2", "a_" } << QStringList { "a", "a_2", "a2", "a_" };
}

void TestNetfoxParser::knownHashesGiveTheExactIds()
{
    // The parser's fast way (hashes worked out beforehand) against the plain
    // one, on the listed cases and on random ids full of suffixed forms.
    QFETCH(QStringList, ids);
    QFETCH(QStringList, expected);
    auto fastAndExact = [](const QStringList &given) {
        NetworkHitList fast;
        std::vector<size_t> hashes;
        for (const QString &id : given) {
            NetworkHit hit;
            hit.id = id;
            fast.append(hit);
            hashes.push_back(qHash(id));
        }
        NetworkHitList exact = fast;
        NetworkHitList spread = fast;
        // The exact way for only the ids that may meet another, given the
        // hashes repeated among `among`.
        auto takeTheExactWay = [&](NetworkHitList &hits, const std::vector<size_t> &among) {
            const std::vector<size_t> repeated = NetfoxSyntax::repeatedHashes(among);
            QList<QString *> taken;
            for (qsizetype i = 0; i < hits.size(); ++i) {
                if (NetfoxSyntax::mayMeetAnotherId(hits.at(i).id, hashes[size_t(i)], repeated))
                    taken.append(&hits[i].id);
            }
            NetfoxSyntax::makeIdsUnique(taken);
        };
        takeTheExactWay(fast, hashes);
        // As the parser does it: the repeated hashes found among more ids
        // than become records (requests dropped later), so some ids take
        // the exact way without need.
        std::vector<size_t> more = hashes;
        for (const char *dropped : { "a", "b", "a_2", "c_3" })
            more.push_back(qHash(QString::fromLatin1(dropped)));
        takeTheExactWay(spread, more);
        NetfoxSyntax::makeIdsUnique(exact);
        QStringList fastIds;
        QStringList exactIds;
        QStringList spreadIds;
        for (qsizetype i = 0; i < fast.size(); ++i) {
            fastIds.append(fast.at(i).id);
            exactIds.append(exact.at(i).id);
            spreadIds.append(spread.at(i).id);
        }
        return std::tuple { fastIds, exactIds, spreadIds };
    };
    const auto [fast, exact, spread] = fastAndExact(ids);
    QCOMPARE(exact, expected);
    QCOMPARE(fast, expected);
    QCOMPARE(spread, expected);

    QRandomGenerator random(quint32(qHash(QTest::currentDataTag())));
    for (int round = 0; round < 200; ++round) {
        QStringList randomIds;
        const int count = random.bounded(1, 12);
        for (int i = 0; i < count; ++i) {
            QString id = random.bounded(8) == 0 ? QString() : QString(QChar(u'a' + random.bounded(3)));
            while (random.bounded(3) == 0)
                id += u'_' + QString::number(random.bounded(2, 4));
            randomIds.append(id);
        }
        const auto [randomFast, randomExact, randomSpread] = fastAndExact(randomIds);
        QCOMPARE(randomFast, randomExact);
        QCOMPARE(randomSpread, randomExact);
    }
}

void TestNetfoxParser::equalTimesKeepPairingOrder()
{
    // Answered exchanges in response order, then the unanswered ones with an
    // identifier, then those without.
    const QString a = QStringLiteral("https://api.example.com/a");
    const QString b = QStringLiteral("https://api.example.com/b");
    const QString c = QStringLiteral("https://api.example.com/c");
    const QString d = QStringLiteral("https://api.example.com/d");
    const QString log = simpleRequest(d, QStringLiteral("GET"), kDate)
        + simpleRequest(c, QStringLiteral("GET"), kDate, QStringLiteral("X-Request-Id: q"))
        + simpleRequest(a, QStringLiteral("GET"), kDate) + simpleRequest(b, QStringLiteral("GET"), kDate)
        + simpleResponse(b, QStringLiteral("200"), QStringLiteral(" b"))
        + simpleResponse(a, QStringLiteral("200"), QStringLiteral(" a"));
    QStringList urls;
    for (const NetworkHit &hit : parse(log))
        urls.append(hit.url);
    QCOMPARE(urls, (QStringList { b, a, c, d }));
}

void TestNetfoxParser::formatHeaders_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bracketed dictionary printout")
        << QStringLiteral("[AnyHashable(\"Accept\"): \"application/json\", AnyHashable(\"Content-Type\"): \"text/plain\"]")
        << QStringLiteral("Accept: \"application/json\"\nContent-Type: \"text/plain\"");
    QTest::newRow("response values with commas and colons")
        << QStringLiteral("\n [AnyHashable(\"Date\"): Sun, 06 Dec 2026 08:36:45 GMT,\n\tAnyHashable(\"Server\") :  nginx] \n")
        << QStringLiteral("Date: Sun, 06 Dec 2026 08:36:45 GMT\nServer: nginx");
    QTest::newRow("request placeholder") << QStringLiteral("No Request Headers") << QStringLiteral("No Request Headers");
    QTest::newRow("response placeholder") << QStringLiteral("No Response Headers") << QStringLiteral("No Response Headers");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("empty dictionary") << QStringLiteral("[:]") << QStringLiteral(":");
    QTest::newRow("plain lines stay") << QStringLiteral("  X-Request-Id: abc\nAccept: */*  ")
                                      << QStringLiteral("X-Request-Id: abc\nAccept: */*");
    QTest::newRow("empty name is not an entry")
        << QStringLiteral("AnyHashable(\"\"): x") << QStringLiteral("AnyHashable(\"\"): x");
}

void TestNetfoxParser::formatHeaders()
{
    QFETCH_GLOBAL(bool, reference);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(reference ? NetfoxReference::formatHeaders(input) : Netfox::formatHeaders(input), expected);
}

void TestNetfoxParser::formatHitAsText()
{
    NetworkHit hit;
    hit.id = QStringLiteral("x");
    hit.time = QDateTime(QDate(2026, 12, 6), QTime(8, 36, 44), Qt::UTC);
    hit.url = QStringLiteral("https://api.example.com/x");
    hit.reqMethod = QStringLiteral("POST");
    hit.reqHeaders = QStringLiteral("Accept: \"*/*\"");
    hit.reqBody = QString();
    hit.resStatus = QStringLiteral("TIMEOUT");
    hit.resHeaders = QStringLiteral("No Response Headers");
    hit.resBody = QString();
    // The test runs with TZ=UTC-7 (seven hours ahead), so local time shows.
    const QString expected = QStringLiteral("--------------------------------------------------\n"
                                            "[Request Date] 2026-12-06 15:36:44\n"
                                            "[Request Method] POST https://api.example.com/x\n\n"
                                            "[Request Headers]\nAccept: \"*/*\"\n\n"
                                            "[Request Body]\nNone\n\n"
                                            "[Response Status] TIMEOUT\n\n"
                                            "[Response Headers]\nNo Response Headers\n\n"
                                            "[Response Body]\nNone");
    QCOMPARE(Netfox::formatHitAsText(hit, QStringLiteral("yyyy-MM-dd HH:mm:ss")), expected);
}

void TestNetfoxParser::formatHitsAsTextJoinsWithBlankLine()
{
    const QString url = QStringLiteral("https://api.example.com/x");
    const NetworkHitList hits
        = parse(simpleRequest(url, QStringLiteral("GET"), kDate) + simpleRequest(url, QStringLiteral("PUT"), kDate));
    QCOMPARE(hits.size(), 2);
    const QString pattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QCOMPARE(Netfox::formatHitsAsText(hits, pattern),
        Netfox::formatHitAsText(hits.at(0), pattern) + u"\n\n" + Netfox::formatHitAsText(hits.at(1), pattern));
    QCOMPARE(Netfox::formatHitsAsText({}, pattern), QString());
}

void TestNetfoxParser::fileDecoding_data()
{
    QTest::addColumn<QByteArray>("tail"); // appended after the log
    QTest::addColumn<QByteArray>("bodyBytes"); // the request body
    QTest::addColumn<QString>("expectedBody");

    const QByteArray utf8Body = QStringLiteral("Dévi 🚀 €").toUtf8();
    QTest::newRow("valid UTF-8") << QByteArray() << utf8Body << QStringLiteral("Dévi 🚀 €");
    // The copy was taken while the app wrote a four-byte character.
    QTest::newRow("cut inside a 4-byte character") << QByteArray("\xF0\x9F\x9A", 3) << utf8Body << QStringLiteral("Dévi 🚀 €");
    QTest::newRow("cut inside a 3-byte character") << QByteArray("\xE2\x82", 2) << utf8Body << QStringLiteral("Dévi 🚀 €");
    QTest::newRow("cut after a 2-byte lead") << QByteArray("\xC3", 1) << utf8Body << QStringLiteral("Dévi 🚀 €");
    QTest::newRow("Latin-1 file") << QByteArray() << QByteArray("D\xE9vi") << QStringLiteral("Dévi");
    QTest::newRow("invalid tail is not a cut character")
        << QByteArray("\xE0\x80", 2) << utf8Body << QString::fromLatin1(utf8Body);
    QTest::newRow("invalid inside and cut at the end")
        << QByteArray("\xE2\x82", 2) << QByteArray("D\xE9vi") << QStringLiteral("Dévi");
}

void TestNetfoxParser::fileDecoding()
{
    QFETCH_GLOBAL(bool, reference);
    if (reference)
        QSKIP("file decoding has one implementation");
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, bodyBytes);
    QFETCH(QString, expectedBody);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("session.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString url = QStringLiteral("https://api.example.com/x");
    file.write(simpleRequest(url, QStringLiteral("GET"), kDate, QStringLiteral("[:]"), QStringLiteral("@BODY@"))
                   .toUtf8()
                   .replace("@BODY@", bodyBytes)
        + tail);
    file.close();
    const NetworkHitList hits = Netfox::parseNetworkLog(file.fileName());
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().reqBody, expectedBody);
}

void TestNetfoxParser::unreadableFileIsEmpty()
{
    QFETCH_GLOBAL(bool, reference);
    if (reference)
        QSKIP("file reading has one implementation");
    QTemporaryDir dir;
    QCOMPARE(Netfox::parseNetworkLog(dir.filePath(QStringLiteral("missing.log"))).size(), 0);
    QCOMPARE(Netfox::parseNetworkLog(dir.path()).size(), 0);
}

QTEST_GUILESS_MAIN(TestNetfoxParser)
#include "tst_netfoxparser.moc"
