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
// allowed and the last to finish wins.
class HistoryViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryViewModel)
    Q_PROPERTY(TestReportList reports READ reports NOTIFY reportsChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)

public:
    using DirectoryProvider = std::function<QString()>;
    using UrlOpener = std::function<void(const QUrl &)>;

    // `outputDirectory` gives the expanded reports output directory; by
    // default the setting (or its default).
    explicit HistoryViewModel(DirectoryProvider outputDirectory = {}, QObject *parent = nullptr);
    ~HistoryViewModel() override;

    const TestReportList &reports() const { return m_reports; }
    bool isRefreshing() const { return m_isRefreshing; }

    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

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
    void publish(TestReportList rows);

    DirectoryProvider m_outputDirectory;
    UrlOpener m_openUrl;
    TestReportList m_reports;
    bool m_isRefreshing = false;
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
};
