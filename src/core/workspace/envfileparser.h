#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Reads the run variables of an environment file: "KEY=VALUE" lines, or
// "KEY: VALUE" YAML-style lines, with "#" comments. Pure; safe on any thread.
namespace EnvFileParser {

using Entry = QPair<QString, QString>; // key, value

// The pairs of the file at `path` in file order (duplicate keys kept); empty
// when the file is missing, not UTF-8 text, or neither a regular file nor a
// named pipe. A named pipe that delivers nothing within two seconds reads
// as empty.
QList<Entry> parseEnvFile(const QString &path);

// The same rules on text already read.
QList<Entry> parseEnvText(const QString &text);

} // namespace EnvFileParser
