#include "simtestsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

SimLab::SimLab()
{
    QDir().mkpath(home());
}

QProcessEnvironment SimLab::environment(const QString &speed) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTRUNE_SIM_HOME"), home());
    env.insert(QStringLiteral("KESTRUNE_SIM_SPEED"), speed);
    return env;
}

SimResult SimLab::run(const QStringList &arguments, const QString &speed) const
{
    QProcess process;
    process.setProcessEnvironment(environment(speed));
    process.setWorkingDirectory(m_dir.path());
    process.start(SimTest::program(), arguments);
    SimResult result;
    if (!process.waitForStarted(10000))
        return result;
    result.finished = process.waitForFinished(60000);
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString SimTest::program()
{
    return QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
}

QString SimTest::demoWorkspace()
{
    return QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace");
}

QStringList SimTest::runnerArguments(
    const QString &device, const QString &output, const QStringList &flows, const QString &bundle)
{
    QStringList args { QStringLiteral("--platform"), QStringLiteral("ios"), QStringLiteral("--team-id"),
        QStringLiteral("K7QX2M9R4T"), QStringLiteral("--device"), device, QStringLiteral("-e"),
        QStringLiteral("BUNDLE_ID=") + bundle, QStringLiteral("-e"), QStringLiteral("PASSWORD=a=b c"), QStringLiteral("-e"),
        QStringLiteral("SEARCH_TERM=Kopi"), QStringLiteral("--artifacts"), QStringLiteral("on-failure"),
        QStringLiteral("--output"), output };
    for (const QString &flow : flows)
        args << demoWorkspace() + u'/' + flow;
    return args;
}

QByteArray SimTest::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject SimTest::readJsonObject(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object();
}

QString SimTest::onlyReportFolder(const QString &output)
{
    const QStringList entries = QDir(output).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return entries.size() == 1 ? QDir(output).filePath(entries.first()) : QString();
}

QJsonValue SimTest::withoutTimes(const QJsonValue &value)
{
    if (value.isObject()) {
        QJsonObject o = value.toObject();
        for (const char *key : { "startTime", "endTime", "lastUpdated" })
            o.remove(QLatin1String(key));
        for (auto it = o.begin(); it != o.end(); ++it)
            it.value() = withoutTimes(it.value());
        return o;
    }
    if (value.isArray()) {
        QJsonArray a;
        for (const QJsonValue &v : value.toArray())
            a.append(withoutTimes(v));
        return a;
    }
    return value;
}
