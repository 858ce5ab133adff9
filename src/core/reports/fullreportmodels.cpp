#include "fullreportmodels.h"

#include "jsonfieldreader.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using R = JsonFieldReader;

std::optional<FlowCommandError> decodeError(JsonFieldReader &reader, const QJsonObject &object, const QString &path)
{
    const QJsonValue value = object.value(QLatin1String("error"));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (value.isObject()) {
        const QJsonObject dict = value.toObject();
        bool allStrings = true;
        for (auto it = dict.begin(); it != dict.end(); ++it)
            allStrings = allStrings && it.value().isString();
        if (allStrings && dict.contains(QLatin1String("message")))
            return FlowCommandError { FlowCommandError::Case::Dict, dict.value(QLatin1String("message")).toString() };
    } else if (value.isString()) {
        return FlowCommandError { FlowCommandError::Case::String, value.toString() };
    }
    reader.fail(R::join(path, QLatin1String("error")), QStringLiteral("String or {message: String} for FlowCommandError"));
    return std::nullopt;
}

std::optional<std::vector<FlowCommand>> decodeCommands(
    JsonFieldReader &reader, const QJsonObject &object, QLatin1String key, const QString &path);

FlowCommand decodeCommand(JsonFieldReader &reader, const QJsonObject &object, const QString &path)
{
    FlowCommand command;
    command.status = reader.string(object, QLatin1String("status"), path);
    command.type = reader.string(object, QLatin1String("type"), path);
    command.yaml = reader.string(object, QLatin1String("yaml"), path);
    command.index = reader.integer(object, QLatin1String("index"), path);
    command.startTime = reader.string(object, QLatin1String("startTime"), path);
    command.endTime = reader.string(object, QLatin1String("endTime"), path);
    command.duration = reader.integer(object, QLatin1String("duration"), path);
    command.error = decodeError(reader, object, path);
    if (const auto artifacts = reader.object(object, QLatin1String("artifacts"), path)) {
        std::vector<FlowCommandArtifact> list;
        for (auto it = artifacts->begin(); it != artifacts->end(); ++it) {
            if (!it.value().isString()) {
                reader.fail(R::join(path, QLatin1String("artifacts")) + QLatin1Char('.') + it.key(), QStringLiteral("String"));
                break;
            }
            list.push_back({ it.key(), it.value().toString() });
        }
        command.artifacts = std::move(list);
    }
    command.subCommands = decodeCommands(reader, object, QLatin1String("subCommands"), path);
    return command;
}

std::optional<std::vector<FlowCommand>> decodeCommands(
    JsonFieldReader &reader, const QJsonObject &object, QLatin1String key, const QString &path)
{
    const auto array = reader.array(object, key, path);
    if (!array)
        return std::nullopt;
    const QString here = R::join(path, key);
    std::vector<FlowCommand> list;
    list.reserve(size_t(array->size()));
    for (qsizetype i = 0; i < array->size() && reader.ok(); ++i) {
        const QJsonValue item = array->at(i);
        if (!item.isObject()) {
            reader.fail(R::join(here, i), QStringLiteral("Object"));
            break;
        }
        list.push_back(decodeCommand(reader, item.toObject(), R::join(here, i)));
    }
    return list;
}

} // namespace

std::optional<MaestroFullReport> MaestroFullReport::decode(const QByteArray &json, QString *error)
{
    JsonFieldReader reader;
    MaestroFullReport report;
    if (const auto root = reader.document(json)) {
        const QString path;
        report.startTime = reader.string(*root, QLatin1String("startTime"), path);
        report.endTime = reader.string(*root, QLatin1String("endTime"), path);
        if (const auto device = reader.object(*root, QLatin1String("device"), path)) {
            const QString at = QStringLiteral("device");
            MaestroDeviceFull value;
            value.platform = reader.string(*device, QLatin1String("platform"), at);
            value.id = reader.string(*device, QLatin1String("id"), at);
            value.name = reader.string(*device, QLatin1String("name"), at);
            value.osVersion = reader.string(*device, QLatin1String("osVersion"), at);
            value.isSimulator = reader.boolean(*device, QLatin1String("isSimulator"), at);
            report.device = value;
        }
        if (const auto app = reader.object(*root, QLatin1String("app"), path))
            report.app = MaestroApp { reader.string(*app, QLatin1String("id"), QStringLiteral("app")) };
        if (const auto runner = reader.object(*root, QLatin1String("maestroRunner"), path)) {
            const QString at = QStringLiteral("maestroRunner");
            report.maestroRunner = MaestroRunnerInfo { reader.string(*runner, QLatin1String("version"), at),
                reader.string(*runner, QLatin1String("driver"), at) };
        }
        if (const auto flows = reader.array(*root, QLatin1String("flows"), path)) {
            std::vector<MaestroFlowMeta> list;
            for (qsizetype i = 0; i < flows->size() && reader.ok(); ++i) {
                const QString at = R::join(QStringLiteral("flows"), i);
                if (!flows->at(i).isObject()) {
                    reader.fail(at, QStringLiteral("Object"));
                    break;
                }
                const QJsonObject flow = flows->at(i).toObject();
                list.push_back({ reader.string(flow, QLatin1String("name"), at),
                    reader.string(flow, QLatin1String("dataFile"), at), reader.string(flow, QLatin1String("assetsDir"), at) });
            }
            report.flows = std::move(list);
        }
    }
    return reader.result(std::move(report), error);
}

std::optional<FlowDetailsJSON> FlowDetailsJSON::decode(const QByteArray &json, QString *error)
{
    JsonFieldReader reader;
    FlowDetailsJSON details;
    if (const auto root = reader.document(json))
        details.commands = decodeCommands(reader, *root, QLatin1String("commands"), QString());
    return reader.result(std::move(details), error);
}
