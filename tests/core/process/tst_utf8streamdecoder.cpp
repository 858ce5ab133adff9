#include "process/utf8streamdecoder.h"

#include <QTest>

class TestUtf8StreamDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySplitPointGivesTheSameText_data();
    void everySplitPointGivesTheSameText();
    void byteByByte();
    void invalidInput_data();
    void invalidInput();
    void incompleteTailLength_data();
    void incompleteTailLength();
};

void TestUtf8StreamDecoder::everySplitPointGivesTheSameText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("runner step marks") << QStringLiteral("\u2713 tap \"Login\"\n\u26A0 retry\n\u2717 failed\n");
    QTest::newRow("emoji outside the BMP") << QStringLiteral("\U0001F680 Fetching\n\u2705 done\n");
    QTest::newRow("two-byte characters") << QStringLiteral("Bahasa Indonesia: caf\u00E9 \u00FC\n");
    QTest::newRow("ASCII only") << QStringLiteral("plain text\n");
}

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
}

void TestUtf8StreamDecoder::byteByByte()
{
    const QString text = QStringLiteral("\u2713\u26A0\u2717\U0001F6D1");
    const QByteArray bytes = text.toUtf8();
    Utf8StreamDecoder decoder;
    QString joined;
    for (const char byte : bytes) {
        const QString piece = decoder.decode(QByteArrayView(&byte, 1));
        QVERIFY(!piece.contains(QChar::ReplacementCharacter));
        joined += piece;
    }
    joined += decoder.finish();
    QCOMPARE(joined, text);
}

void TestUtf8StreamDecoder::invalidInput_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("expected");

    QTest::newRow("stray bytes keep the text around them")
        << QByteArray("ok \xFF") << QByteArray("\xFE end") << QStringLiteral("ok \uFFFD\uFFFD end");
    QTest::newRow("a lead byte followed by ASCII")
        << QByteArray("a\xE2") << QByteArray("b") << QStringLiteral("a\uFFFDb");
    QTest::newRow("character cut off at the end of the stream")
        << QByteArray("cut \xE2\x9C") << QByteArray() << QStringLiteral("cut \uFFFD\uFFFD");
    QTest::newRow("a cut-off character does not swallow the line feed after it")
        << QByteArray("one \xE2\x9C") << QByteArray("\ntwo") << QStringLiteral("one \uFFFD\uFFFD\ntwo");
    QTest::newRow("four-byte character cut after three bytes, then more text")
        << QByteArray("\xF0\x9F\x9A") << QByteArray("ok") << QStringLiteral("\uFFFD\uFFFD\uFFFDok");
    QTest::newRow("lone continuation byte") << QByteArray("x\x93") << QByteArray("y") << QStringLiteral("x\uFFFDy");
}

void TestUtf8StreamDecoder::invalidInput()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, expected);

    Utf8StreamDecoder decoder;
    QString text = decoder.decode(first);
    text += decoder.decode(second);
    text += decoder.finish();
    QCOMPARE(text, expected);

    // After finish() the decoder starts a clean stream.
    QCOMPARE(decoder.decode("\xE2\x9C\x93"), QStringLiteral("\u2713"));
}

void TestUtf8StreamDecoder::incompleteTailLength_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("ASCII") << QByteArray("abc") << 0;
    QTest::newRow("complete three-byte character") << QByteArray("a\xE2\x9C\x93") << 0;
    QTest::newRow("lead byte only") << QByteArray("a\xE2") << 1;
    QTest::newRow("two of three bytes") << QByteArray("a\xE2\x9C") << 2;
    QTest::newRow("three of four bytes") << QByteArray("\xF0\x9F\x9A") << 3;
    QTest::newRow("complete four-byte character") << QByteArray("\xF0\x9F\x9A\x80") << 0;
    QTest::newRow("stray continuation bytes are not held") << QByteArray("a\x80\x80\x80") << 0;
    QTest::newRow("invalid lead byte is not held") << QByteArray("a\xFF") << 0;
}

void TestUtf8StreamDecoder::incompleteTailLength()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(Utf8StreamDecoder::incompleteTailLength(bytes), qsizetype(expected));
}

QTEST_GUILESS_MAIN(TestUtf8StreamDecoder)
#include "tst_utf8streamdecoder.moc"
