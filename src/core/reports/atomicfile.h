#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file's contents in one step: the bytes go to a temporary file
// beside it, which takes the file's place only when every byte was written.
// A short write (a full disk or a file-size limit makes QIODevice::write
// return fewer bytes without an error) or any other failure leaves the
// original untouched. Any thread.
namespace AtomicFile {

// False with `error` (naming the path) when the file was not replaced.
bool writeWhole(const QString &path, const QByteArray &bytes, QString *error);

} // namespace AtomicFile
