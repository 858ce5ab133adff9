#pragma once

#include "mirror/capturebackend.h"
#include "mirror/capturesession.h"

#include <QHash>
#include <QMetaObject>
#include <QSemaphore>
#include <QSet>

#include <atomic>
#include <memory>
#include <thread>

// A capture session that only counts: started on a pool worker (held there
// while the test keeps the gate closed), stopped on the main thread.
class FakeCaptureSession final : public CaptureSession
{
public:
    FakeCaptureSession(QString uniqueID, QSemaphore *gate)
        : m_uniqueID(std::move(uniqueID))
        , m_gate(gate)
    { }
    ~FakeCaptureSession() override { stopRunning(); }

    QString deviceUniqueID() const override { return m_uniqueID; }
    void startRunning() override
    {
        if (m_gate) {
            m_gate->acquire();
            m_gate->release();
        }
        m_running = true;
    }
    void stopRunning() override { m_running = false; }
    bool isRunning() const override { return m_running; }
    QVariant picture() const override { return m_picture; }

    // A new picture from the device (a QImage for the widgets layer).
    void show(const QVariant &picture)
    {
        m_picture = picture;
        Q_EMIT pictureChanged();
    }

private:
    QString m_uniqueID;
    QSemaphore *m_gate;
    std::atomic<bool> m_running { false };
    QVariant m_picture;
};

// Device lists, authorisation and sessions a test sets up. Changing the
// muxed list is observed as on the platform: the list arrives from the
// event loop. The access answer comes from another thread.
class FakeCaptureBackend final : public CaptureBackend
{
public:
    int enableStatus = 0;
    int enableCalls = 0;
    Authorization authorization = Authorization::Authorized;
    bool grantsAccess = true;
    int accessRequests = 0;
    QSet<QString> brokenDevices; // their input cannot be made
    QList<std::weak_ptr<FakeCaptureSession>> sessions;

    int enableScreenCaptureDevices() override
    {
        ++enableCalls;
        return enableStatus;
    }
    CaptureDeviceList devices(MediaType type) const override { return type == MediaType::Muxed ? m_muxed : m_video; }
    void startObserving() override { announce(); }
    Authorization authorizationStatus() const override { return authorization; }
    void requestAccess(std::function<void(bool)> completion) override
    {
        ++accessRequests;
        const bool granted = grantsAccess;
        std::thread([completion = std::move(completion), granted] { completion(granted); }).join();
    }
    std::shared_ptr<CaptureSession> createSession(const CaptureDeviceInfo &device, QString *error) override
    {
        if (brokenDevices.contains(device.uniqueID)) {
            *error = QStringLiteral("Cannot use %1").arg(device.localizedName);
            return nullptr;
        }
        auto session = std::make_shared<FakeCaptureSession>(device.uniqueID, m_holdStarts ? &m_gate : nullptr);
        sessions.append(session);
        return session;
    }

    void setMuxed(const CaptureDeviceList &devices)
    {
        m_muxed = devices;
        announce();
    }
    // The video list is read, not observed.
    void setVideo(const CaptureDeviceList &devices) { m_video = devices; }

    // Sessions created from now on block in startRunning until released.
    void holdStarts()
    {
        m_holdStarts = true;
        m_gate.tryAcquire(m_gate.available());
    }
    void releaseStarts()
    {
        m_holdStarts = false;
        m_gate.release();
    }

    bool isHoldingStarts() const { return m_holdStarts; }

    // The newest session created, if it still exists.
    std::shared_ptr<FakeCaptureSession> lastSession() const { return sessions.isEmpty() ? nullptr : sessions.last().lock(); }

    int runningSessions() const
    {
        int running = 0;
        for (const auto &weak : sessions) {
            if (const auto session = weak.lock(); session && session->isRunning())
                ++running;
        }
        return running;
    }

private:
    void announce()
    {
        QMetaObject::invokeMethod(
            this, [this, list = m_muxed] { Q_EMIT observedDevicesChanged(list); }, Qt::QueuedConnection);
    }

    CaptureDeviceList m_muxed;
    CaptureDeviceList m_video;
    bool m_holdStarts = false;
    QSemaphore m_gate;
};
