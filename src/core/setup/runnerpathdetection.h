#pragma once

#include "process/toolpaths.h"

#include <QString>
#include <QStringList>

#include <optional>

// Finds the runner executable: first where the user's login shell finds it
// (`which maestro-runner || which maestro`), then among the well-known
// install locations. Plain functions; detectRunnerPath() blocks while the
// shell runs, so call it on a worker thread.
namespace RunnerPathDetection {

// The install locations in the order they are tried, "~" not expanded.
QStringList candidates();

// The first line of the shell's output that starts with "/" and names an
// executable file. The shell's own "not found" messages never qualify.
std::optional<QString> fromShellOutput(const QString &output);

// The first candidate that is an executable, non-empty file (not a folder),
// in its listed form with "~" kept. `home` stands for "~".
std::optional<QString> fromCandidates(const QString &home);

// The shell first, then the candidates. When the shell cannot be started,
// says so on standard output and goes on with the candidates.
std::optional<QString> detectRunnerPath(const ToolPaths &paths, const QString &home);

} // namespace RunnerPathDetection
