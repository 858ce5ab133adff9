// The UTF-8 stream decoder fed the same bytes in pieces cut at arbitrary
// places: the text must be the same however the stream is cut, and equal to
// decoding the whole stream at once.
//
// Input layout: one byte with the number of cuts (mod 16), that many bytes of
// piece lengths, then the stream.

#include "fuzzsupport.h"

#include "process/utf8streamdecoder.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const int cuts = input.byte() % 16;
    QList<int> lengths;
    for (int i = 0; i < cuts; ++i)
        lengths.append(input.byte() % 8);
    const QByteArrayView stream = input.rest();

    const QString whole = QString::fromUtf8(stream);

    Utf8StreamDecoder oneGo;
    const QString inOneGo = oneGo.decode(stream) + oneGo.finish();
    if (inOneGo != whole)
        fuzz::fail("one piece decodes like QString::fromUtf8", whole, inOneGo);

    Utf8StreamDecoder pieces;
    QString inPieces;
    qsizetype at = 0;
    for (const int length : lengths) {
        const qsizetype take = qMin<qsizetype>(length, stream.size() - at);
        inPieces += pieces.decode(stream.sliced(at, take));
        at += take;
    }
    inPieces += pieces.decode(stream.sliced(at));
    inPieces += pieces.finish();
    if (inPieces != whole)
        fuzz::fail("pieces decode like the whole stream", whole, inPieces);

    // Byte by byte, the most hostile cut of all.
    Utf8StreamDecoder bytes;
    QString byByte;
    for (qsizetype i = 0; i < stream.size(); ++i)
        byByte += bytes.decode(stream.sliced(i, 1));
    byByte += bytes.finish();
    if (byByte != whole)
        fuzz::fail("single bytes decode like the whole stream", whole, byByte);
    return 0;
}
