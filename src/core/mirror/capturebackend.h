#pragma once

#include "capturedeviceinfo.h"

#include <QObject>

#include <functional>
#include <memory>

class CaptureSession;

// The platform's screen-capture operations the mirror controller needs:
// allowing screen-capture devices, the two lists of external capture devices
// (muxed and video), an observation of the muxed list, camera authorisation
// and capture sessions. One implementation per platform (AVFoundation on
// macOS), one for the simulated lab and a fake for tests. Lives on the main
// thread; observedDevicesChanged() is emitted there.
class CaptureBackend : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptureBackend)

public:
    enum class MediaType { Muxed, Video };
    // The platform's own values.
    enum class Authorization { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

    explicit CaptureBackend(QObject *parent = nullptr)
        : QObject(parent)
    { }

    // Lets screen-capture devices (an iPhone's screen) be listed; the
    // platform's status code, 0 on success. Called once, before any listing.
    virtual int enableScreenCaptureDevices() = 0;

    // The external capture devices of one media type, in the platform's order.
    virtual CaptureDeviceList devices(MediaType type) const = 0;

    // Starts the observation of the muxed list: observedDevicesChanged()
    // then carries the current list (from the event loop, not during this
    // call) and every new list after it.
    virtual void startObserving() = 0;

    virtual Authorization authorizationStatus() const = 0;
    // Asks the user for camera access; `completion` may run on any thread.
    virtual void requestAccess(std::function<void(bool granted)> completion) = 0;

    // A session for `device` (its input made, not started); nullptr with
    // the platform's description in `error` when the input cannot be made.
    virtual std::shared_ptr<CaptureSession> createSession(const CaptureDeviceInfo &device, QString *error) = 0;

Q_SIGNALS:
    void observedDevicesChanged(const CaptureDeviceList &devices);
};
