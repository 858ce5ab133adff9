// Reading a session log file: in windows, whatever the cuts between them,
// or whole when it is not UTF-8 or comes through a pipe; the UTF-8 check and
// decoder the parser relies on.
#include "network/netfoxlogfile.h"
#include "network/netfoxparseoptions.h"
#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using NetfoxLogFile::Encoding;

namespace {

QByteArray repeatedTo(const QByteArray &piece, qsizetype size)
{
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += piece;
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class TestNetfoxLogFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowsPieceTogetherTheFile_data();
    void windowsPieceTogetherTheFile();
    void decodeAgreesWithTheCheck_data();
    void decodeAgreesWithTheCheck();
    void classify_data();
    void classify();
    void notUtf8FoundWhileDecoding_data();
    void notUtf8FoundWhileDecoding();
    void missingFile();
    void logFromAPipe_data();
    void logFromAPipe();
    void byteOrderMarkBeforeTheFirstBlock();
    void smallLogStaysOnOneThread();
};

void TestNetfoxLogFile::windowsPieceTogetherTheFile_data()
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
    QTest::newRow("lead byte without its continuation")
        << repeatedTo("abc", 150) + "\xE2\x82" + repeatedTo("abc", 150);
}

void TestNetfoxLogFile::windowsPieceTogetherTheFile()
{
    // What a window reader hands out, less what the next window keeps, laid
    // end to end: the file with CR LF made LF once, without a byte order
    // mark and without an unfinished last character, for every window size
    // over a stretch of cut positions and kept tails of every length.
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    QVERIFY(writeFile(path, bytes));
    QByteArray expected = QByteArray(bytes).replace("\r\n", "\n");
    if (expected.startsWith("\xEF\xBB\xBF"))
        expected.remove(0, 3);
    if (const qsizetype tail = NetfoxLogFile::incompleteUtf8Tail(expected); tail >= 0)
        expected.truncate(tail);
    for (qsizetype windowSize = 60; windowSize < 100; ++windowSize) {
        NetfoxLogFile::WindowReader reader(path);
        QVERIFY(reader.open());
        QVERIFY(reader.next(0, windowSize));
        QByteArray pieced;
        for (int window = 0; !reader.atEnd(); ++window) {
            const qsizetype keep = 1 + (window * 7 + windowSize) % 50;
            const qsizetype keepFrom = std::max<qsizetype>(reader.window().size() - keep, 0);
            pieced += reader.window().first(keepFrom);
            QVERIFY(reader.next(keepFrom, windowSize));
        }
        pieced += reader.window();
        QVERIFY2(pieced == expected, qPrintable(QStringLiteral("windows of %1").arg(windowSize)));
    }
}

void TestNetfoxLogFile::decodeAgreesWithTheCheck_data()
{
    windowsPieceTogetherTheFile_data();
}

void TestNetfoxLogFile::decodeAgreesWithTheCheck()
{
    // The decoder fails exactly where the check does and otherwise reads as
    // Qt does, with the bytes shifted through every position of its
    // sixteen-byte steps.
    QFETCH(QByteArray, bytes);
    QString decoded;
    for (int shift = 0; shift < 33; ++shift) {
        const QByteArray shifted = QByteArray(shift, 'a') + bytes.first(std::min<qsizetype>(bytes.size(), 700));
        const bool valid = NetfoxLogFile::isValidUtf8(shifted);
        QCOMPARE(NetfoxLogFile::decodeUtf8(shifted, decoded), valid);
        // A byte order mark at the start stays a character (Qt drops it).
        if (valid)
            QCOMPARE(decoded, (shifted.startsWith("\xEF\xBB\xBF") ? QString(QChar(0xFEFF)) : QString()) + QString::fromUtf8(shifted));
    }
}

void TestNetfoxLogFile::classify_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("empty") << QByteArray() << int(Encoding::Utf8) << QByteArray();
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9") << int(Encoding::Utf8) << QByteArray("caf\xC3\xA9");
    QTest::newRow("unfinished last character dropped")
        << QByteArray("\xC3\xA9\xF0\x9F") << int(Encoding::Utf8) << QByteArray("\xC3\xA9");
    QTest::newRow("Latin-1 keeps every byte") << QByteArray("caf\xE9 \xF0\x9F") << int(Encoding::Latin1)
                                              << QByteArray("caf\xE9 \xF0\x9F");
    QTest::newRow("bad second byte at the end is not unfinished")
        << QByteArray("a\xE0\x80") << int(Encoding::Latin1) << QByteArray("a\xE0\x80");
}

void TestNetfoxLogFile::classify()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QByteArray, kept);
    const NetfoxLogFile::Contents contents = NetfoxLogFile::classify(bytes);
    QCOMPARE(int(contents.encoding), encoding);
    QCOMPARE(contents.bytes, kept);
}

void TestNetfoxLogFile::notUtf8FoundWhileDecoding_data()
{
    // A log that is UTF-8 but for one byte: on several threads the check is
    // left to the decoding of URLs and blocks and to the bytes between them,
    // so the stray byte must be found wherever it sits.
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("latin1Text"); // what the byte reads as in some record
    const QByteArray request = "-------START REQUEST -  https://api.example.com/a%1 -------\n"
                               "[Request Method] GET\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                               "[Request Headers]\n[AnyHashable(\"Accept\"): \"%2\"]\n[Request Body]\n {\"k\": \"%3\"}\n"
                               "-------END REQUEST - x -------\n%4";
    const QByteArray ignored = "-------START REQUEST -  https://app-measurement.com/a -------\n"
                               "[Request Date] 2026-12-06 08:36:44 +0000\n[Request Body]\n %1\n-------END REQUEST\n";
    auto log = [&](int where, const QByteArray &stray) {
        QByteArray text;
        for (int i = 0; i < 40; ++i) {
            QByteArray block = request;
            for (int slot = 1; slot <= 4; ++slot)
                block.replace(QByteArray(QByteArray("%") + QByteArray::number(slot)), i == 20 && slot == where ? stray : QByteArray("\xC3\xA9"));
            text += block;
        }
        return text;
    };
    QTest::newRow("in a URL") << log(1, "\xE9") << QStringLiteral("https://api.example.com/a\u00E9");
    QTest::newRow("in the headers") << log(2, "\xE9") << QStringLiteral("Accept: \"\u00E9\"");
    QTest::newRow("in a body") << log(3, "\xE9") << QStringLiteral("{\"k\": \"\u00E9\"}");
    QTest::newRow("between blocks") << log(4, "\xE9") << QStringLiteral("{\"k\": \"\u00C3\u00A9\"}");
    QTest::newRow("in the body of an ignored request")
        << log(4, "") + QByteArray(ignored).replace("%1", "\xE9") << QStringLiteral("{\"k\": \"\u00C3\u00A9\"}");
    QTest::newRow("unfinished character before the last block")
        << log(4, "\xE2\x82") + log(4, "") << QStringLiteral("https://api.example.com/a\u00C3\u00A9");
    QTest::newRow("only the last character unfinished: still UTF-8")
        << log(4, "") + "\xE2\x82" << QStringLiteral("https://api.example.com/a\u00E9");
    // Line ends are made LF once whichever way the log is read: CR CR LF
    // keeps one CR.
    QTest::newRow("CR CR LF in a log that is not UTF-8")
        << log(3, "\xE9\r\r\nx") << QStringLiteral("{\"k\": \"\u00E9\r\nx\"}");
}

void TestNetfoxLogFile::notUtf8FoundWhileDecoding()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, latin1Text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    QVERIFY(writeFile(path, log));
    NetfoxDetail::ParseOptions oneThread;
    oneThread.threads = 1;
    const NetworkHitList expected = NetfoxDetail::parseNetworkLog(path, std::nullopt, oneThread);
    QCOMPARE(expected.size(), log.count("START REQUEST -  https://api.example.com"));
    bool seen = false;
    for (const NetworkHit &hit : expected)
        seen = seen || hit.url == latin1Text || hit.reqHeaders == latin1Text || hit.reqBody == latin1Text;
    QVERIFY2(seen, qPrintable(latin1Text));
    // The pattern-based reader on the text as decided by the whole-file check.
    const NetfoxLogFile::Contents decided = NetfoxLogFile::classify(log);
    const QString text = decided.encoding == NetfoxLogFile::Encoding::Utf8 ? QString::fromUtf8(decided.bytes)
                                                                           : QString::fromLatin1(decided.bytes);
    QVERIFY(NetfoxReference::parseNetworkLogText(text) == expected);
    // In windows of a few hundred bytes the stray byte lies in a later
    // window than the first records, or in bytes one window keeps for the
    // next.
    for (const auto &[threads, sliceSize, windowSize] :
        { std::tuple(3, 64, 64), std::tuple(3, 1000, 333), std::tuple(3, 1 << 20, 4 << 20), std::tuple(1, 1 << 20, 100) }) {
        NetfoxDetail::ParseOptions options;
        options.threads = threads;
        options.minParallelSize = 0;
        options.grain = 1;
        options.readSliceSize = sliceSize;
        options.windowSize = windowSize;
        QVERIFY2(NetfoxDetail::parseNetworkLog(path, std::nullopt, options) == expected,
            qPrintable(QStringLiteral("%1 threads, windows of %2").arg(int(threads)).arg(int(windowSize))));
    }
}

void TestNetfoxLogFile::byteOrderMarkBeforeTheFirstBlock()
{
    // A UTF-8 log may start with a byte order mark: it is not text, and the
    // log is still UTF-8 (Qt's own decoder drops the mark too, so a round
    // trip through it cannot tell a marked log from a Latin-1 one).
    const QByteArray log = "\xEF\xBB\xBF-------START REQUEST -  https://api.example.com/a -------\n"
                           "[Request Method] POST\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                           "[Request Body]\n {\"name\": \"D\xC3\xA9vi \xF0\x9F\x9A\x80\"}\n-------END REQUEST - x -------\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    QVERIFY(writeFile(path, log));
    const NetworkHitList hits = Netfox::parseNetworkLog(path);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().reqBody, QStringLiteral("{\"name\": \"D\u00E9vi \U0001F680\"}"));
    QCOMPARE(hits, NetfoxReference::parseNetworkLogText(QString::fromUtf8(log)));
}

void TestNetfoxLogFile::missingFile()
{
    QTemporaryDir dir;
    QVERIFY(!NetfoxLogFile::read(dir.filePath(QStringLiteral("none.log"))).has_value());
    NetfoxDetail::ParseOptions threaded;
    threaded.threads = 2;
    threaded.minParallelSize = 0;
    QVERIFY(NetfoxDetail::parseNetworkLog(dir.filePath(QStringLiteral("none.log")), std::nullopt, threaded).isEmpty());
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
    // A log handed over through a pipe (a shell's process substitution) can
    // be read once only, so it is never read again as ISO Latin-1 after a
    // first try as UTF-8: the same records as from a plain file.
    QFETCH(QByteArray, log);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.log"));
    QVERIFY(writeFile(path, log));
    const NetworkHitList expected = Netfox::parseNetworkLog(path);
    QCOMPARE(expected.size(), 50);
    const QByteArray pipe = QFile::encodeName(dir.filePath(QStringLiteral("pipe")));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    std::thread writer([&] {
        QFile file(QString::fromLocal8Bit(pipe));
        if (file.open(QIODevice::WriteOnly))
            file.write(log);
    });
    NetworkHitList piped;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        piped = Netfox::parseNetworkLog(QString::fromLocal8Bit(pipe));
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 10000);
    writer.join();
    // A reader that opened the pipe a second time waits for a writer.
    while (!done.load()) {
        const int releaser = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        if (releaser >= 0)
            ::close(releaser);
        QTest::qWait(50);
    }
    reader.join();
    QVERIFY2(finished, "the parse of a pipe did not finish");
    QCOMPARE(piped, expected);
}

void TestNetfoxLogFile::smallLogStaysOnOneThread()
{
    // Below the size limit the threaded options must not matter: the same
    // records as one thread, through the public entry point as well.
    const QString log = QStringLiteral("-------START REQUEST -  https://api.example.com/a -------\n"
                                       "[Request Method] GET\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                                       "[Request Body]\n {}\n-------END REQUEST - x -------\n")
                            .repeated(20);
    NetfoxDetail::ParseOptions oneThread;
    oneThread.threads = 1;
    NetfoxDetail::ParseOptions manyButSmall;
    manyButSmall.threads = 4;
    manyButSmall.minParallelSize = log.size() + 1;
    const NetworkHitList expected = NetfoxDetail::parseNetworkLogText(log, std::nullopt, oneThread);
    QCOMPARE(expected.size(), 20);
    QCOMPARE(expected.at(19).id, expected.at(0).id + u"_20");
    QVERIFY(NetfoxDetail::parseNetworkLogText(log, std::nullopt, manyButSmall) == expected);
    QVERIFY(Netfox::parseNetworkLogText(log) == expected);
}

QTEST_GUILESS_MAIN(TestNetfoxLogFile)
#include "tst_netfoxlogfile.moc"
