#include "summaryreportmodels.h"

#include "jsonfieldreader.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using R = JsonFieldReader;

std::optional<std::vector<MaestroFlowCommand>> decodeCommands(
    JsonFieldReader &reader, const QJsonObject &object, QLatin1String key, const QString &path)
{
    const auto array = reader.array(object, key, path);
    if (!array)
        return std::nullopt;
    const QString here = R::join(path, key);
    std::vector<MaestroFlowCommand> list;
    for (qsizetype i = 0; i < array->size() && reader.ok(); ++i) {
        const QString at = R::join(here, i);
        if (!array->at(i).isObject()) {
            reader.fail(at, QStringLiteral("Object"));
            break;
        }
        const QJsonObject command = array->at(i).toObject();
        MaestroFlowCommand value;
        value.status = reader.string(command, QLatin1String("status"), at);
        value.subCommands = decodeCommands(reader, command, QLatin1String("subCommands"), at);
        list.push_back(std::move(value));
    }
    return list;
}

} // namespace

std::optional<MaestroReportJSON> MaestroReportJSON::decode(const QByteArray &json, QString *error)
{
    JsonFieldReader reader;
    MaestroReportJSON report;
    if (const auto root = reader.document(json)) {
        const QString path;
        report.status = reader.string(*root, QLatin1String("status"), path);
        report.startTime = reader.string(*root, QLatin1String("startTime"), path);
        report.endTime = reader.string(*root, QLatin1String("endTime"), path);
        if (const auto device = reader.object(*root, QLatin1String("device"), path))
            report.device = MaestroDevice { reader.string(*device, QLatin1String("name"), QStringLiteral("device")) };
        if (const auto flows = reader.array(*root, QLatin1String("flows"), path)) {
            std::vector<MaestroFlow> list;
            for (qsizetype i = 0; i < flows->size() && reader.ok(); ++i) {
                const QString at = R::join(QStringLiteral("flows"), i);
                if (!flows->at(i).isObject()) {
                    reader.fail(at, QStringLiteral("Object"));
                    break;
                }
                const QJsonObject flow = flows->at(i).toObject();
                MaestroFlow value;
                value.name = reader.string(flow, QLatin1String("name"), at);
                value.dataFile = reader.string(flow, QLatin1String("dataFile"), at);
                if (const auto commands = reader.object(flow, QLatin1String("commands"), at)) {
                    const QString where = R::join(at, QLatin1String("commands"));
                    value.commands = MaestroCommands { reader.integer(*commands, QLatin1String("total"), where),
                        reader.integer(*commands, QLatin1String("passed"), where) };
                }
                list.push_back(std::move(value));
            }
            report.flows = std::move(list);
        }
    }
    return reader.result(std::move(report), error);
}

std::optional<MaestroFlowDetailsJSON> MaestroFlowDetailsJSON::decode(const QByteArray &json, QString *error)
{
    JsonFieldReader reader;
    MaestroFlowDetailsJSON details;
    if (const auto root = reader.document(json))
        details.commands = decodeCommands(reader, *root, QLatin1String("commands"), QString());
    return reader.result(std::move(details), error);
}
