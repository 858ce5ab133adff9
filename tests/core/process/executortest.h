#pragma once

// Shared by the executor suites: recording what an executor publishes, the
// login profiles the real zsh reads, stand-in files, captured diagnostics.

#include "process/commandexecutor.h"
#include "processprobe.h"
#include "../../support/scratchfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
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

// Diagnostic lines of the process area, captured for the assertions that
// need them (the category is silenced by default in the suites).
inline QStringList g_diagnostics;
inline QtMessageHandler g_previousHandler = nullptr;
inline QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

inline void captureDiagnostics(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "io.kestrune.Kestrune.App") == 0) {
        g_diagnostics.append(message);
        return;
    }
    g_previousHandler(type, context, message);
}

inline void enableProcessDiagnostics(QLoggingCategory *category)
{
    g_previousFilter(category);
    if (qstrcmp(category->categoryName(), "io.kestrune.Kestrune.App") == 0)
        category->setEnabled(QtInfoMsg, true);
}

inline void installDiagnosticsCapture()
{
    g_previousHandler = qInstallMessageHandler(captureDiagnostics);
    g_previousFilter = QLoggingCategory::installFilter(enableProcessDiagnostics);
}

inline void removeDiagnosticsCapture()
{
    QLoggingCategory::installFilter(g_previousFilter);
    qInstallMessageHandler(g_previousHandler);
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
