#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Copies a workspace into a run's sandbox folder, leaving out what a run does
// not need: blacklisted names, symbolic links (reported one by one) and files
// of more than kMaxFileSize bytes (left out silently). Items that cannot be
// copied are logged and skipped; the copy goes on. Created and used on one
// worker thread for one run.
class SandboxCopier final
{
public:
    static constexpr qint64 kMaxFileSize = 50'000'000;

    using LinkSkipped = std::function<void(const QString &name)>;

    explicit SandboxCopier(QStringList blacklist, LinkSkipped linkSkipped = {});

    // Copies `source` (a file or a folder, recursively) to `destination`.
    // A folder's entries go directly into `destination`, which may exist.
    void copyWorkspaceItem(const QString &source, const QString &destination);

    int copiedFiles() const { return m_copiedFiles; }

private:
    QStringList m_blacklist;
    LinkSkipped m_linkSkipped;
    int m_copiedFiles = 0;
};
