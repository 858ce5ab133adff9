#pragma once

#include <QByteArray>
#include <QString>

// How the flow viewer gets a file's text: the bytes as UTF-8, else ASCII,
// else ISO Latin-1; a file that cannot be read shows two comment lines
// naming its path instead. Never reports an error. Any thread.
namespace FileContentLoader {

// The text of `bytes` in the first of UTF-8, ASCII and Latin-1 that
// decodes them.
QString decode(const QByteArray &bytes);

// "# Unable to load file content at:\n# " followed by `path`.
QString failureText(const QString &path);

// The text the viewer shows for the file at `path`.
QString loadContent(const QString &path);

} // namespace FileContentLoader
