#include "environmentchecks.h"

#include "process/toolcommands.h"
#include "settings/settingsstore.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

constexpr int kToolTimeoutMs = 30'000;

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isExecutable();
}

bool isDevelopmentIdentity(const QString &name)
{
    return name.startsWith(QLatin1String("Apple Development:")) || name.startsWith(QLatin1String("iPhone Developer:"));
}

// The identifier in the name's last parentheses.
QString teamOf(const QString &name)
{
    static const QRegularExpression team(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = team.match(name);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

namespace EnvironmentChecks {

QString runnerInstallCommand()
{
    return QStringLiteral("curl -Ls \"https://open.devicelab.dev/install/maestro-runner\" | bash");
}

QString xcodeInstallCommand()
{
    return QStringLiteral("open \"macappstore://apps.apple.com/app/xcode/id497799835\"");
}

QList<EnvironmentCheckItem> initialItems(const QString &maestroPath, const QString &teamId)
{
    QList<EnvironmentCheckItem> items(RowCount);
    items[RunnerRow].name = QStringLiteral("Maestro Runner");
    items[RunnerRow].description = QStringLiteral("Path: ") + maestroPath;
    items[RunnerRow].installInstruction = runnerInstallCommand();
    items[XcodeRow].name = QStringLiteral("Xcode");
    items[XcodeRow].description = QStringLiteral("Required for iOS Device interactions");
    items[XcodeRow].installInstruction = xcodeInstallCommand();
    items[SigningRow].name = QStringLiteral("Code Signing");
    const QString team = teamId.trimmed();
    items[SigningRow].description = team.isEmpty() ? QStringLiteral("Apple Development certificate in the keychain")
                                                   : QStringLiteral("Apple Development certificate for team ") + team;
    items[SigningRow].hint = QStringLiteral(
        "Sign in to Xcode with that team (Settings > Accounts) and let it create an Apple Development certificate.");
    items[SigningRow].isAdvisory = true;
    return items;
}

CheckStatus checkRunner(const QString &maestroPath)
{
    if (isExecutableFile(SettingsStore::expandTilde(maestroPath)))
        return CheckStatus::success(QStringLiteral("Installed & Executable"));
    return CheckStatus::failed(QStringLiteral("Not found or not executable"));
}

CheckStatus checkXcode(const ToolPaths &paths)
{
    const ToolCommand version = ToolCommands(paths).xcodebuildVersion();
    if (!isExecutableFile(version.program))
        return CheckStatus::failed(QStringLiteral("Xcode not found"));
    // With only the command line tools installed, /usr/bin/xcodebuild is a
    // stub that prints its complaint on standard error and nothing else: no
    // version line means no Xcode to build the device's test driver with.
    const QString line = runCommand(version.program, version.arguments).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (line.isEmpty())
        return CheckStatus::failed(QStringLiteral("Xcode not found"));
    return CheckStatus::success(line);
}

CheckStatus checkSigning(const ToolPaths &paths, const QString &teamId)
{
    const ToolCommand find = ToolCommands(paths).securityFindCodesigningIdentities();
    if (!isExecutableFile(find.program))
        return signingStatus(std::nullopt, teamId);
    return signingStatus(runCommand(find.program, find.arguments), teamId);
}

CheckStatus signingStatus(const std::optional<QString> &securityOutput, const QString &teamId)
{
    if (!securityOutput)
        return CheckStatus::failed(QStringLiteral("Signing identities cannot be listed (security not found)"));
    const QStringList names = identityNames(*securityOutput);
    const QString team = teamId.trimmed();
    for (const QString &name : names) {
        if (isDevelopmentIdentity(name) && (team.isEmpty() || teamOf(name) == team))
            return CheckStatus::success(name);
    }
    const QString found = names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
    if (team.isEmpty())
        return CheckStatus::failed(QStringLiteral("No Apple Development certificate; found: ") + found);
    return CheckStatus::failed(QStringLiteral("No Apple Development certificate for team %1; found: %2").arg(team, found));
}

QStringList identityNames(const QString &securityOutput)
{
    // "  1) 3F2A… "Apple Development: Dana Kim (K7QX2M9R4T)"", possibly
    // followed by a note on the certificate's state.
    static const QRegularExpression line(QStringLiteral("^\\s*\\d+\\)\\s+[0-9A-Fa-f]+\\s+\"(.*)\""),
        QRegularExpression::MultilineOption | QRegularExpression::InvertedGreedinessOption);
    QStringList names;
    for (auto it = line.globalMatch(securityOutput); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

QString runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted())
        return {};
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString output = decoder.decode(process.readAllStandardOutput());
    return decoder.hasError() ? QString() : output;
}

} // namespace EnvironmentChecks
