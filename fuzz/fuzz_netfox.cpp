// The Netfox session log parser: the hand-written scanner must give exactly
// the records of the pattern-based reference, for the log as text and for
// the log read from a file (where the scanner works on the UTF-8 bytes).
//
// A file is read in windows: once in the usual large ones (the whole input)
// and once in windows of 64 to 191 bytes, so that windows end inside
// blocks, markers, characters and CR LF pairs.
//
// Input layout: one flag byte (bit 0: filter by a request date; the other
// bits: the small window size), then the log.
// The reference is quadratic on logs with many unfinished blocks, so the
// target runs with a bounded input length.

#include "fuzzsupport.h"

#include "network/netfoxparseoptions.h"
#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

QString describe(const NetworkHitList &hits)
{
    QStringList lines;
    for (const NetworkHit &hit : hits) {
        lines.append(QStringList { hit.id, hit.time.toString(Qt::ISODateWithMs), hit.url, hit.reqMethod, hit.reqHeaders,
                         hit.reqBody, hit.resStatus, hit.resHeaders, hit.resBody }
                         .join(QLatin1String(" | ")));
    }
    return QString::number(hits.size()) + QLatin1String(" records:\n") + lines.join(QLatin1Char('\n'));
}

// The text the file reader must see: the bytes as UTF-8 without an
// unfinished last character and without a byte order mark at the start when
// they are valid UTF-8, else the bytes as ISO Latin-1. (QString::fromUtf8
// drops a leading mark itself, so its round trip cannot tell validity; a
// second mark right after the first is text.)
QString decodedLikeAFile(QByteArrayView bytes)
{
    qsizetype end = bytes.size();
    // An unfinished last character: a lead byte within the last three bytes
    // whose sequence runs past the end.
    for (qsizetype back = 1; back <= 3 && back <= end; ++back) {
        const uchar b = uchar(bytes.at(end - back));
        if ((b & 0xC0) == 0x80)
            continue;
        const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (length > back)
            end -= back;
        break;
    }
    QByteArrayView complete = bytes.first(end);
    if (complete.startsWith("\xEF\xBB\xBF"))
        complete = complete.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(complete);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = QDir::tempPath() + QLatin1String("/kestrune-fuzz-netfox-")
        + QString::number(QCoreApplication::applicationPid()) + QLatin1String(".log");

    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const QByteArrayView bytes = input.rest();
    std::optional<QDateTime> since;
    if (flags & 1)
        since = QDateTime::fromSecsSinceEpoch(1796546230, Qt::UTC);

    // As text: valid UTF-16, as every decoded file is.
    const QString text = QString::fromUtf8(bytes);
    const NetworkHitList reference = NetfoxReference::parseNetworkLogText(text, since);
    const NetworkHitList scanner = Netfox::parseNetworkLogText(text, since);
    if (!(scanner == reference))
        fuzz::fail("scanner == reference on the text", describe(reference), describe(scanner));

    // As a file.
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes.data(), bytes.size());
    }
    const NetworkHitList fromFile = Netfox::parseNetworkLog(path, since);
    const NetworkHitList fileReference = NetfoxReference::parseNetworkLogText(decodedLikeAFile(bytes), since);
    if (!(fromFile == fileReference))
        fuzz::fail("scanner == reference on the file", describe(fileReference), describe(fromFile));
    NetfoxDetail::ParseOptions windowed;
    windowed.windowSize = 64 + (flags >> 1);
    const NetworkHitList inWindows = NetfoxDetail::parseNetworkLog(path, since, windowed);
    if (!(inWindows == fileReference))
        fuzz::fail("scanner == reference on the file in small windows", describe(fileReference), describe(inWindows));
    return 0;
}
