#include "helperprocess.h"

#include <QFile>

#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

HelperProcess::~HelperProcess()
{
    // Normal returns end the helper; a stop by signal never gets here, so the
    // helper is left to the caller's process-group stop.
    stop();
}

bool HelperProcess::start(const QString &program, int lifetimeSeconds)
{
    const QByteArray path = QFile::encodeName(program);
    const QByteArray lifetime = QByteArray::number(lifetimeSeconds);
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // Default signal handling, whatever the parent had installed.
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        char *argv[] = { const_cast<char *>(path.constData()), const_cast<char *>("--helper"),
            const_cast<char *>(lifetime.constData()), nullptr };
        execv(path.constData(), argv);
        _exit(127);
    }
    m_pid = pid;
    return true;
}

void HelperProcess::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

bool HelperProcess::handles(const QStringList &arguments)
{
    return arguments.value(0) == QLatin1String("--helper");
}

int HelperProcess::runHelper(const QStringList &arguments)
{
    const int lifetime = std::clamp(arguments.value(1).toInt(), 1, 600);
    for (int tick = 0; tick < lifetime * 10; ++tick) {
        timespec ts { 0, 100000000 };
        nanosleep(&ts, nullptr);
    }
    return 0;
}
