#include "reportfilefinder.h"

#include "workspace/workspacefiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

enum class Want { File, Directory };

std::optional<QString> search(const QString &name, const QString &directory, Want want, int depth)
{
    // Links are never entered, so a cycle needs a pathologically deep tree.
    if (depth > 64)
        return std::nullopt;
    const QFileInfoList entries
        = QDir(directory).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const bool isDirectory = entry.isDir() && !entry.isSymLink();
        // The runner writes nothing into the sandbox or a folder the workspace
        // leaves out (a project's node_modules can hold other tools' reports).
        if (isDirectory
            && (entry.fileName() == QLatin1String(ReportFileFinder::kSandboxName)
                || WorkspaceFiles::blacklist().contains(entry.fileName())))
            continue;
        // A named pipe, socket or device is no file of the runner's: reading
        // one would block or never end.
        const bool isSpecial = !isDirectory && entry.exists() && !entry.isFile() && !entry.isDir();
        if (entry.fileName() == name && isDirectory == (want == Want::Directory) && !isSpecial)
            return entry.filePath();
        if (isDirectory) {
            if (auto found = search(name, entry.filePath(), want, depth + 1))
                return found;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> ReportFileFinder::findFile(const QString &name, const QString &directory)
{
    return search(name, directory, Want::File, 0);
}

std::optional<QString> ReportFileFinder::findDirectory(const QString &name, const QString &directory)
{
    if (name == QLatin1String(kSandboxName))
        return std::nullopt;
    return search(name, directory, Want::Directory, 0);
}

std::optional<QString> ReportFileFinder::pathInside(const QString &folder, const QString &relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.contains(QChar(u'\0')))
        return std::nullopt;
    const QString base = QDir::cleanPath(QDir(folder).absolutePath());
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + relative);
    auto isUnder = [](const QString &candidate, const QString &root) {
        return candidate == root || candidate.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
    };
    if (!isUnder(path, base))
        return std::nullopt;
    // A named pipe, socket or device is no file of the runner's: reading one
    // would block or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return std::nullopt;
    // A link inside the folder may still point elsewhere.
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty()) {
        const QString realBase = QFileInfo(base).canonicalFilePath();
        if (realBase.isEmpty() || !isUnder(real, realBase))
            return std::nullopt;
    }
    return path;
}

std::optional<QString> ReportFileFinder::reportFolderOf(const QString &runFolder)
{
    const QFileInfoList entries = QDir(runFolder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && entry.fileName() != QLatin1String(kSandboxName))
            return entry.filePath();
    }
    return std::nullopt;
}

QStringList ReportFileFinder::pngFiles(const QString &folder)
{
    QStringList names;
    const QFileInfoList entries
        = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() == QLatin1String("png"))
            names.append(entry.fileName());
    }
    return names;
}
