#include "clihelp.h"
#include "cliregistry.h"
#include "settings/logging.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>

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
    if (arguments.isEmpty()) {
        err << CliHelp::overview();
        return 2;
    }
    const QString &first = arguments.first();
    if (first == u"--help" || first == u"-h" || (first == u"help" && arguments.size() == 1)) {
        out << CliHelp::overview();
        return 0;
    }
    if (first == u"--version" || first == u"-V") {
        out << "kestrune-cli " << kestrune::appVersion() << '\n';
        return 0;
    }
    // `help COMMAND`, and `COMMAND --help` / `-h` anywhere before a "--".
    const bool helpFirst = first == u"help";
    const QString name = helpFirst ? arguments.at(1) : first;
    const CliCommand *command = CliRegistry::find(name);
    if (!command) {
        err << "kestrune-cli: unknown command \"" << name << "\"\n\n" << CliHelp::overview();
        return 2;
    }
    const QStringList rest = arguments.mid(1);
    const QStringList options = rest.mid(0, rest.contains(QStringLiteral("--")) ? rest.indexOf(QStringLiteral("--")) : -1);
    if (helpFirst || options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h"))) {
        out << CliHelp::command(name);
        return 0;
    }
    out.flush();
    return command->run(arguments.mid(1));
}
