#pragma once

// Test helpers that look at processes by pid.

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <csignal>
#include <sys/types.h>

namespace processprobe {

// Whether the process exists and is not a zombie. A killed grandchild is
// reparented to an init that may never reap it; a zombie counts as dead.
inline bool isAlive(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true; // no /proc (macOS): kill() has the last word
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'Z';
}

inline bool noneAlive(const QList<qint64> &pids)
{
    for (const qint64 pid : pids) {
        if (isAlive(pid))
            return false;
    }
    return true;
}

// The pids the fake child's tree scenario printed ("pid 1234" lines).
inline QList<qint64> printedPids(const QString &output)
{
    static const QRegularExpression pattern(QStringLiteral("^pid (\\d+)$"), QRegularExpression::MultilineOption);
    QList<qint64> pids;
    auto it = pattern.globalMatch(output);
    while (it.hasNext())
        pids.append(it.next().captured(1).toLongLong());
    return pids;
}

} // namespace processprobe
