#pragma once

#include "reports/reportmanaging.h"

#include <QStringList>

// Records the run folders it is handed and completes at once, or, when
// `deferred` is set, keeps the completion for the test to call.
class FakeReportManager final : public ReportManaging
{
public:
    void generateReport(
        const QString &runFolderPath, const std::optional<QDateTime> &start, std::function<void(bool)> completion) override
    {
        generated.append(runFolderPath);
        startTimes.append(start);
        if (deferred)
            pending = std::move(completion);
        else if (completion)
            completion(true);
    }

    void openReport(const QString &runFolderPath) override { opened.append(runFolderPath); }

    bool deferred = false;
    std::function<void(bool)> pending;
    QList<std::optional<QDateTime>> startTimes;
    QStringList generated;
    QStringList opened;
};
