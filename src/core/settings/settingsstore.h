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

    // Reversed and followed by the product name, the bundle identifier.
    static constexpr auto kOrganizationDomain = "kestrune.io";
    // The organization the user's store is filed under: the domain on macOS
    // (the defaults domain "io.kestrune.Kestrune"), the product name
    // elsewhere (~/.config/Kestrune/Kestrune.conf).
    static QString organization();

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
    // Where the store lives: the INI file, the plist or the .conf file.
    QString fileName() const { return m_settings->fileName(); }

    // "~" or "~/..." becomes the home folder; anything else is returned as is.
    static QString expandTilde(const QString &path);

private:
    std::unique_ptr<QSettings> m_settings;
};
