#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The runner's command lines. The runner is always started through a login
// shell so that tools installed by the user's shell set-up are found:
// `<shell> -l -c '"$@"' -- <runner> <arguments...>` runs the runner with
// exactly these arguments (the shell takes "--" as its own name).
namespace RunnerCommandLine {

struct TestRun
{
    QString runnerPath;
    QString teamId;
    QString deviceId;
    QString bundleId;
    QList<QPair<QString, QString>> variables; // passed as "-e KEY=VALUE", in order
    QString outputPath;
    QString flowPath;
};

// "-l", "-c", "\"$@\"", "--".
QStringList loginShellPrefix();

// The shell's arguments for a test run: the prefix, the runner path, global
// options, "-e" pairs, "--artifacts on-failure", "--output" and the flow last.
QStringList testRun(const TestRun &run);

// The shell's arguments for printing the current screen's element tree.
QStringList hierarchy(const QString &runnerPath, const QString &teamId, const QString &deviceId);

} // namespace RunnerCommandLine
