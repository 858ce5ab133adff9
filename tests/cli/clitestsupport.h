#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

inline CliResult runCli(const QStringList &arguments, const QProcessEnvironment &environment, int timeoutMs = 60'000,
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

inline CliResult runCli(const QStringList &arguments)
{
    return runCli(arguments, QProcessEnvironment::systemEnvironment());
}

// Writes an executable shell script.
inline bool writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n" + body);
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
