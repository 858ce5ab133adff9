#include "allureattacher.h"

#include "settings/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

bool AllureAttacher::attach(const QString &allureResultsDir, const QString &networkLogFile, QString *error)
{
    const QFileInfo folder(allureResultsDir);
    if (!folder.exists() || !folder.isDir() || folder.isSymLink()) {
        qCInfo(lcReport, "Warning: Allure results dir not found: %s", qUtf8Printable(allureResultsDir));
        return true;
    }
    if (!QFileInfo::exists(networkLogFile)) {
        qCInfo(lcReport, "Warning: Network log not found: %s", qUtf8Printable(networkLogFile));
        return true;
    }

    const QString attachmentName
        = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower() + QStringLiteral("-attachment.txt");
    const QDir dir(allureResultsDir);
    {
        QFile source(networkLogFile);
        if (!source.copy(dir.filePath(attachmentName))) {
            if (error)
                *error = QStringLiteral("Could not copy %1: %2").arg(networkLogFile, source.errorString());
            return false;
        }
    }

    QStringList resultFiles;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (name.endsWith(QLatin1String("-result.json")))
            resultFiles.append(name);
    }
    resultFiles.sort();
    if (resultFiles.isEmpty()) {
        qCInfo(lcReport, "No *-result.json files found in allure-results — nothing to attach to.");
        return true;
    }

    const QJsonObject record { { QStringLiteral("name"), QStringLiteral("Netfox Network Log") },
        { QStringLiteral("source"), attachmentName }, { QStringLiteral("type"), QStringLiteral("text/plain") } };
    qsizetype count = 0;
    for (const QString &name : std::as_const(resultFiles)) {
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isFile()) {
            // A link: the write would go to the file it points to, which may be
            // anywhere. A named pipe or device: the read would block or never end.
            qCInfo(lcReport, "Skipping result file that is a link or not a plain file: %s", qUtf8Printable(name));
            continue;
        }
        QFile file(path);
        QJsonParseError parseError;
        const QJsonDocument document
            = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &parseError) : QJsonDocument();
        file.close();
        if (document.isNull() || !document.isObject()) {
            qCInfo(lcReport, "Skipping unreadable JSON: %s", qUtf8Printable(name));
            continue;
        }
        QJsonObject result = document.object();
        QJsonArray attachments = result.value(QLatin1String("attachments")).toArray(); // non-arrays count as empty
        attachments.append(record);
        result.insert(QStringLiteral("attachments"), attachments);

        // Written atomically: a crash mid-write must not lose the result.
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(result).toJson(QJsonDocument::Compact)) < 0
            || !out.commit()) {
            if (error)
                *error = QStringLiteral("Could not write %1: %2").arg(path, out.errorString());
            return false;
        }
        ++count;
    }
    qCInfo(lcReport, "Attached netfox log to %lld Allure result(s) as %s", static_cast<long long>(count),
        qUtf8Printable(attachmentName));
    return true;
}
