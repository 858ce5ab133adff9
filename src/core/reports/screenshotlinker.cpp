#include "screenshotlinker.h"

#include "embeddedreportdata.h"
#include "reportfilefinder.h"
#include "settings/logging.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kScreenshotAfter = QStringLiteral("screenshotAfter");

void collectUsed(const EmbeddedCommand &command, QSet<QString> &used)
{
    if (!command.artifacts)
        return;
    for (const EmbeddedArtifact &artifact : *command.artifacts) {
        const QString value = artifact.value.toString();
        if (artifact.value.isString() && value.endsWith(QLatin1String(".png")))
            used.insert(value.section(QLatin1Char('/'), -1));
    }
}

// Links one command; true when it changed.
bool linkCommand(EmbeddedCommand &command, const QString &flowId, const QStringList &pngFiles, QSet<QString> &used)
{
    if (command.type != QLatin1String("takeScreenshot") || !command.index)
        return false;
    const std::optional<QString> file = ScreenshotLinker::pickScreenshot(pngFiles, *command.index, used);
    if (!file)
        return false;
    if (!command.artifacts)
        command.artifacts.emplace();
    if (command.hasArtifact(kScreenshotAfter))
        return false;
    command.setArtifact(kScreenshotAfter, QStringLiteral("assets/") + flowId + QLatin1Char('/') + *file);
    used.insert(*file);
    qCInfo(lcReport, "Patched %s with %s", qUtf8Printable(command.id.value_or(QStringLiteral("unknown"))), qUtf8Printable(*file));
    return true;
}

} // namespace

QString ScreenshotLinker::screenshotPrefix(qint64 index)
{
    return QStringLiteral("cmd-%1-").arg(index, 3, 10, QLatin1Char('0'));
}

std::optional<QString> ScreenshotLinker::pickScreenshot(const QStringList &pngFiles, qint64 index, const QSet<QString> &used)
{
    const QString prefix = screenshotPrefix(index);
    for (const QString &name : pngFiles) {
        if (name.startsWith(prefix) && !used.contains(name))
            return name;
    }
    return std::nullopt;
}

bool ScreenshotLinker::patchScreenshots(QString &html, const QString &reportFolder)
{
    const std::optional<EmbeddedDataRange> range = EmbeddedReportLocator::locate(html);
    if (!range)
        return false;
    std::optional<EmbeddedReportData> data = EmbeddedReportData::decode(QStringView(html).mid(range->start, range->length));
    if (!data || !data->flows)
        return false;

    bool changed = false;
    for (EmbeddedFlow &flow : *data->flows) {
        if (!flow.id)
            continue;
        // The id comes from the page; its folder must stay inside the report.
        const std::optional<QString> folder = ReportFileFinder::pathInside(reportFolder, QStringLiteral("assets/") + *flow.id);
        if (!folder || !QFileInfo(*folder).isDir())
            continue;
        const QStringList pngFiles = ReportFileFinder::pngFiles(*folder);
        if (!flow.commands)
            continue;

        QSet<QString> used;
        for (const EmbeddedCommand &command : *flow.commands) {
            collectUsed(command, used);
            if (command.subCommands) {
                for (const EmbeddedCommand &sub : *command.subCommands)
                    collectUsed(sub, used);
            }
        }
        // Top-level commands and their direct sub-commands only.
        for (EmbeddedCommand &command : *flow.commands) {
            changed = linkCommand(command, *flow.id, pngFiles, used) || changed;
            if (command.subCommands) {
                for (EmbeddedCommand &sub : *command.subCommands)
                    changed = linkCommand(sub, *flow.id, pngFiles, used) || changed;
            }
        }
    }
    if (!changed)
        return false;
    html.replace(range->start, range->length, data->encode());
    return true;
}
