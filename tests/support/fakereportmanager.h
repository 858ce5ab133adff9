#pragma once

#include "reports/reportmanaging.h"

#include <QStringList>

// Records the run folders it is handed and completes at once, or, when
// `deferred` is set, keeps the completion for the test to call. It reports
// `succeeds` and `failureReason` as the outcome.
class FakeReportManager final : public ReportManaging
{
public:
    void generateReport(const QString &runFolderPath, const std::optional<QDateTime> &start, Completion completion) override
    {
        generated.append(runFolderPath);
        startTimes.append(start);
        if (deferred)
            pending = std::move(completion);
        else if (completion)
            completion(succeeds, failureReason);
    }

    void openReport(const QString &runFolderPath) override { opened.append(runFolderPath); }

    bool deferred = false;
    bool succeeds = true;
    QString failureReason;
    Completion pending;
    QList<std::optional<QDateTime>> startTimes;
    QStringList generated;
    QStringList opened;
};
