// kestrune-cli report RUN_FOLDER [--since ISO8601]: the post-processing that
// follows a run (patched report.html, report-custom.html, Allure log
// attachment), run on an existing run folder. Exits 0 when the reports were
// written, 1 when they were not (the reason on standard error), 2 on a usage
// error or a folder that is not a run folder.
#include "cliregistry.h"
#include "reports/fullreportmodels.h"
#include "reports/reportfilefinder.h"
#include "reports/reportformatters.h"
#include "reports/reportmanager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Whether the folder holds the runner's report.json (where the post-processing
// will look for it): a folder without one is no run folder, and its other
// tools' report files are not ours to edit.
bool holdsRunnerReport(const QString &folder)
{
    const std::optional<QString> json = ReportFileFinder::findFile(QStringLiteral("report.json"), folder);
    if (!json)
        return false;
    QFile file(*json);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Every report of the runner lists its flows; other tools' report.json do not.
    const std::optional<MaestroFullReport> report = MaestroFullReport::decode(file.readAll());
    return report && report->flows;
}

int runReport(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString folder;
    std::optional<QDateTime> since;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--since")) {
            if (i + 1 >= arguments.size()) {
                err << "kestrune-cli report: --since needs a time\n";
                return 2;
            }
            const QString text = arguments[++i];
            since = ReportFormatters::parseInternetDateTime(text);
            if (!since) {
                const QDateTime local = QDateTime::fromString(text, Qt::ISODateWithMs);
                if (local.isValid())
                    since = local;
            }
            if (!since) {
                err << "kestrune-cli report: not an ISO 8601 time: " << text << '\n';
                return 2;
            }
        } else if (argument.startsWith(QLatin1String("--"))) {
            err << "kestrune-cli report: unknown option " << argument << '\n';
            return 2;
        } else if (folder.isEmpty()) {
            folder = argument;
        } else {
            err << "kestrune-cli report: only one run folder\n";
            return 2;
        }
    }
    if (folder.isEmpty()) {
        err << "Usage: kestrune-cli report RUN_FOLDER [--since ISO8601]\n";
        return 2;
    }
    if (!QFileInfo(folder).isDir()) {
        err << "kestrune-cli report: no such folder: " << folder << '\n';
        return 2;
    }
    if (!holdsRunnerReport(folder)) {
        err << "kestrune-cli report: not a run folder (no report.json of the runner's): " << folder << '\n';
        return 2;
    }

    ReportManager manager;
    QEventLoop loop;
    bool generated = false;
    QString reason;
    manager.generateReport(folder, since, [&](bool ok, const QString &why) {
        generated = ok;
        reason = why;
        loop.quit();
    });
    loop.exec();
    if (!generated) {
        err << "kestrune-cli report: report not generated: " << reason << '\n';
        return 1;
    }

    // The CLI "opens" a report by printing where it is.
    manager.setOpeners([&out](const QUrl &page) { out << "Report page: " << page.toLocalFile() << '\n'; },
        [&out](const QUrl &runFolder) { out << "No report page; run folder: " << runFolder.toLocalFile() << '\n'; });
    manager.openReport(QFileInfo(folder).absoluteFilePath());
    return 0;
}

const CliRegistration registration({ QStringLiteral("report"), QStringLiteral("RUN_FOLDER [--since ISO8601]"),
    QStringLiteral("Post-process a run folder: patch report.html, write "
                   "report-custom.html, attach the network log to Allure."),
    runReport });

} // namespace
