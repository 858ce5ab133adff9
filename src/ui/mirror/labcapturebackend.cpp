#include "labcapturebackend.h"

#include "runner/backgroundtask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace {

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString stateFile(const QString &home)
{
    return home + QStringLiteral("/usb.json");
}

QString pictureFile(const QString &home, const QString &udid)
{
    return home + QStringLiteral("/usb/") + udid + QStringLiteral(".png");
}

QDateTime modified(const QString &path)
{
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

} // namespace

LabCaptureBackend::LabCaptureBackend(QString home, QObject *parent)
    : CaptureBackend(parent)
    , m_home(std::move(home))
{
    m_poll.setInterval(250);
    connect(&m_poll, &QTimer::timeout, this, &LabCaptureBackend::poll);
}

QString LabCaptureBackend::uniqueIdFor(const QString &udid)
{
    return QStringLiteral("usb-") + QString(udid).remove(u'-') + QStringLiteral("-screen");
}

QList<LabCaptureBackend::Attached> LabCaptureBackend::readAttached() const
{
    if (m_home.isEmpty())
        return {};
    QHash<QString, QString> names;
    for (const QJsonValue &value : readJson(m_home + QStringLiteral("/lab.json")).value(QLatin1String("devices")).toArray()) {
        const QJsonObject device = value.toObject();
        const QString kind = device.value(QLatin1String("kind")).toString();
        if (kind == QLatin1String("device") || kind == QLatin1String("offline"))
            names.insert(device.value(QLatin1String("udid")).toString(), device.value(QLatin1String("name")).toString());
    }
    QList<Attached> out;
    for (const QJsonValue &value : readJson(stateFile(m_home)).value(QLatin1String("attached")).toArray()) {
        const QString udid = value.toString();
        if (names.contains(udid))
            out.append({ udid, { uniqueIdFor(udid), names.value(udid) } });
    }
    return out;
}

CaptureDeviceList LabCaptureBackend::devices(MediaType type) const
{
    // A phone's screen is a muxed device; the lab has no plain cameras.
    if (type != MediaType::Muxed)
        return {};
    CaptureDeviceList out;
    for (const Attached &attached : readAttached())
        out.append(attached.device);
    return out;
}

void LabCaptureBackend::startObserving()
{
    m_observing = true;
    m_announced = devices(MediaType::Muxed);
    const QFileInfo state(stateFile(m_home));
    m_seenStateTime = state.fileTime(QFileDevice::FileModificationTime);
    m_seenStateSize = state.size();
    QMetaObject::invokeMethod(
        this, [this, list = m_announced] { Q_EMIT observedDevicesChanged(list); }, Qt::QueuedConnection);
    if (!m_home.isEmpty())
        m_poll.start();
}

void LabCaptureBackend::poll()
{
    const QFileInfo state(stateFile(m_home));
    const QDateTime time = state.fileTime(QFileDevice::FileModificationTime);
    if (time == m_seenStateTime && state.size() == m_seenStateSize)
        return;
    m_seenStateTime = time;
    m_seenStateSize = state.size();
    const CaptureDeviceList now = devices(MediaType::Muxed);
    if (now == m_announced)
        return;
    m_announced = now;
    Q_EMIT observedDevicesChanged(now);
}

CaptureBackend::Authorization LabCaptureBackend::authorizationStatus() const
{
    const QString access = readJson(stateFile(m_home)).value(QLatin1String("cameraAccess")).toString();
    if (access == QLatin1String("denied"))
        return Authorization::Denied;
    if (access == QLatin1String("restricted"))
        return Authorization::Restricted;
    if (access == QLatin1String("notDetermined"))
        return Authorization::NotDetermined;
    return Authorization::Authorized;
}

void LabCaptureBackend::requestAccess(std::function<void(bool)> completion)
{
    // Nobody is asked in the lab: the answer is yes, from another thread
    // as on the platform.
    BackgroundTask::start([completion = std::move(completion)] { completion(true); });
}

std::shared_ptr<CaptureSession> LabCaptureBackend::createSession(const CaptureDeviceInfo &device, QString *error)
{
    for (const Attached &attached : readAttached()) {
        if (attached.device.uniqueID == device.uniqueID)
            return std::make_shared<LabCaptureSession>(device.uniqueID, pictureFile(m_home, attached.udid), m_frameIntervalMs);
    }
    *error = QStringLiteral("The device \u201c%1\u201d is not connected.").arg(device.localizedName);
    return nullptr;
}

LabCaptureSession::LabCaptureSession(QString uniqueID, QString picturePath, int frameIntervalMs)
    : m_uniqueID(std::move(uniqueID))
    , m_picturePath(std::move(picturePath))
{
    m_frames.setInterval(frameIntervalMs);
    connect(&m_frames, &QTimer::timeout, this, &LabCaptureSession::look);
}

LabCaptureSession::~LabCaptureSession()
{
    stopRunning();
}

void LabCaptureSession::startRunning()
{
    // Pool worker: the first picture is read here, before the capture counts
    // as running.
    const QDateTime written = modified(m_picturePath);
    const QImage first(m_picturePath);
    m_running = true;
    QMetaObject::invokeMethod(
        this,
        [this, first, written] {
            if (!m_running)
                return;
            show(first, written);
            m_frames.start();
        },
        Qt::QueuedConnection);
}

void LabCaptureSession::stopRunning()
{
    m_running = false;
    m_frames.stop();
}

void LabCaptureSession::look()
{
    if (m_decoding)
        return;
    const QDateTime written = modified(m_picturePath);
    if (!written.isValid() || written == m_shownTime)
        return;
    m_decoding = true;
    const QPointer<LabCaptureSession> self(this);
    const QString path = m_picturePath;
    BackgroundTask::start(
        [self, path, written] {
            const QImage picture(path);
            BackgroundTask::postToMain(self, [picture, written](LabCaptureSession *session) {
                session->m_decoding = false;
                if (session->m_running)
                    session->show(picture, written);
            });
        },
        BackgroundTask::kUserInitiated);
}

void LabCaptureSession::show(const QImage &picture, const QDateTime &written)
{
    m_shownTime = written;
    if (picture.isNull())
        return;
    m_picture = picture;
    Q_EMIT pictureChanged();
}
