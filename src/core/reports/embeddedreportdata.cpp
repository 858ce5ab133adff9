#include "embeddedreportdata.h"

#include <QRegularExpression>

namespace {

class Decoder
{
public:
    QString error;

    bool fail(const QString &path, const char *expected)
    {
        if (error.isEmpty())
            error = QStringLiteral("Expected %1 at %2").arg(QLatin1String(expected), path);
        return false;
    }

    // Reads an optional string member; false on a type mismatch.
    bool string(const JsonNode &object, const char *key, std::optional<QString> &out, const QString &path)
    {
        const JsonNode *node = object.member(QLatin1String(key));
        if (!node || node->isNull())
            return true;
        if (!node->isString())
            return fail(path + QLatin1Char('.') + QLatin1String(key), "String");
        out = node->text;
        return true;
    }

    bool integer(const JsonNode &object, const char *key, std::optional<qint64> &out, const QString &path)
    {
        const JsonNode *node = object.member(QLatin1String(key));
        if (!node || node->isNull())
            return true;
        const std::optional<qint64> value = node->toInteger();
        if (!value)
            return fail(path + QLatin1Char('.') + QLatin1String(key), "Int");
        out = value;
        return true;
    }

    bool commands(const JsonNode &object, const char *key, std::optional<std::vector<EmbeddedCommand>> &out, const QString &path)
    {
        const JsonNode *node = object.member(QLatin1String(key));
        if (!node || node->isNull())
            return true;
        const QString here = path + QLatin1Char('.') + QLatin1String(key);
        if (!node->isArray())
            return fail(here, "Array");
        std::vector<EmbeddedCommand> list;
        list.reserve(node->items.size());
        for (size_t i = 0; i < node->items.size(); ++i) {
            EmbeddedCommand command;
            if (!decodeCommand(node->items[i], command, here + QLatin1Char('[') + QString::number(i) + QLatin1Char(']')))
                return false;
            list.push_back(std::move(command));
        }
        out = std::move(list);
        return true;
    }

    bool decodeCommand(const JsonNode &node, EmbeddedCommand &command, const QString &path)
    {
        if (!node.isObject())
            return fail(path, "Object");
        command.raw = node;
        if (!string(node, "type", command.type, path) || !integer(node, "index", command.index, path)
            || !string(node, "id", command.id, path))
            return false;
        if (const JsonNode *artifacts = node.member(QLatin1String("artifacts")); artifacts && !artifacts->isNull()) {
            if (!artifacts->isObject())
                return fail(path + QStringLiteral(".artifacts"), "Object");
            std::vector<EmbeddedArtifact> list;
            for (size_t i = 0; i < artifacts->keys.size(); ++i)
                list.push_back({ artifacts->keys[i], AnyCodable::fromJson(artifacts->values[i]) });
            command.artifacts = std::move(list);
        }
        if (!commands(node, "subCommands", command.subCommands, path))
            return false;
        // The typed list is written back in its place; keep no second copy.
        if (command.subCommands)
            command.raw.setMember(QStringLiteral("subCommands"), JsonNode {});
        return true;
    }

    bool decodeFlow(const JsonNode &node, EmbeddedFlow &flow, const QString &path)
    {
        if (!node.isObject())
            return fail(path, "Object");
        flow.raw = node;
        if (!string(node, "id", flow.id, path) || !commands(node, "commands", flow.commands, path))
            return false;
        if (flow.commands)
            flow.raw.setMember(QStringLiteral("commands"), JsonNode {});
        return true;
    }
};

JsonNode encodeCommands(const std::vector<EmbeddedCommand> &commands);

JsonNode encodeCommand(const EmbeddedCommand &command)
{
    JsonNode node = command.raw;
    if (node.kind != JsonNode::Kind::Object)
        node = JsonNode::makeObject();
    if (command.artifacts && command.artifactsChanged) {
        JsonNode artifacts;
        artifacts.kind = JsonNode::Kind::Object;
        for (const EmbeddedArtifact &artifact : *command.artifacts) {
            artifacts.keys.push_back(artifact.key);
            artifacts.values.push_back(artifact.value.value);
        }
        node.setMember(QStringLiteral("artifacts"), std::move(artifacts));
    }
    if (command.subCommands)
        node.setMember(QStringLiteral("subCommands"), encodeCommands(*command.subCommands));
    return node;
}

JsonNode encodeCommands(const std::vector<EmbeddedCommand> &commands)
{
    JsonNode list;
    list.kind = JsonNode::Kind::Array;
    list.items.reserve(commands.size());
    for (const EmbeddedCommand &command : commands)
        list.items.push_back(encodeCommand(command));
    return list;
}

} // namespace

AnyCodable AnyCodable::fromJson(const JsonNode &node)
{
    // Null is the one JSON value no type accepts: it becomes the empty string.
    if (node.isNull())
        return AnyCodable { JsonNode::makeString(QString()) };
    if (node.isObject() || node.isArray()) {
        JsonNode copy = node;
        for (JsonNode &item : copy.items)
            item = fromJson(item).value;
        for (JsonNode &value : copy.values)
            value = fromJson(value).value;
        return AnyCodable { std::move(copy) };
    }
    return AnyCodable { node };
}

bool EmbeddedCommand::hasArtifact(QStringView key) const
{
    if (!artifacts)
        return false;
    for (const EmbeddedArtifact &artifact : *artifacts) {
        if (artifact.key == key)
            return true;
    }
    return false;
}

void EmbeddedCommand::setArtifact(const QString &key, const QString &value)
{
    artifactsChanged = true;
    if (!artifacts)
        artifacts.emplace();
    for (EmbeddedArtifact &artifact : *artifacts) {
        if (artifact.key == key) {
            artifact.value = AnyCodable { JsonNode::makeString(value) };
            return;
        }
    }
    artifacts->push_back({ key, AnyCodable { JsonNode::makeString(value) } });
}

std::optional<EmbeddedReportData> EmbeddedReportData::decode(QStringView json, QString *error)
{
    QString parseError;
    std::optional<JsonNode> root = JsonText::parse(json, &parseError);
    if (!root) {
        if (error)
            *error = parseError;
        return std::nullopt;
    }
    Decoder decoder;
    EmbeddedReportData data;
    if (!root->isObject()) {
        if (error)
            *error = QStringLiteral("Expected Object at the top level");
        return std::nullopt;
    }
    data.raw = std::move(*root);
    if (const JsonNode *flows = data.raw.member(QLatin1String("flows")); flows && !flows->isNull()) {
        if (!flows->isArray()) {
            decoder.fail(QStringLiteral("flows"), "Array");
        } else {
            std::vector<EmbeddedFlow> list;
            for (size_t i = 0; i < flows->items.size() && decoder.error.isEmpty(); ++i) {
                EmbeddedFlow flow;
                if (decoder.decodeFlow(flows->items[i], flow, QStringLiteral("flows[%1]").arg(i)))
                    list.push_back(std::move(flow));
            }
            data.flows = std::move(list);
            data.raw.setMember(QStringLiteral("flows"), JsonNode {});
        }
    }
    if (!decoder.error.isEmpty()) {
        if (error)
            *error = decoder.error;
        return std::nullopt;
    }
    return data;
}

QString EmbeddedReportData::encode() const
{
    JsonNode root = raw;
    if (root.kind != JsonNode::Kind::Object)
        root = JsonNode::makeObject();
    if (flows) {
        JsonNode list;
        list.kind = JsonNode::Kind::Array;
        for (const EmbeddedFlow &flow : *flows) {
            JsonNode node = flow.raw;
            if (node.kind != JsonNode::Kind::Object)
                node = JsonNode::makeObject();
            if (flow.commands)
                node.setMember(QStringLiteral("commands"), encodeCommands(*flow.commands));
            list.items.push_back(std::move(node));
        }
        root.setMember(QStringLiteral("flows"), std::move(list));
    }
    return JsonText::writeCompact(root);
}

std::optional<EmbeddedDataRange> EmbeddedReportLocator::locate(const QString &html)
{
    static const QRegularExpression pattern(
        QStringLiteral("let reportData = (\\{.*?\\});\\n"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(html);
    if (!match.hasMatch() || match.capturedStart(1) < 0)
        return std::nullopt;
    return EmbeddedDataRange { match.capturedStart(1), match.capturedLength(1) };
}
