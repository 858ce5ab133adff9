#pragma once

#include <QDateTime>
#include <QString>

// Where a run's files go: a folder "<ENV>_<yyyyMMdd_HHmmss>" under the output
// directory. Pure naming plus one claim on the file system, main thread.
namespace RunFolder {

// "yyyyMMdd_HHmmss" in local time.
QString stamp(const QDateTime &time);

// "<environment>_<stamp>", e.g. "UAT_20261206_093644".
QString name(const QString &environment, const QDateTime &start);

// The output directory setting with "~" expanded; an empty setting is the
// current folder, made absolute.
QString outputDirectory(const QString &setting);

// Creates the run folder for a run started at `start` and returns its path.
// When the name is already taken (two runs within one second), the name of
// the next free second is used instead, so two runs never share a folder. If
// the folder cannot be created, the path of the first free name is returned
// uncreated and creating the sandbox inside it reports the error.
QString claim(const QString &outputDirectory, const QString &environment, const QDateTime &start);

} // namespace RunFolder
