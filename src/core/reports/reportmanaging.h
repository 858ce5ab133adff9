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
    // Whether the reports were written, and why not when they were not.
    using Completion = std::function<void(bool generated, const QString &reason)>;

    virtual ~ReportManaging() = default;

    // Post-processes the runner's report and writes the custom report off the
    // main thread, then calls `completion` once on the main thread: true, or
    // false with the first failure (a write that failed, no report found, a
    // report that could not be read).
    virtual void generateReport(
        const QString &runFolderPath, const std::optional<QDateTime> &testStartTime, Completion completion)
        = 0;

    // Opens the best report of the run folder in the user's browser, or shows
    // the folder in the file browser when it has none.
    virtual void openReport(const QString &runFolderPath) = 0;
};
