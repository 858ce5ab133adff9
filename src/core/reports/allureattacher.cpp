#include "allureattacher.h"

#include "atomicfile.h"
#include "settings/logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace {

// Deletes an earlier log attachment the result named: only a plain file of
// ours directly in the results folder, never the one just written.
void removeStaleAttachment(const QDir &dir, const QString &source, const QString &current)
{
    if (source == current || source.contains(QLatin1Char('/')) || source.startsWith(QLatin1Char('.'))
        || !source.endsWith(QLatin1String("-attachment.txt")))
        return;
    const QFileInfo info(dir.filePath(source));
    if (info.isSymLink() || info.isFile())
        QFile::remove(info.filePath());
}

} // namespace

bool AllureAttacher::attach(const QString &allureResultsDir, const QString &networkLogFile, QString *error)
{
    const QFileInfo folder(allureResultsDir);
    if (!folder.exists() || !folder.isDir() || folder.isSymLink()) {
        qCInfo(lcReport, "Warning: Allure results dir not found: %s", qUtf8Printable(allureResultsDir));
        return true;
    }
    if (!QFileInfo::exists(networkLogFile) || QFileInfo(networkLogFile).isSymLink()) {
        qCInfo(lcReport, "Warning: Network log not found: %s", qUtf8Printable(networkLogFile));
        return true;
    }

    QFile source(networkLogFile);
    if (!source.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Could not copy %1: %2").arg(networkLogFile, source.errorString());
        return false;
    }
    const QByteArray log = source.readAll();
    source.close();
    // Named after the log's contents, so attaching the same log again gives
    // the same file and the same records.
    const QUuid id = QUuid::fromRfc4122(QCryptographicHash::hash(log, QCryptographicHash::Sha256).left(16));
    const QString attachmentName = id.toString(QUuid::WithoutBraces).toLower() + QStringLiteral("-attachment.txt");
    const QDir dir(allureResultsDir);
    const QString attachmentPath = dir.filePath(attachmentName);
    if (QFileInfo(attachmentPath).isSymLink())
        QFile::remove(attachmentPath); // replaced, never written through
    if (!AtomicFile::writeWhole(attachmentPath, log, error))
        return false;

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
        // An earlier attachment of the log is replaced, not added to.
        const QJsonArray previous = result.value(QLatin1String("attachments")).toArray(); // non-arrays count as empty
        QJsonArray attachments;
        for (const QJsonValue &attachment : previous) {
            const QJsonObject entry = attachment.toObject();
            if (entry.value(QLatin1String("name")) == record.value(QLatin1String("name"))) {
                removeStaleAttachment(dir, entry.value(QLatin1String("source")).toString(), attachmentName);
                continue;
            }
            attachments.append(attachment);
        }
        attachments.append(record);
        result.insert(QStringLiteral("attachments"), attachments);

        // Written atomically: a crash mid-write must not lose the result.
        if (!AtomicFile::writeWhole(path, QJsonDocument(result).toJson(QJsonDocument::Compact), error))
            return false;
        ++count;
    }
    qCInfo(lcReport, "Attached netfox log to %lld Allure result(s) as %s", static_cast<long long>(count),
        qUtf8Printable(attachmentName));
    return true;
}
