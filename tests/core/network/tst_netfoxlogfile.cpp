// Reading a session log file: the UTF-8 check and decoder; odd bytes wherever
// they sit, in windows and on threads; a pipe, read once.
#include "netfoxreferenceparser.h"
#include "network/netfoxlogfile.h"
#include "network/netfoxparseoptions.h"
#include "network/netfoxparser.h"
#include "scratchfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <tuple>

namespace {

QByteArray repeatedTo(const QByteArray &piece, qsizetype size)
{
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += piece;
    return bytes;
}

} // namespace

class TestNetfoxLogFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeAgreesWithTheCheck_data();
    void decodeAgreesWithTheCheck();
    void oddBytesWhereverTheySit_data();
    void oddBytesWhereverTheySit();
    void unreadablePathIsEmpty();
    void logFromAPipe_data();
    void logFromAPipe();

private:
    QTemporaryDir m_dir;
};

void TestNetfoxLogFile::decodeAgreesWithTheCheck_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray mixed = "ab \xE2\x82\xAC \xF0\x9F\x9A\x80 \xC3\x91O\xC3\x91O\n";
    QTest::newRow("ASCII") << repeatedTo("-------START REQUEST -  https://a/ -------\n", 300);
    QTest::newRow("multi-byte characters across every cut") << repeatedTo(mixed, 400);
    QTest::newRow("cut off inside the last character") << repeatedTo(mixed, 300) + QByteArray("\xF0\x9F\x9A", 3);
    QTest::newRow("cut off after a lead byte") << repeatedTo(mixed, 300) + QByteArray("\xE2", 1);
    QTest::newRow("CRLF line ends") << repeatedTo("a\r\nb \xC3\xA9\r\n", 300);
    QTest::newRow("lone CR") << repeatedTo("abc", 200) + "\r" + repeatedTo("d", 100);
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + repeatedTo(mixed, 300);
    QTest::newRow("Latin-1 in the middle") << repeatedTo(mixed, 150) + "caf\xE9 " + repeatedTo(mixed, 150);
    QTest::newRow("Latin-1 at the very end") << repeatedTo("abcdefgh", 300) + "\xE9";
    QTest::newRow("stray continuation byte") << repeatedTo(mixed, 150) + "\x80" + repeatedTo(mixed, 150);
    QTest::newRow("four continuation bytes") << repeatedTo("abc", 150) + "\xF0\x9F\x9A\x80\x80" + repeatedTo("abc", 150);
    QTest::newRow("overlong form") << repeatedTo("abc", 150) + "\xC0\xAF" + repeatedTo("abc", 150);
    QTest::newRow("encoded surrogate") << repeatedTo("abc", 150) + "\xED\xA0\x80" + repeatedTo("abc", 150);
    QTest::newRow("past U+10FFFF") << repeatedTo("abc", 150) + "\xF4\x90\x80\x80" + repeatedTo("abc", 150);
    QTest::newRow("lead byte without its continuation") << repeatedTo("abc", 150) + "\xE2\x82" + repeatedTo("abc", 150);
}

void TestNetfoxLogFile::decodeAgreesWithTheCheck()
{
    // The decoder fails where the check does, else reads as Qt does, at every
    // offset of its sixteen-byte steps.
    QFETCH(QByteArray, bytes);
    QString decoded;
    for (int shift = 0; shift < 33; ++shift) {
        const QByteArray shifted = QByteArray(shift, 'a') + bytes.first(std::min<qsizetype>(bytes.size(), 700));
        const bool valid = NetfoxLogFile::isValidUtf8(shifted);
        QCOMPARE(NetfoxLogFile::decodeUtf8(shifted, decoded), valid);
        // A byte order mark at the start stays a character (Qt drops it).
        if (valid)
            QCOMPARE(
                decoded, (shifted.startsWith("\xEF\xBB\xBF") ? QString(QChar(0xFEFF)) : QString()) + QString::fromUtf8(shifted));
    }
}

void TestNetfoxLogFile::oddBytesWhereverTheySit_data()
{
    // Forty requests, UTF-8 but at one place. On threads the UTF-8 check is
    // left to the decoding of URLs, blocks and the bytes between them; NULs
    // (a killed app, a binary body) neither hide an exchange nor cut a value.
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("text"); // what the odd bytes read as in some record
    const QByteArray request = "-------START REQUEST -  https://api.example.com/a%1 -------\n"
                               "[Request Method] GET\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                               "[Request Headers]\n[AnyHashable(\"Accept\"): \"%2\"]\n[Request Body]\n {\"k\": \"%3\"}\n"
                               "-------END REQUEST - x -------\n%4";
    auto log = [&](int where, const QByteArray &odd) {
        QByteArray text;
        for (int i = 0; i < 40; ++i) {
            QByteArray block = request;
            for (int slot = 1; slot <= 4; ++slot)
                block.replace(
                    QByteArray("%" + QByteArray::number(slot)), i == 20 && slot == where ? odd : QByteArray("\xC3\xA9"));
            text += block;
        }
        return text;
    };
    const QString utf8Url = QStringLiteral("https://api.example.com/a\u00E9");
    const QString latin1Url = QStringLiteral("https://api.example.com/a\u00C3\u00A9");
    QTest::newRow("stray byte in a URL") << log(1, "\xE9") << utf8Url;
    QTest::newRow("stray byte in the headers") << log(2, "\xE9") << QStringLiteral("Accept: \"\u00E9\"");
    QTest::newRow("stray byte in a body") << log(3, "\xE9") << QStringLiteral("{\"k\": \"\u00E9\"}");
    QTest::newRow("stray byte between blocks") << log(4, "\xE9") << latin1Url;
    QTest::newRow("stray byte in the body of an ignored request") << log(4, "")
            + "-------START REQUEST -  https://app-measurement.com/a -------\n[Request Date] 2026-12-06 08:36:44 +0000\n"
              "[Request Body]\n \xE9\n-------END REQUEST\n" << latin1Url;
    QTest::newRow("unfinished character before the last block") << log(4, "\xE2\x82") + log(4, "") << latin1Url;
    QTest::newRow("only the last character unfinished: still UTF-8") << log(4, "") + "\xE2\x82" << utf8Url;
    QTest::newRow("cut inside a four-byte character at the end: still UTF-8") << log(4, "") + "\xF0\x9F\x9A" << utf8Url;
    QTest::newRow("invalid tail is not a cut character") << log(4, "") + "\xE0\x80" << latin1Url;
    QTest::newRow("byte order mark before the first block: still UTF-8") << "\xEF\xBB\xBF" + log(4, "") << utf8Url;
    // Line ends are made LF once: CR CR LF keeps one CR.
    QTest::newRow("CR CR LF in a log that is not UTF-8") << log(3, "\xE9\r\r\nx") << QStringLiteral("{\"k\": \"\u00E9\r\nx\"}");
    QTest::newRow("zero-filled tail after the last block") << log(4, "") + QByteArray(65536, '\0') << utf8Url;
    QTest::newRow("a run of zeros between blocks") << log(4, QByteArray(4096, '\0')) << utf8Url;
    QTest::newRow("NUL right before a marker line") << log(4, QByteArray(1, '\0')) << utf8Url;
    QTest::newRow("NULs inside a body") << log(3, QByteArray("bin\0\0ary", 8))
                                        << QString::fromLatin1("{\"k\": \"bin\0\0ary\"}", 17);
}

void TestNetfoxLogFile::oddBytesWhereverTheySit()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, text);
    const QString path = m_dir.filePath(QStringLiteral("session.log"));
    QVERIFY(testsupport::writeFile(path, log));
    NetfoxDetail::ParseOptions oneThread;
    oneThread.threads = 1;
    const NetworkHitList expected = NetfoxDetail::parseNetworkLog(path, std::nullopt, oneThread);
    QCOMPARE(expected.size(), log.count("START REQUEST -  https://api.example.com"));
    QVERIFY2(std::any_of(expected.cbegin(), expected.cend(),
                 [&](const NetworkHit &hit) { return hit.url == text || hit.reqHeaders == text || hit.reqBody == text; }),
        qPrintable(text));
    // The reference and the scanner on the text the whole-file check decides.
    const NetfoxLogFile::Contents decided = NetfoxLogFile::classify(log);
    const QString decoded = decided.encoding == NetfoxLogFile::Encoding::Utf8 ? QString::fromUtf8(decided.bytes)
                                                                              : QString::fromLatin1(decided.bytes);
    QVERIFY(NetfoxReference::parseNetworkLogText(decoded) == expected);
    QVERIFY(Netfox::parseNetworkLogText(decoded) == expected);
    // In small windows the odd bytes lie in a later window or in kept bytes.
    for (const auto &[threads, sliceSize, windowSize] :
        { std::tuple(3, 64, 64), std::tuple(3, 1000, 333), std::tuple(3, 1 << 20, 4 << 20), std::tuple(1, 1 << 20, 100) }) {
        NetfoxDetail::ParseOptions options;
        options.threads = threads;
        options.minParallelSize = 0;
        options.grain = 1;
        options.readSliceSize = sliceSize;
        options.windowSize = windowSize;
        QVERIFY2(NetfoxDetail::parseNetworkLog(path, std::nullopt, options) == expected,
            qPrintable(QStringLiteral("%1 threads, windows of %2").arg(threads).arg(windowSize)));
    }
}

void TestNetfoxLogFile::unreadablePathIsEmpty()
{
    const QString missing = m_dir.filePath(QStringLiteral("none.log"));
    QVERIFY(!NetfoxLogFile::read(missing).has_value());
    NetfoxDetail::ParseOptions threaded;
    threaded.threads = 2;
    threaded.minParallelSize = 0;
    for (const QString &path : { missing, m_dir.path() }) {
        QVERIFY(Netfox::parseNetworkLog(path).isEmpty());
        QVERIFY(NetfoxDetail::parseNetworkLog(path, std::nullopt, threaded).isEmpty());
    }
}

void TestNetfoxLogFile::logFromAPipe_data()
{
    QTest::addColumn<QByteArray>("log");
    const QByteArray block = "-------START REQUEST -  https://api.example.com/a -------\n"
                             "[Request Method] POST\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                             "[Request Body]\n {\"name\": \"%1\"}\n-------END REQUEST - x -------\n";
    QTest::newRow("UTF-8") << QByteArray(block).replace("%1", "D\xC3\xA9vi").repeated(50);
    QTest::newRow("UTF-8 behind two byte order marks")
        << "\xEF\xBB\xBF\xEF\xBB\xBF" + QByteArray(block).replace("%1", "D\xC3\xA9vi").repeated(50);
    QTest::newRow("ISO Latin-1") << QByteArray(block).replace("%1", "D\xE9vi").repeated(50);
}

void TestNetfoxLogFile::logFromAPipe()
{
    // A pipe (a shell's process substitution) can be read once only: never
    // again as ISO Latin-1 after a try as UTF-8, which hung on the second open.
    QFETCH(QByteArray, log);
    const QString file = m_dir.filePath(QStringLiteral("session.log"));
    QVERIFY(testsupport::writeFile(file, log));
    const NetworkHitList expected = Netfox::parseNetworkLog(file);
    QCOMPARE(expected.size(), 50);
    const QString pipe = m_dir.filePath(QStringLiteral("pipe"));
    QFile::remove(pipe);
    QVERIFY(testsupport::makeFifo(pipe));
    std::thread writer([&] {
        QFile fifo(pipe);
        if (fifo.open(QIODevice::WriteOnly))
            fifo.write(log);
    });
    NetworkHitList piped;
    const bool finished = testsupport::finishesBesidePipe(pipe, [&] { piped = Netfox::parseNetworkLog(pipe); });
    writer.join();
    QVERIFY2(finished, "the parse of a pipe did not finish");
    QCOMPARE(piped, expected);
}

QTEST_GUILESS_MAIN(TestNetfoxLogFile)
#include "tst_netfoxlogfile.moc"
