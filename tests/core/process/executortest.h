#pragma once

// Shared by the executor suites: recording what an executor publishes, the
// login profiles the real zsh reads, stand-in files, captured diagnostics.

#include "process/commandexecutor.h"
#include "diagnosticscapture.h"
#include "processprobe.h"
#include "../../support/scratchfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QThread>

namespace executortest {

inline const QString kFakeChild = QStringLiteral(KESTRUNE_FAKECHILD);
constexpr int kTimeoutMs = 5000;

// What one executor published, and in which state it was at the time.
struct Recording
{
    QStringList chunks;
    QList<int> statuses;
    bool everyChunkOnMainThread = true;
    bool runningWhenStatusArrived = false;
    int chunksAfterStatus = 0;

    QString text() const { return chunks.join(QString()); }
};

inline void record(CommandExecutor &executor, Recording &recording)
{
    QObject::connect(&executor, &CommandExecuting::outputReceived, &executor, [&recording](const QString &chunk) {
        recording.chunks.append(chunk);
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            recording.everyChunkOnMainThread = false;
        if (!recording.statuses.isEmpty())
            ++recording.chunksAfterStatus;
    });
    QObject::connect(&executor, &CommandExecuting::terminated, &executor, [&executor, &recording](int status) {
        recording.statuses.append(status);
        recording.runningWhenStatusArrived = executor.isRunning();
    });
}

inline ToolPaths realShell()
{
    ToolPaths paths;
    paths.shell = QStringLiteral("/bin/zsh");
    paths.pkill = QStringLiteral("/usr/bin/pkill");
    return paths;
}

using testsupport::ScopedEnv;
using testsupport::writeFile;

inline qint64 readPid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

// Diagnostic lines of the process area ("App"), captured for the
// assertions that need them.
inline QStringList &g_diagnostics = DiagnosticsCapture::lines;

inline void installDiagnosticsCapture()
{
    DiagnosticsCapture::install("io.kestrune.Kestrune.App");
}

inline void removeDiagnosticsCapture()
{
    DiagnosticsCapture::remove();
}


// A home whose login profile sets a marker, a value starting with "=", an
// empty value and a PATH in front of the default one.
inline bool writeLoginProfile(const QString &home)
{
    return writeFile(home + QStringLiteral("/.zprofile"),
                     "export KESTRUNE_LOGIN_MARKER=from-profile\n"
                     "export EQ_FIRST='=leading'\n"
                     "export EMPTY_VALUE=\n"
                     "export PATH=\"/login/bin:$PATH\"\n")
        && writeFile(home + QStringLiteral("/.zshrc"), "# nothing interactive\n");
}

// A home whose interactive profile never finishes, leaving a background
// child behind; both pids are written next to it.
inline bool writeHangingProfile(const QString &home)
{
    return writeFile(home + QStringLiteral("/.zprofile"), "export KESTRUNE_LOGIN_MARKER=from-profile\n")
        && writeFile(home + QStringLiteral("/.zshrc"),
                     "echo $$ > \"$HOME/shell.pid\"\n"
                     "sleep 1001 &\n"
                     "echo $! > \"$HOME/child.pid\"\n"
                     "sleep 1000\n");
}

} // namespace executortest
