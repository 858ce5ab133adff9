#pragma once

// Helpers shared by the report suites: sample run folders copied into a
// temporary folder, small file utilities, and the fixed local time zone that
// golden pages need.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace ReportTestSupport {

inline void useUtc()
{
    qputenv("TZ", "UTC");
    tzset();
}

inline QString dataDir()
{
    return QStringLiteral(KESTRUNE_TEST_DATA_DIR "/reports");
}

inline bool copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else {
            QDir().mkpath(QFileInfo(target).absolutePath());
            if (!QFile::copy(path, target))
                return false;
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        }
    }
    return true;
}

// The sample run "SIT_20261206_093640" copied under `root`; returns its path.
inline QString copyBasicRun(const QString &root)
{
    const QString name = QStringLiteral("SIT_20261206_093640");
    const QString target = root + QLatin1Char('/') + name;
    if (!copyTree(dataDir() + QStringLiteral("/runs/") + name, target))
        return QString();
    return target;
}

inline QString basicReportFolder(const QString &run)
{
    return run + QStringLiteral("/2026-12-06_09-36-40");
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

// Compares `actual` with the golden file; KESTRUNE_UPDATE_GOLDEN=1 rewrites it.
inline bool matchesGolden(const QString &goldenPath, const QByteArray &actual)
{
    if (qEnvironmentVariableIntValue("KESTRUNE_UPDATE_GOLDEN") == 1) {
        writeAll(goldenPath, actual);
        return true;
    }
    const QByteArray expected = readAll(goldenPath);
    if (expected == actual)
        return true;
    const QString actualPath = QDir::temp().filePath(QFileInfo(goldenPath).fileName() + QStringLiteral(".actual"));
    writeAll(actualPath, actual);
    qWarning("Golden mismatch: diff %s %s", qPrintable(goldenPath), qPrintable(actualPath));
    return false;
}

// Runs `work` on a thread; true when it ends within ten seconds. A reader
// left blocked on the named pipe `pipe` is let go afterwards (as often as it
// opens the pipe again), so the thread always ends.
inline bool finishesBesidePipe(const QByteArray &pipe, const std::function<void()> &work)
{
    std::atomic<bool> done = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        work();
        done = true;
    }));
    thread->start();
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 10000);
    while (!thread->wait(100)) {
        const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    return finished;
}

} // namespace ReportTestSupport
