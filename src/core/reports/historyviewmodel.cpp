#include "historyviewmodel.h"

#include "process/poolwork.h"
#include "reporthistorystore.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

HistoryViewModel::HistoryViewModel(DirectoryProvider outputDirectory, QObject *parent)
    : QObject(parent)
    , m_outputDirectory(std::move(outputDirectory))
{
    if (!m_outputDirectory) {
        m_outputDirectory = [] { return SettingsStore::expandTilde(SettingsStore().reportsOutputDirectory()); };
    }
    m_scan = ReportHistoryStore::scanReportFolders;
}

void HistoryViewModel::loadReports()
{
    if (!m_isRefreshing) {
        m_isRefreshing = true;
        Q_EMIT isRefreshingChanged();
    }
    // Read on the main thread; the worker gets a copy.
    const QString directory = m_outputDirectory();
    const quint64 generation = ++m_generation;
    QPointer<HistoryViewModel> self(this);
    std::shared_ptr<std::atomic<bool>> alive = m_alive;
    PoolWork::start(*QThreadPool::globalInstance(),
        [self, alive, directory, generation, scan = m_scan] {
            if (!alive->load())
                return;
            TestReportList rows = scan(directory);
            // The pointer is only read on the main thread, where the model lives.
            PoolWork::post(QCoreApplication::instance(), [self, generation, rows = std::move(rows)]() mutable {
                if (self)
                    self->publish(generation, std::move(rows));
            });
        },
        QThread::HighPriority);
}

HistoryViewModel::~HistoryViewModel()
{
    m_alive->store(false);
}

void HistoryViewModel::publish(quint64 generation, TestReportList rows)
{
    // A newer scan started after this one: its rows may predate a deletion.
    if (generation != m_generation)
        return;
    m_reports = std::move(rows);
    Q_EMIT reportsChanged();
    if (m_isRefreshing) {
        m_isRefreshing = false;
        Q_EMIT isRefreshingChanged();
    }
}

void HistoryViewModel::deleteReports(const QSet<QString> &ids)
{
    if (ReportHistoryStore::deleteReports(ids) > 0)
        loadReports();
}

void HistoryViewModel::openReportInBrowser(const TestReport &row)
{
    if (row.reportHtmlUrl && m_openUrl)
        m_openUrl(*row.reportHtmlUrl);
}
