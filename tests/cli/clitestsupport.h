#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <termios.h>
#include <unistd.h>

// Runs the built kestrune-cli with a controlled environment and collects
// what it printed.
struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline QString cliPath()
{
    return QStringLiteral(KESTRUNE_BINARY_DIR "/src/cli/kestrune-cli");
}

inline CliResult runCli(const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(), int timeoutMs = 60'000,
    const QString &workingDirectory = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(cliPath(), arguments);
    CliResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// kestrune-cli with its standard output on a pseudo-terminal, as when a
// user reads it in a terminal window; what it wrote there, or nothing when
// no terminal could be had.
inline std::optional<QByteArray> runOnTerminal(
    const QStringList &arguments, const QProcessEnvironment &environment, const QString &workingDirectory = QString())
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return std::nullopt;
    const QString slavePath = QString::fromLocal8Bit(::ptsname(master));
    // Held open so that the terminal outlives the child; bytes pass as
    // written (no LF to CR LF).
    const int slave = ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY);
    termios settings {};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
        ::close(master);
        return std::nullopt;
    }
    settings.c_oflag &= ~tcflag_t(OPOST);
    ::tcsetattr(slave, TCSANOW, &settings);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    QProcess process;
    process.setStandardOutputFile(slavePath);
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(cliPath(), arguments);
    QByteArray written;
    auto drain = [&] {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(master, buffer, sizeof buffer)) > 0)
            written.append(buffer, got);
    };
    while (!process.waitForFinished(20))
        drain();
    drain();
    ::close(slave);
    ::close(master);
    return written;
}
