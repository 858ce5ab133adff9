#include "runnerpathdetection.h"

#include "process/toolcommands.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <cstdio>

namespace {

constexpr int kShellTimeoutMs = 30'000;

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir() && info.isExecutable();
}

QString expandHome(const QString &path, const QString &home)
{
    if (path == QLatin1String("~"))
        return home;
    if (path.startsWith(QLatin1String("~/")))
        return home + path.mid(1);
    return path;
}

} // namespace

namespace RunnerPathDetection {

QStringList candidates()
{
    return {
        QStringLiteral("~/.maestro-runner/bin/maestro-runner"),
        QStringLiteral("~/.maestro/bin/maestro"),
        QStringLiteral("/opt/homebrew/bin/maestro-runner"),
        QStringLiteral("/opt/homebrew/bin/maestro"),
        QStringLiteral("/usr/local/bin/maestro-runner"),
        QStringLiteral("/usr/local/bin/maestro"),
    };
}

std::optional<QString> fromShellOutput(const QString &output)
{
    if (output.trimmed().isEmpty())
        return std::nullopt;
    for (const QString &raw : output.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('/')) && isExecutableFile(line))
            return line;
    }
    return std::nullopt;
}

std::optional<QString> fromCandidates(const QString &home)
{
    for (const QString &candidate : candidates()) {
        const QFileInfo info(expandHome(candidate, home));
        // A zero size also covers attributes that cannot be read.
        if (!info.exists() || info.isDir() || !info.isExecutable() || info.size() <= 0)
            continue;
        return candidate;
    }
    return std::nullopt;
}

std::optional<QString> detectRunnerPath(const ToolPaths &paths, const QString &home)
{
    const ToolCommand which = ToolCommands(paths).whichRunner();
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.start(which.program, which.arguments);
    if (!shell.waitForStarted()) {
        std::printf("Failed to auto-detect maestro using which: %s\n", qUtf8Printable(shell.errorString()));
        std::fflush(stdout);
        return fromCandidates(home);
    }
    if (!shell.waitForFinished(kShellTimeoutMs)) {
        // A profile that never returns must not hold detection up.
        shell.kill();
        shell.waitForFinished(1000);
        return fromCandidates(home);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString output = decoder.decode(shell.readAllStandardOutput());
    if (!decoder.hasError()) {
        if (const auto found = fromShellOutput(output))
            return found;
    }
    return fromCandidates(home);
}

} // namespace RunnerPathDetection
