#pragma once

#include "runner/runnersettings.h"

#include <QCommandLineParser>
#include <QString>

// Shared pieces of the subcommands' option handling.
namespace CliOptions {

// Parses `arguments` (those after the subcommand's name). On a mistake it
// prints the error and the usage line to standard error and returns false.
bool parse(QCommandLineParser &parser, const QString &command, const QString &usage, const QStringList &arguments);

// "--runner", "--team-id", "--output-dir": override the settings store for
// this call only. A relative --runner is taken from the current folder.
void addSettingsOverrides(QCommandLineParser &parser);
RunnerSettings settingsWithOverrides(const QCommandLineParser &parser);

// "--no-time": print console lines without their "[HH:mm:ss] " prefix.
void addTimeOption(QCommandLineParser &parser);
bool printTimes(const QCommandLineParser &parser);

// Writes `text` to standard error.
void error(const QString &text);

} // namespace CliOptions
