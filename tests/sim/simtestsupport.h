#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs kestrune-sim as a child process against a lab folder of its own.
struct SimResult
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString out;
    QString err;
    bool finished = false;
};

class SimLab
{
public:
    SimLab();
    bool isValid() const { return m_dir.isValid(); }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QProcessEnvironment environment(const QString &speed = QStringLiteral("fast")) const;
    SimResult run(const QStringList &arguments, const QString &speed = QStringLiteral("fast")) const;

private:
    QTemporaryDir m_dir;
};

namespace SimTest {

QString program();
QString demoWorkspace();

// The test-run command line the application builds, for the demo workspace.
QStringList runnerArguments(const QString &device, const QString &output, const QStringList &flows,
    const QString &bundle = QStringLiteral("com.lumenfold.pasar"));

inline const QString iPhone = QStringLiteral("00008130-001E39811A12001C");
inline const QString iPhoneWithoutLog = QStringLiteral("00008110-000A1C2E0E91801E");
inline const QString offlinePhone = QStringLiteral("00008030-0011223344556677");
inline const QString hostMac = QStringLiteral("305FB8F6-801F-5FD2-BE49-BE799A13D773");
inline const QString simulator = QStringLiteral("45D578D6-0267-467B-BA25-3CF08BCFE468");
inline const QString emptySimulator = QStringLiteral("B1C2D3E4-F5A6-4B7C-8D9E-0F1A2B3C4D5E");

QByteArray readFile(const QString &path);
QJsonObject readJsonObject(const QString &path);
// The value with every startTime, endTime and lastUpdated member removed.
QJsonValue withoutTimes(const QJsonValue &value);
// The single report folder that a run wrote under an --output folder.
QString onlyReportFolder(const QString &output);

} // namespace SimTest
