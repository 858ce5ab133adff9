#include "devicemirrorviewmodel.h"

#include "capturesession.h"
#include "mirrormatching.h"
#include "runner/backgroundtask.h"
#include "settings/logging.h"

#include <QPointer>

DeviceMirrorViewModel::DeviceMirrorViewModel(CaptureBackend *backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
{
    m_recheck.setSingleShot(true);
    m_recheck.setInterval(std::chrono::seconds(1));
    QObject::connect(&m_recheck, &QTimer::timeout, this, &DeviceMirrorViewModel::recheck);

    if (const int status = m_backend->enableScreenCaptureDevices(); status != 0)
        qCInfo(lcDevice, "Failed to enable screen capture devices (CoreMediaIO error: %d)", status);
    // The connection ends with this object: the observation never reaches a
    // controller that is gone.
    QObject::connect(m_backend, &CaptureBackend::observedDevicesChanged, this, &DeviceMirrorViewModel::handleDeviceListChange,
        Qt::QueuedConnection);
    m_backend->startObserving();
}

DeviceMirrorViewModel::~DeviceMirrorViewModel()
{
    stopMirroring();
}

void DeviceMirrorViewModel::setTarget(const QString &udid, const QString &name)
{
    m_targetUDID = udid;
    // An empty name (none selected) is no name: only the UDID can match.
    m_targetDeviceName = name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

CaptureDeviceList DeviceMirrorViewModel::externalCaptureDevices() const
{
    CaptureDeviceList devices = m_backend->devices(CaptureBackend::MediaType::Muxed);
    for (const CaptureDeviceInfo &device : m_backend->devices(CaptureBackend::MediaType::Video)) {
        if (!devices.contains(device))
            devices.append(device);
    }
    return devices;
}

void DeviceMirrorViewModel::handleDeviceListChange(const CaptureDeviceList &devices)
{
    qCInfo(lcDevice, "DeviceMirrorViewModel: DiscoverySession updated with %ld devices", long(devices.size()));
    if (!m_isConnected && m_targetUDID) {
        // Searching: connect once the device is listed, but never past a
        // refused (or not yet given) camera access.
        if (m_backend->authorizationStatus() == CaptureBackend::Authorization::Authorized)
            findAndConnectDevice();
    } else if (m_isConnected && m_currentDevice && !devices.contains(*m_currentDevice)) {
        qCInfo(lcDevice, "DeviceMirrorViewModel: Current device disappeared!");
        // Searching again: plugging the cable back in reconnects.
        stopCapture();
    }
}

void DeviceMirrorViewModel::requestAccessAndConnect()
{
    switch (m_backend->authorizationStatus()) {
    case CaptureBackend::Authorization::Authorized:
        findAndConnectDevice();
        break;
    case CaptureBackend::Authorization::Restricted:
    case CaptureBackend::Authorization::Denied:
        QMetaObject::invokeMethod(
            this, [this] { setPermissionError(true); }, Qt::QueuedConnection);
        break;
    case CaptureBackend::Authorization::NotDetermined: {
        const QPointer<DeviceMirrorViewModel> self(this);
        m_backend->requestAccess([self](bool granted) {
            // Any thread: the answer goes to the main thread, and only to a
            // controller that still exists.
            BackgroundTask::postToMain(self, [granted](DeviceMirrorViewModel *vm) {
                if (granted)
                    vm->findAndConnectDevice();
                else
                    vm->setPermissionError(true);
            });
        });
        break;
    }
    }
}

void DeviceMirrorViewModel::findAndConnectDevice()
{
    const bool fromRecheck = std::exchange(m_inRecheck, false);
    if (!m_targetUDID || m_targetUDID->isEmpty()) {
        stopMirroring();
        return;
    }
    const CaptureDeviceList devices = externalCaptureDevices();
    const MirrorMatching::Match match = MirrorMatching::findMatch(devices, *m_targetUDID, m_targetDeviceName);
    if (devices.isEmpty()) {
        qCInfo(lcDevice, "DeviceMirrorViewModel: No external devices found at all.");
    } else {
        const qsizetype evaluated = match.index >= 0 ? match.index + 1 : devices.size();
        for (qsizetype i = 0; i < evaluated; ++i) {
            qCInfo(lcDevice, "DeviceMirrorViewModel: Evaluating device: '%s' ID: %s", qUtf8Printable(devices.at(i).localizedName),
                qUtf8Printable(devices.at(i).uniqueID));
        }
    }
    if (match.kind == MirrorMatching::MatchKind::None) {
        if (!devices.isEmpty()) {
            qCInfo(lcDevice, "DeviceMirrorViewModel: No match found for UDID: %s or Name: %s", qUtf8Printable(*m_targetUDID),
                m_targetDeviceName ? qUtf8Printable(*m_targetDeviceName) : "nil");
        }
        // Not mirroring, but the target stays: the device-list observation
        // connects once the device is listed.
        stopCapture();
        if (!fromRecheck) {
            m_recheckUDID = *m_targetUDID;
            m_recheck.start();
        }
        return;
    }
    const CaptureDeviceInfo &device = devices.at(match.index);
    if (match.kind == MirrorMatching::MatchKind::ByUdid)
        qCInfo(lcDevice, "DeviceMirrorViewModel: Matched by UDID!");
    else
        qCInfo(lcDevice, "DeviceMirrorViewModel: Matched by Name! ('%s')", qUtf8Printable(*m_targetDeviceName));
    qCInfo(lcDevice, "DeviceMirrorViewModel: Connecting to %s", qUtf8Printable(device.localizedName));
    connectDevice(device);
}

void DeviceMirrorViewModel::connectDevice(const CaptureDeviceInfo &device)
{
    if (m_currentDevice && m_currentDevice->uniqueID == device.uniqueID)
        return;
    // A start for this device is already under way.
    if (m_startingDevice && m_startingDevice->uniqueID == device.uniqueID)
        return;
    QString error;
    std::shared_ptr<CaptureSession> session = m_backend->createSession(device, &error);
    if (!session) {
        qCInfo(lcDevice, "Error connecting to device: %s", qUtf8Printable(error));
        stopMirroring();
        return;
    }
    // Starting another device takes over from any start still under way.
    const quint64 generation = ++m_generation;
    m_startingDevice = device;
    const QPointer<DeviceMirrorViewModel> self(this);
    BackgroundTask::start(
        [self, session, device, generation]() mutable {
            session->startRunning();
            // The session goes back with the call, so its last owner lets
            // go of it on the main thread.
            BackgroundTask::postToMain(
                self, [session = std::move(session), device, generation](DeviceMirrorViewModel *vm) mutable {
                    vm->publish(std::move(session), device, generation);
                });
        },
        BackgroundTask::kUserInitiated);
}

void DeviceMirrorViewModel::publish(std::shared_ptr<CaptureSession> session, const CaptureDeviceInfo &device, quint64 generation)
{
    if (generation != m_generation) {
        // Stopped (or moved to another target) while it was starting.
        session->stopRunning();
        return;
    }
    m_startingDevice.reset();
    if (m_session && m_session != session)
        m_session->stopRunning();
    m_session = std::move(session);
    m_currentDevice = device;
    const bool wasConnected = std::exchange(m_isConnected, true);
    Q_EMIT sessionChanged();
    if (!wasConnected)
        Q_EMIT isConnectedChanged();
    setPermissionError(false);
}

void DeviceMirrorViewModel::stopMirroring()
{
    stopCapture();
    m_targetUDID.reset();
    m_targetDeviceName.reset();
}

void DeviceMirrorViewModel::stopCapture()
{
    ++m_generation;
    m_startingDevice.reset();
    m_recheck.stop();
    const bool hadSession = m_session != nullptr;
    if (m_session)
        m_session->stopRunning();
    m_session.reset();
    m_currentDevice.reset();
    const bool wasConnected = std::exchange(m_isConnected, false);
    if (hadSession)
        Q_EMIT sessionChanged();
    if (wasConnected)
        Q_EMIT isConnectedChanged();
}

void DeviceMirrorViewModel::setPermissionError(bool value)
{
    if (m_permissionError == value)
        return;
    m_permissionError = value;
    Q_EMIT permissionErrorChanged();
}

void DeviceMirrorViewModel::recheck()
{
    if (m_isConnected || !m_targetUDID || *m_targetUDID != m_recheckUDID
        || m_backend->authorizationStatus() != CaptureBackend::Authorization::Authorized)
        return;
    m_inRecheck = true;
    findAndConnectDevice();
}
