// The environment file parser. Properties: reading the bytes from a file
// gives what parsing their UTF-8 text gives (nothing when they are not
// UTF-8); no entry holds a line break; keys carry no surrounding spaces or
// tabs; there are never more entries than lines; parsing is the same on
// CRLF and LF line ends.

#include "fuzzsupport.h"

#include "workspace/envfileparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

QString describe(const QList<EnvFileParser::Entry> &entries)
{
    QStringList lines;
    for (const auto &[key, value] : entries)
        lines.append(u'[' + key + QLatin1String("]=[") + value + u']');
    return lines.join(QLatin1Char(' '));
}

bool hasLineBreak(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\x0B' || c == u'\x0C' || c == QChar(0x85) || c == QChar(0x2028)
            || c == QChar(0x2029))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = QDir::tempPath() + QLatin1String("/kestrune-fuzz-env-")
        + QString::number(QCoreApplication::applicationPid()) + QLatin1String(".env");
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    const bool valid = !decoder.hasError();
    const QList<EnvFileParser::Entry> entries = EnvFileParser::parseEnvText(text);

    for (const auto &[key, value] : entries) {
        fuzz::check(!hasLineBreak(key) && !hasLineBreak(value), "no entry holds a line break", key + u'=' + value);
        fuzz::check(!(key.startsWith(u' ') || key.startsWith(u'\t') || key.endsWith(u' ') || key.endsWith(u'\t')),
                    "keys carry no surrounding spaces or tabs", key);
    }
    fuzz::check(entries.size() <= text.count(u'\n') + text.count(u'\r') + text.count(u'\x0B') + text.count(u'\x0C')
                        + text.count(QChar(0x85)) + text.count(QChar(0x2028)) + text.count(QChar(0x2029)) + 1,
                "no more entries than lines");

    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QList<EnvFileParser::Entry> fromCrlf = EnvFileParser::parseEnvText(crlf);
    if (fromCrlf != entries)
        fuzz::fail("CRLF line ends parse like LF", describe(entries), describe(fromCrlf));

    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes.data(), bytes.size());
    }
    const QList<EnvFileParser::Entry> fromFile = EnvFileParser::parseEnvFile(path);
    const QList<EnvFileParser::Entry> expected = valid ? entries : QList<EnvFileParser::Entry>();
    if (fromFile != expected)
        fuzz::fail("the file parses like its text", describe(expected), describe(fromFile));
    return 0;
}
