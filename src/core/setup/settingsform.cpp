#include "settingsform.h"

#include "settings/settingsstore.h"

#include <QRegularExpression>

SettingsForm SettingsForm::load(const SettingsStore &store)
{
    return { store.reportsOutputDirectoryForForm(), store.appleTeamIdForForm(), store.maestroRunnerPath() };
}

SettingsForm SettingsForm::store(SettingsStore &store, const SettingsForm &edited)
{
    const SettingsForm values = edited.trimmed();
    store.setReportsOutputDirectory(values.reportsOutputDirectory);
    store.setAppleTeamId(values.appleTeamID);
    store.setMaestroRunnerPath(values.maestroRunnerPath);
    store.sync();
    return values;
}

bool SettingsForm::isValidTeamId(const QString &teamId)
{
    // Anchored to the whole text: "$" alone would also accept a final line break.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[A-Z0-9]{10}")));
    return pattern.match(teamId).hasMatch();
}

SettingsForm SettingsForm::trimmed() const
{
    return { reportsOutputDirectory.trimmed(), appleTeamID.trimmed(), maestroRunnerPath.trimmed() };
}

bool SettingsForm::isFormValid() const
{
    const SettingsForm values = trimmed();
    return isValidTeamId(values.appleTeamID) && !values.reportsOutputDirectory.isEmpty() && !values.maestroRunnerPath.isEmpty();
}
