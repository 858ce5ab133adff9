#pragma once

#include <QString>

// The settings a run reads, taken from the settings store when the run needs
// them (absent keys read as their defaults; paths not yet expanded). The
// command-line front end overrides single values for one call.
struct RunnerSettings
{
    QString reportsOutputDirectory;
    QString appleTeamId;
    QString maestroRunnerPath;

    static RunnerSettings fromStore();

    // The runner path with "~" expanded.
    QString expandedRunnerPath() const;
};
