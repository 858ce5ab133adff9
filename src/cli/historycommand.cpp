// kestrune-cli history [--dir DIR] [--json]: the run history as the history
// screen lists it, newest first.
#include "cliregistry.h"
#include "reports/reportformatters.h"
#include "reports/reporthistorystore.h"
#include "settings/settingsstore.h"
#include "terminaltext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QString orDash(const std::optional<QString> &value)
{
    return value ? *value : QStringLiteral("-");
}

QString steps(const TestReport &row)
{
    if (!row.passedCommands || !row.totalCommands)
        return QStringLiteral("-");
    return QString::number(*row.passedCommands) + QLatin1Char('/') + QString::number(*row.totalCommands);
}

QJsonObject toJson(const TestReport &row)
{
    QJsonObject object { { QStringLiteral("id"), row.id }, { QStringLiteral("environment"), row.environment },
        { QStringLiteral("timestamp"), row.timestamp.toString(Qt::ISODate) },
        { QStringLiteral("status"), testStatusName(row.status) },
        { QStringLiteral("evidenceDir"), row.evidenceDirUrl.toLocalFile() } };
    if (row.yamlName)
        object.insert(QStringLiteral("flow"), *row.yamlName);
    if (row.durationSeconds)
        object.insert(QStringLiteral("durationSeconds"), *row.durationSeconds);
    if (row.deviceName)
        object.insert(QStringLiteral("device"), *row.deviceName);
    if (row.passedCommands)
        object.insert(QStringLiteral("passedCommands"), *row.passedCommands);
    if (row.totalCommands)
        object.insert(QStringLiteral("totalCommands"), *row.totalCommands);
    if (row.reportHtmlUrl)
        object.insert(QStringLiteral("page"), row.reportHtmlUrl->toLocalFile());
    return object;
}

int runHistory(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString directory;
    bool json = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--json")) {
            json = true;
        } else if (arguments[i] == QLatin1String("--dir") && i + 1 < arguments.size()) {
            directory = arguments[++i];
        } else {
            err << "Usage: kestrune-cli history [--dir DIR] [--json]\n";
            return 2;
        }
    }
    if (directory.isEmpty())
        directory = SettingsStore().reportsOutputDirectory();
    const TestReportList rows = ReportHistoryStore::scanReportFolders(SettingsStore::expandTilde(directory));

    if (json) {
        QJsonArray array;
        for (const TestReport &row : rows)
            array.append(toJson(row));
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return 0;
    }
    if (rows.isEmpty()) {
        out << "No test history found.\n";
        return 0;
    }
    // Flow and device names come from the runner's report, that is from
    // the flow files and the device: on a terminal they must not drive it,
    // and a line break in one must not start a new row anywhere.
    const bool onTerminal = TerminalText::standardOutputIsTerminal();
    const auto field = [onTerminal](const QString &text) { return TerminalText::listingField(text, onTerminal); };
    for (const TestReport &row : rows) {
        const QString duration
            = row.durationSeconds ? QString::number(*row.durationSeconds) + QLatin1Char('s') : QStringLiteral("-");
        out << field(row.environment) << '\t' << ReportFormatters::formatRunFolderTime(row.timestamp) << '\t'
            << testStatusName(row.status) << '\t' << field(row.yamlName.value_or(QStringLiteral("Unknown Flow"))) << '\t'
            << duration << '\t' << field(orDash(row.deviceName)) << '\t' << steps(row) << '\t'
            << field(row.reportHtmlUrl ? row.reportHtmlUrl->toLocalFile() : QStringLiteral("-")) << '\n';
    }
    return 0;
}

const CliRegistration registration({ QStringLiteral("history"), QStringLiteral("[--dir DIR] [--json]"),
    QStringLiteral("List the runs of the reports output directory, newest first."), runHistory });

} // namespace
