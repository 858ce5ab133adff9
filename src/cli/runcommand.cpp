// kestrune-cli run: one flow run, exactly as the window's run button does it,
// printed as the console shows it, then "Run folder: PATH".

#include "clioptions.h"
#include "cliregistry.h"
#include "clisession.h"
#include "runner/runnerviewmodel.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const QString kUsage = QStringLiteral("--workspace DIR --flow REL [--env REL] --device UDID --app BUNDLE [--var KEY=VALUE]... "
                                      "[--runner PATH] [--team-id ID] [--output-dir DIR] [--no-time]");

// Applies one --var: edits every variable of that key the env file gave, or
// adds it when the file has none.
void applyVariable(RunnerViewModel &vm, const QString &key, const QString &value)
{
    bool found = false;
    const EnvVarList vars = vm.customEnvVars();
    for (int i = 0; i < vars.size(); ++i) {
        if (vars.at(i).key == key) {
            vm.setCustomEnvVarValue(i, value);
            found = true;
        }
    }
    if (!found) {
        EnvVarList extended = vm.customEnvVars();
        extended.append(EnvVar { QUuid::createUuid(), key, value });
        vm.setCustomEnvVars(extended);
    }
}

// Why `flow` cannot be run from the workspace's sandbox, or nothing. The run
// copies the workspace and starts the copy of the flow: a flow outside the
// workspace, behind a link or under a folder the copy leaves out would run
// the original, or fail after the whole copy with "flow file not found".
std::optional<QString> flowRefusal(const QString &workspace, const QString &flow)
{
    if (QDir::isAbsolutePath(flow))
        return QStringLiteral("--flow must be relative to the workspace, got \"%1\"").arg(flow);
    const QString clean = QDir::cleanPath(flow);
    if (clean == QLatin1String("..") || clean.startsWith(QLatin1String("../")))
        return QStringLiteral("--flow \"%1\" leaves the workspace").arg(flow);
    QString walked;
    for (const QString &part : clean.split(u'/')) {
        walked += (walked.isEmpty() ? QString() : QStringLiteral("/")) + part;
        if (WorkspaceFiles::blacklist().contains(part))
            return QStringLiteral("--flow \"%1\" lies in \"%2\", which runs leave out of the sandbox").arg(flow, walked);
        if (QFileInfo(QDir(workspace).filePath(walked)).isSymLink())
            return QStringLiteral("--flow \"%1\" goes through the symbolic link \"%2\", which runs leave out of the sandbox")
                .arg(flow, walked);
    }
    return std::nullopt;
}

int runFlow(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption({ QStringLiteral("workspace"), QStringLiteral("The workspace folder."), QStringLiteral("DIR") });
    parser.addOption({ QStringLiteral("flow"), QStringLiteral("The flow, relative to the workspace."), QStringLiteral("REL") });
    parser.addOption(
        { QStringLiteral("env"), QStringLiteral("The environment file, relative to the workspace."), QStringLiteral("REL") });
    parser.addOption({ QStringLiteral("device"), QStringLiteral("The device's UDID."), QStringLiteral("UDID") });
    parser.addOption({ QStringLiteral("app"), QStringLiteral("The app's bundle identifier."), QStringLiteral("BUNDLE") });
    parser.addOption({ QStringLiteral("var"), QStringLiteral("A run variable; replaces the env file's value of that key."),
        QStringLiteral("KEY=VALUE") });
    CliOptions::addSettingsOverrides(parser);
    CliOptions::addTimeOption(parser);
    if (!CliOptions::parse(parser, QStringLiteral("run"), kUsage, arguments))
        return CliSession::kNotStarted;

    QStringList missing;
    for (const char *required : { "workspace", "flow", "device", "app" }) {
        if (parser.value(QString::fromLatin1(required)).isEmpty())
            missing << QStringLiteral("--") + QString::fromLatin1(required);
    }
    if (!missing.isEmpty() || !parser.positionalArguments().isEmpty()) {
        CliOptions::error(
            QStringLiteral("kestrune-cli run: %1\nUsage: kestrune-cli run %2\n")
                .arg(missing.isEmpty() ? QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first())
                                       : QStringLiteral("missing ") + missing.join(QStringLiteral(", ")),
                    kUsage));
        return CliSession::kNotStarted;
    }
    // The workspace itself may be named through a link; what is under it may not.
    if (const auto refusal = flowRefusal(parser.value(QStringLiteral("workspace")), parser.value(QStringLiteral("flow")))) {
        CliOptions::error(QStringLiteral("kestrune-cli run: ") + *refusal + u'\n');
        return CliSession::kNotStarted;
    }
    QList<QPair<QString, QString>> variables;
    for (const QString &var : parser.values(QStringLiteral("var"))) {
        const qsizetype at = var.indexOf(u'=');
        if (at <= 0) {
            CliOptions::error(QStringLiteral("kestrune-cli run: --var wants KEY=VALUE, got \"%1\"\n").arg(var));
            return CliSession::kNotStarted;
        }
        variables.append({ var.left(at), var.mid(at + 1) });
    }

    // A missing file would give no variables without a word, and the flow
    // would run without them.
    if (parser.isSet(QStringLiteral("env"))) {
        const QString envFile = QDir(parser.value(QStringLiteral("workspace"))).filePath(parser.value(QStringLiteral("env")));
        if (!QFileInfo::exists(envFile)) {
            CliOptions::error(QStringLiteral("kestrune-cli run: no environment file at \"%1\"\n").arg(envFile));
            return CliSession::kNotStarted;
        }
    }

    const QString app = parser.value(QStringLiteral("app"));
    const CliSession::DeviceLookUp lookUp = CliSession::lookUpDevice(parser.value(QStringLiteral("device")));
    if (lookUp.stopSignal != 0)
        return 128 + lookUp.stopSignal;
    CliSession session(lookUp.device, app,
        CliOptions::settingsWithOverrides(parser), CliOptions::printTimes(parser));
    RunnerViewModel &vm = session.viewModel();
    session.settle();

    // The window's open panel hands over the folder a link points at; a link
    // given here is resolved the same way, or the sandbox copy would skip the
    // whole workspace as a symbolic link.
    QString workspace = QDir::cleanPath(parser.value(QStringLiteral("workspace")));
    if (const QFileInfo info(workspace); info.isSymLink() && info.exists())
        workspace = info.canonicalFilePath();
    vm.selectWorkspace(workspace);
    vm.setSelectedFlowRelativePath(parser.value(QStringLiteral("flow")));
    if (parser.isSet(QStringLiteral("env"))) {
        vm.setSelectedEnvRelativePath(parser.value(QStringLiteral("env")));
        vm.loadEnvironmentFile();
    }
    session.settle();
    for (const auto &[key, value] : variables)
        applyVariable(vm, key, value);

    const int status = session.runUntilEnded([&vm] { vm.runTest(); });
    // An output path that is a file leaves the run folder uncreated.
    if (!vm.currentEvidencePath().isEmpty() && QFileInfo(vm.currentEvidencePath()).isDir()) {
        const QByteArray line = (QStringLiteral("Run folder: ") + vm.currentEvidencePath() + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    return status;
}

const CliRegistration registration({ QStringLiteral("run"), kUsage,
    QStringLiteral("Run a flow on a device in a fresh run folder; exits with the runner's status "
                   "(2 when the run could not start)."),
    runFlow });

} // namespace
