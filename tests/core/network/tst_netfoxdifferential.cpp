// The production scanner against the pattern-based reference on generated
// logs: both must give exactly the same records.
#include "netfoxloggenerator.h"
#include "network/netfoxparseoptions.h"
#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QString describe(const NetworkHit &hit)
{
    auto quoted = [](const QString &text) -> QString {
        QString escaped = text.left(200);
        escaped.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
        return u'"' + escaped + u'"';
    };
    return QStringLiteral("id=%1 time=%2 url=%3 method=%4 reqHeaders=%5 reqBody=%6 status=%7 resHeaders=%8 resBody=%9")
        .arg(quoted(hit.id), hit.time.toString(Qt::ISODate), quoted(hit.url), quoted(hit.reqMethod), quoted(hit.reqHeaders),
            quoted(hit.reqBody), quoted(hit.resStatus), quoted(hit.resHeaders), quoted(hit.resBody));
}

// Empty when equal, else where the lists first differ.
QString difference(const NetworkHitList &actual, const NetworkHitList &expected)
{
    for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (!(actual.at(i) == expected.at(i)))
            return QStringLiteral("record %1\n  scanner:   %2\n  reference: %3")
                .arg(i)
                .arg(describe(actual.at(i)), describe(expected.at(i)));
    }
    if (actual.size() != expected.size())
        return QStringLiteral("scanner has %1 records, reference %2").arg(actual.size()).arg(expected.size());
    return QString();
}

} // namespace

class TestNetfoxDifferential : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generatedLogs_data();
    void generatedLogs();
    void handPickedLogs_data();
    void handPickedLogs();
    void headerCleanUp();
};

void TestNetfoxDifferential::generatedLogs_data()
{
    QTest::addColumn<quint64>("firstSeed");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("chunks");
    QTest::newRow("plain logs") << quint64(1) << int(NetfoxLogGenerator::Style::Plain) << 40;
    QTest::newRow("hostile logs, short") << quint64(1000) << int(NetfoxLogGenerator::Style::Hostile) << 12;
    QTest::newRow("hostile logs, long") << quint64(5000) << int(NetfoxLogGenerator::Style::Hostile) << 60;
}

void TestNetfoxDifferential::generatedLogs()
{
    QFETCH(quint64, firstSeed);
    QFETCH(int, style);
    QFETCH(int, chunks);
    int compared = 0;
    int records = 0;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    for (quint64 seed = firstSeed; seed < firstSeed + 400; ++seed) {
        NetfoxLogGenerator generator(seed, NetfoxLogGenerator::Style(style));
        const QString log = generator.log(chunks);
        // The same log as a UTF-8 file, which the parser reads without
        // decoding it as a whole.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(log.toUtf8());
        file.close();
        for (const std::optional<QDateTime> &since :
            { std::optional<QDateTime>(), std::optional(QDateTime::fromSecsSinceEpoch(1796546230, Qt::UTC)) }) {
            const NetworkHitList reference = NetfoxReference::parseNetworkLogText(log, since);
            const NetworkHitList scanner = Netfox::parseNetworkLogText(log, since);
            QString diff = difference(scanner, reference);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, text: %2").arg(seed).arg(diff)));
            diff = difference(Netfox::parseNetworkLog(path, since), reference);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, UTF-8 file: %2").arg(seed).arg(diff)));
            // The file in small windows, so that windows end inside blocks,
            // markers, characters and CR LF pairs.
            NetfoxDetail::ParseOptions windowed;
            windowed.windowSize = 64 + qsizetype(seed % 89);
            diff = difference(NetfoxDetail::parseNetworkLog(path, since, windowed), reference);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, UTF-8 file in windows: %2").arg(seed).arg(diff)));
            // The threaded path, forced on these small logs: a few blocks and
            // a few bytes at a time, so threads interleave and parts of the
            // text cut through characters.
            NetfoxDetail::ParseOptions threaded;
            threaded.threads = 3;
            threaded.minParallelSize = 0;
            threaded.grain = 1 + int(seed % 3);
            threaded.readSliceSize = 16 + qsizetype(seed % 23);
            threaded.windowSize = 200 + qsizetype(seed % 301);
            diff = difference(NetfoxDetail::parseNetworkLogText(log, since, threaded), reference);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, text on threads: %2").arg(seed).arg(diff)));
            diff = difference(NetfoxDetail::parseNetworkLog(path, since, threaded), reference);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("seed %1, UTF-8 file on threads: %2").arg(seed).arg(diff)));
            records += scanner.size();
            ++compared;
        }
    }
    // The generator must actually produce exchanges, or the comparison says nothing.
    QVERIFY2(records > compared, qPrintable(QStringLiteral("%1 records in %2 logs").arg(records).arg(compared)));
}

void TestNetfoxDifferential::handPickedLogs_data()
{
    QTest::addColumn<QString>("log");
    const QString date = QStringLiteral("[Request Date] 2026-12-06 08:36:44 +0000\n");
    QTest::newRow("empty URL, two spaces") << QStringLiteral("-------START REQUEST -  -------\n") + date
            + QStringLiteral("-------END REQUEST\n");
    QTest::newRow("empty URL, one space, later dash line") << QStringLiteral("-------START REQUEST - -------\n") + date
            + QStringLiteral("-------END REQUEST - a -------\n-------START REQUEST -  b -------\n") + date
            + QStringLiteral("-------END REQUEST - b -------\n");
    QTest::newRow("URL over two lines") << QStringLiteral("-------START REQUEST -  https://a/\nb -------\n") + date
            + QStringLiteral("-------END REQUEST - x -------\n");
    QTest::newRow("overlapping start markers")
        << QStringLiteral("-------START REQUEST -------START REQUEST -  https://a/ -------\n") + date
            + QStringLiteral("-------END REQUEST\n");
    QTest::newRow("many unterminated requests")
        << QStringLiteral("-------START REQUEST -  https://a/ -------\n").repeated(50) + date;
    QTest::newRow("unterminated then complete")
        << QStringLiteral("-------START REQUEST -  https://a/ -------\n[Request Body]\n x\n").repeated(20) + date
            + QStringLiteral("-------END REQUEST\n");
    QTest::newRow("body ends in CR LF") << QStringLiteral("-------START REQUEST -  https://a/ -------\n") + date
            + QStringLiteral("[Request Body]\n body \r\r\n-------END REQUEST\n");
    QTest::newRow("value ends at a vertical tab") << QStringLiteral("-------START REQUEST -  https://a/ -------\n")
            + QStringLiteral("[Request Method] GET\x0B\n") + date + QStringLiteral("-------END REQUEST\n");
    QTest::newRow("multi-byte white space around markers and values")
        << QStringLiteral(
               "-------START REQUEST -\u00A0\u2028https://a/\u3000\u2029 -------\n[Request Method]\u0085\u00A0PUT\u3000\n")
            + date
            + QStringLiteral("[Request Body]\n\u2028 b \u00A0\u0085-------END REQUEST\n"
                             "-------START REQUEST -\u00A0\u00A0-------\n")
            + date + QStringLiteral("-------END REQUEST\n");
    QTest::newRow("identifier with long s, ligature and Kelvin sign")
        << QStringLiteral("-------START REQUEST -  https://a/ -------\n") + date
            + QStringLiteral("[Request Headers]\nX-Requeﬅ-Id: \u212Aa1\n[Request Body]\n b\n-------END REQUEST\n"
                             "-------START REQUEST -  https://a/ -------\n")
            + date
            + QStringLiteral("[Request Body]\n c\n-------END REQUEST\n"
                             "-------START RESPONSE -  https://a/ -------\n[Response Status] 200\n"
                             "[Response Headers]\nX-Requeſt-ID:ka1\n[Response Body]\n r\n-------END RESPONSE\n");
}

void TestNetfoxDifferential::handPickedLogs()
{
    QFETCH(QString, log);
    const NetworkHitList reference = NetfoxReference::parseNetworkLogText(log);
    QString diff = difference(Netfox::parseNetworkLogText(log), reference);
    QVERIFY2(diff.isEmpty(), qPrintable(u"text: " + diff));

    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("session.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(log.toUtf8());
    file.close();
    diff = difference(Netfox::parseNetworkLog(file.fileName()), reference);
    QVERIFY2(diff.isEmpty(), qPrintable(u"UTF-8 file: " + diff));

    NetfoxDetail::ParseOptions threaded;
    threaded.threads = 4;
    threaded.minParallelSize = 0;
    threaded.grain = 1;
    threaded.readSliceSize = 16;
    threaded.windowSize = 1;
    diff = difference(NetfoxDetail::parseNetworkLogText(log, std::nullopt, threaded), reference);
    QVERIFY2(diff.isEmpty(), qPrintable(u"text on threads: " + diff));
    diff = difference(NetfoxDetail::parseNetworkLog(file.fileName(), std::nullopt, threaded), reference);
    QVERIFY2(diff.isEmpty(), qPrintable(u"UTF-8 file on threads: " + diff));
}

void TestNetfoxDifferential::headerCleanUp()
{
    const QList<QString> pieces = {
        QStringLiteral("AnyHashable(\"Accept\")"),
        QStringLiteral(": "),
        QStringLiteral("\"a\""),
        QStringLiteral(", "),
        QStringLiteral(",\n\t"),
        QStringLiteral("["),
        QStringLiteral("]"),
        QStringLiteral(" : "),
        QStringLiteral("AnyHashable("),
        QStringLiteral("\""),
        QStringLiteral(")"),
        QStringLiteral("x"),
        QStringLiteral("\u00A0"),
        QStringLiteral("\u2028"),
        QStringLiteral("No Request Headers"),
    };
    QRandomGenerator random(7);
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int count = int(random.bounded(12));
        for (int i = 0; i < count; ++i)
            text += pieces.at(int(random.bounded(qsizetype(pieces.size()))));
        QCOMPARE(Netfox::formatHeaders(text), NetfoxReference::formatHeaders(text));
    }
}

QTEST_GUILESS_MAIN(TestNetfoxDifferential)
#include "tst_netfoxdifferential.moc"
