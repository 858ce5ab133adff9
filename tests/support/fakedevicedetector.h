#pragma once

#include "devices/devicedetecting.h"

#include <QHash>
#include <QMutex>
#include <QSemaphore>

#include <atomic>

// Answers from lists a test sets up; counts the calls. Called from pool
// workers, so everything it shares with the test is guarded. A test may hold
// listings back (`gate`) to control the order in which results arrive.
class FakeDeviceDetector final : public DeviceDetecting
{
public:
    DeviceScan scanDevices() override
    {
        ++deviceCalls;
        waitAtGate();
        QMutexLocker lock(&m_mutex);
        return { m_devices, m_offline };
    }

    QStringList listApps(const DeviceInfo &device) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_appRequests.append(device.id);
        }
        ++appCalls;
        waitAtGate();
        QMutexLocker lock(&m_mutex);
        return m_apps.value(device.id);
    }

    void setDevices(const DeviceList &devices, const DeviceList &offline = {})
    {
        QMutexLocker lock(&m_mutex);
        m_devices = devices;
        m_offline = offline;
    }

    void setApps(const QString &deviceId, const QStringList &apps)
    {
        QMutexLocker lock(&m_mutex);
        m_apps.insert(deviceId, apps);
    }

    QStringList appRequests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_appRequests;
    }

    // While closed, listings wait until release() lets one through.
    void closeGate() { m_gated = true; }
    void release(int count = 1) { m_gate.release(count); }
    void openGate()
    {
        m_gated = false;
        m_gate.release(100);
    }

    std::atomic<int> deviceCalls { 0 };
    std::atomic<int> appCalls { 0 };

private:
    void waitAtGate()
    {
        if (m_gated)
            m_gate.acquire();
    }

    mutable QMutex m_mutex;
    DeviceList m_devices;
    DeviceList m_offline;
    QHash<QString, QStringList> m_apps;
    QStringList m_appRequests;
    std::atomic<bool> m_gated { false };
    QSemaphore m_gate;
};
