#include "filecontentloader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace FileContentLoader {

QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Bytes that are not UTF-8 are not ASCII either (ASCII is a subset of
    // it); every byte is a Latin-1 character, so that decoding always works.
    return QString::fromLatin1(bytes);
}

QString failureText(const QString &path)
{
    return QStringLiteral("# Unable to load file content at:\n# ") + path;
}

QString loadContent(const QString &path)
{
    // A folder opens as an empty file on some systems; it is not a file to show.
    if (QFileInfo(path).isDir())
        return failureText(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failureText(path);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failureText(path);
    return decode(bytes);
}

} // namespace FileContentLoader
