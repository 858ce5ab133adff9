#include "reportmanager.h"

#include "process/poolwork.h"
#include "reportgenerator.h"
#include "reporthistorystore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

ReportManager::ReportManager(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
    m_pool.setThreadPriority(QThread::LowPriority);
}

ReportManager::~ReportManager()
{
    m_pool.waitForDone();
}

void ReportManager::setOpeners(UrlOpener openFile, UrlOpener revealFolder)
{
    m_openFile = std::move(openFile);
    m_revealFolder = std::move(revealFolder);
}

void ReportManager::setCustomReportOptions(const CustomReportOptions &options)
{
    m_customReportOptions = options;
}

void ReportManager::generateReport(
    const QString &runFolderPath, const std::optional<QDateTime> &testStartTime, Completion completion)
{
    const QString folder = QFileInfo(runFolderPath).absoluteFilePath();
    const CustomReportOptions options = m_customReportOptions;
    QPointer<ReportManager> self(this);
    PoolWork::start(m_pool, [self, folder, testStartTime, options, completion = std::move(completion)]() mutable {
        QString reason;
        const bool generated = ReportGenerator(options).generate(folder, testStartTime, &reason);
        // Delivered on the main thread, and dropped if the manager is gone
        // (the pointer is only read there).
        PoolWork::post(QCoreApplication::instance(), [self, generated, reason, completion = std::move(completion)] {
            if (self && completion)
                completion(generated, reason);
        });
    });
}

void ReportManager::openReport(const QString &runFolderPath)
{
    if (const std::optional<QString> page = ReportHistoryStore::reportPageOf(runFolderPath)) {
        if (m_openFile)
            m_openFile(QUrl::fromLocalFile(*page));
        return;
    }
    if (m_revealFolder)
        m_revealFolder(QUrl::fromLocalFile(runFolderPath));
}
