// kestrune-sim: the simulated device lab. Test and demo equipment that
// answers the Apple tools' and the runner's command lines from a lab kept in
// $KESTRUNE_SIM_HOME. It is never installed under the real tools' names.

#include "helperprocess.h"
#include "labstate.h"
#include "runnerrole.h"
#include "securityrole.h"
#include "simoutput.h"
#include "usbcable.h"
#include "xcrunroles.h"

#include <QCoreApplication>

namespace {

const char kUsage[] = R"(kestrune-sim: simulated device lab (test and demo equipment, not the real tools)

As xcrun:
  kestrune-sim xctrace list devices
  kestrune-sim devicectl device info apps --device UDID
  kestrune-sim devicectl device copy from --device UDID --domain-type appDataContainer
               --domain-identifier BUNDLE --source PATH --destination PATH
  kestrune-sim simctl get_app_container UDID BUNDLE data
As security:
  kestrune-sim find-identity -v -p codesigning   (KESTRUNE_SIM_SIGNING=none: an empty keychain)
As the runner:
  kestrune-sim --platform ios [--team-id T] --device UDID [-e K=V ...] [--artifacts on-failure]
               [--output DIR] FLOW.yaml [FLOW.yaml ...]
  kestrune-sim --platform ios [--team-id T] --device UDID hierarchy --compact
The lab's USB cables (what the application's screen mirroring sees):
  kestrune-sim usb attach|detach UDID
  kestrune-sim usb access authorized|denied|restricted|notDetermined
  kestrune-sim usb list

Environment: KESTRUNE_SIM_HOME (the lab's state), KESTRUNE_SIM_SPEED (human, fast, instant or a factor).
)";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (HelperProcess::handles(args))
        return HelperProcess::runHelper(args);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        SimOutput::out(QString::fromUtf8(kUsage));
        return args.isEmpty() ? 64 : 0;
    }
    if (args == QStringList { QStringLiteral("-version") }) {
        // Called as xcodebuild.
        SimOutput::err(SimOutput::headerLine());
        SimOutput::out(QStringLiteral("Xcode 16.4\nBuild version 16F6\n"));
        return 0;
    }

    if (SecurityRole::handles(args))
        return SecurityRole::run(args);

    LabState lab(LabState::homeFromEnvironment());
    QString error;
    if (!lab.load(&error)) {
        SimOutput::err(QStringLiteral("Error: ") + error + u'\n');
        return 1;
    }
    UsbCable::ensureSeeded(lab);
    if (UsbCable::handles(args))
        return UsbCable::run(args, lab);
    if (XcrunRoles::handles(args)) {
        SimOutput::err(SimOutput::headerLine());
        return XcrunRoles::run(args, lab);
    }
    return RunnerRole::run(args, lab);
}
