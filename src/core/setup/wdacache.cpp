#include "wdacache.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

constexpr auto kBuildPrefix = "device-ios";

// The cached builds' names, or nothing when the folder cannot be listed.
std::optional<QStringList> builds(const QString &folder)
{
    QDir dir(folder);
    if (!dir.isReadable())
        return std::nullopt;
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList names;
    for (const QString &entry : entries) {
        if (entry.startsWith(QLatin1String(kBuildPrefix)))
            names.append(entry);
    }
    return names;
}

void report(const QString &error)
{
    std::printf("Failed to clear WDA cache: %s\n", qUtf8Printable(error));
    std::fflush(stdout);
}

} // namespace

namespace WdaCache {

QString defaultFolder()
{
    return SettingsStore::expandTilde(QStringLiteral("~/.maestro-runner/cache/wda-builds"));
}

int count(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return 0;
    const auto names = builds(folder);
    return names ? int(names->size()) : 0;
}

bool clear(const QString &folder)
{
    if (!QFileInfo::exists(folder))
        return true;
    const auto names = builds(folder);
    if (!names) {
        report(QStringLiteral("The folder \"%1\" cannot be listed.").arg(folder));
        return false;
    }
    const QDir dir(folder);
    for (const QString &name : *names) {
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        // A link is removed itself, never what it points to.
        if (info.isDir() && !info.isSymLink()) {
            if (!QDir(path).removeRecursively()) {
                report(QStringLiteral("\"%1\" could not be removed.").arg(path));
                return false;
            }
        } else {
            QFile file(path);
            if (!file.remove()) {
                report(file.errorString());
                return false;
            }
        }
    }
    return true;
}

} // namespace WdaCache
