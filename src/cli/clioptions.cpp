#include "clioptions.h"

#include "settings/settingsstore.h"

#include <QDir>

#include <cstdio>

namespace CliOptions {

void error(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

bool parse(QCommandLineParser &parser, const QString &command, const QString &usage, const QStringList &arguments)
{
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    // QCommandLineParser skips the first element as the program name.
    if (!parser.parse(QStringList { QStringLiteral("kestrune-cli ") + command } + arguments)) {
        error(QStringLiteral("kestrune-cli %1: %2\nUsage: kestrune-cli %1 %3\n").arg(command, parser.errorText(), usage));
        return false;
    }
    return true;
}

void addSettingsOverrides(QCommandLineParser &parser)
{
    parser.addOption(
        { QStringLiteral("runner"), QStringLiteral("The runner to use instead of the configured one."), QStringLiteral("PATH") });
    parser.addOption(
        { QStringLiteral("team-id"), QStringLiteral("The Apple team identifier for this call."), QStringLiteral("ID") });
    parser.addOption({ QStringLiteral("output-dir"), QStringLiteral("Where the run folder is created."), QStringLiteral("DIR") });
}

RunnerSettings settingsWithOverrides(const QCommandLineParser &parser)
{
    RunnerSettings settings = RunnerSettings::fromStore();
    if (parser.isSet(QStringLiteral("runner"))) {
        // Relative to the folder the command was given in: the runner is
        // started from the run folder, where a relative path finds nothing.
        const QString runner = SettingsStore::expandTilde(parser.value(QStringLiteral("runner")));
        settings.maestroRunnerPath = runner.isEmpty() ? runner : QDir::current().absoluteFilePath(runner);
    }
    if (parser.isSet(QStringLiteral("team-id")))
        settings.appleTeamId = parser.value(QStringLiteral("team-id"));
    if (parser.isSet(QStringLiteral("output-dir")))
        settings.reportsOutputDirectory = parser.value(QStringLiteral("output-dir"));
    return settings;
}

void addTimeOption(QCommandLineParser &parser)
{
    parser.addOption({ QStringLiteral("no-time"), QStringLiteral("Print console lines without their time stamps.") });
}

bool printTimes(const QCommandLineParser &parser)
{
    return !parser.isSet(QStringLiteral("no-time"));
}

} // namespace CliOptions
