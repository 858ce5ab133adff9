#pragma once

#include <QList>
#include <QString>

// One external capture device as the platform lists it: an iPhone attached
// by cable shows up with a unique identifier that holds its UDID (without
// hyphens, inside a longer identifier) and with the phone's name. Two
// entries are the same device when their identifiers are equal.
struct CaptureDeviceInfo
{
    QString uniqueID;
    QString localizedName;

    bool operator==(const CaptureDeviceInfo &other) const { return uniqueID == other.uniqueID; }
};

using CaptureDeviceList = QList<CaptureDeviceInfo>;
