#pragma once

#include "customreportbuilder.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Post-processes one finished run folder: patches the runner's report.html
// (screenshots, branding, network-log panel), writes report-custom.html and
// attaches the network log to the Allure results. Each step that fails is
// logged and the next one still runs. A fresh instance per hand-off, used on
// one worker thread; it keeps no state between calls.
class ReportGenerator final
{
public:
    ReportGenerator() = default;
    explicit ReportGenerator(CustomReportOptions customReportOptions);

    void generate(const QString &runFolder, const std::optional<QDateTime> &testStartTime);

    static std::optional<QString> findFile(const QString &name, const QString &directory);
    static std::optional<QString> findDirectory(const QString &name, const QString &directory);

    // False with `error` when the page cannot be read (or is not UTF-8) or
    // written; an unchanged page is not written at all.
    bool patchReportHTML(
        const QString &htmlFile, const QString &networkLogFile, const std::optional<QDateTime> &testStartTime, QString *error);

private:
    CustomReportOptions m_customReportOptions;
};
