#pragma once

#include "devices/devicedetecting.h"

// Lists exactly the device and the app named on the command line, so the run
// controller's own refreshes keep those choices whatever is attached (a
// typed bundle identifier would otherwise be replaced by the first installed
// app). Holds two values; safe on any thread.
class PinnedDeviceDetector final : public DeviceDetecting
{
public:
    PinnedDeviceDetector(DeviceInfo device, QString appId)
        : m_device(std::move(device))
        , m_appId(std::move(appId))
    { }

    DeviceScan scanDevices() override { return { { m_device }, {} }; }

    QStringList listApps(const DeviceInfo &device) override
    {
        if (device.id != m_device.id || m_appId.isEmpty())
            return {};
        return { m_appId };
    }

private:
    const DeviceInfo m_device;
    const QString m_appId;
};
