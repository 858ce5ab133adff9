#include "settingsstore.h"

#include "logging.h"

#include <QDir>

namespace {

std::unique_ptr<QSettings> openStore()
{
    const QString file = qEnvironmentVariable("KESTRUNE_SETTINGS_FILE");
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(SettingsStore::organization(), QString::fromLatin1(kestrune::kProductName));
}

} // namespace

QString SettingsStore::organization()
{
#ifdef Q_OS_DARWIN
    // The domain, reversed, with the product name after it is the bundle
    // identifier: the settings land in the app's own defaults domain.
    return QString::fromLatin1(kOrganizationDomain);
#else
    return QString::fromLatin1(kestrune::kProductName);
#endif
}

QString SettingsStore::defaultReportsOutputDirectory()
{
    return QStringLiteral("~/Documents/ZovarodUdaviza");
}

QString SettingsStore::defaultAppleTeamId()
{
#ifdef KESTRUNE_DEFAULT_TEAM_ID
    return QStringLiteral(KESTRUNE_DEFAULT_TEAM_ID);
#else
    return QStringLiteral("K7QX2M9R4T");
#endif
}

QString SettingsStore::defaultMaestroRunnerPath()
{
    return QStringLiteral("~/.maestro-runner/bin/maestro-runner");
}

SettingsStore::SettingsStore()
    : m_settings(openStore())
{
}

SettingsStore::SettingsStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::hasCompletedSetup() const
{
    return m_settings->value(QLatin1String(kHasCompletedSetup), false).toBool();
}

void SettingsStore::setHasCompletedSetup(bool value)
{
    m_settings->setValue(QLatin1String(kHasCompletedSetup), value);
}

bool SettingsStore::isMirroringEnabled() const
{
    return m_settings->value(QLatin1String(kIsMirroringEnabled), true).toBool();
}

void SettingsStore::setIsMirroringEnabled(bool value)
{
    m_settings->setValue(QLatin1String(kIsMirroringEnabled), value);
}

QString SettingsStore::reportsOutputDirectory() const
{
    return m_settings->value(QLatin1String(kReportsOutputDirectory), defaultReportsOutputDirectory()).toString();
}

QString SettingsStore::appleTeamId() const
{
    return m_settings->value(QLatin1String(kAppleTeamId), defaultAppleTeamId()).toString();
}

QString SettingsStore::maestroRunnerPath() const
{
    return m_settings->value(QLatin1String(kMaestroRunnerPath), defaultMaestroRunnerPath()).toString();
}

QString SettingsStore::reportsOutputDirectoryForForm() const
{
    return m_settings->value(QLatin1String(kReportsOutputDirectory), QString()).toString();
}

QString SettingsStore::appleTeamIdForForm() const
{
    return m_settings->value(QLatin1String(kAppleTeamId), QString()).toString();
}

void SettingsStore::setReportsOutputDirectory(const QString &value)
{
    m_settings->setValue(QLatin1String(kReportsOutputDirectory), value);
}

void SettingsStore::setAppleTeamId(const QString &value)
{
    m_settings->setValue(QLatin1String(kAppleTeamId), value);
}

void SettingsStore::setMaestroRunnerPath(const QString &value)
{
    m_settings->setValue(QLatin1String(kMaestroRunnerPath), value);
}

bool SettingsStore::contains(const char *key) const
{
    return m_settings->contains(QLatin1String(key));
}

void SettingsStore::remove(const char *key)
{
    m_settings->remove(QLatin1String(key));
}

void SettingsStore::sync()
{
    m_settings->sync();
}

QString SettingsStore::expandTilde(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}
