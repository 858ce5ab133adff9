// The custom report page fed an arbitrary report.json, flow detail file and
// network log. Every string the inputs carry gets a probe appended that
// contains markup ("<kprobe/>" between quotes and an ampersand); the page
// must never contain the probe's tag unescaped, in any letter case (titles
// are case-folded), wherever the text lands: element content, attributes,
// script blocks or the exchange table.
//
// Input layout: the three parts separated by "\n--8<--\n". Every flow of the
// report is pointed at the detail file, so the step rows are built from it.

#include "fuzzsupport.h"

#include "network/netfoxparser.h"
#include "reports/customreportbuilder.h"
#include "reports/fullreportmodels.h"
#include "reports/jsonnode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

const QString kProbe = QStringLiteral("\"'<kprobe/>&");

void probeStrings(JsonNode &node)
{
    if (node.isString())
        node.text += kProbe;
    for (JsonNode &item : node.items)
        probeStrings(item);
    for (JsonNode &value : node.values)
        probeStrings(value);
}

std::optional<QByteArray> probedJson(QByteArrayView bytes, bool pointAtDetails)
{
    std::optional<JsonNode> node = JsonText::parse(QString::fromUtf8(bytes));
    if (!node)
        return std::nullopt;
    probeStrings(*node);
    if (pointAtDetails && node->isObject()) {
        if (JsonNode *flows = node->member(QStringView(u"flows")); flows && flows->isArray()) {
            for (JsonNode &flow : flows->items) {
                if (flow.isObject())
                    flow.setMember(QStringLiteral("dataFile"), JsonNode::makeString(QStringLiteral("flows/flow-000.json")));
            }
        }
    }
    return JsonText::writeCompact(*node).toUtf8();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString folder = [] {
        const QString path = QDir::tempPath() + QLatin1String("/kestrune-fuzz-report-")
            + QString::number(QCoreApplication::applicationPid()) + QLatin1String("/UAT_20261206_093644/report");
        QDir().mkpath(path + QLatin1String("/flows"));
        return path;
    }();

    fuzz::Input input(data, size);
    const QByteArrayView reportPart = input.takeUntil("\n--8<--\n");
    const QByteArrayView detailPart = input.takeUntil("\n--8<--\n");
    const QByteArrayView logPart = input.rest();

    const std::optional<QByteArray> reportJson = probedJson(reportPart, true);
    if (!reportJson)
        return 0;
    const std::optional<MaestroFullReport> report = MaestroFullReport::decode(*reportJson);
    if (!report)
        return 0;
    {
        QFile details(folder + QLatin1String("/flows/flow-000.json"));
        if (!details.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        const std::optional<QByteArray> detailJson = probedJson(detailPart, false);
        details.write(detailJson ? *detailJson : detailPart.toByteArray());
    }
    NetworkHitList exchanges = Netfox::parseNetworkLogText(QString::fromUtf8(logPart));
    for (NetworkHit &hit : exchanges) {
        for (QString *field : { &hit.id, &hit.url, &hit.reqMethod, &hit.reqHeaders, &hit.reqBody, &hit.resStatus,
                                &hit.resHeaders, &hit.resBody })
            *field += kProbe;
    }

    CustomReportOptions options;
    options.now = QDateTime::fromSecsSinceEpoch(1796546230, Qt::UTC);
    options.appVersion = QStringLiteral("0.0-fuzz");
    options.environment = [](const QString &) { return std::optional<QString>(kProbe); };
    const QString page = CustomReportBuilder::buildPage(*report, folder, QStringLiteral("UAT_20261206_093644"), exchanges, options);

    // KESTRUNE_FUZZ_DUMP=<file>: keep the last page, to look at what a seed builds.
    if (static const QString dump = qEnvironmentVariable("KESTRUNE_FUZZ_DUMP"); !dump.isEmpty()) {
        QFile out(dump);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(page.toUtf8());
    }
    const qsizetype at = page.indexOf(QLatin1String("<kprobe"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        fuzz::fail("no input text appears unescaped in the page", QStringLiteral("no <kprobe"),
                   page.mid(qMax<qsizetype>(0, at - 300), 400));
    return 0;
}
