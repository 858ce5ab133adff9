#pragma once

#include <QStringList>

#include <sys/types.h>

// The runner's own helper child (the real one keeps a device-forwarding
// process): kestrune-sim started again with the hidden "--helper" role, which
// only sleeps. It stays in the runner's process group and is not told about
// the runner's own SIGTERM, so only a stop sent to the whole group reaches it;
// it ends by itself after a bounded time so that a leak cannot last forever.
class HelperProcess final
{
public:
    HelperProcess() = default;
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    bool start(const QString &program, int lifetimeSeconds);
    // Ends the helper (also done on destruction, i.e. on every normal return).
    void stop();
    pid_t pid() const { return m_pid; }

    static bool handles(const QStringList &arguments);
    static int runHelper(const QStringList &arguments);

private:
    pid_t m_pid = -1;
};
