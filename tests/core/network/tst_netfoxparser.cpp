// The Netfox log parser: the scanner, read every way, gives the reference's
// records on generated and listed logs; the listed ones also pin what both
// share (dates, ids, ignored hosts, placeholders) and the text output.
#include "netfoxlogbuilder.h"
#include "netfoxloggenerator.h"
#include "netfoxreferenceparser.h"
#include "network/netfoxparseoptions.h"
#include "network/netfoxparser.h"
#include "network/netfoxsyntax.h"
#include "scratchfiles.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace NetfoxLogBuilder;
using Since = std::optional<QDateTime>;

namespace {

const QString kDate = QStringLiteral("2026-12-06 08:36:44 +0000");

QString req(const QString &path, const QString &method, int second, const QString &headers = QStringLiteral("[:]"))
{
    return simpleRequest(
        u"https://api.example.com/" + path, method, QStringLiteral("2026-12-06 08:36:%1 +0000").arg(second), headers);
}

QString res(const QString &path, const QString &status, const QString &body, const QString &headers = QStringLiteral("[:]"))
{
    return simpleResponse(u"https://api.example.com/" + path, status, u' ' + body, headers);
}

// "METHOD last-path-part -> status | response body" per exchange, in result
// order; the body is left out while it is the placeholder.
QStringList summary(const NetworkHitList &hits)
{
    QStringList lines;
    for (const NetworkHit &hit : hits) {
        lines.append(hit.reqMethod + u' ' + hit.url.section(u'/', -1) + u" -> " + hit.resStatus
            + (hit.resBody == u"No Response Body" ? QString() : u" | " + hit.resBody));
    }
    return lines;
}

// Empty when the lists are equal, else where they first differ.
QString difference(const NetworkHitList &scanner, const NetworkHitList &reference)
{
    auto describe = [](const NetworkHit &hit) {
        return QStringList { hit.id, hit.time.toString(Qt::ISODate), hit.url, hit.reqMethod, hit.reqHeaders, hit.reqBody,
            hit.resStatus, hit.resHeaders, hit.resBody }
            .join(QLatin1String(" | "))
            .replace(u'\n', QLatin1String("\\n"));
    };
    const auto [s, r] = std::mismatch(scanner.cbegin(), scanner.cend(), reference.cbegin(), reference.cend());
    if (s != scanner.cend() && r != reference.cend())
        return QStringLiteral("record %1\n  scanner:   %2\n  reference: %3")
            .arg(s - scanner.cbegin())
            .arg(describe(*s), describe(*r));
    if (scanner.size() != reference.size())
        return QStringLiteral("scanner has %1 records, reference %2").arg(scanner.size()).arg(reference.size());
    return QString();
}

} // namespace

class TestNetfoxParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generatedLogs_data();
    void generatedLogs();
    void hostileMarkup_data();
    void hostileMarkup();
    void pairing_data();
    void pairing() { checkRecords(); }
    void dates_data();
    void dates();
    void truncatedLogs_data();
    void truncatedLogs() { checkRecords(); }
    void missingLabelsTakeFallbacks_data();
    void missingLabelsTakeFallbacks();
    void idsAreUniqueWithinOneParse();
    void knownHashesGiveTheExactIds_data();
    void knownHashesGiveTheExactIds();
    void formatHeaders_data();
    void formatHeaders();
    void formatHitAsText();

private:
    std::pair<NetworkHitList, QString> everyWay(const QString &log, const Since &since = std::nullopt, quint64 variant = 0);
    void checkRecords(const Since &since = std::nullopt);

    QTemporaryDir m_dir;
};

// The reference's records, and where the scanner read any way first differs.
std::pair<NetworkHitList, QString> TestNetfoxParser::everyWay(const QString &log, const Since &since, quint64 variant)
{
    const NetworkHitList reference = NetfoxReference::parseNetworkLogText(log, since);
    const QString path = m_dir.filePath(QStringLiteral("session.log"));
    if (!testsupport::writeFile(path, log.toUtf8()))
        return { reference, u"cannot write " + path };
    // Windows and thread parts small enough to cut blocks, characters and CR LF.
    NetfoxDetail::ParseOptions windowed;
    windowed.windowSize = 64 + qsizetype(variant % 89);
    NetfoxDetail::ParseOptions threaded;
    threaded.threads = 3 + int(variant % 2);
    threaded.minParallelSize = 0;
    threaded.grain = 1 + int(variant % 3);
    threaded.readSliceSize = 16 + qsizetype(variant % 23);
    threaded.windowSize = 1 + qsizetype(variant % 500);
    const std::pair<const char *, std::function<NetworkHitList()>> readings[] = {
        { "text", [&] { return Netfox::parseNetworkLogText(log, since); } },
        { "UTF-8 file", [&] { return Netfox::parseNetworkLog(path, since); } },
        { "UTF-8 file in windows", [&] { return NetfoxDetail::parseNetworkLog(path, since, windowed); } },
        { "text on threads", [&] { return NetfoxDetail::parseNetworkLogText(log, since, threaded); } },
        { "UTF-8 file on threads", [&] { return NetfoxDetail::parseNetworkLog(path, since, threaded); } },
    };
    for (int way = 0; way < 5; ++way) {
        // A generated log goes one of the two threaded ways, by its seed.
        if (variant != 0 && way == 3 + int(variant % 2))
            continue;
        if (const QString diff = difference(readings[way].second(), reference); !diff.isEmpty())
            return { reference, QString::fromLatin1(readings[way].first) + u": " + diff };
    }
    return { reference, QString() };
}

void TestNetfoxParser::checkRecords(const Since &since)
{
    QFETCH(QString, log);
    QFETCH(QStringList, expected);
    const auto [hits, diff] = everyWay(log, since);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(summary(hits), expected);
}

void TestNetfoxParser::generatedLogs_data()
{
    QTest::addColumn<quint64>("firstSeed");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("chunks");
    QTest::newRow("plain logs") << quint64(1) << int(NetfoxLogGenerator::Style::Plain) << 40;
    QTest::newRow("hostile logs, short") << quint64(1000) << int(NetfoxLogGenerator::Style::Hostile) << 12;
    QTest::newRow("hostile logs, long") << quint64(5000) << int(NetfoxLogGenerator::Style::Hostile) << 60;
}

void TestNetfoxParser::generatedLogs()
{
    QFETCH(quint64, firstSeed);
    QFETCH(int, style);
    QFETCH(int, chunks);
    int compared = 0;
    int records = 0;
    for (quint64 seed = firstSeed; seed < firstSeed + 400; ++seed) {
        const QString log = NetfoxLogGenerator(seed, NetfoxLogGenerator::Style(style)).log(chunks);
        for (const Since &since : { Since(), Since(QDateTime::fromSecsSinceEpoch(1796546230, Qt::UTC)) }) {
            const auto [hits, diff] = everyWay(log, since, seed);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, %2").arg(seed).arg(diff)));
            records += int(hits.size());
            ++compared;
        }
    }
    // The generator must actually produce exchanges, or the comparison says nothing.
    QVERIFY2(records > compared, qPrintable(QStringLiteral("%1 records in %2 logs").arg(records).arg(compared)));
}

void TestNetfoxParser::hostileMarkup_data()
{
    QTest::addColumn<QString>("log");
    const QString start = QStringLiteral("-------START REQUEST -  https://a/ -------\n");
    const QString date = u"[Request Date] " + kDate + u'\n';
    const QString end = QStringLiteral("-------END REQUEST\n");
    QTest::newRow("empty URL, two spaces") << u"-------START REQUEST -  -------\n" + date + end;
    QTest::newRow("empty URL, one space, later dash line") << u"-------START REQUEST - -------\n" + date
            + u"-------END REQUEST - a -------\n-------START REQUEST -  b -------\n" + date + u"-------END REQUEST - b -------\n";
    QTest::newRow("URL over two lines") << u"-------START REQUEST -  https://a/\nb -------\n" + date
            + u"-------END REQUEST - x -------\n";
    QTest::newRow("overlapping start markers") << u"-------START REQUEST " + start + date + end;
    QTest::newRow("many unterminated requests") << start.repeated(50) + date;
    QTest::newRow("unterminated then complete") << QString(start + u"[Request Body]\n x\n").repeated(20) + date + end;
    QTest::newRow("body ends in CR CR LF") << start + date + u"[Request Body]\n body \r\r\n" + end;
    QTest::newRow("value ends at a vertical tab") << start + u"[Request Method] GET\x0B\n" + date + end;
    QTest::newRow("multi-byte white space around markers and values")
        << u"-------START REQUEST -\u00A0\u2028https://a/\u3000\u2029 -------\n[Request Method]\u0085\u00A0PUT\u3000\n" + date
            + u"[Request Body]\n\u2028 b \u00A0\u0085-------END REQUEST\n-------START REQUEST -\u00A0\u00A0-------\n" + date
            + end;
    QTest::newRow("identifier with long s, ligature and Kelvin sign") << start + date
            + u"[Request Headers]\nX-Reque\uFB05-Id: \u212Aa1\n[Request Body]\n b\n" + end + start + date
            + u"[Request Body]\n c\n" + end
            + u"-------START RESPONSE -  https://a/ -------\n[Response Status] 200\n"
              u"[Response Headers]\nX-Reque\u017Ft-ID:ka1\n[Response Body]\n r\n-------END RESPONSE\n";
}

void TestNetfoxParser::hostileMarkup()
{
    QFETCH(QString, log);
    const auto [hits, diff] = everyWay(log);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestNetfoxParser::pairing_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("identifier across interleaved same-URL requests")
        << req("cart", "GET", 41, "X-Request-Id: abc-1") + req("cart", "POST", 42) + req("cart", "PUT", 43, "x-request-id def-2")
            + res("cart", "201", "for-def", "X-REQUEST-ID def-2") + res("cart", "202", "for-post")
            + res("cart", "200", "for-abc", "x-Request-id:abc-1")
        << QStringList { "GET cart -> 200 | for-abc", "POST cart -> 202 | for-post", "PUT cart -> 201 | for-def" };
    QTest::newRow("Trace-Id and RequestId") << req("cart", "GET", 41, "Trace-Id: t1") + req("cart", "PUT", 42, "RequestId::  r2")
            + res("cart", "201", "r", "requestid r2") + res("cart", "200", "t", "TRACE-ID\tt1")
                                            << QStringList { "GET cart -> 200 | t", "PUT cart -> 201 | r" };
    QTest::newRow("response logged before its request still pairs")
        << res("poll", "200", "early") + req("poll", "GET", 41) << QStringList { "GET poll -> 200 | early" };
    QTest::newRow("a repeated identifier replaces the earlier request") << req("cart", "GET", 41, "X-Request-Id: same")
            + req("cart", "PUT", 42, "X-Request-Id: same") << QStringList { "PUT cart -> TIMEOUT" };
    const QString analytics = QStringLiteral("https://app-measurement.com/a?x=1");
    QTest::newRow("ignored hosts drop both halves")
        << simpleRequest(analytics, "POST", kDate) + simpleRequest("https://reports.crashlytics.com/sdk", "POST", kDate)
            + req("poll", "GET", 45) + simpleResponse(analytics, "204", " ") + res("poll", "200", "kept")
        << QStringList { "GET poll -> 200 | kept" };
    QTest::newRow("equal times: answered in response order, then unanswered with an identifier, then without")
        << req("d", "GET", 44) + req("c", "GET", 44, "X-Request-Id: q") + req("a", "GET", 44) + req("b", "GET", 44)
            + res("b", "200", "b") + res("a", "200", "a")
        << QStringList { "GET b -> 200 | b", "GET a -> 200 | a", "GET c -> TIMEOUT", "GET d -> TIMEOUT" };
}

void TestNetfoxParser::dates_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("since");
    QTest::addColumn<QStringList>("expected");
    const QString x = QStringLiteral("https://api.example.com/x");
    const QString abc = simpleRequest(x, "A", "2026-12-06 08:36:43 +0000") + simpleRequest(x, "B", "2026-12-06 08:36:44 +0000")
        + simpleRequest(x, "C", "2026-12-06 15:36:45 +0700");
    QTest::newRow("since the same instant keeps it")
        << abc << "2026-12-06T08:36:44Z" << QStringList { "B x -> TIMEOUT", "C x -> TIMEOUT" };
    QTest::newRow("since the same instant in another zone")
        << abc << "2026-12-06T15:36:44+07:00" << QStringList { "B x -> TIMEOUT", "C x -> TIMEOUT" };
    QTest::newRow("since one second later drops it") << abc << "2026-12-06T08:36:45Z" << QStringList { "C x -> TIMEOUT" };
    QTest::newRow("zone-less date: dropped")
        << request(x, { "[Request Date] 2026-12-06 08:36:44" }) << QString() << QStringList {};
    QTest::newRow("garbage date: dropped") << request(x, { "[Request Date] yesterday" }) << QString() << QStringList {};
    // A request left out still takes its response from a later one.
    auto dropped = [&](const QString &date, const QString &headers, const QString &responseHeaders) -> QString {
        return simpleRequest(x, "A", date, headers) + req("x", "B", 50) + res("x", "200", "for-a", responseHeaders);
    };
    QTest::newRow("request before since still takes its response, by URL")
        << dropped("2026-12-06 08:36:43 +0000", "[:]", "[:]") << "2026-12-06T08:36:44Z" << QStringList { "B x -> TIMEOUT" };
    QTest::newRow("request before since still takes its response, by identifier") << dropped("2026-12-06 08:36:43 +0000",
        "X-Request-Id: a1", "x-request-id a1") << "2026-12-06T08:36:44Z" << QStringList { "B x -> TIMEOUT" };
    QTest::newRow("undated request still takes its response, by URL")
        << dropped("2026-12-06 08:36:43", "[:]", "[:]") << "2026-12-06T08:36:44Z" << QStringList { "B x -> TIMEOUT" };
}

void TestNetfoxParser::dates()
{
    QFETCH(QString, since);
    checkRecords(since.isEmpty() ? Since() : Since(QDateTime::fromString(since, Qt::ISODate)));
}

void TestNetfoxParser::truncatedLogs_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("start without end") << "-------START REQUEST -  https://a.example/x -------\n[Request Date] " + kDate + u'\n'
                                       << QStringList {};
    const QString whole
        = req("x", "GET", 41) + res("x", "200", "one") + req("x", "POST", 42) + res("x", "201", "two\n" + QString(60, u'x'));
    QTest::newRow("complete") << whole << QStringList { "GET x -> 200 | one", "POST x -> 201 | two\n" + QString(60, u'x') };
    QTest::newRow("cut inside the last response's end marker")
        << whole.chopped(45) << QStringList { "GET x -> 200 | one", "POST x -> TIMEOUT" };
    QTest::newRow("cut inside the last response's body")
        << whole.chopped(70) << QStringList { "GET x -> 200 | one", "POST x -> TIMEOUT" };
    QTest::newRow("request cut off before its end marker")
        << req("x", "GET", 41) + "-------START REQUEST -  https://api.example.com/x -------\n[Request Method] PUT\n[Req"
        << QStringList { "GET x -> TIMEOUT" };
}

void TestNetfoxParser::missingLabelsTakeFallbacks_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("expected"); // method | reqHeaders | reqBody | resStatus | resHeaders | resBody
    const QString url = QStringLiteral("https://api.example.com/x");
    const QString date = u"[Request Date] " + kDate;
    const QString unanswered = QStringLiteral("TIMEOUT | No Response Headers | No Response Body");
    QTest::newRow("every label missing, the response's too")
        << request(url, { date }) + response(url, {}) << u"GET | No Request Headers | No Request Body | " + unanswered;
    QTest::newRow("empty body is empty, not missing")
        << request(url, { date, "[Request Body]", " " }) << u"GET | No Request Headers |  | " + unanswered;
    QTest::newRow("empty method reads the next line")
        << request(url, { "[Request Method] ", date }) << date + u" | No Request Headers | No Request Body | " + unanswered;
}

void TestNetfoxParser::missingLabelsTakeFallbacks()
{
    QFETCH(QString, log);
    QFETCH(QString, expected);
    const auto [hits, diff] = everyWay(log);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(hits.size(), 1);
    const NetworkHit &hit = hits.first();
    QCOMPARE(hit.url, QStringLiteral("https://api.example.com/x"));
    QCOMPARE(QStringList({ hit.reqMethod, hit.reqHeaders, hit.reqBody, hit.resStatus, hit.resHeaders, hit.resBody }).join(u" | "),
        expected);
}

void TestNetfoxParser::idsAreUniqueWithinOneParse()
{
    // A polling app sends the same request three times within one second.
    const auto [hits, diff] = everyWay(req("v1/poll", "GET", 44).repeated(3) + res("v1/poll", "200", "a"));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(hits.size(), 3);
    const QString base = hits.at(0).id;
    const QRegularExpression form(QStringLiteral("^1796546204\\.0_https://api\\.example\\.com/v1/poll_GET_-?\\d+$"));
    QVERIFY2(form.match(base).hasMatch(), qPrintable(base));
    QCOMPARE(hits.at(1).id, base + QStringLiteral("_2"));
    QCOMPARE(hits.at(2).id, base + QStringLiteral("_3"));
}

void TestNetfoxParser::knownHashesGiveTheExactIds_data()
{
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all different") << QStringList { "a", "b", "c_2" } << QStringList { "a", "b", "c_2" };
    QTest::newRow("repeats") << QStringList { "a", "a", "b", "a" } << QStringList { "a", "a_2", "b", "a_3" };
    QTest::newRow("suffix taken later") << QStringList { "a", "a", "a_2", "x" } << QStringList { "a", "a_2", "a_2_2", "x" };
    QTest::newRow("suffix taken earlier") << QStringList { "a_2", "a", "a", "a" } << QStringList { "a_2", "a", "a_3", "a_4" };
    QTest::newRow("suffix of a repeated suffix")
        << QStringList { "a_2", "a_2", "a_2_2", "a", "a" } << QStringList { "a_2", "a_2_2", "a_2_2_2", "a", "a_3" };
    QTest::newRow("digits without underscore") << QStringList { "a", "a", "a2", "a_" } << QStringList { "a", "a_2", "a2", "a_" };
}

void TestNetfoxParser::knownHashesGiveTheExactIds()
{
    // The fast way (only ids whose hash may meet another's go the exact way;
    // hashes also of requests dropped later) equals the exact way.
    QFETCH(QStringList, ids);
    QFETCH(QStringList, expected);
    auto fastWay = [](QStringList given, const QStringList &dropped) {
        std::vector<size_t> hashes;
        for (const QString &id : given + dropped)
            hashes.push_back(qHash(id));
        const std::vector<size_t> repeated = NetfoxSyntax::repeatedHashes(hashes);
        QList<QString *> taken;
        for (qsizetype i = 0; i < given.size(); ++i) {
            if (NetfoxSyntax::mayMeetAnotherId(given.at(i), hashes[size_t(i)], repeated))
                taken.append(&given[i]);
        }
        NetfoxSyntax::makeIdsUnique(taken);
        return given;
    };
    auto exactWay = [](const QStringList &given) {
        NetworkHitList hits(given.size());
        for (qsizetype i = 0; i < given.size(); ++i)
            hits[i].id = given.at(i);
        NetfoxSyntax::makeIdsUnique(hits);
        QStringList unique;
        for (const NetworkHit &hit : hits)
            unique.append(hit.id);
        return unique;
    };
    const QStringList dropped { "a", "b", "a_2", "c_3" };
    QCOMPARE(exactWay(ids), expected);
    QCOMPARE(fastWay(ids, {}), expected);
    QCOMPARE(fastWay(ids, dropped), expected);
    QRandomGenerator random(quint32(qHash(QTest::currentDataTag())));
    for (int round = 0; round < 200; ++round) {
        QStringList randomIds;
        for (int i = random.bounded(1, 12); i > 0; --i) {
            QString id = random.bounded(8) == 0 ? QString() : QString(QChar(u'a' + random.bounded(3)));
            while (random.bounded(3) == 0)
                id += u'_' + QString::number(random.bounded(2, 4));
            randomIds.append(id);
        }
        QCOMPARE(fastWay(randomIds, {}), exactWay(randomIds));
        QCOMPARE(fastWay(randomIds, dropped), exactWay(randomIds));
    }
}

void TestNetfoxParser::formatHeaders_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bracketed dictionary printout")
        << "[AnyHashable(\"Accept\"): \"application/json\", AnyHashable(\"Content-Type\"): \"text/plain\"]"
        << "Accept: \"application/json\"\nContent-Type: \"text/plain\"";
    QTest::newRow("empty dictionary") << "[:]" << QStringLiteral(":");
    QTest::newRow("plain lines stay") << "  X-Request-Id: abc\nAccept: */*  " << QStringLiteral("X-Request-Id: abc\nAccept: */*");
    QTest::newRow("empty name is not an entry") << "AnyHashable(\"\"): x" << QStringLiteral("AnyHashable(\"\"): x");
}

void TestNetfoxParser::formatHeaders()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(NetfoxReference::formatHeaders(input), expected);
    QCOMPARE(Netfox::formatHeaders(input), expected);
}

void TestNetfoxParser::formatHitAsText()
{
    const NetworkHit hit { "x", QDateTime(QDate(2026, 12, 6), QTime(8, 36, 44), Qt::UTC), "https://api.example.com/x", "POST",
        "Accept: \"*/*\"", QString(), "TIMEOUT", "No Response Headers", QString() };
    // The suite runs with TZ=UTC-7 (seven hours ahead), so local time shows.
    QCOMPARE(Netfox::formatHitAsText(hit, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QStringLiteral("--------------------------------------------------\n[Request Date] 2026-12-06 15:36:44\n"
                       "[Request Method] POST https://api.example.com/x\n\n[Request Headers]\nAccept: \"*/*\"\n\n"
                       "[Request Body]\nNone\n\n[Response Status] TIMEOUT\n\n[Response Headers]\nNo Response Headers\n\n"
                       "[Response Body]\nNone"));
}

QTEST_GUILESS_MAIN(TestNetfoxParser)
#include "tst_netfoxparser.moc"
