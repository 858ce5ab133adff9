#pragma once

#include "reports/reportmanaging.h"

#include <QStringList>

// Records the run folders it is handed and completes at once.
class FakeReportManager final : public ReportManaging
{
public:
    void generateReport(
        const QString &runFolderPath, const std::optional<QDateTime> &, std::function<void(bool)> completion) override
    {
        generated.append(runFolderPath);
        if (completion)
            completion(true);
    }

    void openReport(const QString &runFolderPath) override { opened.append(runFolderPath); }

    QStringList generated;
    QStringList opened;
};
