#include "cliregistry.h"
#include "settings/logging.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>

namespace {

void printUsage(QTextStream &out)
{
    out << "Usage: kestrune-cli <command> [options]\n\nCommands:\n";
    for (const CliCommand &command : CliRegistry::all())
        out << "  " << command.name << ' ' << command.usage << "\n      " << command.summary << '\n';
    out << "  --version\n      Print the version.\n";
}

} // namespace

int main(int argc, char *argv[])
{
    // `kestrune-cli run … | head`: a closed standard output must not kill
    // the command mid-run, leaving the runner's children behind and no
    // report; the write fails instead and the run is stopped (CliSession).
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kestrune::kProductName));
    QCoreApplication::setApplicationVersion(kestrune::appVersion());
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrune"));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(SettingsStore::kOrganizationDomain));
    // Diagnostic lines are for the unified log, not for the user's terminal;
    // QT_LOGGING_RULES brings them back.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("io.kestrune.*.info=false"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        printUsage(arguments.isEmpty() ? err : out);
        return arguments.isEmpty() ? 2 : 0;
    }
    if (arguments.first() == QLatin1String("--version")) {
        out << "kestrune-cli " << kestrune::appVersion() << '\n';
        return 0;
    }
    const CliCommand *command = CliRegistry::find(arguments.first());
    if (!command) {
        err << "kestrune-cli: unknown command \"" << arguments.first() << "\"\n\n";
        printUsage(err);
        return 2;
    }
    out.flush();
    return command->run(arguments.mid(1));
}
