#pragma once

#include "yamlnode.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A flow file as the runner reads it: the header document (appId, name,
// tags, env) and, after "---", the command list. Commands stay YAML nodes;
// the executor interprets them.
struct FlowFile
{
    QString path;
    QString appId; // as written, before ${VAR} expansion
    QString name; // the header's name, or the file name without extension
    QStringList tags;
    QList<std::pair<QString, QString>> env;
    QList<YamlNode> commands;
};

namespace FlowReader {

bool read(const QString &path, FlowFile *flow, QString *error);
bool parse(const QString &text, const QString &path, FlowFile *flow, QString *error);

// A command's name and argument: "- back" gives ("back", null node),
// "- tapOn: X" gives ("tapOn", X).
std::pair<QString, YamlNode> commandParts(const YamlNode &item);

} // namespace FlowReader
