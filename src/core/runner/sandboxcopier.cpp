#include "sandboxcopier.h"

#include "settings/logging.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The copy works on directory descriptors and plain system calls: one lstat
// per entry, one open for each side, the kernel's in-place copy where there is
// one. Going through QFileInfo and QFile::copy costs several times as many
// calls per file (temporary file, rename, permission fix-up), which a
// workspace of tens of thousands of files feels.

namespace {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Takes the error number as an argument so that nothing can change errno
// between the failing call and the message.
void logFailure(const QByteArray &sourcePath, int error)
{
    qCInfo(lcRunner, "Failed to copy %s: %s", sourcePath.constData(), std::strerror(error));
}

bool writeAll(int out, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(out, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies the whole of `in` to `out`; errno tells why when it returns false.
bool copyData(int in, int out)
{
#ifdef __linux__
    // The kernel copies (or shares the blocks) without a round trip through
    // user space; file systems that cannot do it say so on the first call.
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (copied == 0)
            return true;
        if (copied > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        // Not supported here: fall back to reading and writing. Nothing has
        // been written yet, since a partial copy would have returned > 0.
        break;
    }
#endif
    char buffer[128 * 1024];
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(out, buffer, count))
            return false;
    }
}

} // namespace

void SandboxCopier::fail(const QByteArray &sourcePath, int error)
{
    logFailure(sourcePath, error);
    if (m_failedItems++ == 0)
        m_firstFailure = QFile::decodeName(sourcePath) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

SandboxCopier::SandboxCopier(QStringList blacklist, LinkSkipped linkSkipped, LargeFileSkipped largeFileSkipped)
    : m_blacklist(std::move(blacklist))
    , m_linkSkipped(std::move(linkSkipped))
    , m_largeFileSkipped(std::move(largeFileSkipped))
{ }

bool SandboxCopier::isRunFolderName(const QString &name)
{
    static const QRegularExpression runFolder(QStringLiteral("\\A.+_[0-9]{8}_[0-9]{6}(_[0-9]+)?\\z"));
    return runFolder.match(name).hasMatch();
}

void SandboxCopier::leaveOut(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode))
        m_leftOut.append(FolderId { info.st_dev, info.st_ino });
}

bool SandboxCopier::isLeftOut(const FolderId &folder) const
{
    return m_leftOut.contains(folder);
}

void SandboxCopier::copyWorkspaceItem(const QString &source, const QString &destination)
{
    const QByteArray sourcePath = QFile::encodeName(QDir::cleanPath(source));
    const QByteArray destinationPath = QFile::encodeName(QDir::cleanPath(destination));
    const QString name = QFile::decodeName(sourcePath.mid(sourcePath.lastIndexOf('/') + 1));
    if (m_blacklist.contains(name))
        return;
    struct stat info;
    if (::lstat(sourcePath.constData(), &info) != 0)
        return;
    m_rootLength = sourcePath.endsWith('/') ? sourcePath.size() : sourcePath.size() + 1;
    if (S_ISDIR(info.st_mode)) {
        // The root goes onto `destination` itself, which may exist already.
        QDir().mkpath(QFile::decodeName(destinationPath));
        const FileDescriptor from(::open(sourcePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const FileDescriptor to(::open(destinationPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!from.isValid() || !to.isValid()) {
            fail(sourcePath, errno);
            return;
        }
        struct stat destinationInfo;
        if (::fstat(to.get(), &destinationInfo) == 0)
            m_destination = FolderId { destinationInfo.st_dev, destinationInfo.st_ino };
        // The reports go into the workspace itself: every earlier run folder
        // sits at its top and would be copied again, doubling each time.
        const bool isOutputFolder = isLeftOut(FolderId { info.st_dev, info.st_ino });
        copyFolderContents(from.get(), to.get(), sourcePath, isOutputFolder);
        m_destination.reset();
        return;
    }
    // A single item: copy it by name into the destination's folder.
    const qsizetype slash = destinationPath.lastIndexOf('/');
    const QByteArray parent = slash > 0 ? destinationPath.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const qsizetype sourceSlash = sourcePath.lastIndexOf('/');
    const QByteArray sourceParent = sourceSlash > 0 ? sourcePath.left(sourceSlash) : QByteArray(sourceSlash == 0 ? "/" : ".");
    const FileDescriptor from(::open(sourceParent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const FileDescriptor to(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!from.isValid() || !to.isValid()) {
        fail(sourcePath, errno);
        return;
    }
    m_rootLength = sourceSlash + 1;
    copyEntry(from.get(), sourcePath.mid(sourceSlash + 1), to.get(), destinationPath.mid(slash + 1), sourcePath);
}

void SandboxCopier::copyFolderContents(int sourceDir, int destinationDir, const QByteArray &sourcePath, bool skipRunFolders)
{
    // fdopendir takes over the descriptor it is given.
    DIR *listing = ::fdopendir(::dup(sourceDir));
    if (!listing) {
        fail(sourcePath, errno);
        return;
    }
    while (const dirent *entry = ::readdir(listing)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (skipRunFolders && entry->d_type != DT_REG && isRunFolderName(QFile::decodeName(name))) {
            struct stat info;
            if (::fstatat(sourceDir, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
                qCInfo(lcRunner, "Not copying %s/%s: it is an earlier run folder", sourcePath.constData(), name);
                continue;
            }
        }
        copyEntry(sourceDir, QByteArray(name), destinationDir, QByteArray(name), sourcePath + '/' + name);
    }
    ::closedir(listing);
}

void SandboxCopier::copyEntry(
    int sourceDir, const QByteArray &name, int destinationDir, const QByteArray &destinationName, const QByteArray &sourcePath)
{
    const QString displayName = QFile::decodeName(name);
    if (m_blacklist.contains(displayName))
        return;
    struct stat info;
    if (::fstatat(sourceDir, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        fail(sourcePath, errno);
        return;
    }
    if (S_ISLNK(info.st_mode)) {
        // A link whose target is gone does not exist as far as the copy is
        // concerned; only live links are reported.
        struct stat target;
        if (::fstatat(sourceDir, name.constData(), &target, 0) == 0 && m_linkSkipped)
            m_linkSkipped(displayName);
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        // The sandbox inside the workspace: copying it would copy the copy
        // again, one level deeper each time, until paths or descriptors run
        // out. The reports folder inside the workspace: every run would copy
        // all earlier runs, sandboxes and all, doubling in size each time.
        const FolderId folder { info.st_dev, info.st_ino };
        if (folder == m_destination || isLeftOut(folder)) {
            qCInfo(lcRunner, "Not copying %s: it is the sandbox or the reports folder", sourcePath.constData());
            return;
        }
        if (::mkdirat(destinationDir, destinationName.constData(), 0777) != 0 && errno != EEXIST) {
            fail(sourcePath, errno);
            return;
        }
        const FileDescriptor from(::openat(sourceDir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const FileDescriptor to(
            ::openat(destinationDir, destinationName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!from.isValid() || !to.isValid()) {
            fail(sourcePath, errno);
            return;
        }
        copyFolderContents(from.get(), to.get(), sourcePath);
        return;
    }
    if (info.st_size > kMaxFileSize) {
        if (m_largeFileSkipped)
            m_largeFileSkipped(QFile::decodeName(sourcePath.mid(m_rootLength)));
        return;
    }
    // Pipes, sockets and devices are not workspace files: opening a pipe for
    // reading would wait forever for a writer and hold the run up.
    if (!S_ISREG(info.st_mode)) {
        qCInfo(lcRunner, "Failed to copy %s: not a regular file", sourcePath.constData());
        return;
    }
    copyFile(sourceDir, name, destinationDir, destinationName, info.st_mode & 07777, sourcePath);
}

void SandboxCopier::copyFile(int sourceDir, const QByteArray &name, int destinationDir, const QByteArray &destinationName,
    unsigned mode, const QByteArray &sourcePath)
{
    const FileDescriptor in(::openat(sourceDir, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.isValid()) {
        fail(sourcePath, errno);
        return;
    }
    // O_EXCL: an existing file is never overwritten.
    const FileDescriptor out(
        ::openat(destinationDir, destinationName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode)));
    if (!out.isValid()) {
        fail(sourcePath, errno);
        return;
    }
    if (!copyData(in.get(), out.get())) {
        const int error = errno;
        ::unlinkat(destinationDir, destinationName.constData(), 0); // no half-written copies
        fail(sourcePath, error);
        return;
    }
    ++m_copiedFiles;
}
