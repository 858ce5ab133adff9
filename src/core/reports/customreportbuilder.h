#pragma once

#include "fullreportmodels.h"
#include "network/networkhit.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// What a page may take from outside the run folder; every member defaults to
// the real thing (tests pin them for golden pages).
struct CustomReportOptions
{
    std::optional<QDateTime> now; // "Generated On" and the stand-in for unreadable run times
    QString appVersion; // the footer's version; empty: the application's
    // Reads a variable of the process environment (BUNDLE_ID); nullopt when unset.
    std::function<std::optional<QString>(const QString &name)> environment;
};

// Writes "report-custom.html" next to the runner's report.json: the run
// summary, one table row per command with its evidence and the API calls made
// while it ran, and the exchanges behind a detail dialog. Stateless; runs on
// the report worker.
namespace CustomReportBuilder {

// False with `error` when report.json cannot be read or decoded, or the page
// cannot be written (an earlier page then stays). A missing report.json is
// logged and is not an error.
bool generateCustomReport(const QString &reportJsonFile, const QString &networkLogFile,
    const std::optional<QDateTime> &testStartTime, QString *error, const CustomReportOptions &options = {});

// The page for a decoded report whose detail files and assets lie under
// `reportFolder`, in the run folder named `runFolderName`.
QString buildPage(const MaestroFullReport &report, const QString &reportFolder, const QString &runFolderName,
    const NetworkHitList &exchanges, const CustomReportOptions &options = {});

// (passed, failed) over the commands and all their sub-commands.
std::pair<int, int> countStepResults(const std::vector<FlowCommand> &commands);

// The app id to show: the report's, else BUNDLE_ID from the environment, else
// the preset of the run folder's environment prefix.
QString resolveAppId(const std::optional<QString> &appId, const QString &runFolderName, const CustomReportOptions &options = {});

// The `apiData` object: one member per exchange, keyed by its id.
QString exchangeTable(const NetworkHitList &exchanges);

} // namespace CustomReportBuilder
