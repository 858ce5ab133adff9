// kestrune-cli report RUN_FOLDER [--since ISO8601]: the post-processing that
// follows a run (patched report.html, report-custom.html, Allure log
// attachment), run on an existing run folder.
#include "cliregistry.h"
#include "reports/reportformatters.h"
#include "reports/reportmanager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

namespace {

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
        return 1;
    }

    ReportManager manager;
    QEventLoop loop;
    manager.generateReport(folder, since, [&loop](bool) { loop.quit(); });
    loop.exec();

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
