#pragma once

#include "devicedetecting.h"
#include "process/toolcommands.h"

#include <QString>
#include <QStringList>

// Lists attached devices and installed apps by running Apple's developer tools
// (`xcrun xctrace list devices`, `xcrun devicectl device info apps`) and
// parsing what they print. Holds no state: one instance lives as long as the
// run controller and is called from its workers, concurrently if need be.
class DeviceDetector final : public DeviceDetecting
{
public:
    // The xcrun to run; by default the one ToolPaths names for this process.
    DeviceDetector();
    explicit DeviceDetector(const QString &xcrunPath);

    DeviceList listDevices() override;
    QStringList listApps(const QString &deviceId) override;

    // Devices of the "== Devices ==" sections of `xctrace list devices`, in
    // the order of their lines. The host Mac and anything whose name contains
    // "mac" (any case) are left out, as are identifiers containing ":".
    static DeviceList parseDeviceList(const QString &text);

    // Every dotted token of three or more parts with a letter in it, from the
    // lines that do not mention system apps; unique, sorted by character code.
    static QStringList parseAppList(const QString &text);

private:
    // The tool's standard output as UTF-8 text; nothing when it could not be
    // started, timed out, or printed something that is not UTF-8.
    std::optional<QString> runTool(const ToolCommand &command) const;
    ToolCommands commands() const;

    QString m_xcrunPath;
};
