#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Finds the runner's files inside a run folder. The run folder also holds
// "sandbox", the copy of the workspace, which every search skips with all its
// contents, as it skips the folders the workspace leaves out (".git",
// "node_modules", ...). Entries are visited in name order so a search gives the same
// answer on every file system; links are not followed into. Any thread.
namespace ReportFileFinder {

inline constexpr auto kSandboxName = "sandbox";

// Depth-first, a folder's entries before the next sibling: the first file
// (not a folder, nor a named pipe, socket or device) named exactly `name`.
std::optional<QString> findFile(const QString &name, const QString &directory);
// The first folder named exactly `name` (never "sandbox" itself).
std::optional<QString> findDirectory(const QString &name, const QString &directory);

// The runner's report folder of a run folder: its first direct subfolder that
// is not "sandbox" (hidden entries skipped).
std::optional<QString> reportFolderOf(const QString &runFolder);

// `relative` (a detail file or assets folder named in report.json) resolved
// inside `folder`; nothing when it is absolute, leads out of the folder with
// "..", resolves through a link to a place outside it, or is a named pipe,
// socket or device. The runner names paths inside its report folder; a
// report.json from elsewhere must not make a page read or list the user's
// other files, nor wait on a pipe.
std::optional<QString> pathInside(const QString &folder, const QString &relative);

// The direct entries of `folder` that are files with the extension exactly
// "png", by name; empty when the folder cannot be listed.
QStringList pngFiles(const QString &folder);

} // namespace ReportFileFinder
