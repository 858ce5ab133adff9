#pragma once

#include "mirror/capturebackend.h"
#include "mirror/capturesession.h"

#include <QDateTime>
#include <QImage>
#include <QTimer>

#include <atomic>

// Screen capture from the simulated device lab (demo mode, end-to-end
// tests): the lab's phones attached by its USB cable (usb.json in the lab's
// folder) are the external devices, each under an identifier that holds its
// UDID without hyphens, with the phone's name from lab.json; the lab's
// camera-access setting is the authorisation; a session shows the picture
// the lab keeps of the phone's current screen (usb/<UDID>.png) and picks up
// each new one. The cable state is polled four times a second. Main thread.
class LabCaptureBackend final : public CaptureBackend
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LabCaptureBackend)

public:
    // `home` is the lab's folder (KESTRUNE_SIM_HOME); an empty one lists nothing.
    explicit LabCaptureBackend(QString home, QObject *parent = nullptr);

    // How often a session looks for a new picture (60 times a second, so a
    // picture written 30 times a second is never missed).
    void setFrameInterval(int ms) { m_frameIntervalMs = ms; }

    int enableScreenCaptureDevices() override { return 0; }
    CaptureDeviceList devices(MediaType type) const override;
    void startObserving() override;
    Authorization authorizationStatus() const override;
    void requestAccess(std::function<void(bool)> completion) override;
    std::shared_ptr<CaptureSession> createSession(const CaptureDeviceInfo &device, QString *error) override;

    // "usb-<UDID without hyphens>-screen", as the lab lists a phone's screen.
    static QString uniqueIdFor(const QString &udid);

private:
    struct Attached
    {
        QString udid;
        CaptureDeviceInfo device;
    };
    QList<Attached> readAttached() const;
    void poll();

    QString m_home;
    int m_frameIntervalMs = 16;
    QTimer m_poll;
    QDateTime m_seenStateTime;
    qint64 m_seenStateSize = -1;
    CaptureDeviceList m_announced;
    bool m_observing = false;
};

// The capture of one lab phone: its current screen's picture, re-read
// whenever the lab writes a new one (decoded on a pool worker).
class LabCaptureSession final : public CaptureSession
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LabCaptureSession)

public:
    LabCaptureSession(QString uniqueID, QString picturePath, int frameIntervalMs);
    ~LabCaptureSession() override;

    QString deviceUniqueID() const override { return m_uniqueID; }
    void startRunning() override;
    void stopRunning() override;
    bool isRunning() const override { return m_running; }
    QVariant picture() const override { return m_picture.isNull() ? QVariant() : QVariant(m_picture); }

private:
    void look();
    void show(const QImage &picture, const QDateTime &written);

    const QString m_uniqueID;
    const QString m_picturePath;
    QTimer m_frames;
    std::atomic<bool> m_running { false };
    bool m_decoding = false;
    QDateTime m_shownTime;
    QImage m_picture;
};
