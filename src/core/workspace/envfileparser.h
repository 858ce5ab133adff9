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
// as empty. `readable`, when given, says whether the file could be read as
// UTF-8 text at all (false for a missing, unreadable or non-UTF-8 file, a
// folder or a device). A leading "export " of shell-style files is not part
// of the key.
QList<Entry> parseEnvFile(const QString &path, bool *readable = nullptr);

// The same rules on text already read.
QList<Entry> parseEnvText(const QString &text);

} // namespace EnvFileParser
