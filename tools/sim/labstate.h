#pragma once

#include <QList>
#include <QString>

// An app installed on a simulated device.
struct SimAppInfo
{
    QString bundleId;
    QString name;
    QString version;
    QString build;
    bool writesNetfoxLog = false; // the app embeds the network logger
};

// One device of the lab as the Apple tools list it.
struct SimDevice
{
    enum class Kind { Host, Device, Offline, Simulator };

    QString udid;
    QString name;
    QString osVersion; // empty: the listing shows no version part
    QString model; // hardware identifier, e.g. "iPhone16,1"
    Kind kind = Kind::Device;
    QList<SimAppInfo> apps;
    QString foregroundApp; // empty: the home screen
    QString screen; // the screen the foreground app shows
    bool shutDown = false; // a simulator that is not booted

    bool isSimulator() const { return kind == Kind::Simulator; }
    bool isRunnable() const { return kind == Kind::Device || kind == Kind::Simulator; }
    const SimAppInfo *app(const QString &bundleId) const;
};

// The simulated lab's state: devices, installed apps and the apps' data
// containers, kept in the folder named by KESTRUNE_SIM_HOME (lab.json plus one
// folder per container). An empty folder is seeded with the same lab every
// time. Loaded and saved by each short-lived role of kestrune-sim; one thread.
class LabState final
{
public:
    // KESTRUNE_SIM_HOME, or a folder under the user's data location.
    static QString homeFromEnvironment();

    explicit LabState(const QString &home);

    // Reads lab.json, seeding the folder first when it holds no lab yet.
    bool load(QString *error);
    bool save(QString *error) const;

    const QString &home() const { return m_home; }
    const QList<SimDevice> &devices() const { return m_devices; }
    SimDevice *device(const QString &udid);
    const SimDevice *device(const QString &udid) const;

    // The app's data container (the folder that holds tmp/, Documents/, ...).
    QString containerPath(const SimDevice &device, const QString &bundleId) const;
    static constexpr auto kNetfoxLog = "tmp/NFX/session.log";

    // Counts runs on this lab; request identifiers derive from it, so the
    // same state always produces the same traffic.
    int runCount() const { return m_runCount; }
    void setRunCount(int count) { m_runCount = count; }

private:
    void seed();
    void createContainers(bool writeOldSessions) const;

    QString m_home;
    QList<SimDevice> m_devices;
    int m_runCount = 0;
};
