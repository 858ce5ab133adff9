// kestrune-cli hierarchy: the UI element tree of the device's current screen,
// re-indented two spaces a level, as the console shows it.

#include "clioptions.h"
#include "cliregistry.h"
#include "clisession.h"
#include "runner/runnerviewmodel.h"

namespace {

const QString kUsage = QStringLiteral("--device UDID [--runner PATH] [--team-id ID] [--no-time]");

int fetchHierarchy(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({ QStringLiteral("device"), QStringLiteral("The device's UDID."), QStringLiteral("UDID") });
    CliOptions::addSettingsOverrides(parser);
    CliOptions::addTimeOption(parser);
    if (!CliOptions::parse(parser, QStringLiteral("hierarchy"), kUsage, arguments))
        return CliSession::kNotStarted;
    if (parser.value(QStringLiteral("device")).isEmpty() || !parser.positionalArguments().isEmpty()) {
        CliOptions::error(QStringLiteral("Usage: kestrune-cli hierarchy %1\n").arg(kUsage));
        return CliSession::kNotStarted;
    }
    const CliSession::DeviceLookUp lookUp = CliSession::lookUpDevice(parser.value(QStringLiteral("device")));
    if (lookUp.stopSignal != 0)
        return 128 + lookUp.stopSignal;
    CliSession session(lookUp.device, QString(),
        CliOptions::settingsWithOverrides(parser), CliOptions::printTimes(parser));
    session.settle();
    RunnerViewModel &vm = session.viewModel();
    return session.runUntilEnded([&vm] { vm.fetchHierarchy(); });
}

const CliRegistration registration({ QStringLiteral("hierarchy"), kUsage,
    QStringLiteral("Print the UI element tree of the device's current screen."), fetchHierarchy });

} // namespace
