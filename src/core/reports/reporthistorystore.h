#pragma once

#include "testreport.h"

#include <QSet>
#include <QString>

// The history of runs, rebuilt from the reports output directory by every
// scan: one row per run folder ("<ENV>_yyyyMMdd_HHmmss"), newest first.
// Stateless functions; a scan runs on a worker, deletion on the caller's
// thread.
namespace ReportHistoryStore {

// Rows of the run folders directly under `outputDirectory` (already expanded).
TestReportList scanReportFolders(const QString &outputDirectory);

// The row of one run folder, or nullopt when its name is not a run folder's.
std::optional<TestReport> readRunFolder(const QString &runFolderPath);

// Removes each run folder (a link to a folder: the link only). Returns how
// many were removed; failures are logged and the next one is tried. Posts
// "ReportsDeleted" once when at least one was removed.
int deleteReports(const QSet<QString> &ids);

// The page to open for a run folder: report-custom.html, else report.html, of
// its report folder; nullopt when there is none.
std::optional<QString> reportPageOf(const QString &runFolderPath);

} // namespace ReportHistoryStore
