#include "process/utf8streamdecoder.h"

#include <QTest>

class TestUtf8StreamDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySplitPointGivesTheSameText_data();
    void everySplitPointGivesTheSameText();
    void twoChunks_data();
    void twoChunks();
};

void TestUtf8StreamDecoder::everySplitPointGivesTheSameText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("runner step marks") << QStringLiteral("\u2713 tap \"Login\"\n\u26A0 retry\n\u2717 failed\n");
    QTest::newRow("emoji outside the BMP") << QStringLiteral("\U0001F680 Fetching\n\u2705 done\U0001F6D1");
    QTest::newRow("two-byte characters") << QStringLiteral("Bahasa Indonesia: caf\u00E9 \u00FC\n");
}

// Cut in three at every pair of points, and fed one byte at a time.
void TestUtf8StreamDecoder::everySplitPointGivesTheSameText()
{
    QFETCH(QString, text);
    const QByteArray bytes = text.toUtf8();
    for (qsizetype first = 0; first <= bytes.size(); ++first) {
        for (qsizetype second = first; second <= bytes.size(); ++second) {
            Utf8StreamDecoder decoder;
            QString joined = decoder.decode(bytes.left(first));
            joined += decoder.decode(bytes.mid(first, second - first));
            joined += decoder.decode(bytes.mid(second));
            joined += decoder.finish();
            QVERIFY2(joined == text, qPrintable(QStringLiteral("split at %1 and %2").arg(first).arg(second)));
        }
    }
    Utf8StreamDecoder decoder;
    QString joined;
    for (const char byte : bytes) {
        const QString piece = decoder.decode(QByteArrayView(&byte, 1));
        QVERIFY(!piece.contains(QChar::ReplacementCharacter));
        joined += piece;
    }
    QCOMPARE(joined + decoder.finish(), text);
}

void TestUtf8StreamDecoder::twoChunks_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("fromFirst"); // delivered at once, before the second chunk arrives
    QTest::addColumn<QString>("expected");

    QTest::newRow("complete character is not held back")
        << QByteArray("a\xE2\x9C\x93") << QByteArray("b") << QStringLiteral("a\u2713") << QStringLiteral("a\u2713b");
    QTest::newRow("a lead byte is held for the next chunk")
        << QByteArray("a\xE2") << QByteArray("\x9C\x93") << QStringLiteral("a") << QStringLiteral("a\u2713");
    QTest::newRow("stray bytes keep the text around them")
        << QByteArray("ok \xFF") << QByteArray("\xFE end") << QStringLiteral("ok \uFFFD")
        << QStringLiteral("ok \uFFFD\uFFFD end");
    QTest::newRow("stray continuation bytes are not held")
        << QByteArray("a\x80\x80\x80") << QByteArray("b") << QStringLiteral("a\uFFFD\uFFFD\uFFFD")
        << QStringLiteral("a\uFFFD\uFFFD\uFFFDb");
    QTest::newRow("a lead byte followed by ASCII")
        << QByteArray("a\xE2") << QByteArray("b") << QStringLiteral("a") << QStringLiteral("a\uFFFDb");
    QTest::newRow("character cut off at the end of the stream")
        << QByteArray("cut \xE2\x9C") << QByteArray() << QStringLiteral("cut ") << QStringLiteral("cut \uFFFD\uFFFD");
    QTest::newRow("four-byte character cut after three bytes, then more text")
        << QByteArray("\xF0\x9F\x9A") << QByteArray("ok") << QString() << QStringLiteral("\uFFFD\uFFFD\uFFFDok");
}

void TestUtf8StreamDecoder::twoChunks()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, fromFirst);
    QFETCH(QString, expected);

    Utf8StreamDecoder decoder;
    QString text = decoder.decode(first);
    QCOMPARE(text, fromFirst);
    text += decoder.decode(second);
    QCOMPARE(text + decoder.finish(), expected);
    // After finish() the decoder starts a clean stream.
    QCOMPARE(decoder.decode("\xE2\x9C\x93"), QStringLiteral("\u2713"));
}

QTEST_GUILESS_MAIN(TestUtf8StreamDecoder)
#include "tst_utf8streamdecoder.moc"
