#pragma once

#include "customreportbuilder.h"
#include "reportmanaging.h"

#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <functional>

// The one ReportManaging service: hands run folders to a ReportGenerator on a
// low-priority worker and opens a run's best page. Owned by the run
// controller, lives on the main thread. Opening a page or a folder needs the
// desktop, which the core cannot reach: the composition root passes openers
// (the GUI wires them to the desktop services, the CLI prints the path).
class ReportManager final : public QObject, public ReportManaging
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportManager)

public:
    using UrlOpener = std::function<void(const QUrl &)>;

    explicit ReportManager(QObject *parent = nullptr);
    ~ReportManager() override; // waits for a running hand-off

    void setOpeners(UrlOpener openFile, UrlOpener revealFolder);
    void setCustomReportOptions(const CustomReportOptions &options);

    void generateReport(
        const QString &runFolderPath, const std::optional<QDateTime> &testStartTime, Completion completion) override;
    void openReport(const QString &runFolderPath) override;

private:
    QThreadPool m_pool;
    UrlOpener m_openFile;
    UrlOpener m_revealFolder;
    CustomReportOptions m_customReportOptions;
};
