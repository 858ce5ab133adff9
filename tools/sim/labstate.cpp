#include "labstate.h"

#include "netfoxwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

namespace {

const QString kLabFile = QStringLiteral("lab.json");

QString kindName(SimDevice::Kind kind)
{
    switch (kind) {
    case SimDevice::Kind::Host:
        return QStringLiteral("host");
    case SimDevice::Kind::Device:
        return QStringLiteral("device");
    case SimDevice::Kind::Offline:
        return QStringLiteral("offline");
    case SimDevice::Kind::Simulator:
        return QStringLiteral("simulator");
    }
    return {};
}

SimDevice::Kind kindFromName(const QString &name)
{
    if (name == QLatin1String("host"))
        return SimDevice::Kind::Host;
    if (name == QLatin1String("offline"))
        return SimDevice::Kind::Offline;
    if (name == QLatin1String("simulator"))
        return SimDevice::Kind::Simulator;
    return SimDevice::Kind::Device;
}

QList<SimAppInfo> appleApps()
{
    return {
        { QStringLiteral("com.apple.mobilesafari"), QStringLiteral("Safari"), QStringLiteral("18.6"),
            QStringLiteral("8621.3.11.10.3") },
        { QStringLiteral("com.apple.Preferences"), QStringLiteral("Settings"), QStringLiteral("1.0"), QStringLiteral("1") },
        { QStringLiteral("com.apple.MobileSMS"), QStringLiteral("Messages"), QStringLiteral("1.0"), QStringLiteral("1.0") },
        { QStringLiteral("com.apple.mobileslideshow"), QStringLiteral("Photos"), QStringLiteral("1.0"), QStringLiteral("1.0") },
        { QStringLiteral("com.apple.TestFlight"), QStringLiteral("TestFlight"), QStringLiteral("3.7.1"), QStringLiteral("92") },
    };
}

SimAppInfo pasar()
{
    return { QStringLiteral("com.lumenfold.pasar"), QStringLiteral("Pasar"), QStringLiteral("3.14.0"), QStringLiteral("3140"),
        true };
}

SimAppInfo pasarStaging()
{
    return { QStringLiteral("com.lumenfold.pasar.staging"), QStringLiteral("Pasar Staging"), QStringLiteral("3.15.0-rc.2"),
        QStringLiteral("3151"), true };
}

SimAppInfo dompet()
{
    return { QStringLiteral("id.trellis-pay.dompet"), QStringLiteral("Dompet Kita"), QStringLiteral("2.0.1"),
        QStringLiteral("201"), false };
}

SimAppInfo notes()
{
    return { QStringLiteral("io.rinalabs.notes"), QStringLiteral("Rina\u2019s Notes"), QStringLiteral("1.2"),
        QStringLiteral("12"), false };
}

SimAppInfo wdaRunner()
{
    return { QStringLiteral("com.facebook.WebDriverAgentRunner.xctrunner"), QStringLiteral("WebDriverAgentRunner-Runner"),
        QStringLiteral("1.0"), QStringLiteral("1"), false };
}

} // namespace

const SimAppInfo *SimDevice::app(const QString &bundleId) const
{
    for (const SimAppInfo &a : apps) {
        if (a.bundleId == bundleId)
            return &a;
    }
    return nullptr;
}

QString LabState::homeFromEnvironment()
{
    const QString home = qEnvironmentVariable("KESTRUNE_SIM_HOME");
    if (!home.isEmpty())
        return home;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kestrune-sim");
}

LabState::LabState(const QString &home)
    : m_home(home)
{ }

void LabState::seed()
{
    using K = SimDevice::Kind;
    const QList<SimAppInfo> apple = appleApps();
    m_devices = {
        { QStringLiteral("305FB8F6-801F-5FD2-BE49-BE799A13D773"), QStringLiteral("QA Lab\u2019s MacBook Pro"), QString(),
            QStringLiteral("Mac15,7"), K::Host, {}, {}, {} },
        { QStringLiteral("00006001-001C35E21E38801E"), QStringLiteral("QA Lab\u2019s Mac Studio"), QStringLiteral("26.1"),
            QStringLiteral("Mac14,13"), K::Host, {}, {}, {} },
        { QStringLiteral("00008130-001E39811A12001C"), QStringLiteral("QA Lab\u2019s iPhone 15 Pro"), QStringLiteral("18.6"),
            QStringLiteral("iPhone16,1"), K::Device,
            apple + QList<SimAppInfo> { pasar(), pasarStaging(), dompet(), notes(), wdaRunner() }, pasar().bundleId,
            QStringLiteral("login") },
        { QStringLiteral("00008110-000A1C2E0E91801E"), QStringLiteral("iPhone\u00a014 Rina"), QStringLiteral("17.7"),
            QStringLiteral("iPhone14,7"), K::Device, apple + QList<SimAppInfo> { pasar(), dompet(), wdaRunner() }, {}, {} },
        { QStringLiteral("00008103-001A2B3C4D5E6F70"), QStringLiteral("iPad Pro 11-inch QA"), QStringLiteral("18.5"),
            QStringLiteral("iPad13,4"), K::Device, apple + QList<SimAppInfo> { pasar(), notes() }, {}, {} },
        { QStringLiteral("00008030-0011223344556677"), QStringLiteral("iPhone SE Kasir"), QStringLiteral("17.5"),
            QStringLiteral("iPhone12,8"), K::Offline, apple + QList<SimAppInfo> { pasar() }, {}, {} },
        { QStringLiteral("45D578D6-0267-467B-BA25-3CF08BCFE468"), QStringLiteral("iPhone 16 Pro Simulator"),
            QStringLiteral("18.6"), QStringLiteral("iPhone17,1"), K::Simulator,
            apple + QList<SimAppInfo> { pasar(), pasarStaging() }, {}, {} },
        { QStringLiteral("8E788B42-658C-47F3-A314-68CA670B7CFC"), QStringLiteral("iPad (A16) Simulator"), QStringLiteral("18.6"),
            QStringLiteral("iPad15,7"), K::Simulator, apple + QList<SimAppInfo> { pasar() }, {}, {} },
        { QStringLiteral("B1C2D3E4-F5A6-4B7C-8D9E-0F1A2B3C4D5E"), QStringLiteral("iPhone SE (3rd generation) Simulator"),
            QStringLiteral("17.5"), QStringLiteral("iPhone14,6"), K::Simulator, apple, {}, {}, true },
    };
    m_runCount = 0;
}

bool LabState::load(QString *error)
{
    QDir dir(m_home);
    if (!dir.exists() && !QDir().mkpath(m_home)) {
        *error = QStringLiteral("cannot create the lab folder %1").arg(m_home);
        return false;
    }
    QFile file(dir.filePath(kLabFile));
    if (!file.exists()) {
        seed();
        createContainers(true);
        return save(error);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(file.fileName());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("%1 is not a lab description: %2").arg(file.fileName(), parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    m_runCount = root.value(QLatin1String("runCount")).toInt();
    m_devices.clear();
    for (const QJsonValue &v : root.value(QLatin1String("devices")).toArray()) {
        const QJsonObject o = v.toObject();
        SimDevice d;
        d.udid = o.value(QLatin1String("udid")).toString();
        d.name = o.value(QLatin1String("name")).toString();
        d.osVersion = o.value(QLatin1String("osVersion")).toString();
        d.model = o.value(QLatin1String("model")).toString();
        d.kind = kindFromName(o.value(QLatin1String("kind")).toString());
        d.foregroundApp = o.value(QLatin1String("foregroundApp")).toString();
        d.screen = o.value(QLatin1String("screen")).toString();
        d.shutDown = o.value(QLatin1String("state")).toString() == QLatin1String("Shutdown");
        for (const QJsonValue &av : o.value(QLatin1String("apps")).toArray()) {
            const QJsonObject a = av.toObject();
            d.apps.append({ a.value(QLatin1String("bundleId")).toString(), a.value(QLatin1String("name")).toString(),
                a.value(QLatin1String("version")).toString(), a.value(QLatin1String("build")).toString(),
                a.value(QLatin1String("netfox")).toBool() });
        }
        if (!d.udid.isEmpty())
            m_devices.append(d);
    }
    createContainers(false);
    return true;
}

bool LabState::save(QString *error) const
{
    QJsonArray devices;
    for (const SimDevice &d : m_devices) {
        QJsonArray apps;
        for (const SimAppInfo &a : d.apps) {
            apps.append(QJsonObject { { QStringLiteral("bundleId"), a.bundleId }, { QStringLiteral("name"), a.name },
                { QStringLiteral("version"), a.version }, { QStringLiteral("build"), a.build },
                { QStringLiteral("netfox"), a.writesNetfoxLog } });
        }
        QJsonObject o { { QStringLiteral("udid"), d.udid }, { QStringLiteral("name"), d.name },
            { QStringLiteral("osVersion"), d.osVersion }, { QStringLiteral("model"), d.model },
            { QStringLiteral("kind"), kindName(d.kind) }, { QStringLiteral("apps"), apps } };
        if (!d.foregroundApp.isEmpty())
            o.insert(QStringLiteral("foregroundApp"), d.foregroundApp);
        if (!d.screen.isEmpty())
            o.insert(QStringLiteral("screen"), d.screen);
        if (d.shutDown)
            o.insert(QStringLiteral("state"), QStringLiteral("Shutdown"));
        devices.append(o);
    }
    const QJsonObject root { { QStringLiteral("runCount"), m_runCount }, { QStringLiteral("devices"), devices } };
    QSaveFile file(QDir(m_home).filePath(kLabFile));
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    return true;
}

SimDevice *LabState::device(const QString &udid)
{
    for (SimDevice &d : m_devices) {
        if (d.udid == udid)
            return &d;
    }
    return nullptr;
}

const SimDevice *LabState::device(const QString &udid) const
{
    return const_cast<LabState *>(this)->device(udid);
}

QString LabState::containerPath(const SimDevice &device, const QString &bundleId) const
{
    if (device.isSimulator()) {
        // Simulators keep data containers under a per-install UUID, as CoreSimulator does.
        const QByteArray hash = QCryptographicHash::hash((device.udid + u'/' + bundleId).toUtf8(), QCryptographicHash::Md5);
        const QString uuid = QUuid::fromRfc4122(hash).toString(QUuid::WithoutBraces).toUpper();
        return m_home + QStringLiteral("/CoreSimulator/Devices/") + device.udid
            + QStringLiteral("/data/Containers/Data/Application/") + uuid;
    }
    return m_home + QStringLiteral("/devices/") + device.udid + QStringLiteral("/AppData/") + bundleId;
}

void LabState::createContainers(bool writeOldSessions) const
{
    for (const SimDevice &d : m_devices) {
        if (d.kind == SimDevice::Kind::Host)
            continue;
        for (const SimAppInfo &a : d.apps) {
            const QString container = containerPath(d, a.bundleId);
            QDir(container).mkpath(QStringLiteral("Documents"));
            QDir(container).mkpath(QStringLiteral("tmp"));
            // A session from an earlier day, so live pulls see old traffic
            // that the run's start time must filter out. Rina's phone has
            // the app but it has not logged anything yet.
            if (writeOldSessions && a.writesNetfoxLog && !d.udid.startsWith(QLatin1String("00008110"))) {
                NetfoxWriter writer(container + u'/' + QLatin1String(kNetfoxLog), a.bundleId, 0);
                writer.writeEarlierSession();
            }
        }
    }
}
