#include "fieldindicator.h"

#include "settings/settingsstore.h"
#include "settingsform.h"

#include <QFileInfo>

FieldIndicator FieldIndicator::forPath(const QString &path, bool isDirectory)
{
    if (path.isEmpty())
        return { Kind::Invalid, QStringLiteral("Path cannot be empty") };
    const QFileInfo info(SettingsStore::expandTilde(path));
    if (info.exists() && info.isDir() == isDirectory)
        return { Kind::Valid, QStringLiteral("Valid path") };
    return { Kind::Invalid, QStringLiteral("File/Directory not found") };
}

FieldIndicator FieldIndicator::forTeamId(const QString &teamId)
{
    const QString trimmed = teamId.trimmed();
    if (trimmed.isEmpty())
        return { Kind::Warning, QStringLiteral("Required for testing on physical iOS devices") };
    if (SettingsForm::isValidTeamId(trimmed))
        return { Kind::Valid, QStringLiteral("Valid Team ID format") };
    return { Kind::Invalid, QStringLiteral("Team ID must be 10 alphanumeric characters (e.g., ABCD1234EF)") };
}
