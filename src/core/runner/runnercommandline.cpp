#include "runnercommandline.h"

namespace RunnerCommandLine {

QStringList loginShellPrefix()
{
    return {QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("\"$@\""), QStringLiteral("--")};
}

QStringList testRun(const TestRun &run)
{
    QStringList arguments = loginShellPrefix();
    arguments << run.runnerPath << QStringLiteral("--platform") << QStringLiteral("ios") << QStringLiteral("--team-id")
              << run.teamId << QStringLiteral("--device") << run.deviceId << QStringLiteral("-e")
              << QStringLiteral("BUNDLE_ID=") + run.bundleId;
    // No quoting: each pair is one argument of its own.
    for (const auto &[key, value] : run.variables)
        arguments << QStringLiteral("-e") << key + u'=' + value;
    arguments << QStringLiteral("--artifacts") << QStringLiteral("on-failure") << QStringLiteral("--output")
              << run.outputPath << run.flowPath;
    return arguments;
}

QStringList hierarchy(const QString &runnerPath, const QString &teamId, const QString &deviceId)
{
    QStringList arguments = loginShellPrefix();
    arguments << runnerPath << QStringLiteral("--platform") << QStringLiteral("ios") << QStringLiteral("--team-id") << teamId
              << QStringLiteral("--device") << deviceId << QStringLiteral("hierarchy") << QStringLiteral("--compact");
    return arguments;
}

} // namespace RunnerCommandLine
