#include "customreportbuilder.h"

#include "apihitindex.h"
#include "atomicfile.h"
#include "htmlescape.h"
#include "jsonnode.h"
#include "network/netfoxparser.h"
#include "reportconfiguration.h"
#include "reportfilefinder.h"
#include "reportformatters.h"
#include "reportresources.h"
#include "settings/logging.h"
#include "steprowrenderer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

using Esc = QString (*)(QStringView);

struct FlowData
{
    std::optional<FlowDetailsJSON> details;
};

std::optional<QString> processEnvironment(const QString &name)
{
    const QByteArray key = name.toLocal8Bit();
    if (!qEnvironmentVariableIsSet(key.constData()))
        return std::nullopt;
    return qEnvironmentVariable(key.constData());
}

QString titleCased(const QString &text)
{
    QString out = text.toLower();
    bool atWordStart = true;
    for (QChar &c : out) {
        if (c.isSpace()) {
            atWordStart = true;
        } else if (atWordStart) {
            c = c.toUpper();
            atWordStart = false;
        }
    }
    return out;
}

QString cardRow(const QString &label, const QString &valueHtml, const QString &valueStyle = QString())
{
    return QStringLiteral("<div class=\"card-row\"><span class=\"card-label\">") + label
        + QStringLiteral("</span><span class=\"card-value\"")
        + (valueStyle.isEmpty() ? QString() : QStringLiteral(" style=\"") + valueStyle + QLatin1Char('"')) + QLatin1Char('>')
        + valueHtml + QStringLiteral("</span></div>\n");
}

const QString kMonoStyle
    = QStringLiteral("font-family: ui-monospace, monospace; font-size: 12px; background: var(--bg); padding: 2px 6px; "
                     "border: 1px solid var(--border); border-radius: 4px;");

std::optional<FlowDetailsJSON> readDetails(const QString &reportFolder, const MaestroFlowMeta &flow)
{
    const std::optional<QString> path = flow.dataFile ? ReportFileFinder::pathInside(reportFolder, *flow.dataFile) : std::nullopt;
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return FlowDetailsJSON::decode(file.readAll());
}

void collectUsedScreenshots(const std::vector<FlowCommand> &commands, QSet<QString> &used)
{
    const auto collect = [&used](const FlowCommand &command) {
        if (!command.artifacts)
            return;
        for (const FlowCommandArtifact &artifact : *command.artifacts) {
            if (artifact.value.endsWith(QLatin1String(".png")))
                used.insert(artifact.value.section(QLatin1Char('/'), -1));
        }
    };
    for (const FlowCommand &command : commands) {
        collect(command);
        if (command.subCommands) {
            for (const FlowCommand &sub : *command.subCommands)
                collect(sub);
        }
    }
}

} // namespace

std::pair<int, int> CustomReportBuilder::countStepResults(const std::vector<FlowCommand> &commands)
{
    int passed = 0;
    int failed = 0;
    for (const FlowCommand &command : commands) {
        if (command.status == QLatin1String("passed"))
            ++passed;
        else if (command.status == QLatin1String("failed"))
            ++failed;
        if (command.subCommands) {
            const auto [subPassed, subFailed] = countStepResults(*command.subCommands);
            passed += subPassed;
            failed += subFailed;
        }
    }
    return { passed, failed };
}

QString CustomReportBuilder::resolveAppId(
    const std::optional<QString> &appId, const QString &runFolderName, const CustomReportOptions &options)
{
    const QString id = appId.value_or(QStringLiteral("Unknown"));
    if (id != QLatin1String("${BUNDLE_ID}") && id != QLatin1String("Unknown"))
        return id;
    const auto environment = options.environment ? options.environment : processEnvironment;
    if (const std::optional<QString> fromEnvironment = environment(QStringLiteral("BUNDLE_ID")))
        return *fromEnvironment;
    if (runFolderName.startsWith(QLatin1String("SIT_")))
        return QLatin1String(ReportConfiguration::kSitBundleId);
    if (runFolderName.startsWith(QLatin1String("UAT_")))
        return QLatin1String(ReportConfiguration::kUatBundleId);
    if (runFolderName.startsWith(QLatin1String("PREPROD_")))
        return QLatin1String(ReportConfiguration::kPreprodBundleId);
    return id;
}

QString CustomReportBuilder::exchangeTable(const NetworkHitList &exchanges)
{
    // Every text goes through the JSON string writer, which also escapes '/'
    // and '<', so no body can close the script block or break a member name.
    QString table = QStringLiteral("{");
    bool first = true;
    for (const NetworkHit &hit : exchanges) {
        if (!first)
            table += QLatin1Char(',');
        first = false;
        JsonText::appendString(table, hit.id);
        table += QStringLiteral(":{\"url\":");
        JsonText::appendString(table, hit.url);
        table += QStringLiteral(",\"reqMethod\":");
        JsonText::appendString(table, hit.reqMethod);
        table += QStringLiteral(",\"reqHeaders\":");
        JsonText::appendString(table, hit.reqHeaders);
        table += QStringLiteral(",\"reqBody\":");
        JsonText::appendString(table, hit.reqBody);
        table += QStringLiteral(",\"resStatus\":");
        JsonText::appendString(table, hit.resStatus);
        table += QStringLiteral(",\"resHeaders\":");
        JsonText::appendString(table, hit.resHeaders);
        table += QStringLiteral(",\"resBody\":");
        JsonText::appendString(table, hit.resBody);
        table += QLatin1Char('}');
    }
    table += QLatin1Char('}');
    table.replace(QStringLiteral("</script>"), QStringLiteral("<\\/script>"));
    return table;
}

QString CustomReportBuilder::buildPage(const MaestroFullReport &report, const QString &reportFolder, const QString &runFolderName,
    const NetworkHitList &exchanges, const CustomReportOptions &options)
{
    const Esc esc = HtmlEscape::text;
    const QDateTime now = options.now.value_or(QDateTime::currentDateTime());
    const auto readTime = [&now](const std::optional<QString> &text) {
        if (text) {
            if (const auto parsed = ReportFormatters::parseInternetDateTime(*text))
                return *parsed;
        }
        return now;
    };
    const QDateTime start = readTime(report.startTime);
    const QDateTime end = readTime(report.endTime);
    const double runSeconds = double(start.msecsTo(end)) / 1000.0;
    const QString unknown = QStringLiteral("Unknown");

    const MaestroDeviceFull device = report.device.value_or(MaestroDeviceFull {});
    const QString deviceName = device.name.value_or(unknown);
    const QString udid = device.id.value_or(unknown);
    const QString osVersion = device.osVersion.value_or(unknown);
    const QString platform = titleCased(device.platform.value_or(QStringLiteral("unknown"))) + QLatin1Char(' ') + osVersion;
    const QString deviceType = device.isSimulator.value_or(false) ? QStringLiteral("Simulator") : QStringLiteral("Real Device");
    const QString appId = resolveAppId(report.app ? report.app->id : std::nullopt, runFolderName, options);
    const MaestroRunnerInfo runner = report.maestroRunner.value_or(MaestroRunnerInfo {});
    const std::vector<MaestroFlowMeta> flows = report.flows.value_or(std::vector<MaestroFlowMeta> {});

    std::vector<FlowData> flowData;
    flowData.reserve(flows.size());
    int stepsPassed = 0;
    int stepsFailed = 0;
    for (const MaestroFlowMeta &flow : flows) {
        FlowData data { readDetails(reportFolder, flow) };
        if (data.details && data.details->commands) {
            const auto [passed, failed] = countStepResults(*data.details->commands);
            stepsPassed += passed;
            stepsFailed += failed;
        }
        flowData.push_back(std::move(data));
    }

    qsizetype successCount = 0;
    for (const NetworkHit &hit : exchanges) {
        if (hit.resStatus.startsWith(QLatin1Char('2')))
            ++successCount;
    }
    const qsizetype errorCount = exchanges.size() - successCount;
    const QString errorColour = errorCount > 0 ? QStringLiteral("var(--danger)") : QStringLiteral("var(--text-main)");
    const bool failed = stepsFailed >= 1;

    QString page;
    page.reserve(64 * 1024 + qsizetype(flows.size()) * 4096 + exchanges.size() * 512);
    page += ReportResources::customReportHead();
    page += QStringLiteral("<style>\n") + ReportResources::customReportStyle() + QStringLiteral("</style>\n</head>\n<body>\n");
    page += QStringLiteral("<div class=\"container\">\n");

    // Header
    page += QStringLiteral("<div class=\"header\">\n<div class=\"header-left\">\n<div class=\"header-logo-bg\"><img src=\"")
        + ReportResources::logoDataUri()
        + QStringLiteral("\" alt=\"Logo\" style=\"width: 56px; height: 56px; border-radius: 14px;\"></div>\n"
                         "<div class=\"header-title-wrapper\"><h1>")
        + QLatin1String(ReportConfiguration::kProductTitle)
        + QStringLiteral("</h1><h3>Report Project Automation Test</h3></div>\n</div>\n"
                         "<div class=\"header-right\"><div class=\"header-right-label\">Generated On</div>"
                         "<div class=\"header-right-value\">")
        + esc(QLocale::c().toString(now, QStringLiteral("dd MMM yyyy, HH:mm"))) + QStringLiteral("</div></div>\n</div>\n");

    // Dashboard
    page += QStringLiteral("<div class=\"dashboard\">\n<div class=\"card\"><h4>Execution Summary</h4>\n");
    page += cardRow(QStringLiteral("Result"),
        QStringLiteral("<span class=\"status-badge ")
            + (failed ? QStringLiteral("status-fail\">FAILED") : QStringLiteral("status-pass\">PASSED"))
            + QStringLiteral("</span>"));
    page += cardRow(QStringLiteral("Total Flows"), QString::number(flows.size()));
    page += cardRow(
        QStringLiteral("Steps Passed"), QString::number(stepsPassed), QStringLiteral("color: var(--success); font-weight: 600;"));
    page += cardRow(
        QStringLiteral("Steps Failed"), QString::number(stepsFailed), QStringLiteral("color: var(--danger); font-weight: 600;"));
    page += QStringLiteral("</div>\n<div class=\"card\"><h4>Device Information</h4>\n");
    page += cardRow(QStringLiteral("Name"), esc(deviceName));
    page += cardRow(QStringLiteral("Platform"), esc(platform));
    page += cardRow(QStringLiteral("Type"), deviceType);
    page += cardRow(QStringLiteral("UDID"), esc(udid), kMonoStyle);
    page += QStringLiteral("</div>\n<div class=\"card\"><h4>Test Environment</h4>\n");
    page += cardRow(QStringLiteral("App ID"), esc(appId), kMonoStyle);
    page += cardRow(QStringLiteral("Maestro"),
        QStringLiteral("v") + esc(runner.version.value_or(unknown)) + QStringLiteral(" (") + esc(runner.driver.value_or(unknown))
            + QLatin1Char(')'));
    page += cardRow(QStringLiteral("Execution Time"), start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    page += cardRow(QStringLiteral("Duration"), QString::asprintf("%.1fs", runSeconds));
    page += QStringLiteral("</div>\n<div class=\"card\"><h4>Network Overview</h4>\n");
    page += cardRow(QStringLiteral("Total API Calls"), QString::number(exchanges.size()));
    page += cardRow(QStringLiteral("Success (2xx)"), QString::number(successCount), QStringLiteral("color: var(--success);"));
    page += cardRow(QStringLiteral("Errors"), QString::number(errorCount),
        QStringLiteral("color: ") + errorColour + QStringLiteral("; font-weight: 600;"));
    page += cardRow(QStringLiteral("Interceptor"), QStringLiteral("<span class=\"cmd-text\">Netfox Logs</span>"));
    page += QStringLiteral("</div>\n</div>\n");

    // Toolbar and table
    page += QStringLiteral("<div class=\"toolbar\"><input type=\"text\" id=\"searchInput\" class=\"search-input\" "
                           "placeholder=\"Search commands or APIs...\" onkeyup=\"filterTable()\"></div>\n"
                           "<table id=\"resultsTable\">\n<thead><tr><th style=\"width: 5%\">#</th>"
                           "<th style=\"width: 35%\">Step Command</th><th style=\"width: 8%\">Duration</th>"
                           "<th style=\"width: 8%\">Status</th><th style=\"width: 15%\">Evidence</th>"
                           "<th style=\"width: 29%\">API Hits</th></tr></thead>\n<tbody>\n");
    const ApiHitIndex index(exchanges);
    const StepRowRenderer renderer(exchanges, index);
    for (size_t i = 0; i < flows.size(); ++i) {
        const QString flowClass = QStringLiteral("flow-") + QString::number(i);
        page += QStringLiteral("<tr class=\"flow-header\" data-flow=\"") + flowClass
            + QStringLiteral("\" onclick=\"toggleFlow(this, '") + flowClass + QStringLiteral("')\"><td colspan=\"6\">Flow: ")
            + esc(flows[i].name.value_or(unknown)) + QStringLiteral("</td></tr>\n");
        const FlowData &data = flowData[i];
        if (!data.details)
            continue;
        StepRowRenderer::FlowState state;
        state.flowIndex = int(i);
        state.assetsFolderText = flows[i].assetsDir.value_or(QStringLiteral("."));
        const std::optional<QString> assetsFolder
            = flows[i].assetsDir ? ReportFileFinder::pathInside(reportFolder, *flows[i].assetsDir) : reportFolder;
        if (assetsFolder && QFileInfo(*assetsFolder).isDir())
            state.pngFiles = ReportFileFinder::pngFiles(*assetsFolder);
        if (data.details->commands) {
            collectUsedScreenshots(*data.details->commands, state.usedScreenshots);
            renderer.renderStepRows(page, *data.details->commands, state, QString());
        }
    }
    page += QStringLiteral("</tbody>\n</table>\n</div>\n");

    // Lightbox and the exchange dialog
    page += QStringLiteral(
        "<div id=\"lightbox\" class=\"lightbox\" onclick=\"closeLightbox()\"><span id=\"lightbox-close\">&times;</span>"
        "<img id=\"lightbox-img\" alt=\"Screenshot\"></div>\n"
        "<div id=\"apiModal\" class=\"modal\">\n<div class=\"modal-content\">\n"
        "<div class=\"modal-header\"><div id=\"modalTitle\" class=\"modal-title\">API Detail</div>"
        "<span class=\"close\" onclick=\"document.getElementById('apiModal').style.display='none'\">&times;</span></div>\n"
        "<div class=\"tab\"><button class=\"tablinks active\" onclick=\"openTab(event, 'Request')\">Request</button>"
        "<button class=\"tablinks\" onclick=\"openTab(event, 'Response')\">Response</button></div>\n"
        "<div class=\"modal-body\"><div id=\"Request\" class=\"tabcontent\" style=\"display: block;\"></div>"
        "<div id=\"Response\" class=\"tabcontent\"></div></div>\n</div>\n</div>\n");

    page += QStringLiteral("<script>\nconst apiData = ") + exchangeTable(exchanges) + QStringLiteral(";\n\n");
    page += ReportResources::customReportScript();
    page += QStringLiteral("</script>\n");

    const QString version = options.appVersion.isEmpty() ? kestrune::appVersion() : options.appVersion;
    page += QStringLiteral("<div class=\"footer\">Generated by ") + QLatin1String(ReportConfiguration::kProductTitle)
        + QStringLiteral(" &middot; QA automation report v") + esc(version.isEmpty() ? QStringLiteral("1.0.0") : version)
        + QStringLiteral("</div>\n</body>\n</html>\n");
    return page;
}

bool CustomReportBuilder::generateCustomReport(const QString &reportJsonFile, const QString &networkLogFile,
    const std::optional<QDateTime> &testStartTime, QString *error, const CustomReportOptions &options)
{
    if (!QFileInfo::exists(reportJsonFile)) {
        qCInfo(lcReport, "Warning: JSON Report not found: %s", qUtf8Printable(reportJsonFile));
        return true;
    }
    QFile file(reportJsonFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QString decodeError;
    const std::optional<MaestroFullReport> report = MaestroFullReport::decode(file.readAll(), &decodeError);
    if (!report) {
        if (error)
            *error = decodeError;
        return false;
    }
    const QFileInfo jsonInfo(reportJsonFile);
    const QString reportFolder = jsonInfo.absolutePath();
    const QString runFolderName = QFileInfo(reportFolder).dir().dirName();
    const NetworkHitList exchanges
        = QFileInfo::exists(networkLogFile) ? Netfox::parseNetworkLog(networkLogFile, testStartTime) : NetworkHitList();

    const QString page = buildPage(*report, reportFolder, runFolderName, exchanges, options);
    const QString pagePath = QDir(reportFolder).filePath(QStringLiteral("report-custom.html"));
    // The page is ours to write; a link in its place (a copied folder can hold
    // one) is replaced, never written through to the file it points to.
    if (QFileInfo(pagePath).isSymLink() && !QFile::remove(pagePath)) {
        if (error)
            *error = QStringLiteral("%1 is a link that cannot be replaced").arg(pagePath);
        return false;
    }
    if (!AtomicFile::writeWhole(pagePath, page.toUtf8(), error))
        return false;
    qCInfo(lcReport, "Generated dynamic report at: %s", qUtf8Printable(pagePath));
    return true;
}
