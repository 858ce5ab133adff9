// The run history: rows from run folders, deletion (links removed as links),
// the history view model's background scan, and the report manager.
#include "reporttestsupport.h"

#include "reports/historyviewmodel.h"
#include "reports/reporthistorystore.h"
#include "reports/reportmanager.h"
#include "settings/appevents.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ReportTestSupport;

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
        writeAll(run, "not a folder");
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
    if (setup != QLatin1String("no-json"))
        writeAll(
            report + QStringLiteral("/report.json"), setup == QLatin1String("bad-json") ? R"({"status":1})" : kPassingReport);
    if (setup == QLatin1String("no-end"))
        writeAll(report + QStringLiteral("/report.json"),
            R"({"status":"failed","startTime":"2026-12-06T09:36:40Z","flows":[{"name":"F"}]})");
    if (setup == QLatin1String("odd-status"))
        writeAll(report + QStringLiteral("/report.json"), R"({"status":"running","flows":[]})");
    writeAll(report + QStringLiteral("/report.html"), "<html></html>");
    if (setup == QLatin1String("custom"))
        writeAll(report + QStringLiteral("/report-custom.html"), "<html></html>");
    if (setup == QLatin1String("details"))
        writeAll(report + QStringLiteral("/flows/flow-000.json"),
            R"({"commands":[{"status":"passed"},{"status":"passed","subCommands":[{"status":"failed"},{"status":"skipped","subCommands":[{"status":"passed"}]}]}]})");
    if (setup == QLatin1String("outside-details")) {
        // report.json names a detail file outside the report folder.
        writeAll(report + QStringLiteral("/report.json"),
            QByteArray(kPassingReport).replace("flows/flow-000.json", "../../outside.json"));
        writeAll(root + QStringLiteral("/outside.json"), R"({"commands":[{"status":"failed"}]})");
    }
    if (setup == QLatin1String("bad-details"))
        writeAll(report + QStringLiteral("/flows/flow-000.json"), R"({"commands":[{"status":2}]})");
}

QString describe(const TestReport &row, const QString &root)
{
    const auto text = [](const std::optional<QString> &v) { return v ? *v : QStringLiteral("-"); };
    const auto number = [](const std::optional<qint64> &v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    return QStringList { row.environment, row.timestamp.toString(QStringLiteral("yyyyMMdd_HHmmss")), testStatusName(row.status),
        text(row.yamlName), number(row.durationSeconds), text(row.deviceName),
        number(row.passedCommands) + QLatin1Char('/') + number(row.totalCommands),
        row.reportHtmlUrl ? QDir(root).relativeFilePath(row.reportHtmlUrl->toLocalFile()) : QStringLiteral("-") }
        .join(QLatin1Char('|'));
}

} // namespace

class TestReportHistory final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void rows_data();
    void rows();
    void rowsAreNewestFirst();
    void missingDirectoryGivesNoRows();
    void reportJsonThatIsAPipeDoesNotStopTheScan();
    void deleteVanishedAlongsidePresent();
    void deleteLinkRemovesOnlyTheLink();
    void deleteNothingPostsNothing();
    void viewModelLoadsOnWorker();
    void viewModelDeleteReloads();
    void viewModelOpensOnlyRowsWithPage();
    void managerGeneratesAndCompletesOnMainThread();
    void managerGoneDropsCompletion();
    void viewModelGoneDuringScan();
    void viewModelPublishesNewestScan_data();
    void viewModelPublishesNewestScan();
    void managerOpenReport_data();
    void managerOpenReport();
};

void TestReportHistory::rows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected"); // "" when the folder is not listed

    const QString run = QStringLiteral("2026-12-06_09-36-40/");
    QTest::newRow("passing run beside sandbox")
        << "SIT_20261206_093644"
        << "plain"
        << "SIT|20261206_093644|passed|Login|14|iPhone de QA|9/9|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("custom page preferred") << "UAT_20261206_093644"
                                           << "custom"
                                           << "UAT|20261206_093644|passed|Login|14|iPhone de QA|9/9|UAT_20261206_093644/" + run
            + "report-custom.html";
    QTest::newRow("detail file counts every depth")
        << "SIT_20261206_093644"
        << "details"
        << "SIT|20261206_093644|passed|Login|14|iPhone de QA|3/4|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("detail file outside the report is not read")
        << "SIT_20261206_093644"
        << "outside-details"
        << "SIT|20261206_093644|passed|Login|14|iPhone de QA|9/9|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("undecodable detail file keeps summary counts")
        << "SIT_20261206_093644"
        << "bad-details"
        << "SIT|20261206_093644|passed|Login|14|iPhone de QA|9/9|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("start without end") << "PREPROD_20261206_093644"
                                       << "no-end"
                                       << "PREPROD|20261206_093644|failed|F|-|-|-/-|PREPROD_20261206_093644/" + run
            + "report.html";
    QTest::newRow("other status word") << "SIT_20261206_093644"
                                       << "odd-status"
                                       << "SIT|20261206_093644|unknown|-|-|-|-/-|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("only sandbox") << "SIT_20261206_093644"
                                  << "sandbox-only"
                                  << "SIT|20261206_093644|unknown|-|-|-|-/-|-";
    QTest::newRow("no report.json") << "SIT_20261206_093644"
                                    << "no-json"
                                    << "SIT|20261206_093644|unknown|-|-|-|-/-|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("undecodable report.json")
        << "SIT_20261206_093644"
        << "bad-json"
        << "SIT|20261206_093644|unknown|-|-|-|-/-|SIT_20261206_093644/" + run + "report.html";
    QTest::newRow("leading underscore") << "_CUSTOM_20261206_093644"
                                        << "sandbox-only"
                                        << "CUSTOM|20261206_093644|unknown|-|-|-|-/-|-";
    QTest::newRow("hyphenated date") << "SIT_2026-12-06_09-36-44"
                                     << "plain"
                                     << "";
    QTest::newRow("environment with an underscore") << "MY_ENV_20261206_093644"
                                                    << "plain"
                                                    << "";
    QTest::newRow("double underscore") << "SIT__20261206_093644"
                                       << "plain"
                                       << "";
    QTest::newRow("no time") << "SIT"
                             << "plain"
                             << "";
    QTest::newRow("trailing underscore") << "SIT_"
                                         << "plain"
                                         << "";
    QTest::newRow("extra piece after the time") << "SIT_20261206_093644_2"
                                                << "plain"
                                                << "";
    QTest::newRow("a file, not a folder") << "SIT_20261206_093644"
                                          << "file"
                                          << "";
    QTest::newRow("hidden folder") << ".SIT_20261206_093644"
                                   << "plain"
                                   << "";
    QTest::newRow("dangling link") << "SIT_20261206_093644"
                                   << "dangling-link"
                                   << "";
    QTest::newRow("dangling link beside sandbox") << "SIT_20261206_093644"
                                                  << "dangling-report-link"
                                                  << "SIT|20261206_093644|unknown|-|-|-|-/-|-";
}

void TestReportHistory::rows()
{
    QFETCH(QString, name);
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    makeRun(dir.path(), name, setup);
    const TestReportList rows = ReportHistoryStore::scanReportFolders(dir.path());
    if (expected.isEmpty()) {
        QVERIFY(rows.isEmpty());
        return;
    }
    QCOMPARE(rows.size(), 1);
    QCOMPARE(describe(rows.first(), dir.path()), expected);
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
}

void TestReportHistory::missingDirectoryGivesNoRows()
{
    QTemporaryDir dir;
    QVERIFY(ReportHistoryStore::scanReportFolders(dir.filePath(QStringLiteral("nope"))).isEmpty());
}

void TestReportHistory::reportJsonThatIsAPipeDoesNotStopTheScan()
{
    // An unpacked archive can hold a named pipe where report.json should be;
    // reading it would wait for a writer that never comes.
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), QStringLiteral("no-json"));
    const QByteArray pipe
        = QFile::encodeName(dir.filePath(QStringLiteral("SIT_20261206_093644/2026-12-06_09-36-40/report.json")));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);

    TestReportList rows;
    const bool finished = finishesBesidePipe(pipe, [&] { rows = ReportHistoryStore::scanReportFolders(dir.path()); });
    QVERIFY2(finished, "the scan waited on a named pipe");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().status, TestStatus::Unknown);
}

void TestReportHistory::deleteVanishedAlongsidePresent()
{
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), QStringLiteral("plain"));
    QSignalSpy deleted(AppEvents::instance(), &AppEvents::reportsDeleted);
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
    QVERIFY(writeAll(dir.filePath(QStringLiteral("keep/precious.txt")), "keep"));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("keep")), dir.filePath(QStringLiteral("output/UAT_20261206_093644/keep-link"))));

    const TestReportList rows = ReportHistoryStore::scanReportFolders(dir.filePath(QStringLiteral("output")));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(ReportHistoryStore::deleteReports({ rows[0].id, rows[1].id }), 2);

    QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link));
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/2026-12-06_09-36-40/report.json")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("output/UAT_20261206_093644"))));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("keep/precious.txt"))), QByteArray("keep"));
}

void TestReportHistory::deleteNothingPostsNothing()
{
    QTemporaryDir dir;
    QSignalSpy deleted(AppEvents::instance(), &AppEvents::reportsDeleted);
    QCOMPARE(ReportHistoryStore::deleteReports({ dir.filePath(QStringLiteral("gone")) }), 0);
    QCOMPARE(ReportHistoryStore::deleteReports({}), 0);
    QCOMPARE(deleted.count(), 0);
}

void TestReportHistory::viewModelLoadsOnWorker()
{
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), QStringLiteral("plain"));
    const QString path = dir.path();
    HistoryViewModel model([path] { return path; });
    QSignalSpy reports(&model, &HistoryViewModel::reportsChanged);
    QSignalSpy refreshing(&model, &HistoryViewModel::isRefreshingChanged);
    model.loadReports();
    QVERIFY(model.isRefreshing());
    QCOMPARE(refreshing.count(), 1);
    QVERIFY(model.reports().isEmpty()); // published later, on the main thread
    QVERIFY(reports.wait(5000));
    QCOMPARE(model.reports().size(), 1);
    QVERIFY(!model.isRefreshing());
    QCOMPARE(refreshing.count(), 2);
    // The worker drops its copy of the path after posting the rows: let it,
    // before the folder (and the path's last reference) goes.
    QThreadPool::globalInstance()->waitForDone();
}

void TestReportHistory::viewModelDeleteReloads()
{
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), QStringLiteral("plain"));
    makeRun(dir.path(), QStringLiteral("UAT_20261206_093644"), QStringLiteral("plain"));
    const QString path = dir.path();
    HistoryViewModel model([path] { return path; });
    QSignalSpy reports(&model, &HistoryViewModel::reportsChanged);
    model.loadReports();
    QVERIFY(reports.wait(5000));
    QCOMPARE(model.reports().size(), 2);
    model.deleteReports({ model.reports().first().id });
    QVERIFY(model.isRefreshing());
    QVERIFY(reports.wait(5000));
    QCOMPARE(model.reports().size(), 1);
    // A deletion that removes nothing does not reload.
    model.deleteReports({ dir.filePath(QStringLiteral("gone")) });
    QVERIFY(!model.isRefreshing());
    QThreadPool::globalInstance()->waitForDone();
}

void TestReportHistory::viewModelOpensOnlyRowsWithPage()
{
    HistoryViewModel model([] { return QString(); });
    QList<QUrl> opened;
    model.setUrlOpener([&opened](const QUrl &url) { opened.append(url); });
    TestReport row;
    model.openReportInBrowser(row);
    QVERIFY(opened.isEmpty());
    row.reportHtmlUrl = QUrl::fromLocalFile(QStringLiteral("/tmp/x/report.html"));
    model.openReportInBrowser(row);
    QCOMPARE(opened, QList<QUrl> { *row.reportHtmlUrl });
}

void TestReportHistory::managerGeneratesAndCompletesOnMainThread()
{
    QTemporaryDir dir;
    const QString run = copyBasicRun(dir.path());
    ReportManager manager;
    int calls = 0;
    bool onMainThread = false;
    bool result = false;
    manager.generateReport(run, std::nullopt, [&](bool ok, const QString &) {
        ++calls;
        result = ok;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    QCOMPARE(calls, 0); // never synchronously
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
    QVERIFY(result);
    QVERIFY(onMainThread);
    QVERIFY(QFileInfo::exists(basicReportFolder(run) + QStringLiteral("/report-custom.html")));
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
    QCoreApplication::processEvents();
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

void TestReportHistory::managerOpenReport_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("opened"); // relative to the run folder, "-" for none
    QTest::addColumn<bool>("revealed");
    QTest::newRow("custom page") << "custom"
                                 << "2026-12-06_09-36-40/report-custom.html" << false;
    QTest::newRow("runner page") << "plain"
                                 << "2026-12-06_09-36-40/report.html" << false;
    QTest::newRow("only sandbox reveals the folder") << "sandbox-only"
                                                     << "-" << true;
}

void TestReportHistory::managerOpenReport()
{
    QFETCH(QString, setup);
    QFETCH(QString, opened);
    QFETCH(bool, revealed);
    QTemporaryDir dir;
    makeRun(dir.path(), QStringLiteral("SIT_20261206_093644"), setup);
    const QString run = dir.filePath(QStringLiteral("SIT_20261206_093644"));
    ReportManager manager;
    QList<QUrl> files;
    QList<QUrl> folders;
    manager.setOpeners([&files](const QUrl &url) { files.append(url); }, [&folders](const QUrl &url) { folders.append(url); });
    manager.openReport(run);
    if (opened == QLatin1String("-"))
        QVERIFY(files.isEmpty());
    else
        QCOMPARE(files, QList<QUrl> { QUrl::fromLocalFile(run + QLatin1Char('/') + opened) });
    QCOMPARE(folders, revealed ? QList<QUrl> { QUrl::fromLocalFile(run) } : QList<QUrl> {});
}

QTEST_GUILESS_MAIN(TestReportHistory)
#include "tst_reporthistory.moc"
