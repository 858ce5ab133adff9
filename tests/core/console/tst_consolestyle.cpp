#include "console/consolefilter.h"
#include "console/consolemirror.h"
#include "console/consolestyle.h"

#include <QTest>

using ConsoleStyle::Role;
using Spans = QList<ConsoleStyle::Span>;

namespace {

// "text" + a role letter per coloured run, for readable tables:
// the coloured substrings with their role, bold marked with "*".
QStringList described(const QString &line, const Spans &spans)
{
    static const char *names[] = { "base", "purple", "blue", "green", "yellow", "red", "grey" };
    QStringList out;
    for (const ConsoleStyle::Span &span : spans)
        out.append(line.mid(span.start, span.length) + u'=' + QLatin1String(names[int(span.role)]) + (span.bold ? u"*" : u""));
    return out;
}

} // namespace

class TestConsoleStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void styleLine_data();
    void styleLine();
    void filter_data();
    void filter();
    void mirror_data();
    void mirror();
};

void TestConsoleStyle::styleLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<RunMode>("mode");
    QTest::addColumn<QStringList>("runs");
    const RunMode test = RunMode::Test;
    const RunMode tree = RunMode::Hierarchy;
    QTest::newRow("time, check, keyword, duration") << QStringLiteral("[12:00:01] ✅ tapOn login button (5.2s)\n") << test
                                                   << QStringList { "[12:00:01]=grey", "✅=green", "tapOn=purple*", "(5.2s)=grey" };
    QTest::newRow("keyword inside a word stays plain") << QStringLiteral("xtapOnx") << test << QStringList {};
    QTest::newRow("check and cross each coloured") << QStringLiteral("✓ one ❌ two ✖") << test
                                                  << QStringList { "✓=green", "❌=red", "✖=red" };
    // The runner's own failure mark and the variant some builds print.
    QTest::newRow("runner failed step U+2717")
        << QStringLiteral("[09:14:02]     ✗ tapOn: id=\"pay\" (1.2s)\n") << test
        << QStringList { "[09:14:02]=grey", "✗=red", "tapOn=purple*", "id=\"pay\"=blue", "(1.2s)=grey" };
    QTest::newRow("runner failed flow U+2718") << QStringLiteral("✘ Checkout 5.5s") << test << QStringList { "✘=red" };
    QTest::newRow("runner step with ms duration") << QStringLiteral("[09:14:01]     ✓ tapOn: id=\"cartButton\" (311ms)") << test
                                                  << QStringList { "[09:14:01]=grey", "✓=green", "tapOn=purple*",
                                                         "id=\"cartButton\"=blue", "(311ms)=grey" };
    QTest::newRow("slow step warning and text") << QStringLiteral("    ⚠ assertVisible: text=\"Total\" (5.4s)") << test
                                                << QStringList { "⚠=yellow", "assertVisible=purple*", "text=\"Total\"=green",
                                                       "(5.4s)=grey" };
    QTest::newRow("time not at the start is plain") << QStringLiteral("at [12:00:01]") << test << QStringList {};
    QTest::newRow("later rule recolours, bold stays") << QStringLiteral("id=\"Run\"") << test
                                                     << QStringList { "id=\"=blue", "Run=blue*", "\"=blue" };
    QTest::newRow("keyword rule is case-sensitive") << QStringLiteral("TAPON run") << test << QStringList {};
    QTest::newRow("hierarchy button bounds id")
        << QStringLiteral("    Button  id=login  text=\"Log in\"  (10,20 100x44)") << tree
        << QStringList { "Button=purple*", "id=login=blue", "text=\"Log in\"=green", "(10,20 100x44)=grey" };
    QTest::newRow("hierarchy id to end of line") << QStringLiteral("[10:00:00] StaticText  id=Welcome back") << tree
                                                 << QStringList { "[10:00:00]=grey", "StaticText=purple*", "id=Welcome back=blue" };
    QTest::newRow("hierarchy mode ignores test marks") << QStringLiteral("✗ tapOn") << tree << QStringList {};
    QTest::newRow("test mode ignores element types") << QStringLiteral("Button (10,20 100x44)") << test << QStringList {};
}

void TestConsoleStyle::styleLine()
{
    QFETCH(QString, line);
    QFETCH(RunMode, mode);
    QFETCH(QStringList, runs);
    QCOMPARE(described(line, ConsoleStyle::styleLine(line, mode)), runs);
}

void TestConsoleStyle::filter_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("shown");
    const QStringList lines { "[10:00:00] ✓ tapOn: id=\"Login\"\n", "[10:00:01] ⚠ slow\n", "[10:00:02] LOGIN done\n" };
    QTest::newRow("empty shows all") << QString() << "en_US" << lines << lines;
    QTest::newRow("case-insensitive, in order") << "login" << "en_US" << lines << QStringList { lines[0], lines[2] };
    QTest::newRow("nothing matches") << "payment" << "en_US" << lines << QStringList {};
    QTest::newRow("non-ASCII letters fold") << "ÉCRAN" << "fr_FR" << QStringList { "écran d'accueil\n", "exit\n" }
                                           << QStringList { "écran d'accueil\n" };
    QTest::newRow("locale lower case (Turkish dotted I)") << "İSTANBUL" << "tr_TR" << QStringList { "istanbul\n", "other\n" }
                                                         << QStringList { "istanbul\n" };
}

void TestConsoleStyle::filter()
{
    QFETCH(QString, needle);
    QFETCH(QString, locale);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, shown);
    QCOMPARE(ConsoleFilter(needle, QLocale(locale)).apply(lines), shown);
}

void TestConsoleStyle::mirror_data()
{
    // Batches of the controller (appended lines, then the trimmed count);
    // after each, the view's lines must equal the filtered controller list.
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QList<int>>("batches"); // line counts per batch
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("keep");
    QTest::newRow("growing, no trim") << QString() << QList<int> { 10, 3 } << 2500 << 2000;
    QTest::newRow("1900 then 700 across the limit") << QString() << QList<int> { 1900, 700 } << 2500 << 2000;
    QTest::newRow("one flood beyond the limit") << QString() << QList<int> { 6000 } << 2500 << 2000;
    QTest::newRow("floods after a full list") << QString() << QList<int> { 2400, 3000, 10, 2600 } << 2500 << 2000;
    QTest::newRow("filtered, across the limit") << "7" << QList<int> { 1900, 700, 4000 } << 2500 << 2000;
}

void TestConsoleStyle::mirror()
{
    QFETCH(QString, needle);
    QFETCH(QList<int>, batches);
    QFETCH(int, maxLines);
    QFETCH(int, keep);
    ConsoleMirror mirror;
    mirror.setFilter(ConsoleFilter(needle));
    QStringList controller;
    QStringList view;
    int next = 0;
    for (int count : batches) {
        QStringList batch;
        for (int i = 0; i < count; ++i)
            batch.append(QStringLiteral("line %1\n").arg(next++));
        controller.append(batch);
        mirror.appended(batch);
        if (controller.size() > maxLines) {
            const qsizetype removed = controller.size() - keep;
            controller.remove(0, removed);
            mirror.trimmed(removed);
        }
        const ConsoleMirror::Edit edit = mirror.takeEdit(controller);
        QVERIFY(!edit.reset);
        if (edit.reset)
            view.clear();
        view.remove(0, qMin(edit.removeFront, view.size()));
        view.append(edit.append);
        QCOMPARE(view, ConsoleFilter(needle).apply(controller));
        QCOMPARE(mirror.controllerLineCount(), controller.size());
    }
}

QTEST_GUILESS_MAIN(TestConsoleStyle)
#include "tst_consolestyle.moc"
