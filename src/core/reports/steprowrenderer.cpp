#include "steprowrenderer.h"

#include "htmlescape.h"
#include "reportformatters.h"
#include "screenshotlinker.h"

namespace {

constexpr qint64 kWindowTailMs = 500;

QString durationText(const std::optional<qint64> &milliseconds)
{
    return QString::asprintf("%.1f", double(milliseconds.value_or(0)) / 1000.0) + QLatin1Char('s');
}

} // namespace

StepRowRenderer::StepRowRenderer(const NetworkHitList &hits, const ApiHitIndex &index)
    : m_hits(hits)
    , m_index(index)
{ }

QString StepRowRenderer::apiStatusClass(const QString &status)
{
    if (status == QLatin1String("TIMEOUT"))
        return QStringLiteral("timeout");
    if (status.startsWith(QLatin1Char('2')))
        return QStringLiteral("success");
    if (status.startsWith(QLatin1Char('4')) || status.startsWith(QLatin1Char('5')))
        return QStringLiteral("error");
    return QStringLiteral("warning");
}

QString StepRowRenderer::endpointOf(const QString &url)
{
    const QStringList pieces = url.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? url : pieces.last();
}

QString StepRowRenderer::renderScreenshot(const QString &path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    return QStringLiteral("<div class=\"screenshot-container\">\n<img src=\"") + HtmlEscape::attribute(path)
        + QStringLiteral("\" alt=\"Screenshot\" loading=\"lazy\" onclick=\"openLightbox(this.src)\">\n"
                         "<div style=\"font-size: 10px; color: var(--text-muted); text-align: center; "
                         "word-break: break-all;\">")
        + HtmlEscape::text(name) + QStringLiteral("</div>\n</div>");
}

QString StepRowRenderer::apiItem(const NetworkHit &hit)
{
    return QStringLiteral("<div class='api-list-item' onclick=\"showApiDetails('") + HtmlEscape::jsString(hit.id)
        + QStringLiteral("')\"><div><span class='api-badge api-method ") + HtmlEscape::attribute(hit.reqMethod.toLower())
        + QStringLiteral("'>") + HtmlEscape::text(hit.reqMethod) + QStringLiteral("</span><span class='api-badge api-status ")
        + apiStatusClass(hit.resStatus) + QStringLiteral("'>") + HtmlEscape::text(hit.resStatus)
        + QStringLiteral("</span></div><div class='api-endpoint'>") + HtmlEscape::text(endpointOf(hit.url))
        + QStringLiteral("</div></div>");
}

QString StepRowRenderer::screenshotPath(const FlowCommand &command, FlowState &state) const
{
    if (command.artifacts) {
        for (const FlowCommandArtifact &artifact : *command.artifacts) {
            if (artifact.value.endsWith(QLatin1String(".png")))
                return artifact.value;
        }
    }
    if (command.type != QLatin1String("takeScreenshot") || !command.index)
        return QString();
    const std::optional<QString> file = ScreenshotLinker::pickScreenshot(state.pngFiles, *command.index, state.usedScreenshots);
    if (!file)
        return QString();
    state.usedScreenshots.insert(*file);
    return state.assetsFolderText + QLatin1Char('/') + *file;
}

QString StepRowRenderer::apiCell(const FlowCommand &command, FlowState &state) const
{
    if ((command.subCommands && !command.subCommands->empty()) || m_index.isEmpty() || !command.startTime || !command.endTime)
        return QString();
    const auto start = ReportFormatters::parseInternetDateTime(*command.startTime);
    const auto end = ReportFormatters::parseInternetDateTime(*command.endTime);
    if (!start || !end)
        return QString();
    QString items;
    for (const qsizetype position : m_index.inWindow(*start, end->addMSecs(kWindowTailMs))) {
        const NetworkHit &hit = m_hits[position];
        if (state.claimedExchanges.contains(hit.id))
            continue;
        state.claimedExchanges.insert(hit.id);
        items += apiItem(hit);
    }
    if (items.isEmpty())
        return QString();
    return QStringLiteral("<div class='api-list'>") + items + QStringLiteral("</div>");
}

void StepRowRenderer::renderStepRows(
    QString &out, const std::vector<FlowCommand> &commands, FlowState &state, const QString &prefix) const
{
    const int depth = int(prefix.count(QLatin1Char('.')));
    QString boxStyle;
    QString numberStyle;
    if (depth > 0) {
        boxStyle = QStringLiteral(" style='padding-left: %1px; border-left: 2px solid var(--border); margin-left: 4px;'")
                       .arg(depth * 20);
        numberStyle = QStringLiteral(" style='padding-left: %1px;'").arg(depth * 20 + 16);
    }
    const QString rowClass = QStringLiteral("flow-") + QString::number(state.flowIndex)
        + (depth == 0 ? QStringLiteral(" step-row") : QStringLiteral(" step-row subflow-row"));

    int position = 0;
    for (const FlowCommand &command : commands) {
        const QString stepNumber = prefix + QString::number(++position);
        const QString label = command.yaml.value_or(command.type.value_or(QStringLiteral("unknown")));
        const bool passed = command.status == QLatin1String("passed");
        const QString statusWord = command.status ? command.status->toUpper() : QStringLiteral("UNKNOWN");

        QString duration = durationText(command.duration);
        if (command.startTime) {
            if (const auto start = ReportFormatters::parseInternetDateTime(*command.startTime)) {
                duration += QStringLiteral("<div style='margin-top: 4px; font-size: 11px; color: var(--text-muted);'>")
                    + start->toLocalTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("</div>");
            }
        }

        QString commandCell = QStringLiteral("<div") + boxStyle + QStringLiteral("><span class='cmd-text'>")
            + HtmlEscape::text(label) + QStringLiteral("</span>");
        if (command.error && !command.error->message.isEmpty()) {
            commandCell += QStringLiteral("<div style='margin-top: 8px; font-size: 12px; color: var(--danger); "
                                          "background: var(--danger-bg); padding: 8px; border-radius: 6px; font-family: "
                                          "ui-monospace, monospace; word-break: break-word;'><strong>Error:</strong> ")
                + HtmlEscape::text(command.error->message) + QStringLiteral("</div>");
        }
        commandCell += QStringLiteral("</div>");

        const QString path = screenshotPath(command, state);
        const QString evidence = path.isEmpty() ? QString() : renderScreenshot(path);

        out += QStringLiteral("<tr class='") + rowClass + QStringLiteral("'><td") + numberStyle + QLatin1Char('>') + stepNumber
            + QStringLiteral("</td><td>") + commandCell + QStringLiteral("</td><td>") + duration
            + QStringLiteral("</td><td class='") + (passed ? QStringLiteral("passed") : QStringLiteral("failed"))
            + QStringLiteral("'>") + HtmlEscape::text(statusWord) + QStringLiteral("</td><td>") + evidence
            + QStringLiteral("</td><td>") + apiCell(command, state) + QStringLiteral("</td></tr>\n");

        if (command.subCommands && !command.subCommands->empty())
            renderStepRows(out, *command.subCommands, state, stepNumber + QLatin1Char('.'));
    }
}
