// kestrune-cli apps UDID: the bundle identifiers installed on a device (the
// user's own apps on a simulator), one a line, sorted.

#include "clioptions.h"
#include "cliregistry.h"
#include "clisession.h"
#include "devices/devicedetector.h"

#include <cstdio>

namespace {

const QString kUsage = QStringLiteral("UDID");

int listApps(const QStringList &arguments)
{
    QCommandLineParser parser;
    if (!CliOptions::parse(parser, QStringLiteral("apps"), kUsage, arguments))
        return 2;
    if (parser.positionalArguments().size() != 1 || parser.positionalArguments().first().isEmpty()) {
        CliOptions::error(QStringLiteral("Usage: kestrune-cli apps %1\n").arg(kUsage));
        return 2;
    }
    // Simulators are asked through simctl, devices through devicectl; the
    // listing says which one the UDID is. One it does not list is taken for
    // a device.
    const CliSession::DeviceLookUp lookUp = CliSession::lookUpDevice(parser.positionalArguments().first());
    if (lookUp.stopSignal != 0)
        return 128 + lookUp.stopSignal;
    QStringList apps;
    QString failure;
    if (const int stopSignal = CliSession::runInterruptibly(
            [&] { apps = DeviceDetector().listApps(lookUp.device, &failure); },
            QStringLiteral("kestrune-cli: waiting for xcrun to list the apps (Ctrl-C stops)..."));
        stopSignal != 0)
        return 128 + stopSignal;
    QByteArray out;
    for (const QString &app : std::as_const(apps))
        out += (app + u'\n').toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    if (!failure.isEmpty()) {
        CliOptions::error(QStringLiteral("kestrune-cli apps: ") + failure + u'\n');
        return CliSession::kToolFailed;
    }
    return 0;
}

const CliRegistration registration(
    { QStringLiteral("apps"), kUsage, QStringLiteral("List the bundle identifiers installed on a device."), listApps });

} // namespace
