#pragma once

#include "filenode.h"

#include <QStringList>

#include <optional>

// What a workspace is made of: the names never shown or copied, the tree of
// its files, and how its files are named. Pure functions over the file
// system; safe on any thread (the tree is built on a worker).
namespace WorkspaceFiles {

// Names left out of the tree and of the run's sandbox copy (exact,
// case-sensitive).
const QStringList &blacklist();

// The tree under `path`, or nothing when the item is blacklisted, missing,
// unreadable or a symbolic link (links are never shown, wherever they point).
// Folder entries, hidden ones included, are sorted by the byte order of
// their UTF-8 names: case-sensitive, no folders-first rule. A folder that
// cannot be listed shows as empty.
std::optional<FileNode> buildFileNode(const QString &path, const QStringList &blacklist = WorkspaceFiles::blacklist());

// The node's path relative to the workspace, with "/" separators and no
// leading slash; the node's name when it does not lie under the workspace.
QString workspaceRelativePath(const QString &workspacePath, const FileNode &node);

// ".env…", or "env_….yaml"/"env_….yml" (any case).
bool isEnvironmentFileName(const QString &name);
// "….yaml"/"….yml" (any case) that is not an environment file.
bool isFlowFileName(const QString &name);

// What a tree row is, from its name: the environment test comes first, so an
// "env_" YAML file is never a flow.
enum class FileKind { Folder, Flow, Environment, Other };
FileKind fileKind(const QString &name, bool isDirectory);

// The symbol a tree row shows: "folder", "gearshape" for environment files,
// "doc.text" for flows, "doc" for anything else.
QString iconName(const QString &name, bool isDirectory);

// Orders names by the byte order of their UTF-8 form (code point order),
// which differs from UTF-16 order for characters beyond U+FFFF.
bool nameLessThan(const QString &a, const QString &b);

} // namespace WorkspaceFiles
