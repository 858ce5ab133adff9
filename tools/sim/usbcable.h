#pragma once

#include <QString>
#include <QStringList>

class LabState;
struct SimElement;

// The lab's USB side: which of its physical iPhones are attached by cable,
// whether the Mac lets the application capture them (camera access), and a
// picture of each attached phone's current screen. Kept in $KESTRUNE_SIM_HOME
// as usb.json and usb/<UDID>.png, which the application's lab capture reads.
// A lab without usb.json has the lab's iPhone 15 Pro attached and access
// granted. One thread.
class UsbCable final
{
public:
    explicit UsbCable(QString home);

    static QString stateFile(const QString &home) { return home + QStringLiteral("/usb.json"); }
    static QString pictureFile(const QString &home, const QString &udid)
    {
        return home + QStringLiteral("/usb/") + udid + QStringLiteral(".png");
    }

    bool load(QString *error);
    bool save(QString *error) const;

    const QStringList &attached() const { return m_attached; }
    bool isAttached(const QString &udid) const { return m_attached.contains(udid); }
    // "authorized", "denied", "restricted" or "notDetermined".
    QString cameraAccess() const { return m_cameraAccess; }

    // Writes the phone's screen picture when it differs from the last one
    // written by this object (a run calls this after every step).
    void showScreen(const QString &udid, const SimElement &root);

    // Writes usb.json and the attached phones' pictures when the lab has no
    // USB state yet (every role calls it, so the seeded phone has a picture).
    static void ensureSeeded(const LabState &lab);

    // `kestrune-sim usb attach|detach UDID`, `usb access VALUE`, `usb list`.
    static bool handles(const QStringList &args);
    static int run(const QStringList &args, LabState &lab);

private:
    QString m_home;
    QStringList m_attached;
    QString m_cameraAccess;
    QByteArray m_lastPicture;
};
