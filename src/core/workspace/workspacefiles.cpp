#include "workspacefiles.h"

#include "settings/logging.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace WorkspaceFiles {

const QStringList &blacklist()
{
    static const QStringList names { QStringLiteral(".git"), QStringLiteral("node_modules"), QStringLiteral("Pods"),
        QStringLiteral(".build"), QStringLiteral("DerivedData"), QStringLiteral(".idea"), QStringLiteral(".DS_Store") };
    return names;
}

bool nameLessThan(const QString &a, const QString &b)
{
    // Walk code points rather than UTF-16 units: a surrogate pair (U+10000
    // and up) must sort after U+E000..U+FFFF, as it does in UTF-8.
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t ca = a.at(i).unicode();
        char32_t cb = b.at(j).unicode();
        if (QChar::isHighSurrogate(ca) && i + 1 < a.size() && a.at(i + 1).isLowSurrogate()) {
            ca = QChar::surrogateToUcs4(a.at(i), a.at(i + 1));
            ++i;
        }
        if (QChar::isHighSurrogate(cb) && j + 1 < b.size() && b.at(j + 1).isLowSurrogate()) {
            cb = QChar::surrogateToUcs4(b.at(j), b.at(j + 1));
            ++j;
        }
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    return i == a.size() && j < b.size();
}

std::optional<FileNode> buildFileNode(const QString &path, const QStringList &blacklist)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (blacklist.contains(name))
        return std::nullopt;
    // exists() follows links; isSymLink() looks at the item itself.
    if (!info.exists() || info.isSymLink())
        return std::nullopt;

    FileNode node;
    node.id = QUuid::createUuid();
    node.name = name;
    node.path = path;
    node.isDirectory = info.isDir();
    if (!node.isDirectory)
        return node;

    const QDir dir(path);
    if (!dir.isReadable()) {
        qCInfo(lcRunner, "Failed to read directory: %s", qPrintable(path));
        return node;
    }
    QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(entries.begin(), entries.end(), nameLessThan);
    for (const QString &entry : std::as_const(entries)) {
        if (auto child = buildFileNode(dir.filePath(entry), blacklist))
            node.children.append(std::move(*child));
    }
    return node;
}

QString workspaceRelativePath(const QString &workspacePath, const FileNode &node)
{
    if (workspacePath.isEmpty() || !node.path.startsWith(workspacePath))
        return node.name;
    QString relative = node.path.mid(workspacePath.size());
    // "/ws-old/a.yaml" starts with "/ws" but does not lie under it.
    if (!relative.isEmpty() && !relative.startsWith(u'/') && !workspacePath.endsWith(u'/'))
        return node.name;
    if (relative.startsWith(u'/'))
        relative.remove(0, 1);
    return relative;
}

bool isEnvironmentFileName(const QString &name)
{
    const QString lower = name.toLower();
    if (lower.startsWith(QLatin1String(".env")))
        return true;
    return lower.startsWith(QLatin1String("env_"))
        && (lower.endsWith(QLatin1String(".yaml")) || lower.endsWith(QLatin1String(".yml")));
}

bool isFlowFileName(const QString &name)
{
    if (isEnvironmentFileName(name))
        return false;
    const QString lower = name.toLower();
    return lower.endsWith(QLatin1String(".yaml")) || lower.endsWith(QLatin1String(".yml"));
}

FileKind fileKind(const QString &name, bool isDirectory)
{
    if (isDirectory)
        return FileKind::Folder;
    if (isEnvironmentFileName(name))
        return FileKind::Environment;
    if (isFlowFileName(name))
        return FileKind::Flow;
    return FileKind::Other;
}

QString iconName(const QString &name, bool isDirectory)
{
    switch (fileKind(name, isDirectory)) {
    case FileKind::Folder:
        return QStringLiteral("folder");
    case FileKind::Environment:
        return QStringLiteral("gearshape");
    case FileKind::Flow:
        return QStringLiteral("doc.text");
    case FileKind::Other:
        break;
    }
    return QStringLiteral("doc");
}

} // namespace WorkspaceFiles
