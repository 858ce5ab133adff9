#include "flowreader.h"

#include <QFile>
#include <QFileInfo>

bool FlowReader::read(const QString &path, FlowFile *flow, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("flow file not found: %1").arg(path);
        return false;
    }
    return parse(QString::fromUtf8(file.readAll()), path, flow, error);
}

bool FlowReader::parse(const QString &text, const QString &path, FlowFile *flow, QString *error)
{
    *flow = FlowFile {};
    flow->path = path;
    flow->name = QFileInfo(path).completeBaseName();
    QList<YamlNode> docs;
    QString yamlError;
    if (!YamlReader::parseDocuments(text, &docs, &yamlError)) {
        *error = QStringLiteral("failed to parse flow %1: %2").arg(path, yamlError);
        return false;
    }
    const YamlNode *header = nullptr;
    const YamlNode *commands = nullptr;
    if (docs.size() >= 2) {
        header = &docs[0];
        commands = &docs[1];
    } else if (docs.size() == 1) {
        (docs[0].isMap() ? header : commands) = &docs[0];
    }
    if (header) {
        if (!header->isMap()) {
            *error = QStringLiteral("failed to parse flow %1: the header must be a map (appId: ...)").arg(path);
            return false;
        }
        flow->appId = header->scalar(QStringLiteral("appId"));
        flow->name = header->scalar(QStringLiteral("name"), flow->name);
        if (const YamlNode *tags = header->value(QStringLiteral("tags"))) {
            for (const YamlNode &t : tags->items)
                flow->tags << t.text;
        }
        if (const YamlNode *env = header->value(QStringLiteral("env"))) {
            for (const auto &[k, v] : env->entries)
                flow->env.append({ k, v.text });
        }
    }
    if (!commands || !commands->isList()) {
        *error = QStringLiteral("failed to parse flow %1: no command list after \"---\"").arg(path);
        return false;
    }
    for (const YamlNode &item : commands->items) {
        const auto [name, arg] = commandParts(item);
        if (name.isEmpty()) {
            *error = QStringLiteral("failed to parse flow %1: line %2: a command must be a name or \"name: argument\"")
                         .arg(path)
                         .arg(item.line);
            return false;
        }
    }
    flow->commands = commands->items;
    return true;
}

std::pair<QString, YamlNode> FlowReader::commandParts(const YamlNode &item)
{
    if (item.isScalar() && !item.quoted)
        return { item.text, YamlNode {} };
    if (item.isMap() && !item.entries.isEmpty())
        return { item.entries.first().first, item.entries.first().second };
    return {};
}
