#include "runnersettings.h"

#include "settings/settingsstore.h"

RunnerSettings RunnerSettings::fromStore()
{
    const SettingsStore store;
    return { store.reportsOutputDirectory(), store.appleTeamId(), store.maestroRunnerPath() };
}

QString RunnerSettings::expandedRunnerPath() const
{
    return SettingsStore::expandTilde(maestroRunnerPath);
}
