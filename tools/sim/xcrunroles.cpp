#include "xcrunroles.h"

#include "labstate.h"
#include "simoutput.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

void progress(const QString &message)
{
    SimOutput::out(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + message + u'\n');
}

int usage(const QString &tool)
{
    SimOutput::err(QStringLiteral("error: %1: unsupported arguments for the simulated lab\n").arg(tool));
    return 64;
}

QString optionValue(const QStringList &args, const QString &name)
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

int listDevices(const LabState &lab)
{
    using K = SimDevice::Kind;
    const auto line = [](const SimDevice &d) -> QString {
        QString text = d.name;
        if (!d.osVersion.isEmpty())
            text += QStringLiteral(" (") + d.osVersion + u')';
        return text + QStringLiteral(" (") + d.udid + QStringLiteral(")\n");
    };
    QString devices, offline, simulators;
    for (const SimDevice &d : lab.devices()) {
        if (d.kind == K::Host || d.kind == K::Device)
            devices += line(d);
        else if (d.kind == K::Offline)
            offline += line(d);
        else
            simulators += line(d);
    }
    QString text;
    const auto section = [&](const QString &title, const QString &body) {
        if (body.isEmpty())
            return;
        if (!text.isEmpty())
            text += u'\n';
        text += title + u'\n' + body;
    };
    section(QStringLiteral("== Devices =="), devices);
    section(QStringLiteral("== Devices Offline =="), offline);
    section(QStringLiteral("== Simulators =="), simulators);
    SimOutput::out(text);
    return 0;
}

// devicectl only reaches connected physical devices.
const SimDevice *connectedDevice(const LabState &lab, const QString &udid)
{
    const SimDevice *d = lab.device(udid);
    if (!d || d->kind == SimDevice::Kind::Host || d->isSimulator()) {
        SimOutput::err(
            QStringLiteral("ERROR: The specified device was not found. (com.apple.dt.CoreDeviceError error 1000 (0x3E8))\n"
                           "       DeviceIdentifier = %1\n")
                .arg(udid));
        return nullptr;
    }
    if (d->kind == SimDevice::Kind::Offline) {
        SimOutput::err(
            QStringLiteral("ERROR: The device is not currently connected. (com.apple.dt.CoreDeviceError error 4 (0x04))\n"
                           "       DeviceName = %1\n")
                .arg(d->name));
        return nullptr;
    }
    return d;
}

void deviceProgress()
{
    progress(QStringLiteral("Acquired tunnel connection to device."));
    progress(QStringLiteral("Enabling developer disk image services."));
    progress(QStringLiteral("Acquired usage assertion."));
}

int listApps(const LabState &lab, const QStringList &args)
{
    const QString udid = optionValue(args, QStringLiteral("--device"));
    if (udid.isEmpty()) {
        SimOutput::err(QStringLiteral("Error: Missing expected argument '--device <device>'\n"));
        return 64;
    }
    const SimDevice *d = connectedDevice(lab, udid);
    if (!d)
        return 1;
    deviceProgress();
    const QStringList header { QStringLiteral("Name"), QStringLiteral("Bundle Identifier"), QStringLiteral("Version"),
        QStringLiteral("Bundle Version") };
    QList<QStringList> rows;
    for (const SimAppInfo &a : d->apps)
        rows.append({ a.name, a.bundleId, a.version, a.build });
    std::sort(rows.begin(), rows.end(), [](const QStringList &l, const QStringList &r) { return l[0] < r[0]; });
    QList<qsizetype> widths;
    for (const QString &h : header)
        widths << h.size();
    for (const QStringList &row : rows) {
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    const auto format = [&](const QStringList &cells) -> QString {
        QString line;
        for (int c = 0; c < 4; ++c) {
            if (c == 3)
                line += cells[c];
            else
                line += cells[c].leftJustified(widths[c]) + QStringLiteral("   ");
        }
        return line + u'\n';
    };
    QString text = QStringLiteral("Apps installed:\n") + format(header);
    QStringList dashes;
    for (int c = 0; c < 4; ++c)
        dashes << QString(widths[c], u'-');
    text += format(dashes);
    for (const QStringList &row : rows)
        text += format(row);
    SimOutput::out(text);
    return 0;
}

int copyFrom(const LabState &lab, const QStringList &args)
{
    const QString udid = optionValue(args, QStringLiteral("--device"));
    const QString domainType = optionValue(args, QStringLiteral("--domain-type"));
    const QString bundle = optionValue(args, QStringLiteral("--domain-identifier"));
    const QString source = optionValue(args, QStringLiteral("--source"));
    const QString destination = optionValue(args, QStringLiteral("--destination"));
    if (udid.isEmpty() || source.isEmpty() || destination.isEmpty()) {
        SimOutput::err(QStringLiteral("Error: Missing expected arguments '--device', '--source' and '--destination'\n"));
        return 64;
    }
    if (domainType != QLatin1String("appDataContainer")) {
        SimOutput::err(
            QStringLiteral("ERROR: The domain type \u201c%1\u201d is not supported by the simulated lab.\n").arg(domainType));
        return 1;
    }
    const SimDevice *d = connectedDevice(lab, udid);
    if (!d)
        return 1;
    deviceProgress();
    if (!d->app(bundle)) {
        SimOutput::err(QStringLiteral("ERROR: Failed to find the app container for bundle identifier %1. "
                                      "(com.apple.dt.CoreDeviceError error 10002 (0x271A))\n")
                           .arg(bundle));
        return 1;
    }
    const QString container = lab.containerPath(*d, bundle);
    const QString from = QDir::cleanPath(container + u'/' + source);
    if (!from.startsWith(container + u'/') || !QFileInfo(from).isFile()) {
        SimOutput::err(QStringLiteral("ERROR: The file \u201c%1\u201d couldn\u2019t be opened because there is no such file. "
                                      "(NSCocoaErrorDomain error 260.)\n")
                           .arg(QFileInfo(source).fileName()));
        return 1;
    }
    QFile in(from);
    QSaveFile out(destination);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        SimOutput::err(QStringLiteral("ERROR: You don\u2019t have permission to save the file \u201c%1\u201d. "
                                      "(NSCocoaErrorDomain error 513.)\n")
                           .arg(QFileInfo(destination).fileName()));
        return 1;
    }
    out.write(in.readAll());
    if (!out.commit()) {
        SimOutput::err(QStringLiteral("ERROR: Could not write %1\n").arg(destination));
        return 1;
    }
    SimOutput::out(QStringLiteral("Copied %1 to %2\n").arg(source, destination));
    return 0;
}

// A string as the property-list text of simctl writes it: bare when it is
// only letters, digits and "_$", otherwise quoted with non-ASCII characters as
// \UXXXX.
QString plistString(const QString &value)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_$]+$"));
    if (bare.match(value).hasMatch())
        return value;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            quoted += u'\\' + QString(c);
        else if (c.unicode() > 0x7e)
            quoted += QStringLiteral("\\U%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + u'"';
}

const SimDevice *simulator(const LabState &lab, const QString &udid)
{
    for (const SimDevice &candidate : lab.devices()) {
        if (candidate.isSimulator() && (candidate.udid == udid || (udid == QLatin1String("booted") && !candidate.shutDown)))
            return &candidate;
    }
    SimOutput::err(QStringLiteral("Invalid device: %1\n").arg(udid));
    return nullptr;
}

int listSimulatorApps(const LabState &lab, const QStringList &args)
{
    // simctl listapps <device>
    if (args.size() < 3) {
        SimOutput::err(QStringLiteral("Usage: simctl listapps <device>\n"));
        return 64;
    }
    const SimDevice *d = simulator(lab, args.at(2));
    if (!d)
        return 148;
    if (d->shutDown) {
        SimOutput::err(QStringLiteral("An error was encountered processing the command (domain=com.apple.CoreSimulator.SimError, "
                                      "code=405):\nUnable to lookup in current state: Shutdown\n"));
        return 149;
    }
    QList<SimAppInfo> apps = d->apps;
    std::sort(apps.begin(), apps.end(), [](const SimAppInfo &l, const SimAppInfo &r) { return l.bundleId < r.bundleId; });
    const QString devices = lab.home() + QStringLiteral("/CoreSimulator/Devices/") + d->udid;
    QString text = QStringLiteral("{\n");
    for (const SimAppInfo &a : apps) {
        const bool system = a.bundleId.startsWith(QLatin1String("com.apple."));
        const QString bundle = system
            ? QString(QStringLiteral("/Library/Developer/CoreSimulator/Volumes/iOS/Applications/") + a.name + QStringLiteral(".app"))
            : QString(devices + QStringLiteral("/data/Containers/Bundle/Application/") + a.bundleId + u'/' + a.name
                + QStringLiteral(".app"));
        const auto field = [&text](const QString &key, const QString &value) {
            text += QStringLiteral("        ") + key + QStringLiteral(" = ") + plistString(value) + QStringLiteral(";\n");
        };
        text += QStringLiteral("    ") + plistString(a.bundleId) + QStringLiteral(" =     {\n");
        field(QStringLiteral("ApplicationType"), system ? QStringLiteral("System") : QStringLiteral("User"));
        field(QStringLiteral("Bundle"), QStringLiteral("file://") + bundle + u'/');
        field(QStringLiteral("CFBundleDisplayName"), a.name);
        field(QStringLiteral("CFBundleExecutable"), a.name);
        field(QStringLiteral("CFBundleIdentifier"), a.bundleId);
        field(QStringLiteral("CFBundleName"), a.name);
        field(QStringLiteral("CFBundleVersion"), a.build);
        if (!system)
            field(QStringLiteral("DataContainer"), QStringLiteral("file://") + lab.containerPath(*d, a.bundleId) + u'/');
        text += QStringLiteral("        GroupContainers =         {\n        };\n");
        field(QStringLiteral("Path"), bundle);
        text += QStringLiteral("        SBAppTags =         (\n        );\n    };\n");
    }
    SimOutput::out(text + QStringLiteral("}\n"));
    return 0;
}

int appContainer(const LabState &lab, const QStringList &args)
{
    // simctl get_app_container <device> <bundle> [app|data|groups]
    if (args.size() < 4) {
        SimOutput::err(QStringLiteral("Usage: simctl get_app_container <device> <app bundle identifier> [<container>]\n"));
        return 64;
    }
    QString udid = args.at(2);
    const QString bundle = args.at(3);
    const QString kind = args.size() > 4 ? args.at(4) : QStringLiteral("app");
    const SimDevice *d = nullptr;
    for (const SimDevice &candidate : lab.devices()) {
        if (candidate.isSimulator() && (candidate.udid == udid || (udid == QLatin1String("booted") && !d)))
            d = &candidate;
    }
    if (!d) {
        SimOutput::err(QStringLiteral("Invalid device: %1\n").arg(udid));
        return 148;
    }
    if (!d->app(bundle) || (kind != QLatin1String("data") && kind != QLatin1String("app"))) {
        SimOutput::err(QStringLiteral("An error was encountered processing the command (domain=NSPOSIXErrorDomain, code=2):\n"
                                      "Failed to get the data container for %1\n"
                                      "No such file or directory\n")
                           .arg(bundle));
        return 2;
    }
    if (kind == QLatin1String("app")) {
        SimOutput::out(lab.home() + QStringLiteral("/CoreSimulator/Devices/") + d->udid
            + QStringLiteral("/data/Containers/Bundle/Application/") + bundle + u'/' + d->app(bundle)->name
            + QStringLiteral(".app\n"));
        return 0;
    }
    SimOutput::out(lab.containerPath(*d, bundle) + u'\n');
    return 0;
}

} // namespace

bool XcrunRoles::handles(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString tool = arguments.first();
    return tool == QLatin1String("xctrace") || tool == QLatin1String("devicectl") || tool == QLatin1String("simctl");
}

int XcrunRoles::run(const QStringList &args, LabState &lab)
{
    const QString tool = args.value(0);
    if (tool == QLatin1String("xctrace")) {
        if (args.value(1) == QLatin1String("list") && args.value(2) == QLatin1String("devices"))
            return listDevices(lab);
        return usage(tool);
    }
    if (tool == QLatin1String("devicectl")) {
        if (args.value(1) != QLatin1String("device"))
            return usage(tool);
        if (args.value(2) == QLatin1String("info") && args.value(3) == QLatin1String("apps"))
            return listApps(lab, args);
        if (args.value(2) == QLatin1String("copy") && args.value(3) == QLatin1String("from"))
            return copyFrom(lab, args);
        return usage(tool);
    }
    if (tool == QLatin1String("simctl")) {
        if (args.value(1) == QLatin1String("get_app_container"))
            return appContainer(lab, args);
        if (args.value(1) == QLatin1String("listapps"))
            return listSimulatorApps(lab, args);
        return usage(tool);
    }
    return usage(tool);
}
