#include "runfolder.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>

namespace RunFolder {

namespace {

// A day of seconds is more than any loop of runs can take up; past it the
// folder is simply reported as not creatable.
constexpr int kMaxSecondsAhead = 86'400;

} // namespace

QString stamp(const QDateTime &time)
{
    return time.toLocalTime().toString(u"yyyyMMdd_HHmmss");
}

QString name(const QString &environment, const QDateTime &start)
{
    return environment + u'_' + stamp(start);
}

QString outputDirectory(const QString &setting)
{
    return QDir::current().absoluteFilePath(SettingsStore::expandTilde(setting));
}

QString claim(const QString &outputDirectory, const QString &environment, const QDateTime &start)
{
    const QDir output(outputDirectory);
    QDir().mkpath(outputDirectory);
    for (int ahead = 0; ahead < kMaxSecondsAhead; ++ahead) {
        const QString path = output.filePath(name(environment, start.addSecs(ahead)));
        // mkdir fails when the name exists, so two claims never get the same
        // folder, even from two processes.
        if (QDir().mkdir(path))
            return path;
        if (!QFileInfo::exists(path))
            return path;
    }
    return output.filePath(name(environment, start));
}

} // namespace RunFolder
