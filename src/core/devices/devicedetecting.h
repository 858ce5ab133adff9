#pragma once

#include "deviceinfo.h"

#include <QStringList>

// Lists attached devices and the apps installed on one of them. Both calls
// block until the tool has exited and must not run on the main thread; failures
// show as empty lists. Implementations hold no state between calls and may be
// called from several workers at once.
class DeviceDetecting
{
public:
    virtual ~DeviceDetecting() = default;

    virtual DeviceScan scanDevices() = 0;
    DeviceList listDevices() { return scanDevices().devices; }
    // Bundle identifiers, unique and sorted ascending: the user's apps on a
    // simulator, the installed ones on a device.
    virtual QStringList listApps(const DeviceInfo &device) = 0;
};
