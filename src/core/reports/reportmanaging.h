#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// Hands a finished run folder to report generation and opens a run's report.
// Called on the main thread.
class ReportManaging
{
public:
    virtual ~ReportManaging() = default;

    // Post-processes the runner's report and writes the custom report off the
    // main thread, then calls `completion` once on the main thread (always
    // with true: failures are only logged).
    virtual void generateReport(
        const QString &runFolderPath, const std::optional<QDateTime> &testStartTime, std::function<void(bool)> completion)
        = 0;

    // Opens the best report of the run folder in the user's browser, or shows
    // the folder in the file browser when it has none.
    virtual void openReport(const QString &runFolderPath) = 0;
};
