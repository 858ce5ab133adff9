#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include <sys/types.h>

// Copies a workspace into a run's sandbox folder, leaving out what a run does
// not need: blacklisted names, symbolic links and files of more than
// kMaxFileSize bytes (both reported one by one). Items that cannot be
// copied, and anything that is not a regular file or a folder (pipes,
// sockets, devices), are logged and skipped; the copy goes on. Existing files
// at the destination are never overwritten. A destination folder that lies
// inside the source (a reports folder inside the workspace) is not copied
// into itself, nor is a folder given to leaveOut() (the reports folder, whose
// earlier runs a run does not need). When the folder given to leaveOut() is
// the source itself (reports written into the workspace), the run folders at
// its top are left out instead. Created and used on one worker thread
// for one run.
class SandboxCopier final
{
public:
    static constexpr qint64 kMaxFileSize = 50'000'000;

    using LinkSkipped = std::function<void(const QString &name)>;

    // The path of a large file left out, relative to the copied item.
    using LargeFileSkipped = std::function<void(const QString &path)>;

    explicit SandboxCopier(QStringList blacklist, LinkSkipped linkSkipped = {}, LargeFileSkipped largeFileSkipped = {});

    // Whether `name` is a run folder's name: "<environment>_yyyyMMdd_HHmmss",
    // with the "_N" suffix of a same-second run.
    static bool isRunFolderName(const QString &name);

    // Copies `source` (a file or a folder, recursively) to `destination`.
    // A folder's entries go directly into `destination`, which may exist.
    void copyWorkspaceItem(const QString &source, const QString &destination);

    // Leaves the folder at `path`, as it is now, out of later copies wherever
    // the source holds it; nothing when it does not exist.
    void leaveOut(const QString &path);

    int copiedFiles() const { return m_copiedFiles; }
    // Items that could not be copied (a full disk, an unreadable file), and
    // the first of them as "path: reason". Links, large files, blacklisted
    // names and special files left out on purpose do not count.
    int failedItems() const { return m_failedItems; }
    const QString &firstFailure() const { return m_firstFailure; }

private:
    void fail(const QByteArray &sourcePath, int error);
    void copyFolderContents(int sourceDir, int destinationDir, const QByteArray &sourcePath, bool skipRunFolders = false);
    void copyEntry(int sourceDir, const QByteArray &name, int destinationDir, const QByteArray &destinationName,
        const QByteArray &sourcePath);
    void copyFile(int sourceDir, const QByteArray &name, int destinationDir, const QByteArray &destinationName, unsigned mode,
        const QByteArray &sourcePath);

    QStringList m_blacklist;
    LinkSkipped m_linkSkipped;
    LargeFileSkipped m_largeFileSkipped;
    // Length of the copied item's path plus its slash, to report paths
    // relative to it.
    qsizetype m_rootLength = 0;
    struct FolderId
    {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FolderId &) const = default;
    };
    bool isLeftOut(const FolderId &folder) const;
    // The destination folder of the current copy, to be left out when the
    // source contains it.
    std::optional<FolderId> m_destination;
    QList<FolderId> m_leftOut;
    int m_copiedFiles = 0;
    int m_failedItems = 0;
    QString m_firstFailure;
};
