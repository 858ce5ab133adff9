#include "atomicfile.h"

#include <QSaveFile>

bool AtomicFile::writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile out(path);
    // Unbuffered: a short write shows in write()'s count, not later in a
    // flush that commit() would not question.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("Could not write %1: %2").arg(path, out.errorString());
        return false;
    }
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 chunk = out.write(bytes.constData() + written, bytes.size() - written);
        if (chunk <= 0)
            break;
        written += chunk;
    }
    if (written != bytes.size()) {
        const QString reason = out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("disk full");
        out.cancelWriting();
        if (error)
            *error = QStringLiteral("Could not write %1: only %2 of %3 bytes written (%4)")
                         .arg(path)
                         .arg(written)
                         .arg(bytes.size())
                         .arg(reason);
        return false;
    }
    if (!out.commit()) {
        if (error)
            *error = QStringLiteral("Could not write %1: %2").arg(path, out.errorString());
        return false;
    }
    return true;
}
