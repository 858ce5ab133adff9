#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The application's persisted configuration: five keys of the per-user
// settings store. An absent key reads as its default; a stored value, also an
// empty string, is used exactly as stored. Paths may start with "~" and are
// expanded only when used (expandTilde).
//
// Owned by whoever needs it (cheap to create); every instance reads the same
// store. Used on the main thread. When KESTRUNE_SETTINGS_FILE is set, the store
// is that INI file instead of the user's real settings (demo mode, tests).
class SettingsStore final
{
public:
    static constexpr auto kHasCompletedSetup = "hasCompletedSetup";
    static constexpr auto kIsMirroringEnabled = "isMirroringEnabled";
    static constexpr auto kReportsOutputDirectory = "reportsOutputDirectory";
    static constexpr auto kAppleTeamId = "appleTeamID";
    static constexpr auto kMaestroRunnerPath = "maestroRunnerPath";

    static QString defaultReportsOutputDirectory();
    static QString defaultAppleTeamId();
    static QString defaultMaestroRunnerPath();

    SettingsStore();
    explicit SettingsStore(const QString &iniFile);
    ~SettingsStore();

    bool hasCompletedSetup() const;
    void setHasCompletedSetup(bool value);

    bool isMirroringEnabled() const;
    void setIsMirroringEnabled(bool value);

    // For readers that need a folder or a command line: the default when absent.
    QString reportsOutputDirectory() const;
    QString appleTeamId() const;
    QString maestroRunnerPath() const;

    // For the settings and onboarding forms: the empty string when absent
    // (the runner path shows its default, as every reader does).
    QString reportsOutputDirectoryForForm() const;
    QString appleTeamIdForForm() const;

    void setReportsOutputDirectory(const QString &value);
    void setAppleTeamId(const QString &value);
    void setMaestroRunnerPath(const QString &value);

    bool contains(const char *key) const;
    void remove(const char *key);
    void sync();

    // "~" or "~/..." becomes the home folder; anything else is returned as is.
    static QString expandTilde(const QString &path);

private:
    std::unique_ptr<QSettings> m_settings;
};
