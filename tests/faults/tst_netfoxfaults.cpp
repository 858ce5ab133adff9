// A Netfox session log with NUL bytes in it: the app was killed while the log
// was being written and the file system left a run of zero bytes, or a body
// held binary data. Every exchange around the NULs must still be listed, and
// text after a NUL inside a value must not be cut off.

#include "network/netfoxparser.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray request(const QByteArray &url, const QByteArray &method, const QByteArray &body)
{
    return "-------START REQUEST -  " + url + " -------\n[Request Method] " + method
        + "\n[Request Date] 2026-12-06 08:36:44 +0000\n[Request Headers]\n[AnyHashable(\"Accept\"): \"application/json\"]\n"
          "[Request Body]\n "
        + body + "\n-------END REQUEST - " + url + " -------\n\n";
}

QByteArray response(const QByteArray &url, const QByteArray &status, const QByteArray &body)
{
    return "-------START RESPONSE -  " + url + " -------\n[Response Status] " + status
        + "\n[Response Date] 2026-12-06 08:36:45 +0000\n[Response Headers]\n[AnyHashable(\"Date\"): Sun]\n\n"
          "[Response Body]\n "
        + body + "\n-------END RESPONSE - " + url + " -------\n\n";
}

} // namespace

class TestNetfoxFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nulBytes_data();
    void nulBytes();
};

void TestNetfoxFaults::nulBytes_data()
{
    const QByteArray nul(1, '\0');
    const QByteArray a = "https://api.example.com/a";
    const QByteArray b = "https://api.example.com/b";
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("resBodyOfA");
    QTest::addColumn<QString>("reqBodyOfB");

    QTest::newRow("zero-filled tail after the last block")
        << request(a, "GET", "{}") + response(a, "200", "ok") + request(b, "POST", "x=1") + QByteArray(65536, '\0')
        << QStringLiteral("ok") << QStringLiteral("x=1");
    QTest::newRow("a run of zeros between blocks")
        << request(a, "GET", "{}") + QByteArray(4096, '\0') + response(a, "200", "ok") + QByteArray(4096, '\0')
            + request(b, "POST", "x=1")
        << QStringLiteral("ok") << QStringLiteral("x=1");
    QTest::newRow("NUL inside bodies")
        << request(a, "GET", "{}") + response(a, "200", "before" + nul + "after") + request(b, "POST", "bin" + nul + nul + "ary")
        << QStringLiteral("before") + QChar(0) + QStringLiteral("after")
        << QStringLiteral("bin") + QChar(0) + QChar(0) + QStringLiteral("ary");
    QTest::newRow("NUL right before a marker line")
        << request(a, "GET", "{}") + nul + response(a, "200", "ok") + nul + request(b, "POST", "x=1")
        << QStringLiteral("ok") << QStringLiteral("x=1");
}

void TestNetfoxFaults::nulBytes()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, resBodyOfA);
    QFETCH(QString, reqBodyOfB);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("session.log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(log), log.size());
    file.close();

    const QList<std::pair<const char *, NetworkHitList>> readings {
        { "from the file", Netfox::parseNetworkLog(path) },
        { "from the text", Netfox::parseNetworkLogText(QString::fromUtf8(log)) },
    };
    for (const auto &reading : readings) {
        const char *how = reading.first;
        const NetworkHitList &hits = reading.second; // a plain reference: lambdas capture it (clang 14)
        QVERIFY2(hits.size() == 2, how);
        const auto byUrl = [&hits](const QString &url) {
            return std::find_if(hits.cbegin(), hits.cend(), [&url](const NetworkHit &hit) { return hit.url == url; });
        };
        const auto a = byUrl(QStringLiteral("https://api.example.com/a"));
        const auto b = byUrl(QStringLiteral("https://api.example.com/b"));
        QVERIFY2(a != hits.cend() && b != hits.cend(), how);
        QCOMPARE(a->resStatus, QStringLiteral("200"));
        QCOMPARE(a->resBody, resBodyOfA);
        QCOMPARE(b->reqMethod, QStringLiteral("POST"));
        QCOMPARE(b->reqBody, reqBodyOfB);
        QCOMPARE(b->resStatus, QStringLiteral("TIMEOUT"));
    }
}

QTEST_GUILESS_MAIN(TestNetfoxFaults)
#include "tst_netfoxfaults.moc"
