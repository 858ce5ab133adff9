#pragma once

#include "environmentcheckitem.h"
#include "process/toolpaths.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The prerequisite checks behind the environment check: the runner at the
// configured path, Xcode's build tool, and (advisory) an Apple Development
// signing identity for the configured team. Plain functions; the ones that
// start a tool block, so call them on a worker thread.
namespace EnvironmentChecks {

enum Row { RunnerRow, XcodeRow, SigningRow, RowCount };

// The runner's published installer piped into bash.
QString runnerInstallCommand();
// Xcode's page in the Mac App Store.
QString xcodeInstallCommand();

// The rows, all pending, in Row order.
QList<EnvironmentCheckItem> initialItems(const QString &maestroPath, const QString &teamId);

// `maestroPath` after expanding "~" names an executable file.
CheckStatus checkRunner(const QString &maestroPath);
// The first line that `xcodebuild -version` prints.
CheckStatus checkXcode(const ToolPaths &paths);
// The keychain's identities against `teamId`.
CheckStatus checkSigning(const ToolPaths &paths, const QString &teamId);

// The signing verdict on what `security find-identity -v -p codesigning`
// printed; no output at all means the tool is missing.
CheckStatus signingStatus(const std::optional<QString> &securityOutput, const QString &teamId);

// The quoted identity names of that output ("Apple Development: Dana Kim
// (K7QX2M9R4T)"), in order.
QStringList identityNames(const QString &securityOutput);

// Starts `program`, waits for it and returns its standard output as UTF-8;
// the empty string when it cannot start or prints something else. Standard
// error and the exit status are not looked at.
QString runCommand(const QString &program, const QStringList &arguments);

} // namespace EnvironmentChecks
