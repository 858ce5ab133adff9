// kestrune-cli devices [--json]: the attached devices, then the simulators,
// one a line as "UDID<TAB>name<TAB>device|simulator", or a JSON array.

#include "clioptions.h"
#include "cliregistry.h"
#include "clisession.h"
#include "devices/devicedetector.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

const QString kUsage = QStringLiteral("[--json]");

int listDevices(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({ QStringLiteral("json"), QStringLiteral("Print a JSON array of {id, name, isSimulator}.") });
    if (!CliOptions::parse(parser, QStringLiteral("devices"), kUsage, arguments))
        return 2;
    if (!parser.positionalArguments().isEmpty()) {
        CliOptions::error(QStringLiteral("kestrune-cli devices: unexpected argument \"%1\"\nUsage: kestrune-cli devices %2\n")
                              .arg(parser.positionalArguments().first(), kUsage));
        return 2;
    }

    QString failure;
    DeviceList devices;
    if (const int stopSignal = CliSession::runInterruptibly([&] { devices = DeviceDetector().scanDevices(&failure).devices; },
            QStringLiteral("kestrune-cli: waiting for xcrun to list the devices (Ctrl-C stops)..."));
        stopSignal != 0)
        return 128 + stopSignal;
    QByteArray out;
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const DeviceInfo &device : devices)
            array.append(QJsonObject { { QStringLiteral("id"), device.id }, { QStringLiteral("name"), device.name },
                { QStringLiteral("isSimulator"), device.isSimulator } });
        out = QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        for (const DeviceInfo &device : devices)
            out += (device.id + u'\t' + device.name + u'\t'
                + (device.isSimulator ? QLatin1String("simulator") : QLatin1String("device")) + u'\n')
                       .toUtf8();
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    // "No device attached" and "the tool is broken" must differ for CI.
    if (!failure.isEmpty()) {
        CliOptions::error(QStringLiteral("kestrune-cli devices: ") + failure + u'\n');
        return CliSession::kToolFailed;
    }
    return 0;
}

const CliRegistration registration({ QStringLiteral("devices"), kUsage,
    QStringLiteral("List the attached devices and the simulators (UDID, name and kind, tab-separated)."), listDevices });

} // namespace
