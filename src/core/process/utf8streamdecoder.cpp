#include "utf8streamdecoder.h"

#include <QStringDecoder>

namespace {

QString decodeComplete(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

bool isContinuation(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

// The length of the sequence a lead byte starts; 0 for anything else.
qsizetype sequenceLength(char byte)
{
    const uchar b = uchar(byte);
    if (b >= 0xC2 && b <= 0xDF)
        return 2;
    if (b >= 0xE0 && b <= 0xEF)
        return 3;
    if (b >= 0xF0 && b <= 0xF4)
        return 4;
    return 0;
}

} // namespace

qsizetype Utf8StreamDecoder::incompleteTailLength(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const char byte = bytes.at(size - back);
        if (isContinuation(byte))
            continue;
        const qsizetype length = sequenceLength(byte);
        return length > back ? back : 0;
    }
    return 0;
}

QString Utf8StreamDecoder::decode(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    QByteArray buffer = std::exchange(m_pending, {});
    buffer.append(bytes);
    const qsizetype tail = incompleteTailLength(buffer);
    if (tail > 0) {
        m_pending = buffer.right(tail);
        buffer.chop(tail);
    }
    return decodeComplete(buffer);
}

QString Utf8StreamDecoder::finish()
{
    return decodeComplete(std::exchange(m_pending, {}));
}
