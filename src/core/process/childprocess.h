#pragma once

#include "toolpaths.h"
#include "utf8streamdecoder.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QTimer;

#include <optional>

// One child process of the command executor: a QProcess with stdout and
// stderr merged, /dev/null as input, in a process group of its own, with an
// entry in the ProcessRegistry while it lives. Its output arrives as decoded
// text chunks; it reports its end exactly once (finished), with -1 after a
// failed launch. When the process exits while processes it started are still
// in its group, those get SIGTERM and, after a short grace, SIGKILL before
// finished() is reported, so nothing a run started outlives it. Owned by
// CommandExecutor; lives on the main thread.
class ChildProcess final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChildProcess)

public:
    explicit ChildProcess(const ToolPaths &paths, QObject *parent = nullptr);
    // Kills the whole group of a process that is still running.
    ~ChildProcess() override;

    void start(const QString &program, const QStringList &arguments, const std::optional<QString> &workingDirectory,
               const QProcessEnvironment &environment);

    // pkill -TERM/-9 on the direct children, SIGTERM to the group and to the
    // process, SIGKILL to the group after a short grace. finished() follows
    // when the process has ended.
    void stop();

    qint64 processId() const;
    bool hasFinished() const { return m_hasFinished; }
    // Whether a signal ended the process (its status is then the signal's
    // number, which an exit with that number cannot be told from).
    bool endedBySignal() const { return m_endedBySignal; }

Q_SIGNALS:
    void outputReceived(const QString &chunk);
    void finished(int status);

private:
    void onReadyRead();
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onErrorOccurred(QProcess::ProcessError error);
    void publish(int status);
    void endLeftovers(int status);


    ToolPaths m_paths;
    QProcess *m_process = nullptr;
    Utf8StreamDecoder m_decoder;
    quint64 m_registryToken = 0;
    qint64 m_pid = 0;
    QTimer *m_leftoverTimer = nullptr;
    bool m_stopRequested = false;
    bool m_hasFinished = false;
    bool m_endedBySignal = false;
};
