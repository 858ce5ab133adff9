#pragma once

#include "customreportbuilder.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Post-processes one finished run folder: patches the runner's report.html
// (screenshots, branding, network-log panel), writes report-custom.html and
// attaches the network log to the Allure results. Each step that fails is
// logged and the next one still runs; a link in the log's place counts as no
// log. A fresh instance per hand-off, used on
// one worker thread; it keeps no state between calls.
class ReportGenerator final
{
public:
    ReportGenerator() = default;
    explicit ReportGenerator(CustomReportOptions customReportOptions);

    // False with `reason` (the first step's failure, or that the folder holds
    // neither report.html nor report.json) when the reports were not written.
    bool generate(const QString &runFolder, const std::optional<QDateTime> &testStartTime, QString *reason = nullptr);

    static std::optional<QString> findFile(const QString &name, const QString &directory);
    static std::optional<QString> findDirectory(const QString &name, const QString &directory);

    // False with `error` when the page cannot be read (or is not UTF-8) or
    // written; an unchanged page is not written at all.
    bool patchReportHTML(
        const QString &htmlFile, const QString &networkLogFile, const std::optional<QDateTime> &testStartTime, QString *error);

private:
    CustomReportOptions m_customReportOptions;
};
