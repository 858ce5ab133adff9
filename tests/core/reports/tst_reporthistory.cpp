// The run history: rows from run folders (odd names, pipes, links, files
// outside the report), deletion (links removed as links), the history view
// model's background scan, the report manager, and the history table's
// rules: what each cell says in which colour role, sorting by raw values, the
// filter, merging a rescan by run id and the selection a deletion leaves.
#include "reporttestsupport.h"

#include "reports/historycells.h"
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"
#include "reports/historyviewmodel.h"
#include "reports/reporthistorystore.h"
#include "reports/reportmanager.h"
#include "settings/appevents.h"

#include <QAbstractItemModelTester>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

using namespace ReportTestSupport;
using HistoryCells::ColourRole;
using HistoryCells::Column;

namespace {

const QByteArray kPassingReport
    = R"({"status":"passed","startTime":"2026-12-06T09:36:40+01:00","endTime":"2026-12-06T09:36:54.9+01:00",)"
      R"("device":{"name":"iPhone de QA"},"flows":[{"name":"Login","dataFile":"flows/flow-000.json","commands":{"total":9,"passed":9}}]})";

// Builds one run folder from a setup word; see rows() for the words.
void makeRun(const QString &root, const QString &name, const QString &setup)
{
    const QString run = root + QLatin1Char('/') + name;
    const QString report = run + QStringLiteral("/2026-12-06_09-36-40");
    QDir().mkpath(run + QStringLiteral("/sandbox/flows"));
    if (setup == QLatin1String("file")) {
        QDir(run).removeRecursively();
        writeFile(run, "not a folder");
        return;
    }
    if (setup == QLatin1String("sandbox-only"))
        return;
    if (setup == QLatin1String("dangling-link")) {
        QDir(run).removeRecursively();
        QFile::link(root + QStringLiteral("/gone"), run);
        return;
    }
    if (setup == QLatin1String("dangling-report-link")) {
        QFile::link(root + QStringLiteral("/gone"), run + QStringLiteral("/0-report"));
        return;
    }
    if (setup != QLatin1String("no-json") && setup != QLatin1String("pipe-json"))
        writeFile(
            report + QStringLiteral("/report.json"), setup == QLatin1String("bad-json") ? R"({"status":1})" : kPassingReport);
    if (setup == QLatin1String("no-end"))
        writeFile(report + QStringLiteral("/report.json"),
            R"({"status":"failed","startTime":"2026-12-06T09:36:40Z","flows":[{"name":"F"}]})");
    if (setup == QLatin1String("odd-status"))
        writeFile(report + QStringLiteral("/report.json"), R"({"status":"running","flows":[]})");
    writeFile(report + QStringLiteral("/report.html"), "<html></html>");
    if (setup == QLatin1String("custom"))
        writeFile(report + QStringLiteral("/report-custom.html"), "<html></html>");
    if (setup == QLatin1String("details"))
        writeFile(report + QStringLiteral("/flows/flow-000.json"),
            R"({"commands":[{"status":"passed"},{"status":"passed","subCommands":[{"status":"failed"},{"status":"skipped","subCommands":[{"status":"passed"}]}]}]})");
    if (setup == QLatin1String("outside-details")) {
        // report.json names a detail file outside the report folder.
        writeFile(report + QStringLiteral("/report.json"),
            QByteArray(kPassingReport).replace("flows/flow-000.json", "../../outside.json"));
        writeFile(root + QStringLiteral("/outside.json"), R"({"commands":[{"status":"failed"}]})");
    }
    if (setup == QLatin1String("bad-details"))
        writeFile(report + QStringLiteral("/flows/flow-000.json"), R"({"commands":[{"status":2}]})");
    if (setup == QLatin1String("pipe-json"))
        makeFifo(report + QStringLiteral("/report.json"));
}

// The row as text; the page relative to the run's report folder.
QString describe(const TestReport &row, const QString &report)
{
    const auto text = [](const std::optional<QString> &v) { return v ? *v : QStringLiteral("-"); };
    const auto number = [](const std::optional<qint64> &v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    return QStringList { row.environment, row.timestamp.toString(QStringLiteral("yyyyMMdd_HHmmss")), testStatusName(row.status),
        text(row.yamlName), number(row.durationSeconds), text(row.deviceName),
        number(row.passedCommands) + QLatin1Char('/') + number(row.totalCommands),
        row.reportHtmlUrl ? QDir(report).relativeFilePath(row.reportHtmlUrl->toLocalFile()) : QStringLiteral("-") }
        .join(QLatin1Char('|'));
}

// A table row from "ENV_yyyyMMdd_HHmmss|flow|seconds|device|passed/total",
// "-" for an absent value.
TestReport reportRow(const QString &line)
{
    const QStringList f = line.split(u'|');
    TestReport r;
    const QString name = f.value(0);
    r.id = QStringLiteral("/runs/") + name;
    r.environment = name.section(u'_', 0, 0);
    r.timestamp = QDateTime::fromString(name.section(u'_', 1), QStringLiteral("yyyyMMdd_HHmmss"));
    const auto text = [](const QString &v) { return v == u"-" ? std::nullopt : std::optional<QString>(v); };
    const auto number = [](const QString &v) { return v == u"-" ? std::nullopt : std::optional<qint64>(v.toLongLong()); };
    r.yamlName = text(f.value(1, QStringLiteral("-")));
    r.durationSeconds = number(f.value(2, QStringLiteral("-")));
    r.deviceName = text(f.value(3, QStringLiteral("-")));
    const QString steps = f.value(4, QStringLiteral("-/-"));
    r.passedCommands = number(steps.section(u'/', 0, 0));
    r.totalCommands = number(steps.section(u'/', 1, 1));
    r.evidenceDirUrl = QUrl::fromLocalFile(r.id);
    r.status = r.passedCommands && r.passedCommands == r.totalCommands ? TestStatus::Passed : TestStatus::Unknown;
    return r;
}

TestReportList reportRows(const QStringList &lines)
{
    TestReportList list;
    for (const QString &line : lines)
        list.append(reportRow(line));
    return list;
}

QStringList idsOf(const QAbstractItemModel &model)
{
    QStringList ids;
    for (int i = 0; i < model.rowCount(); ++i)
        ids.append(model.index(i, 0).data(HistoryTableModel::IdRole).toString().section(u'/', -1));
    return ids;
}

QSet<QString> set(const QString &words)
{
    const QStringList list = words.split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

Q_DECLARE_METATYPE(Column)
Q_DECLARE_METATYPE(ColourRole)

class TestReportHistory final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useUtc();
        // The C locale's short time has seconds, which the history leaves out.
        QLocale::setDefault(QLocale::c());
    }

private Q_SLOTS:
    void rows_data();
    void rows();
    void rowsAreNewestFirst();
    void deleteCountsWhatWentAndPostsOnce();
    void deleteLinkRemovesOnlyTheLink();
    void managerReportsOutcomeOnMainThread_data();
    void managerReportsOutcomeOnMainThread();
    void managerGoneDropsCompletion();
    void viewModelGoneDuringScan();
    void viewModelPublishesNewestScan_data();
    void viewModelPublishesNewestScan();
    void cells_data();
    void cells();
    void sorting_data();
    void sorting();
    void filter_data();
    void filter();
    void rescanMerges_data();
    void rescanMerges();
    void selectionAfterDelete_data();
    void selectionAfterDelete();
};

void TestReportHistory::rows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected"); // "" when the folder is not listed

    const QString sit = QStringLiteral("SIT_20261206_093644");
    const auto row = [](const char *env, const char *rest, const char *page) -> QString {
        return QLatin1String(env) + QLatin1String("|20261206_093644|") + QLatin1String(rest) + u'|' + QLatin1String(page);
    };
    const char *passed = "passed|Login|14|iPhone de QA|9/9";
    const char *unknown = "unknown|-|-|-|-/-";
    QTest::newRow("passing run beside sandbox") << sit << "plain" << row("SIT", passed, "report.html");
    QTest::newRow("custom page preferred") << QStringLiteral("UAT_20261206_093644") << "custom"
                                           << row("UAT", passed, "report-custom.html");
    QTest::newRow("detail file counts every depth")
        << sit << "details" << row("SIT", "passed|Login|14|iPhone de QA|3/4", "report.html");
    QTest::newRow("detail file outside the report is not read") << sit << "outside-details" << row("SIT", passed, "report.html");
    QTest::newRow("undecodable detail file keeps summary counts") << sit << "bad-details" << row("SIT", passed, "report.html");
    QTest::newRow("start without end") << QStringLiteral("PREPROD_20261206_093644") << "no-end"
                                       << row("PREPROD", "failed|F|-|-|-/-", "report.html");
    QTest::newRow("other status word") << sit << "odd-status" << row("SIT", unknown, "report.html");
    QTest::newRow("only sandbox") << sit << "sandbox-only" << row("SIT", unknown, "-");
    QTest::newRow("no report.json") << sit << "no-json" << row("SIT", unknown, "report.html");
    QTest::newRow("report.json is a named pipe") << sit << "pipe-json" << row("SIT", unknown, "report.html");
    QTest::newRow("undecodable report.json") << sit << "bad-json" << row("SIT", unknown, "report.html");
    QTest::newRow("leading underscore") << QStringLiteral("_CUSTOM_20261206_093644") << "sandbox-only"
                                        << row("CUSTOM", unknown, "-");
    QTest::newRow("dangling link beside sandbox") << sit << "dangling-report-link" << row("SIT", unknown, "-");
    QTest::newRow("a file, not a folder") << sit << "file" << QString();
    QTest::newRow("dangling link") << sit << "dangling-link" << QString();
    const char *unlisted[][2]
        = { { "hyphenated date", "SIT_2026-12-06_09-36-44" }, { "environment with an underscore", "MY_ENV_20261206_093644" },
              { "no time", "SIT" }, { "trailing underscore", "SIT_" }, { "no such month", "SIT_20261306_093644" },
              { "letters in the date", "SIT_2026120a_093644" }, { "time too short", "SIT_20261206_0936" },
              { "extra piece after the time", "SIT_20261206_093644_2" }, { "hidden folder", ".SIT_20261206_093644" } };
    for (const auto &[label, name] : unlisted)
        QTest::newRow(label) << QString::fromLatin1(name) << "plain" << QString();
}

void TestReportHistory::rows()
{
    QFETCH(QString, name);
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    makeRun(dir.path(), name, setup);
    // Reading a named pipe would wait for a writer that never comes.
    TestReportList rows;
    QVERIFY2(finishesBesidePipe(dir.filePath(name + QStringLiteral("/2026-12-06_09-36-40/report.json")),
                 [&] { rows = ReportHistoryStore::scanReportFolders(dir.path()); }),
        "the scan waited on a named pipe");
    if (expected.isEmpty()) {
        QVERIFY(rows.isEmpty());
        return;
    }
    QCOMPARE(rows.size(), 1);
    QCOMPARE(describe(rows.first(), dir.filePath(name + QStringLiteral("/2026-12-06_09-36-40"))), expected);
    QCOMPARE(rows.first().id, dir.filePath(name));
    QCOMPARE(rows.first().evidenceDirUrl, QUrl::fromLocalFile(dir.filePath(name)));
}

void TestReportHistory::rowsAreNewestFirst()
{
    QTemporaryDir dir;
    for (const char *name : { "UAT_20261205_235959", "SIT_20261206_000000", "PREPROD_20251231_120000", "SIT_20261206_093644" })
        makeRun(dir.path(), QLatin1String(name), QStringLiteral("sandbox-only"));
    QStringList order;
    for (const TestReport &row : ReportHistoryStore::scanReportFolders(dir.path()))
        order.append(QFileInfo(row.id).fileName());
    QCOMPARE(
        order, (QStringList { "SIT_20261206_093644", "SIT_20261206_000000", "UAT_20261205_235959", "PREPROD_20251231_120000" }));
    QVERIFY(ReportHistoryStore::scanReportFolders(dir.filePath(QStringLiteral("nope"))).isEmpty());
}

void TestReportHistory::deleteCountsWhatWentAndPostsOnce()
{
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), QStringLiteral("plain"));
    QSignalSpy deleted(AppEvents::instance(), &AppEvents::reportsDeleted);
    QCOMPARE(ReportHistoryStore::deleteReports({ dir.filePath(QStringLiteral("gone")) }), 0);
    QCOMPARE(deleted.count(), 0);
    const int removed = ReportHistoryStore::deleteReports(
        { dir.filePath(QStringLiteral("SIT_20261206_093644")), dir.filePath(QStringLiteral("UAT_20261206_093644")) });
    QCOMPARE(removed, 1);
    QCOMPARE(deleted.count(), 1);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("SIT_20261206_093644"))));
}

void TestReportHistory::deleteLinkRemovesOnlyTheLink()
{
    QTemporaryDir dir;
    // The real run lives elsewhere; the output directory holds a link to it.
    makeRun(dir.path(), QStringLiteral("elsewhere/SIT_20261206_093644"), QStringLiteral("plain"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("output"))));
    const QString target = dir.filePath(QStringLiteral("elsewhere/SIT_20261206_093644"));
    const QString link = dir.filePath(QStringLiteral("output/SIT_20261206_093644"));
    QVERIFY(QFile::link(target, link));
    // And a run folder whose content links out of it.
    makeRun(dir.path(), QStringLiteral("output/UAT_20261206_093644"), QStringLiteral("plain"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("keep/precious.txt")), "keep"));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("keep")), dir.filePath(QStringLiteral("output/UAT_20261206_093644/keep-link"))));

    const TestReportList rows = ReportHistoryStore::scanReportFolders(dir.filePath(QStringLiteral("output")));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(ReportHistoryStore::deleteReports({ rows[0].id, rows[1].id }), 2);

    QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link));
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/2026-12-06_09-36-40/report.json")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("output/UAT_20261206_093644"))));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("keep/precious.txt"))), QByteArray("keep"));
}

void TestReportHistory::managerReportsOutcomeOnMainThread_data()
{
    QTest::addColumn<bool>("sample"); // the sample run, else an empty folder
    QTest::newRow("sample run: generated") << true;
    QTest::newRow("folder without reports: a failure with its reason") << false;
}

void TestReportHistory::managerReportsOutcomeOnMainThread()
{
    QFETCH(bool, sample);
    QTemporaryDir dir;
    const QString run = sample ? copyBasicRun(dir.path()) : dir.path();
    ReportManager manager;
    int calls = 0;
    bool onMainThread = false;
    bool result = !sample;
    QString reason;
    manager.generateReport(run, std::nullopt, [&](bool ok, const QString &why) {
        ++calls;
        result = ok;
        reason = why;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    QCOMPARE(calls, 0); // never synchronously
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
    QCOMPARE(result, sample);
    QCOMPARE(reason.isEmpty(), sample);
    QVERIFY(onMainThread);
    QCOMPARE(QFileInfo::exists(basicReportFolder(run) + QStringLiteral("/report-custom.html")), sample);
    // Opening the run shows its custom page, or the folder when it has no page.
    QList<QUrl> opened;
    manager.setOpeners([&](const QUrl &url) { opened << url; }, [&](const QUrl &url) { opened << url; });
    manager.openReport(run);
    QCOMPARE(opened, QList<QUrl> { QUrl::fromLocalFile(sample ? basicReportFolder(run) + "/report-custom.html" : run) });
}

void TestReportHistory::managerGoneDropsCompletion()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    int calls = 0;
    {
        ReportManager manager;
        manager.generateReport(run, std::nullopt, [&calls](bool, const QString &) { ++calls; });
    } // waits for the work, which still finishes
    QTest::qWait(50);
    QCOMPARE(calls, 0);
    QVERIFY(QFileInfo::exists(basicReportFolder(run) + QStringLiteral("/report-custom.html")));
}

void TestReportHistory::viewModelGoneDuringScan()
{
    QTemporaryDir dir;
    for (int i = 0; i < 20; ++i)
        makeRun(dir.path(), QStringLiteral("SIT_20261206_0936%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("plain"));
    const QString path = dir.path();
    auto *model = new HistoryViewModel([path] { return path; });
    model->loadReports();
    delete model;
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    // The queued result must find no model: under the sanitizers any touch
    // of the deleted one fails this test.
}

void TestReportHistory::viewModelPublishesNewestScan_data()
{
    QTest::addColumn<bool>("olderFinishesLast");
    // A scan started before a deletion that ends after the rescan must not
    // bring the deleted run back.
    QTest::newRow("older scan finishes after the newer one") << true;
    QTest::newRow("scans finish in the order they started") << false;
}

void TestReportHistory::viewModelPublishesNewestScan()
{
    QFETCH(bool, olderFinishesLast);
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(qMax(2, pool->maxThreadCount()));
    auto gate = std::make_shared<QSemaphore>(0);
    auto calls = std::make_shared<std::atomic<int>>(0);
    const auto runRow = [](const char *name) {
        TestReport row;
        row.id = QStringLiteral("/reports/") + QLatin1String(name);
        return row;
    };
    const TestReportList stale { runRow("SIT_20261206_100000"), runRow("UAT_20261206_090000") };
    const TestReportList fresh { runRow("UAT_20261206_090000") };
    HistoryViewModel model([] { return QStringLiteral("/reports"); });
    model.setScanner([gate, calls, stale, fresh](const QString &) {
        if (calls->fetch_add(1) == 0) {
            gate->acquire(); // the first scan is slow
            return stale;
        }
        return fresh;
    });
    QSignalSpy published(&model, &HistoryViewModel::reportsChanged);
    model.loadReports();
    QTRY_COMPARE(calls->load(), 1);
    if (olderFinishesLast) {
        model.loadReports();
        QVERIFY(published.wait(5000));
        gate->release();
    } else {
        gate->release();
        QVERIFY(published.wait(5000));
        model.loadReports();
        QVERIFY(published.wait(5000));
    }
    pool->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(model.reports().size(), 1);
    QCOMPARE(model.reports().first().id, fresh.first().id);
    QVERIFY(!model.isRefreshing());
    QCOMPARE(published.count(), olderFinishesLast ? 1 : 2);
}

void TestReportHistory::cells_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Column>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ColourRole>("colour");

    const QString run = QStringLiteral("SIT_20261206_093644|");
    QTest::newRow("steps all passed: green") << run + "Login|14|Phone|9/9" << Column::Steps << "9/9" << ColourRole::Success;
    QTest::newRow("steps short by one: red") << run + "Login|14|Phone|8/9" << Column::Steps << "8/9" << ColourRole::Failure;
    QTest::newRow("steps none of none: plain") << run + "Login|14|Phone|0/0" << Column::Steps << "0/0" << ColourRole::Secondary;
    QTest::newRow("more passed than ran: plain") << run + "Login|14|Phone|5/4" << Column::Steps << "5/4" << ColourRole::Secondary;
    QTest::newRow("steps without passed count") << run + "Login|14|Phone|-/9" << Column::Steps << "-" << ColourRole::Secondary;
    QTest::newRow("no flow name") << run + "-|14|Phone|9/9" << Column::FlowName << "Unknown Flow" << ColourRole::Text;
    QTest::newRow("passed status") << run + "Login|14|Phone|9/9" << Column::Status << "Passed" << ColourRole::Success;
    QTest::newRow("unknown status") << run + "-|-|-|-/-" << Column::Status << "Unknown" << ColourRole::Warning;
    QTest::newRow("date in display form") << run + "Login|14|Phone|9/9" << Column::Date << "Dec 6, 2026, 09:36"
                                          << ColourRole::Secondary;
}

void TestReportHistory::cells()
{
    QFETCH(QString, line);
    QFETCH(Column, column);
    QFETCH(QString, text);
    QFETCH(ColourRole, colour);
    const TestReport report = reportRow(line);
    const HistoryCells::Cell cell = HistoryCells::cell(report, column);
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.colour, colour);
    QCOMPARE(HistoryCells::cellStyle(report, column).colour, colour);

    // The table shows the same.
    HistoryTableModel model;
    model.setReports({ report });
    const QModelIndex index = model.index(0, int(column));
    QCOMPARE(index.data(Qt::AccessibleTextRole).toString(), text);
    QCOMPARE(ColourRole(index.data(HistoryTableModel::ColourRole).toInt()), colour);
}

void TestReportHistory::sorting_data()
{
    QTest::addColumn<Column>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("expected");

    // As texts "100s" < "10s" < "9s" and "Dec …" < "Nov …"; as values not.
    const QStringList oldestFirst { "PREPROD_20261101_120000", "UAT_20261130_230000", "SIT_20261201_080000",
        "SIT_20261206_093644" };
    QTest::newRow("duration as numbers, absent first") << Column::Duration << Qt::AscendingOrder << oldestFirst;
    QTest::newRow("dates as dates") << Column::Date << Qt::AscendingOrder << oldestFirst;
    QTest::newRow("steps by share passed") << Column::Steps << Qt::AscendingOrder
                                           << QStringList { "PREPROD_20261101_120000", "SIT_20261206_093644",
                                                  "SIT_20261201_080000", "UAT_20261130_230000" };
}

void TestReportHistory::sorting()
{
    QFETCH(Column, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, expected);
    HistoryTableModel model;
    HistoryFilterModel view(&model);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setReports(reportRows({ "SIT_20261206_093644|Login|100|Phone|2/10", "SIT_20261201_080000|Pay|10|Phone|9/10",
        "UAT_20261130_230000|Cart|9|Pad|10/10", "PREPROD_20261101_120000|-|-|-|-/-" }));
    view.sort(int(column), order);
    QCOMPARE(idsOf(view), expected);
}

void TestReportHistory::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("flow name, any case") << "LOGIN" << QStringList { "SIT_20261206_093644" };
    QTest::newRow("blank shows all") << "  "
                                     << QStringList { "SIT_20261206_093644", "UAT_20261130_230000", "CUSTOM_20261101_120000" };
    QTest::newRow("absent fields never match the hyphen") << "-" << QStringList {};
    QTest::newRow("absent flow never matches its placeholder") << "unknown" << QStringList {};
}

void TestReportHistory::filter()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    HistoryTableModel model;
    HistoryFilterModel view(&model);
    model.setReports(reportRows({ "SIT_20261206_093644|Login|14|Phone|9/9", "UAT_20261130_230000|Cart|9|Pad|10/10",
        "CUSTOM_20261101_120000|-|-|-|-/-" }));
    view.setFilterText(text);
    QCOMPARE(idsOf(view), expected);
}

void TestReportHistory::rescanMerges_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    const QString a = QStringLiteral("SIT_20261206_100000|A|1|P|1/1");
    const QString b = QStringLiteral("SIT_20261206_090000|B|1|P|1/1");
    const QString c = QStringLiteral("SIT_20261206_080000|C|1|P|1/1");
    const QString d = QStringLiteral("SIT_20261206_070000|D|1|P|1/1");
    const QString n = QStringLiteral("SIT_20261206_110000|N|1|P|1/1");
    QTest::newRow("new run on top") << QStringList { a, b, c } << QStringList { n, a, b, c };
    QTest::newRow("one run deleted") << QStringList { a, b, c } << QStringList { a, c };
    QTest::newRow("equal times listed in another order") << QStringList { a, b, c } << QStringList { a, c, b };
    QTest::newRow("deleted and added") << QStringList { a, b, c, d } << QStringList { n, b, d };
    QTest::newRow("a row changed") << QStringList { a, b, c } << QStringList { a, QString(b).replace("1/1", "0/1"), c };
    QTest::newRow("all gone") << QStringList { a, b } << QStringList {};
}

void TestReportHistory::rescanMerges()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    HistoryTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setReports(reportRows(before));
    // Rows that stay keep their persistent index (the view's selection); a
    // reordered row may leave and come back.
    QHash<QString, QPersistentModelIndex> kept;
    for (int i = 0; i < model.rowCount(); ++i)
        kept.insert(model.report(i).id, QPersistentModelIndex(model.index(i, 1)));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const TestReportList next = reportRows(after);
    model.setReports(next);

    QStringList expected;
    int lost = 0;
    for (const TestReport &r : next) {
        expected.append(r.id.section(u'/', -1));
        QCOMPARE(model.index(model.rowOf(r.id), int(Column::Steps)).data().toString(), HistoryCells::cell(r, Column::Steps).text);
        if (kept.contains(r.id) && !kept.value(r.id).isValid())
            ++lost;
        else if (kept.contains(r.id))
            QCOMPARE(kept.value(r.id).data(HistoryTableModel::IdRole).toString(), r.id);
    }
    QCOMPARE(idsOf(model), expected);
    QVERIFY(lost <= 1);
    QCOMPARE(resets.count(), next.isEmpty() ? 1 : 0);
}

void TestReportHistory::selectionAfterDelete_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the three selected rows") << "a b c" << QStringLiteral("a b c") << QString();
    QTest::newRow("one selected row of three") << "a b c" << QStringLiteral("b") << "a c";
    QTest::newRow("an unselected row's trash button") << "a b" << QStringLiteral("c") << "a b";
    QTest::newRow("partly selected rows: selection stays") << "a b" << QStringLiteral("b c") << "a b";
    QTest::newRow("nothing selected") << QString() << QStringLiteral("a") << QString();
}

void TestReportHistory::selectionAfterDelete()
{
    QFETCH(QString, selection);
    QFETCH(QString, deleted);
    QFETCH(QString, expected);
    QCOMPARE(HistoryCells::selectionAfterDelete(set(selection), set(deleted)), set(expected));
}

QTEST_GUILESS_MAIN(TestReportHistory)
#include "tst_reporthistory.moc"
