#pragma once

#include <QString>

class SettingsStore;

// The three settings a run needs, as the settings screen and onboarding edit
// them, with the rules both forms share. A plain value.
struct SettingsForm
{
    QString reportsOutputDirectory;
    QString appleTeamID;
    QString maestroRunnerPath;

    // The stored values as the forms show them: an absent folder or Team ID
    // is empty, an absent runner path is its default.
    static SettingsForm load(const SettingsStore &store);

    // Writes the trimmed values, so a Team ID typed with a trailing space
    // never reaches the runner's command line with it. Returns what it wrote.
    static SettingsForm store(SettingsStore &store, const SettingsForm &edited);

    // Ten capital letters or digits, nothing else (case-sensitive).
    static bool isValidTeamId(const QString &teamId);

    // Each value trimmed of whitespace and line breaks.
    SettingsForm trimmed() const;

    // The trimmed Team ID is valid, and the trimmed folder and runner path
    // are not empty.
    bool isFormValid() const;

    // Any value differs from `stored`, compared exactly (no trimming).
    bool hasChanges(const SettingsForm &stored) const { return !(*this == stored); }

    bool operator==(const SettingsForm &) const = default;
};
