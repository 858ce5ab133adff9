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
