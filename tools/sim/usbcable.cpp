#include "usbcable.h"

#include "labstate.h"
#include "pngwriter.h"
#include "simoutput.h"
#include "simscreen.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const QString kSeededPhone = QStringLiteral("00008130-001E39811A12001C");
// The mirror picture: half the screen's points in each direction.
constexpr int kPictureScale = 2;

const QStringList kAccessValues { QStringLiteral("authorized"), QStringLiteral("denied"), QStringLiteral("restricted"),
    QStringLiteral("notDetermined") };

bool writeAtomically(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace

UsbCable::UsbCable(QString home)
    : m_home(std::move(home))
    , m_attached { kSeededPhone }
    , m_cameraAccess(QStringLiteral("authorized"))
{ }

bool UsbCable::load(QString *error)
{
    QFile file(stateFile(m_home));
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(file.fileName());
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    m_attached.clear();
    for (const QJsonValue &v : root.value(QLatin1String("attached")).toArray())
        m_attached.append(v.toString());
    const QString access = root.value(QLatin1String("cameraAccess")).toString();
    m_cameraAccess = kAccessValues.contains(access) ? access : kAccessValues.first();
    return true;
}

bool UsbCable::save(QString *error) const
{
    const QJsonObject root { { QStringLiteral("attached"), QJsonArray::fromStringList(m_attached) },
        { QStringLiteral("cameraAccess"), m_cameraAccess } };
    if (!writeAtomically(stateFile(m_home), QJsonDocument(root).toJson(QJsonDocument::Indented))) {
        *error = QStringLiteral("cannot write %1").arg(stateFile(m_home));
        return false;
    }
    return true;
}

void UsbCable::showScreen(const QString &udid, const SimElement &root)
{
    const QByteArray picture = PngWriter::screenshot(root, kPictureScale);
    if (picture == m_lastPicture)
        return;
    if (writeAtomically(pictureFile(m_home, udid), picture))
        m_lastPicture = picture;
}

void UsbCable::ensureSeeded(const LabState &lab)
{
    if (QFileInfo::exists(stateFile(lab.home())))
        return;
    UsbCable usb(lab.home());
    for (const QString &udid : usb.m_attached) {
        if (const SimDevice *device = lab.device(udid))
            usb.showScreen(udid, SimScreen(*device).tree());
    }
    QString error;
    usb.save(&error);
}

bool UsbCable::handles(const QStringList &args)
{
    return !args.isEmpty() && args.first() == QLatin1String("usb");
}

int UsbCable::run(const QStringList &args, LabState &lab)
{
    UsbCable usb(lab.home());
    QString error;
    if (!usb.load(&error)) {
        SimOutput::err(QStringLiteral("Error: ") + error + u'\n');
        return 1;
    }
    const QString verb = args.value(1);
    const QString value = args.value(2);
    if (verb == QLatin1String("list") && args.size() == 2) {
        for (const QString &udid : usb.m_attached)
            SimOutput::out(udid + u'\n');
        return 0;
    }
    if (verb == QLatin1String("access") && args.size() == 3 && kAccessValues.contains(value)) {
        usb.m_cameraAccess = value;
    } else if ((verb == QLatin1String("attach") || verb == QLatin1String("detach")) && args.size() == 3) {
        const SimDevice *device = lab.device(value);
        if (!device || device->kind == SimDevice::Kind::Host || device->isSimulator()) {
            SimOutput::err(QStringLiteral("Error: %1 is not one of the lab's iPhones or iPads\n").arg(value));
            return 1;
        }
        if (verb == QLatin1String("attach")) {
            if (!usb.m_attached.contains(value))
                usb.m_attached.append(value);
            // The picture first, so the phone is never listed without one.
            usb.showScreen(value, SimScreen(*device).tree());
        } else {
            usb.m_attached.removeAll(value);
        }
    } else {
        SimOutput::err(QStringLiteral("Usage: kestrune-sim usb attach|detach UDID | usb access "
                                      "authorized|denied|restricted|notDetermined | usb list\n"));
        return 64;
    }
    if (!usb.save(&error)) {
        SimOutput::err(QStringLiteral("Error: ") + error + u'\n');
        return 1;
    }
    return 0;
}
