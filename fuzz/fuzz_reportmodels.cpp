// The three report model families over arbitrary bytes: the runner's
// report.json and detail files as the history reads them (summary), as the
// custom page reads them (full), and the object embedded in report.html.
// Properties: the families agree where they overlap (what the full models
// accept, the summary models accept with the same values); white space does
// not change a decision; the embedded object written back unchanged is the
// object as read (members, order and number literals kept).

#include "fuzzsupport.h"

#include "reports/embeddedreportdata.h"
#include "reports/fullreportmodels.h"
#include "reports/jsonnode.h"
#include "reports/summaryreportmodels.h"

#include <QJsonDocument>

namespace {

void checkReports(const QByteArray &json)
{
    const std::optional<MaestroFullReport> full = MaestroFullReport::decode(json);
    const std::optional<MaestroReportJSON> summary = MaestroReportJSON::decode(json);
    if (!full)
        return;
    // The summary reads a subset of the members with the same rules, except
    // the members only it reads (status, flows[].commands).
    if (!summary)
        return;
    fuzz::check(summary->startTime == full->startTime && summary->endTime == full->endTime, "same run times");
    fuzz::check(bool(summary->flows) == bool(full->flows), "same flows presence");
    if (summary->flows && full->flows) {
        fuzz::check(summary->flows->size() == full->flows->size(), "same number of flows");
        for (size_t i = 0; i < summary->flows->size(); ++i) {
            fuzz::check((*summary->flows)[i].name == (*full->flows)[i].name, "same flow name");
            fuzz::check((*summary->flows)[i].dataFile == (*full->flows)[i].dataFile, "same flow data file");
        }
    }
    fuzz::check(bool(summary->device && summary->device->name) == bool(full->device && full->device->name),
                "same device name presence");
}

void checkDetails(const QByteArray &json)
{
    const std::optional<FlowDetailsJSON> full = FlowDetailsJSON::decode(json);
    const std::optional<MaestroFlowDetailsJSON> summary = MaestroFlowDetailsJSON::decode(json);
    if (full && summary)
        fuzz::check(bool(full->commands) == bool(summary->commands), "same commands presence");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    checkReports(json);
    checkDetails(json);

    // White space between tokens never changes a decision.
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isNull()) {
        const QByteArray indented = document.toJson(QJsonDocument::Indented);
        const QByteArray compact = document.toJson(QJsonDocument::Compact);
        fuzz::check(bool(MaestroFullReport::decode(indented)) == bool(MaestroFullReport::decode(compact)),
                    "full report: same decision however indented");
        fuzz::check(bool(FlowDetailsJSON::decode(indented)) == bool(FlowDetailsJSON::decode(compact)),
                    "details: same decision however indented");
    }

    // The embedded object, read and written back untouched.
    const QString text = QString::fromUtf8(json);
    const std::optional<EmbeddedReportData> embedded = EmbeddedReportData::decode(text);
    if (embedded) {
        const std::optional<JsonNode> parsed = JsonText::parse(text);
        fuzz::check(parsed.has_value(), "a decoded object is valid JSON");
        const QString expected = JsonText::writeCompact(*parsed);
        const QString written = embedded->encode();
        if (written != expected)
            fuzz::fail("write-back of an unchanged object gives the object", expected, written);
        const std::optional<EmbeddedReportData> again = EmbeddedReportData::decode(written);
        fuzz::check(again.has_value() && again->encode() == written, "the written object reads back the same");
    }
    return 0;
}
