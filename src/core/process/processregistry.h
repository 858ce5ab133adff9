#pragma once

#include <QList>
#include <QtGlobal>

// The process-wide list of child processes the command executors have
// started and not yet seen end, so that all of them can be killed at once
// (before a new run, at quit). Entries are plain data (a token and, once the
// process exists, its pid), never QProcess objects, so any thread may read
// the list. Every function is thread-safe: the main thread adds and removes,
// terminateAll may run on a worker.
class ProcessRegistry final
{
public:
    // Appends an entry for a process about to be launched; returns its token.
    static quint64 add();
    // Records the pid once the process exists.
    static void setProcessId(quint64 token, qint64 pid);
    // Removes the entry of that token (nothing when already gone).
    static void remove(quint64 token);
    // Empties the registry and returns the pids it held. An entry whose
    // process is being launched at this very moment (no pid yet) stays.
    static QList<qint64> takeAll();

    static QList<qint64> processIds();
    static int count();
};
