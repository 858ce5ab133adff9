#pragma once

#include <QList>
#include <QString>

// An attached device or simulator as the device tool lists it.
struct DeviceInfo
{
    QString id; // the UDID
    QString name;
    bool isSimulator = false;

    bool operator==(const DeviceInfo &) const = default;
};

using DeviceList = QList<DeviceInfo>;

// What one device listing found: the devices and simulators a flow can run
// on (devices first, simulators after them), and the devices the tool lists
// as offline (locked, not trusted, not ready), which are only named to the
// user.
struct DeviceScan
{
    DeviceList devices;
    DeviceList offline;

    bool operator==(const DeviceScan &) const = default;
};
