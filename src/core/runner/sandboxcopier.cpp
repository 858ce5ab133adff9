#include "sandboxcopier.h"

#include "settings/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SandboxCopier::SandboxCopier(QStringList blacklist, LinkSkipped linkSkipped)
    : m_blacklist(std::move(blacklist))
    , m_linkSkipped(std::move(linkSkipped))
{
}

void SandboxCopier::copyWorkspaceItem(const QString &source, const QString &destination)
{
    const QFileInfo info(source);
    const QString name = info.fileName();
    if (m_blacklist.contains(name))
        return;
    // exists() follows links, so a dangling link is skipped here silently.
    if (!info.exists())
        return;
    if (info.isSymLink()) {
        if (m_linkSkipped)
            m_linkSkipped(name);
        return;
    }
    if (!info.isDir() && info.size() > kMaxFileSize)
        return;

    if (info.isDir()) {
        QDir().mkpath(destination);
        const QDir dir(source);
        if (!dir.isReadable()) {
            qCInfo(lcRunner, "Failed to copy %s: folder not readable", qPrintable(source));
            return;
        }
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString &entry : entries)
            copyWorkspaceItem(dir.filePath(entry), destination + u'/' + entry);
        return;
    }

    QFile file(source);
    if (file.copy(destination))
        ++m_copiedFiles;
    else
        qCInfo(lcRunner, "Failed to copy %s: %s", qPrintable(source), qPrintable(file.errorString()));
}
