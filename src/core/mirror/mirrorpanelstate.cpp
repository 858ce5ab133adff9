#include "mirrorpanelstate.h"

#include <QCoreApplication>

MirrorPanelState MirrorPanelState::compute(const Input &input)
{
    MirrorPanelState state;
    state.title = input.selectedDeviceName.isEmpty()
        ? QCoreApplication::translate("DeviceMirrorView", "Device Mirroring")
        : QCoreApplication::translate("DeviceMirrorView", "Device Mirroring: ") + input.selectedDeviceName;
    state.switchEnabled = !input.isSimulator && !input.isRunning;
    state.switchToolTip = input.isRunning
        ? QCoreApplication::translate("DeviceMirrorView", "Tidak dapat mengubah mirroring saat test berjalan")
        : QCoreApplication::translate(
            "DeviceMirrorView", "Aktifkan/Nonaktifkan Mirroring via USB. Matikan jika bentrok dengan Maestro WDA.");
    if (input.isConnected)
        state.dot = Dot::Green;
    else if (input.isMirroringEnabled && !input.isSimulator)
        state.dot = Dot::Orange;

    if (input.isSimulator)
        state.body = Body::Simulator;
    else if (!input.isMirroringEnabled)
        state.body = Body::Disabled;
    else if (input.permissionError)
        state.body = Body::PermissionRequired;
    else if (input.hasSession && input.isConnected)
        state.body = Body::Live;
    else
        state.body = Body::NotConnected;
    return state;
}

QString MirrorPanelState::symbol(Body body)
{
    switch (body) {
    case Body::Simulator:
        return QStringLiteral("desktopcomputer");
    case Body::Disabled:
        return QStringLiteral("eye.slash");
    case Body::PermissionRequired:
        return QStringLiteral("lock.shield");
    case Body::Live:
        return {};
    case Body::NotConnected:
        return QStringLiteral("cable.connector.slash");
    }
    return {};
}

QString MirrorPanelState::bodyTitle(Body body)
{
    switch (body) {
    case Body::Simulator:
        return QCoreApplication::translate("DeviceMirrorView", "Simulator Selected");
    case Body::Disabled:
        return QCoreApplication::translate("DeviceMirrorView", "Mirroring Disabled");
    case Body::PermissionRequired:
        return QCoreApplication::translate("DeviceMirrorView", "Permission Required");
    case Body::Live:
        return {};
    case Body::NotConnected:
        return QCoreApplication::translate("DeviceMirrorView", "Device Not Connected via USB");
    }
    return {};
}

QString MirrorPanelState::bodyMessage(Body body)
{
    switch (body) {
    case Body::Simulator:
        return QCoreApplication::translate("DeviceMirrorView", "Mirroring not supported for simulators.");
    case Body::Disabled:
        return QCoreApplication::translate("DeviceMirrorView",
            "Turn on the toggle to mirror the device screen.\nRequires USB cable \u2014 wireless/network devices are not "
            "supported.");
    case Body::PermissionRequired:
        return QCoreApplication::translate(
            "DeviceMirrorView", "Please allow Camera / Screen Recording access in System Settings to mirror device screen.");
    case Body::Live:
        return {};
    case Body::NotConnected:
        return QCoreApplication::translate("DeviceMirrorView",
            "Mirroring requires a physical USB cable.\nDevice detected via Wi-Fi/network cannot be mirrored.");
    }
    return {};
}

MirrorTriggers::Action MirrorTriggers::onShown(const Selection &now)
{
    return !now.isSimulator && !now.deviceId.isEmpty() && now.isMirroringEnabled ? Action::Start : Action::None;
}

MirrorTriggers::Action MirrorTriggers::onDeviceChanged(const Selection &now)
{
    return !now.isSimulator && now.isMirroringEnabled ? Action::Start : Action::Stop;
}

MirrorTriggers::Action MirrorTriggers::onMirroringEnabledChanged(const Selection &now)
{
    if (!now.isMirroringEnabled)
        return Action::Stop;
    return !now.isSimulator && !now.deviceId.isEmpty() ? Action::Start : Action::None;
}
