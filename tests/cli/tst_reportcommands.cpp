// kestrune-cli report and history, run as a user would run them on a copy of
// the sample run folder.
#include "../core/reports/reporttestsupport.h"
#include "clitestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace ReportTestSupport;

class TestReportCommands final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void reportPostProcessesRunFolder();
    void reportSinceDropsEarlierExchanges();
    void reportArguments_data();
    void reportArguments();
    void reportExitStatus_data();
    void reportExitStatus();
    void historyRows();
    void historyNamesStayOnTheirLine();
};

void TestReportCommands::reportPostProcessesRunFolder()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const CliResult result = runCli({ QStringLiteral("report"), run });
    QCOMPARE(result.exitCode, 0);
    const QString page = basicReportFolder(run) + QStringLiteral("/report-custom.html");
    QCOMPARE(result.out.trimmed(), QStringLiteral("Report page: ") + page);
    QVERIFY(readAll(page).contains("<h1>Kestrune</h1>"));
    const QByteArray html = readAll(basicReportFolder(run) + QStringLiteral("/report.html"));
    QVERIFY(html.contains("Olvex Mobile E2E"));
    QVERIFY(html.contains("netfox-network-log-container"));
    const QJsonArray attachments
        = QJsonDocument::fromJson(readAll(basicReportFolder(run) + QStringLiteral("/allure-results/flow-000-result.json")))
              .object()
              .value(QLatin1String("attachments"))
              .toArray();
    QCOMPARE(attachments.size(), 1);
}

void TestReportCommands::reportSinceDropsEarlierExchanges()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const CliResult result
        = runCli({ QStringLiteral("report"), run, QStringLiteral("--since"), QStringLiteral("2026-12-06T09:40:00+01:00") });
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!readAll(basicReportFolder(run) + QStringLiteral("/report.html")).contains("netfox-network-log-container"));
    QVERIFY(readAll(basicReportFolder(run) + QStringLiteral("/report-custom.html")).contains("const apiData = {};"));
}

void TestReportCommands::reportArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no folder") << QStringList { "report" } << 2;
    QTest::newRow("missing folder") << QStringList { "report", "/nonexistent/run" } << 2;
    QTest::newRow("bad since") << QStringList { "report", ".", "--since", "yesterday" } << 2;
    QTest::newRow("since without time") << QStringList { "report", ".", "--since" } << 2;
    QTest::newRow("unknown option") << QStringList { "report", ".", "--fast" } << 2;
    QTest::newRow("two folders") << QStringList { "report", ".", ".." } << 2;
    QTest::newRow("history unknown option") << QStringList { "history", "--all" } << 2;
}

void TestReportCommands::reportArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    const CliResult result = runCli(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(!result.err.isEmpty());
}

void TestReportCommands::reportExitStatus_data()
{
    QTest::addColumn<QString>("folder"); // what the folder given to report holds
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // a part of standard error
    QTest::newRow("an empty run folder") << "empty" << 2 << "not a run folder";
    QTest::newRow("a project with a coverage report") << "coverage" << 2 << "not a run folder";
    QTest::newRow("the runner's report only under node_modules") << "node_modules" << 2 << "not a run folder";
    QTest::newRow("a page that cannot be patched") << "latin1 page" << 1 << "report not generated: ";
}

void TestReportCommands::reportExitStatus()
{
    QFETCH(QString, folder);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("project"));
    QVERIFY(QDir().mkpath(target + QStringLiteral("/sandbox")));
    const QByteArray foreignPage = "<html><body>coverage</body></html>\n";
    if (folder == QLatin1String("coverage")) {
        QVERIFY(writeAll(target + QStringLiteral("/coverage/report.json"), "{\"total\":{\"lines\":{\"pct\":81}}}"));
        QVERIFY(writeAll(target + QStringLiteral("/coverage/report.html"), foreignPage));
    } else if (folder == QLatin1String("node_modules")) {
        QVERIFY(!copyBasicRun(target + QStringLiteral("/node_modules/pkg")).isEmpty());
        QVERIFY(writeAll(target + QStringLiteral("/coverage/report.html"), foreignPage));
    } else if (folder == QLatin1String("latin1 page")) {
        target = copyBasicRun(dir.path());
        QVERIFY(writeAll(basicReportFolder(target) + QStringLiteral("/report.html"), "caf\xe9"));
    }
    const CliResult result = runCli({ QStringLiteral("report"), target });
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    if (exitCode == 2) {
        // Refused before anything is written.
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("/coverage/report-custom.html")));
        if (QFileInfo::exists(target + QStringLiteral("/coverage/report.html")))
            QCOMPARE(readAll(target + QStringLiteral("/coverage/report.html")), foreignPage);
    }
}

void TestReportCommands::historyRows()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("UAT_20261205_080000/sandbox"))));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("notes"))));

    const CliResult json = runCli({ QStringLiteral("history"), QStringLiteral("--dir"), dir.path(), QStringLiteral("--json") });
    QCOMPARE(json.exitCode, 0);
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(rows.size(), 2);
    const QJsonObject first = rows[0].toObject();
    QCOMPARE(first.value(QLatin1String("environment")).toString(), QStringLiteral("SIT"));
    QCOMPARE(first.value(QLatin1String("status")).toString(), QStringLiteral("failed"));
    QCOMPARE(first.value(QLatin1String("flow")).toString(), QStringLiteral("Checkout <smoke> & pay"));
    QCOMPARE(first.value(QLatin1String("durationSeconds")).toInt(), 14);
    QCOMPARE(first.value(QLatin1String("device")).toString(), QStringLiteral("iPhone de QA"));
    // Counted from the detail file at every depth, not the summary's 9 of 6 (4 passed, 4 failed).
    QCOMPARE(first.value(QLatin1String("passedCommands")).toInt(), 4);
    QCOMPARE(first.value(QLatin1String("totalCommands")).toInt(), 8);
    QCOMPARE(first.value(QLatin1String("page")).toString(), basicReportFolder(run) + QStringLiteral("/report.html"));
    QCOMPARE(rows[1].toObject().value(QLatin1String("status")).toString(), QStringLiteral("unknown"));
    QVERIFY(!rows[1].toObject().contains(QLatin1String("page")));

    const CliResult text = runCli({ QStringLiteral("history"), QStringLiteral("--dir"), dir.path() });
    QCOMPARE(text.exitCode, 0);
    const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0],
        QStringLiteral("SIT\t20261206_093640\tfailed\tCheckout <smoke> & pay\t14s\tiPhone de QA\t4/8\t") + basicReportFolder(run)
            + QStringLiteral("/report.html"));
    QCOMPARE(lines[1], QStringLiteral("UAT\t20261205_080000\tunknown\tUnknown Flow\t-\t-\t-\t-"));

    QTemporaryDir empty;
    QCOMPARE(runCli({ QStringLiteral("history"), QStringLiteral("--dir"), empty.path() }).out,
        QStringLiteral("No test history found.\n"));
}

// A flow name is the flow file's text: on a terminal its escape sequence
// must not drive it, and its line break must not start a new row anywhere.
void TestReportCommands::historyNamesStayOnTheirLine()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    const QString json = basicReportFolder(run) + QStringLiteral("/report.json");
    QByteArray report = readAll(json);
    report.replace("Checkout \\u003csmoke\\u003e \\u0026 pay", "Checkout \\u001b]0;pwned\\u0007\\nNext");
    QVERIFY(writeAll(json, report));
    const QStringList arguments { QStringLiteral("history"), QStringLiteral("--dir"), dir.path() };

    const std::optional<QByteArray> terminal = runOnTerminal(arguments);
    if (!terminal)
        QSKIP("no pseudo-terminal here");
    QVERIFY2(terminal->contains("\tCheckout ^[]0;pwned^G^JNext\t"), terminal->constData());
    QVERIFY(!terminal->contains('\x1b'));
    QCOMPARE(terminal->count('\n'), 1);

    const CliResult piped = runCli(arguments);
    QCOMPARE(piped.out.count(u'\n'), 1);
    QVERIFY(piped.out.contains(QStringLiteral("\tCheckout \x1b]0;pwned\x07^JNext\t")));
}

QTEST_GUILESS_MAIN(TestReportCommands)
#include "tst_reportcommands.moc"
