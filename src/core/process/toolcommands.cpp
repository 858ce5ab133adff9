#include "toolcommands.h"

ToolCommands::ToolCommands(ToolPaths paths)
    : m_paths(std::move(paths))
{
}

QStringList ToolCommands::runnerPrefix(const QString &runnerPath, const QString &teamId, const QString &deviceId) const
{
    // "$@" is the four characters as written: the shell expands it to the
    // positional parameters, each as one word.
    return { QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("\"$@\""), QStringLiteral("--"),
             runnerPath,
             QStringLiteral("--platform"), QStringLiteral("ios"),
             QStringLiteral("--team-id"), teamId,
             QStringLiteral("--device"), deviceId };
}

ToolCommand ToolCommands::runnerTestRun(const TestRun &run) const
{
    QStringList arguments = runnerPrefix(run.runnerPath, run.teamId, run.deviceId);
    arguments << QStringLiteral("-e") << QStringLiteral("BUNDLE_ID=") + run.bundleId;
    for (const Variable &variable : run.variables)
        arguments << QStringLiteral("-e") << variable.first + QLatin1Char('=') + variable.second;
    arguments << QStringLiteral("--artifacts") << QStringLiteral("on-failure")
              << QStringLiteral("--output") << run.outputFolder
              << run.flowFile;
    return { m_paths.shell, arguments };
}

ToolCommand ToolCommands::runnerHierarchy(const QString &runnerPath, const QString &teamId, const QString &deviceId) const
{
    QStringList arguments = runnerPrefix(runnerPath, teamId, deviceId);
    arguments << QStringLiteral("hierarchy") << QStringLiteral("--compact");
    return { m_paths.shell, arguments };
}

ToolCommand ToolCommands::loginEnvironment() const
{
    return { m_paths.shell, { QStringLiteral("-lic"), QStringLiteral("env") } };
}

ToolCommand ToolCommands::whichRunner() const
{
    return { m_paths.shell, { QStringLiteral("-lc"), QStringLiteral("which maestro-runner || which maestro") } };
}

ToolCommand ToolCommands::xctraceListDevices() const
{
    return { m_paths.xcrun, { QStringLiteral("xctrace"), QStringLiteral("list"), QStringLiteral("devices") } };
}

ToolCommand ToolCommands::devicectlListApps(const QString &deviceId) const
{
    return { m_paths.xcrun,
             { QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("info"), QStringLiteral("apps"),
               QStringLiteral("--device"), deviceId } };
}

ToolCommand ToolCommands::devicectlCopyFrom(const QString &deviceId, const QString &bundleId, const QString &source,
                                            const QString &destination) const
{
    return { m_paths.xcrun,
             { QStringLiteral("devicectl"), QStringLiteral("device"), QStringLiteral("copy"), QStringLiteral("from"),
               QStringLiteral("--device"), deviceId,
               QStringLiteral("--domain-type"), QStringLiteral("appDataContainer"),
               QStringLiteral("--domain-identifier"), bundleId,
               QStringLiteral("--source"), source,
               QStringLiteral("--destination"), destination } };
}

ToolCommand ToolCommands::simctlListApps(const QString &deviceId) const
{
    return { m_paths.xcrun, { QStringLiteral("simctl"), QStringLiteral("listapps"), deviceId } };
}

ToolCommand ToolCommands::simctlAppDataContainer(const QString &deviceId, const QString &bundleId) const
{
    return { m_paths.xcrun,
             { QStringLiteral("simctl"), QStringLiteral("get_app_container"), deviceId, bundleId, QStringLiteral("data") } };
}

ToolCommand ToolCommands::xcodebuildVersion() const
{
    return { m_paths.xcodebuild, { QStringLiteral("-version") } };
}

ToolCommand ToolCommands::securityFindCodesigningIdentities() const
{
    return { m_paths.security,
             { QStringLiteral("find-identity"), QStringLiteral("-v"), QStringLiteral("-p"), QStringLiteral("codesigning") } };
}

ToolCommand ToolCommands::pkillChildren(Signal signal, qint64 parentPid) const
{
    return { m_paths.pkill,
             { signal == Signal::Terminate ? QStringLiteral("-TERM") : QStringLiteral("-9"), QStringLiteral("-P"),
               QString::number(parentPid) } };
}

ToolCommand ToolCommands::copyFile(const QString &source, const QString &destination) const
{
    return { m_paths.cp, { source, destination } };
}
