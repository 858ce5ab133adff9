#include "reporthistorystore.h"

#include "reportfilefinder.h"
#include "reportformatters.h"
#include "settings/appevents.h"
#include "settings/logging.h"
#include "summaryreportmodels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

void countStatuses(const std::vector<MaestroFlowCommand> &commands, qint64 &passed, qint64 &failed)
{
    for (const MaestroFlowCommand &command : commands) {
        if (command.status == QLatin1String("passed"))
            ++passed;
        else if (command.status == QLatin1String("failed"))
            ++failed;
        if (command.subCommands)
            countStatuses(*command.subCommands, passed, failed);
    }
}

std::optional<QByteArray> readFile(const QString &path)
{
    // Regular files only (through links too): a named pipe or a device in a
    // copied folder would block the scan or never end.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void fillFromReport(TestReport &row, const QString &reportFolder)
{
    const QDir folder(reportFolder);
    const std::optional<QByteArray> bytes = readFile(folder.filePath(QStringLiteral("report.json")));
    const std::optional<MaestroReportJSON> report = bytes ? MaestroReportJSON::decode(*bytes) : std::nullopt;
    if (report) {
        if (report->status == QLatin1String("passed"))
            row.status = TestStatus::Passed;
        else if (report->status == QLatin1String("failed"))
            row.status = TestStatus::Failed;
        if (report->device)
            row.deviceName = report->device->name;
        if (report->startTime && report->endTime) {
            const auto start = ReportFormatters::parseInternetDateTime(*report->startTime);
            const auto end = ReportFormatters::parseInternetDateTime(*report->endTime);
            if (start && end)
                row.durationSeconds = start->msecsTo(*end) / 1000; // truncated toward zero
        }
        if (report->flows && !report->flows->empty()) {
            const MaestroFlow &flow = report->flows->front();
            row.yamlName = flow.name;
            if (flow.commands) {
                row.totalCommands = flow.commands->total;
                row.passedCommands = flow.commands->passed;
            }
            const std::optional<QString> detailPath
                = flow.dataFile ? ReportFileFinder::pathInside(folder.path(), *flow.dataFile) : std::nullopt;
            if (detailPath) {
                const std::optional<QByteArray> detailBytes = readFile(*detailPath);
                const auto details = detailBytes ? MaestroFlowDetailsJSON::decode(*detailBytes) : std::nullopt;
                if (details && details->commands) {
                    qint64 passed = 0;
                    qint64 failed = 0;
                    countStatuses(*details->commands, passed, failed);
                    row.passedCommands = passed;
                    row.totalCommands = passed + failed;
                }
            }
        }
    }
    for (const char *page : { "report-custom.html", "report.html" }) {
        const QString path = folder.filePath(QLatin1String(page));
        if (QFileInfo::exists(path)) {
            row.reportHtmlUrl = QUrl::fromLocalFile(path);
            break;
        }
    }
}

bool removeRunFolder(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        // A link to a run folder: remove the link, never what it points to.
        QFile link(path);
        if (!link.remove()) {
            *error = link.errorString();
            return false;
        }
        return true;
    }
    if (!info.exists()) {
        *error = QStringLiteral("No such file or directory");
        return false;
    }
    if (!info.isDir()) {
        QFile file(path);
        if (!file.remove()) {
            *error = file.errorString();
            return false;
        }
        return true;
    }
    if (!QDir(path).removeRecursively()) {
        *error = QStringLiteral("Could not remove every entry");
        return false;
    }
    return true;
}

} // namespace

QString testStatusName(TestStatus status)
{
    switch (status) {
    case TestStatus::Passed:
        return QStringLiteral("passed");
    case TestStatus::Failed:
        return QStringLiteral("failed");
    case TestStatus::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<TestReport> ReportHistoryStore::readRunFolder(const QString &runFolderPath)
{
    const QFileInfo info(runFolderPath);
    const QString name = info.fileName();
    // Split at the first underscore into two non-empty parts: leading
    // underscores are skipped, then one underscore ends the environment.
    qsizetype envStart = 0;
    while (envStart < name.size() && name[envStart] == QLatin1Char('_'))
        ++envStart;
    const qsizetype separator = name.indexOf(QLatin1Char('_'), envStart);
    if (separator < 0 || separator + 1 >= name.size())
        return std::nullopt;
    const QString environment = name.mid(envStart, separator - envStart);
    const QString rest = name.mid(separator + 1);
    const std::optional<QDateTime> timestamp = ReportFormatters::parseRunFolderTime(rest);
    if (!timestamp)
        return std::nullopt;

    TestReport row;
    row.id = info.filePath();
    row.environment = environment;
    row.timestamp = *timestamp;
    row.evidenceDirUrl = QUrl::fromLocalFile(info.filePath());
    if (const std::optional<QString> reportFolder = ReportFileFinder::reportFolderOf(runFolderPath))
        fillFromReport(row, *reportFolder);
    return row;
}

TestReportList ReportHistoryStore::scanReportFolders(const QString &outputDirectory)
{
    TestReportList rows;
    const QDir dir(outputDirectory);
    const QFileInfo info(outputDirectory);
    if (!info.isDir() || !info.isReadable()) {
        qCInfo(lcHistory, "Failed to read report directory: %s is %s", qUtf8Printable(outputDirectory),
            info.exists() ? "not a readable folder" : "missing");
        return rows;
    }
    const QFileInfoList entries = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!entry.isDir()) // a dangling link
            continue;
        if (auto row = readRunFolder(entry.filePath()))
            rows.append(std::move(*row));
    }
    std::stable_sort(
        rows.begin(), rows.end(), [](const TestReport &a, const TestReport &b) { return a.timestamp > b.timestamp; });
    return rows;
}

int ReportHistoryStore::deleteReports(const QSet<QString> &ids)
{
    int removed = 0;
    QStringList sorted(ids.begin(), ids.end());
    sorted.sort();
    for (const QString &path : std::as_const(sorted)) {
        QString error;
        if (removeRunFolder(path, &error))
            ++removed;
        else
            qCInfo(lcHistory, "Failed to delete report at %s: %s", qUtf8Printable(path), qUtf8Printable(error));
    }
    if (removed > 0)
        AppEvents::instance()->postReportsDeleted();
    return removed;
}

std::optional<QString> ReportHistoryStore::reportPageOf(const QString &runFolderPath)
{
    const QString target = ReportFileFinder::reportFolderOf(runFolderPath).value_or(runFolderPath);
    for (const char *page : { "report-custom.html", "report.html" }) {
        const QString path = QDir(target).filePath(QLatin1String(page));
        if (QFileInfo::exists(path))
            return path;
    }
    return std::nullopt;
}
