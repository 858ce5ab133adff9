#include "processregistry.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>

namespace {

struct Entry
{
    quint64 token = 0;
    qint64 pid = 0;
};

struct Registry
{
    QMutex mutex;
    QList<Entry> entries;
    quint64 nextToken = 1;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

quint64 ProcessRegistry::add()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    const quint64 token = r.nextToken++;
    r.entries.append({ token, 0 });
    return token;
}

void ProcessRegistry::setProcessId(quint64 token, qint64 pid)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    for (Entry &entry : r.entries) {
        if (entry.token == token)
            entry.pid = pid;
    }
}

void ProcessRegistry::remove(quint64 token)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    r.entries.removeIf([token](const Entry &entry) { return entry.token == token; });
}

QList<qint64> ProcessRegistry::takeAll()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    QList<qint64> pids;
    // An entry without a pid belongs to a launch in progress on the main
    // thread; it stays, so that the process is known once it exists.
    r.entries.removeIf([&pids](const Entry &entry) {
        if (entry.pid <= 0)
            return false;
        pids.append(entry.pid);
        return true;
    });
    return pids;
}

QList<qint64> ProcessRegistry::processIds()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    QList<qint64> pids;
    for (const Entry &entry : std::as_const(r.entries)) {
        if (entry.pid > 0)
            pids.append(entry.pid);
    }
    return pids;
}

int ProcessRegistry::count()
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    return int(r.entries.size());
}
