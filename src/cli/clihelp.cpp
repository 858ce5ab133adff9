#include "clihelp.h"

#include "cliregistry.h"

#include <QHash>

namespace {

const QString kExitStatuses = QStringLiteral(
    "Exit status:\n"
    "  0      success\n"
    "  1      the run failed, or a report was not written (the reason on standard error)\n"
    "  2      a usage error, or a run that could not start\n"
    "  3      an outside tool (xcrun) failed; its error is on standard error\n"
    "  128+N  signal N stopped the command or killed the runner (130: Ctrl-C)\n");

// What each command does beyond its summary, its options and examples. The
// options are listed one a line, "  --name VALUE  what it does", so that
// every option of the usage line is documented here.
const QHash<QString, QString> &details()
{
    static const QHash<QString, QString> texts {
        { QStringLiteral("devices"),
            QStringLiteral("Lists what `xcrun xctrace list devices` reports: attached iPhones first, then the\n"
                           "simulators, one a line as UDID, name and kind (device or simulator), tab-separated.\n"
                           "The host Mac is left out.\n\n"
                           "Options:\n"
                           "  --json  a JSON array of {id, name, isSimulator} instead\n\n"
                           "Examples:\n"
                           "  kestrune-cli devices\n"
                           "  kestrune-cli devices --json | jq -r '.[] | select(.isSimulator | not) | .id'\n\n"
                           "An empty list from a working xcrun exits 0; a failing xcrun exits 3.\n") },
        { QStringLiteral("apps"),
            QStringLiteral("Lists the bundle identifiers installed on a device (devicectl) or, for a simulator,\n"
                           "the user's own apps (simctl listapps), one a line.\n\n"
                           "Options:\n"
                           "  UDID  the device or simulator, as `kestrune-cli devices` lists it\n\n"
                           "Examples:\n"
                           "  kestrune-cli apps 00008130-001E39811A12001C\n\n"
                           "A failing xcrun (a locked or unknown device, a shut-down simulator) exits 3.\n") },
        { QStringLiteral("run"),
            QStringLiteral("Copies the workspace into a fresh run folder's sandbox, runs the flow there with the\n"
                           "runner and prints the console as the window shows it; then pulls the app's network\n"
                           "log, writes the reports and prints \"Run folder: PATH\". The command's own\n"
                           "environment (CI variables, proxies, the locale) reaches the runner.\n\n"
                           "Options:\n"
                           "  --workspace DIR      the workspace folder\n"
                           "  --flow REL           the flow, relative to the workspace\n"
                           "  --env REL            an env file of the workspace whose variables the flow gets\n"
                           "  --device UDID        the device or simulator\n"
                           "  --app BUNDLE         the app's bundle identifier\n"
                           "  --var KEY=VALUE      a run variable; replaces the env file's value (repeatable)\n"
                           "  --runner PATH        the runner instead of the configured one\n"
                           "  --team-id ID         the Apple team identifier for this run\n"
                           "  --output-dir DIR     where the run folder is created\n"
                           "  --no-time            console lines without their [HH:mm:ss] prefix\n\n"
                           "Examples:\n"
                           "  kestrune-cli run --workspace ~/qa/shop --flow flows/login.yaml --env .env.uat \\\n"
                           "      --device 00008130-001E39811A12001C --app com.example.shop.uat\n"
                           "  kestrune-cli run ... --var EMAIL=qa@example.com --output-dir \"$CI_ARTIFACTS\"\n\n"
                           "Exits with the runner's status; 2 when the run could not start.\n") },
        { QStringLiteral("hierarchy"),
            QStringLiteral("Asks the runner for the UI element tree of the screen the device shows now and\n"
                           "prints it, two spaces an indentation level.\n\n"
                           "Options:\n"
                           "  --device UDID    the device or simulator\n"
                           "  --runner PATH    the runner instead of the configured one\n"
                           "  --team-id ID     the Apple team identifier\n"
                           "  --no-time        lines without their [HH:mm:ss] prefix\n\n"
                           "Examples:\n"
                           "  kestrune-cli hierarchy --device 00008130-001E39811A12001C --no-time\n") },
        { QStringLiteral("report"),
            QStringLiteral("Post-processes a run folder again: patches the runner's report.html, writes\n"
                           "report-custom.html and attaches the network log to the Allure results. Running\n"
                           "it twice gives the same files as once.\n\n"
                           "Options:\n"
                           "  RUN_FOLDER        a run folder (one holding the runner's report.json)\n"
                           "  --since ISO8601   join only the exchanges from this time on\n\n"
                           "Examples:\n"
                           "  kestrune-cli report ~/Kestrune/UAT_20261207_101500\n\n"
                           "Exits 1 when the report could not be written, 2 for a folder that is no run folder.\n") },
        { QStringLiteral("netfox"),
            QStringLiteral("Reads a Netfox session log (the app's HTTP traffic) and prints its exchanges.\n\n"
                           "Options:\n"
                           "  LOG               the session log (a run folder's network_log.txt)\n"
                           "  --since ISO8601   only the exchanges from this time on\n"
                           "  --format FORMAT   text (the default), json, har (HAR 1.2) or curl (one command an\n"
                           "                    exchange, to replay a request from a terminal)\n\n"
                           "Examples:\n"
                           "  kestrune-cli netfox run/network_log.txt --format har > run.har\n"
                           "  kestrune-cli netfox run/network_log.txt --since 2026-12-07T10:15:00\n") },
        { QStringLiteral("history"),
            QStringLiteral("Lists the runs of the reports output directory, newest first, one a line:\n"
                           "environment, time, status, flow, duration, device, steps and report page,\n"
                           "tab-separated. Control characters in names show in caret notation on a terminal.\n\n"
                           "Options:\n"
                           "  --dir DIR   another reports directory than the configured one\n"
                           "  --json      a JSON array instead\n\n"
                           "Examples:\n"
                           "  kestrune-cli history --json | jq '.[0].status'\n") },
    };
    return texts;
}

} // namespace

namespace CliHelp {

QString overview()
{
    QString text = QStringLiteral("Usage: kestrune-cli <command> [options]\n"
                                  "       kestrune-cli help <command>\n\nCommands:\n");
    for (const CliCommand &command : CliRegistry::all())
        text += QStringLiteral("  %1 %2\n      %3\n").arg(command.name, command.usage, command.summary);
    text += QStringLiteral("  --version\n      Print the version.\n\n") + kExitStatuses;
    return text;
}

QString command(const QString &name)
{
    const CliCommand *command = CliRegistry::find(name);
    if (!command)
        return {};
    return QStringLiteral("Usage: kestrune-cli %1 %2\n\n%3\n\n").arg(command->name, command->usage, command->summary)
        + details().value(name) + u'\n' + kExitStatuses;
}

} // namespace CliHelp
