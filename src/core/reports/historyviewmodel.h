#pragma once

#include "testreport.h"

#include <QObject>
#include <QSet>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

// The state behind the history screen: the rows of the last scan and whether
// a scan runs. Scans run on a worker; rows are published on the main thread,
// where this object lives (owned by the history view). Overlapping scans are
// allowed; only the rows of the newest started scan are published, so a scan
// that began before a deletion and ends after it cannot bring the deleted
// runs back.
class HistoryViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryViewModel)
    Q_PROPERTY(TestReportList reports READ reports NOTIFY reportsChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)

public:
    using DirectoryProvider = std::function<QString()>;
    using UrlOpener = std::function<void(const QUrl &)>;
    // Reads the rows of an output directory; runs on a worker.
    using Scanner = std::function<TestReportList(const QString &)>;

    // `outputDirectory` gives the expanded reports output directory; by
    // default the setting (or its default).
    explicit HistoryViewModel(DirectoryProvider outputDirectory = {}, QObject *parent = nullptr);
    ~HistoryViewModel() override;

    const TestReportList &reports() const { return m_reports; }
    bool isRefreshing() const { return m_isRefreshing; }

    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    // Replaces the folder scan (tests); set before the first load.
    void setScanner(Scanner scanner) { m_scan = std::move(scanner); }

public Q_SLOTS:
    void loadReports();
    // Removes those run folders; reloads when at least one went.
    void deleteReports(const QSet<QString> &ids);
    // Opens the row's page; nothing when it has none.
    void openReportInBrowser(const TestReport &row);

Q_SIGNALS:
    void reportsChanged();
    void isRefreshingChanged();

private:
    void publish(quint64 generation, TestReportList rows);

    DirectoryProvider m_outputDirectory;
    UrlOpener m_openUrl;
    Scanner m_scan;
    TestReportList m_reports;
    bool m_isRefreshing = false;
    // Counts started scans; a scan publishes only while it is the latest.
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
};
