#pragma once

#include "capturebackend.h"
#include "capturedeviceinfo.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class CaptureSession;

// Mirrors the screen of the selected iPhone when it is attached by cable:
// finds its external capture device (by UDID, then by name, device by
// device), starts a capture of it on a pool worker and publishes it, stops
// it when the device leaves the list, and reconnects by itself while a
// target is set. Every decision lives here; the platform sits behind the
// CaptureBackend handed in at construction, which must outlive it.
//
// A failed search (no external devices, or none that matches) and a
// captured device that leaves the list keep the target: plugging the cable
// in after selecting the device, or back in after pulling it, connects
// through the device-list observation, and one re-check a second after a
// failed search covers a device that the platform lists only after a delay.
// Only an empty target, a device whose input cannot be made and
// stopMirroring() clear it.
//
// One per mirror panel; lives on the main thread. Diagnostic lines go to the
// "Device" log category.
class DeviceMirrorViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceMirrorViewModel)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(bool permissionError READ permissionError NOTIFY permissionErrorChanged)

public:
    explicit DeviceMirrorViewModel(CaptureBackend *backend, QObject *parent = nullptr);
    ~DeviceMirrorViewModel() override;

    // The running capture of the matched device; null when not mirroring.
    std::shared_ptr<CaptureSession> session() const { return m_session; }
    bool isConnected() const { return m_isConnected; }
    bool permissionError() const { return m_permissionError; }
    std::optional<CaptureDeviceInfo> currentDevice() const { return m_currentDevice; }
    std::optional<QString> targetUDID() const { return m_targetUDID; }
    std::optional<QString> targetDeviceName() const { return m_targetDeviceName; }

    // The panel writes the target, then asks to connect. An empty name
    // counts as none.
    void setTarget(const QString &udid, const QString &name);

    // The delay of the re-check after a failed search (one second).
    void setRecheckDelay(std::chrono::milliseconds delay) { m_recheck.setInterval(delay); }
    bool isRecheckPending() const { return m_recheck.isActive(); }

    // What the platform lists: the muxed devices, then the video devices
    // that are not among them.
    CaptureDeviceList externalCaptureDevices() const;

public Q_SLOTS:
    void requestAccessAndConnect();
    void findAndConnectDevice();
    void connectDevice(const CaptureDeviceInfo &device);
    void stopMirroring();
    void handleDeviceListChange(const CaptureDeviceList &devices);

Q_SIGNALS:
    void sessionChanged();
    void isConnectedChanged();
    void permissionErrorChanged();

private:
    // Stops and forgets the capture; the target stays.
    void stopCapture();
    void setPermissionError(bool value);
    void publish(std::shared_ptr<CaptureSession> session, const CaptureDeviceInfo &device, quint64 generation);
    void recheck();

    CaptureBackend *m_backend;
    std::shared_ptr<CaptureSession> m_session;
    bool m_isConnected = false;
    bool m_permissionError = false;
    std::optional<CaptureDeviceInfo> m_currentDevice;
    std::optional<QString> m_targetUDID;
    std::optional<QString> m_targetDeviceName;

    // A start on a worker that has not been published yet: its device, and
    // the generation it belongs to. stopMirroring() moves to a new
    // generation, so a start that finishes after it is stopped, not shown.
    std::optional<CaptureDeviceInfo> m_startingDevice;
    quint64 m_generation = 0;

    QTimer m_recheck;
    QString m_recheckUDID;
    bool m_inRecheck = false;
};
