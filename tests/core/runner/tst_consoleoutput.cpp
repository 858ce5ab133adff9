#include "runner/consolelines.h"
#include "runner/hierarchyformatter.h"
#include "runner/lineassembler.h"

#include <QTest>

class TestConsoleOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void assembly_data();
    void assembly();
    void filter_data();
    void filter();
    void bounds_data();
    void bounds();
    void hierarchy_data();
    void hierarchy();
    void hierarchyBlankLineKeepsStack();
};

void TestConsoleOutput::assembly_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("pending");

    const QString x(10'000, u'x');
    const QString z(10'001, u'z');
    QTest::newRow("line split across two chunks")
        << QStringList { "first\nsec", "ond\n" } << QStringList { "first", "second" } << QString();
    QTest::newRow("no line feed: nothing yet")
        << QStringList { "partial", " still" } << QStringList {} << QStringLiteral("partial still");
    QTest::newRow("carriage return stays in the line")
        << QStringList { "a\r\nb\r\n" } << QStringList { "a\r", "b\r" } << QString();
    QTest::newRow("empty lines are lines") << QStringList { "\n\nx\n" } << QStringList { QString(), QString(), "x" } << QString();
    QTest::newRow("chunk that is just a feed ends the pending line")
        << QStringList { "abc", "\n" } << QStringList { "abc" } << QString();
    // A runner that never ends its line: cut at 10,001 characters.
    QTest::newRow("10,000 characters wait for more") << QStringList { x } << QStringList {} << x;
    QTest::newRow("the 10,001st character cuts the line") << QStringList { x, "y" } << QStringList { x + u'y' } << QString();
    QTest::newRow("a line ended first, then an overlong one")
        << QStringList { "done\n" + z } << QStringList { "done", z } << QString();
}

void TestConsoleOutput::assembly()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, lines);
    QFETCH(QString, pending);
    LineAssembler assembler;
    QStringList got;
    for (const QString &chunk : chunks)
        got += assembler.feed(chunk);
    QCOMPARE(got, lines);
    QCOMPARE(assembler.pending(), pending);
    QCOMPARE(assembler.takePending(), pending);
    QVERIFY(assembler.pending().isEmpty());
}

void TestConsoleOutput::filter_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("dropInTest");
    QTest::addColumn<bool>("dropInHierarchy");

    QTest::newRow("structured log line") << QStringLiteral("time=\"2026-12-06T10:14:44+01:00\" level=info msg=\"closed\"") << true
                                         << true;
    QTest::newRow("structured, upper case") << QStringLiteral("TIME=1 LEVEL=debug") << true << true;
    QTest::newRow("only time=") << QStringLiteral("time=1 msg=x") << false << false;
    QTest::newRow("listener error") << QStringLiteral("Error Accepting New Connection accept tcp") << true << true;
    QTest::newRow("listener closed") << QStringLiteral("closed listener successfully phonePort=8138") << true << true;
    QTest::newRow("unnamed Other") << QStringLiteral("    Other  (0,0 390x844)") << false << true;
    QTest::newRow("Other with id") << QStringLiteral("    Other  id=cart  (0,0 390x844)") << false << false;
    QTest::newRow("Other with text") << QStringLiteral("    Other  text=\"Hi\"  (0,0 390x844)") << false << false;
    QTest::newRow("Other with one space") << QStringLiteral("    Other (0,0 390x844)") << false << false;
    QTest::newRow("lower-case other") << QStringLiteral("    other  (0,0 1x1)") << false << false;
    QTest::newRow("ordinary step") << QStringLiteral("    \u2713 tapOn: id=\"login\" (311ms)") << false << false;
}

void TestConsoleOutput::filter()
{
    QFETCH(QString, line);
    QFETCH(bool, dropInTest);
    QFETCH(bool, dropInHierarchy);
    QCOMPARE(ConsoleLines::shouldFilterLine(line, RunMode::Test), dropInTest);
    QCOMPARE(ConsoleLines::shouldFilterLine(line, RunMode::Hierarchy), dropInHierarchy);
}

void TestConsoleOutput::bounds_data()
{
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("expectedSize");
    QTest::addColumn<int>("expectedRemoved");

    QTest::newRow("2600 in one batch keep the newest 2000") << 0 << 2600 << 2000 << 600;
    QTest::newRow("exactly 2500 stay") << 0 << 2500 << 2500 << 0;
    QTest::newRow("2501 trim to 2000") << 2500 << 1 << 2000 << 501;
    QTest::newRow("one over across batches") << 2400 << 101 << 2000 << 501;
}

void TestConsoleOutput::bounds()
{
    QFETCH(int, existing);
    QFETCH(int, added);
    QFETCH(int, expectedSize);
    QFETCH(int, expectedRemoved);
    QStringList console;
    for (int i = 0; i < existing; ++i)
        console << QString::number(i);
    QStringList batch;
    for (int i = existing; i < existing + added; ++i)
        batch << QString::number(i);
    QCOMPARE(ConsoleLines::appendBounded(console, batch), qsizetype(expectedRemoved));
    QCOMPARE(console.size(), expectedSize);
    QCOMPARE(console.last(), QString::number(existing + added - 1));
    QCOMPARE(console.first(), QString::number(existing + added - expectedSize));
}

void TestConsoleOutput::hierarchy_data()
{
    QTest::addColumn<QList<int>>("raw");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("0 4 8 4") << QList<int> { 0, 4, 8, 4 } << QList<int> { 0, 2, 4, 2 };
    QTest::newRow("0 3 7 then 5 under the 3") << QList<int> { 0, 3, 7, 5 } << QList<int> { 0, 2, 4, 4 };
    QTest::newRow("siblings line up") << QList<int> { 0, 1, 1, 6, 1 } << QList<int> { 0, 2, 2, 4, 2 };
    QTest::newRow("first line indented") << QList<int> { 4, 8, 2, 4 } << QList<int> { 0, 2, 0, 2 };
    QTest::newRow("back to the root") << QList<int> { 0, 2, 4, 0, 3 } << QList<int> { 0, 2, 4, 0, 2 };
    // A runaway view nesting: re-indented without recursion, in linear time,
    // and climbing back out to the top works in one step.
    for (const int step : { 1, 4 }) {
        QList<int> raw;
        QList<int> expected;
        for (int level = 0; level < 10'000; ++level) {
            raw << level * step;
            expected << 2 * level;
        }
        raw << 0 << step;
        expected << 0 << 2;
        QTest::addRow("ten thousand levels, %d space(s) each", step) << raw << expected;
    }
}

void TestConsoleOutput::hierarchy()
{
    QFETCH(QList<int>, raw);
    QFETCH(QList<int>, expected);
    HierarchyFormatter formatter;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QString text = QStringLiteral("Button  id=b%1").arg(i);
        const QString formatted = formatter.formatLine(QString(raw[i], u' ') + text);
        if (formatted != QString(expected[i], u' ') + text)
            QFAIL(qPrintable(QStringLiteral("line %1 re-indented as \"%2\"").arg(i).arg(formatted)));
    }
}

void TestConsoleOutput::hierarchyBlankLineKeepsStack()
{
    HierarchyFormatter formatter;
    formatter.formatLine(QStringLiteral("Application"));
    formatter.formatLine(QStringLiteral("    Window"));
    // Blank lines pass as they are and keep the nesting; a tab ends the
    // indentation count and stays in the text.
    QCOMPARE(formatter.formatLine(QStringLiteral("      ")), QStringLiteral("      "));
    QCOMPARE(formatter.formatLine(QString()), QString());
    QCOMPARE(formatter.formatLine(QStringLiteral("        \tButton")), QStringLiteral("    \tButton"));
    // The next fetch starts at the root again.
    formatter.reset();
    QCOMPARE(formatter.formatLine(QStringLiteral("    Window")), QStringLiteral("Window"));
}

QTEST_GUILESS_MAIN(TestConsoleOutput)
#include "tst_consoleoutput.moc"
