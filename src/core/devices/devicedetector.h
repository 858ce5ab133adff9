#pragma once

#include "devicedetecting.h"
#include "process/toolcommands.h"

#include <QString>
#include <QStringList>

// Lists attached devices and installed apps by running Apple's developer tools
// (`xcrun xctrace list devices`, `xcrun devicectl device info apps`, and
// `xcrun simctl listapps` for a simulator) and parsing what they print. Holds no state: one instance lives as long as the
// run controller and is called from its workers, concurrently if need be.
class DeviceDetector final : public DeviceDetecting
{
public:
    // The xcrun to run; by default the one ToolPaths names for this process.
    DeviceDetector();
    explicit DeviceDetector(const QString &xcrunPath);

    DeviceScan scanDevices() override;
    QStringList listApps(const DeviceInfo &device) override;
    // The same, and why the tool failed in `failure` (left empty when it
    // worked): it could not be started, did not finish in time, exited with a
    // status other than 0 or printed something that is not UTF-8. What it
    // printed is still read. An empty list from a working tool is no failure.
    DeviceScan scanDevices(QString *failure);
    QStringList listApps(const DeviceInfo &device, QString *failure);

    // `xctrace list devices`: the entries of the "== Devices ==" sections in
    // the order of their lines, then those of "== Simulators ==" (marked as
    // simulators), and apart from them those of "== Devices Offline ==". The
    // host Mac (the word "Mac" or a Mac model name starting a word of the
    // name), Apple Watches among the offline entries and identifiers
    // containing ":" are left out.
    static DeviceScan scanDeviceList(const QString &text);
    static DeviceList parseDeviceList(const QString &text) { return scanDeviceList(text).devices; }
    // Whether a listed name is the host Mac rather than a device that runs flows.
    static bool isMacName(const QString &name);

    // `devicectl device info apps`: every dotted token of three or more parts
    // with a letter in it, from the lines that do not mention system apps;
    // unique, sorted by character code.
    static QStringList parseAppList(const QString &text);

    // `simctl listapps`: the bundle identifiers of the user's own apps
    // ("ApplicationType = User"), not the simulator's system apps; unique,
    // sorted by character code.
    static QStringList parseSimulatorAppList(const QString &text);

private:
    // The tool's standard output as UTF-8 text; nothing when it could not be
    // started, timed out, or printed something that is not UTF-8.
    std::optional<QString> runTool(const ToolCommand &command, QString *failure = nullptr) const;
    ToolCommands commands() const;

    QString m_xcrunPath;
};
