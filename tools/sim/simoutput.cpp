#include "simoutput.h"

#include <cstdio>

namespace {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void SimOutput::out(const QString &text)
{
    write(stdout, text);
}

void SimOutput::err(const QString &text)
{
    write(stderr, text);
}

QString SimOutput::headerLine()
{
    return QStringLiteral("kestrune-sim: simulated device lab (test and demo equipment, not the real tools)\n");
}
