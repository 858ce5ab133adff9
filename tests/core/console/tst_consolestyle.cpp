#include "console/consolefilter.h"
#include "console/consolestyle.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The coloured substrings with their role, bold marked with "*".
QStringList described(const QString &line, const QList<ConsoleStyle::Span> &spans)
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
};

void TestConsoleStyle::styleLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<RunMode>("mode");
    QTest::addColumn<QString>("runs"); // the coloured runs, " | " between them
    const auto row = [](const char *tag, const QString &line, RunMode mode, const char *runs) {
        QTest::newRow(tag) << line << mode << QString::fromUtf8(runs);
    };
    const RunMode test = RunMode::Test;
    const RunMode tree = RunMode::Hierarchy;
    // The runner's own failure mark and the variant some builds print.
    row("runner failed step U+2717", u"[09:14:02]     ✗ tapOn: id=\"pay\" (1.2s)\n"_s, test,
        "[09:14:02]=grey | ✗=red | tapOn=purple* | id=\"pay\"=blue | (1.2s)=grey");
    row("runner failed flow U+2718", u"✘ Checkout 5.5s"_s, test, "✘=red");
    row("other check and cross marks", u"✓ one ✅ ❌ two ✖"_s, test, "✓=green | ✅=green | ❌=red | ✖=red");
    row("slow step warning and text", u"    ⚠ assertVisible: text=\"Total\" (5.4s)"_s, test,
        "⚠=yellow | assertVisible=purple* | text=\"Total\"=green | (5.4s)=grey");
    row("keyword inside a word stays plain", u"xtapOnx"_s, test, "");
    row("time not at the start is plain", u"at [12:00:01]"_s, test, "");
    row("later rule recolours, bold stays", u"id=\"Run\""_s, test, "id=\"=blue | Run=blue* | \"=blue");
    row("hierarchy button bounds id", u"    Button  id=login  text=\"Log in\"  (10,20 100x44)"_s, tree,
        "Button=purple* | id=login=blue | text=\"Log in\"=green | (10,20 100x44)=grey");
    row("hierarchy id to the end of a CR LF line", u"[10:00:00] StaticText  id=Welcome back\r\n"_s, tree,
        "[10:00:00]=grey | StaticText=purple* | id=Welcome back=blue");
    row("hierarchy mode ignores test marks", u"✗ tapOn"_s, tree, "");
}

void TestConsoleStyle::styleLine()
{
    QFETCH(QString, line);
    QFETCH(RunMode, mode);
    QFETCH(QString, runs);
    QCOMPARE(described(line, ConsoleStyle::styleLine(line, mode)).join(u" | "), runs);
}

void TestConsoleStyle::filter_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("lines"); // "|" between the lines
    QTest::addColumn<QString>("shown");
    const auto row = [](const char *tag, const char *needle, const char *locale, const char *lines, const char *shown) {
        QTest::newRow(tag) << QString::fromUtf8(needle) << QString::fromLatin1(locale) << QString::fromUtf8(lines)
                           << QString::fromUtf8(shown);
    };
    const char *lines = "[10:00:00] ✓ tapOn: id=\"Login\"|[10:00:01] ⚠ slow|[10:00:02] LOGIN done";
    row("empty shows all", "", "en_US", lines, lines);
    row("case-insensitive, in order", "login", "en_US", lines, "[10:00:00] ✓ tapOn: id=\"Login\"|[10:00:02] LOGIN done");
    row("non-ASCII letters fold", "ÉCRAN", "fr_FR", "écran d'accueil|exit", "écran d'accueil");
    row("locale lower case (Turkish dotted I)", "İSTANBUL", "tr_TR", "istanbul|other", "istanbul");
}

void TestConsoleStyle::filter()
{
    QFETCH(QString, needle);
    QFETCH(QString, locale);
    QFETCH(QString, lines);
    QFETCH(QString, shown);
    QCOMPARE(ConsoleFilter(needle, QLocale(locale)).apply(lines.split(u'|')).join(u'|'), shown);
}

QTEST_GUILESS_MAIN(TestConsoleStyle)
#include "tst_consolestyle.moc"
