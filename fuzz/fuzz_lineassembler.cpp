// Console line assembly over arbitrary chunk splits. Properties: no
// character is lost or invented (the lines and the carried tail give back the
// stream without its line feeds); while no line is longer than the carried
// tail's limit, the lines are the same however the stream is cut; no line
// given out is longer than the limit plus one chunk.
//
// Input layout: one byte with the number of cuts (mod 32), that many bytes of
// piece lengths (times 16), one byte that repeats the stream (to pass the
// limit), then the stream as UTF-8.

#include "fuzzsupport.h"

#include "runner/lineassembler.h"

#include <QList>

namespace {

QString joined(const QStringList &lines)
{
    return lines.join(QLatin1Char('|')).left(300);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const int cuts = input.byte() % 32;
    QList<int> lengths;
    for (int i = 0; i < cuts; ++i)
        lengths.append(int(input.byte()) * 16 % 4096);
    const int repeat = 1 + input.byte() % 8;
    const QString once = QString::fromUtf8(input.rest());
    QString stream;
    for (int i = 0; i < repeat; ++i)
        stream += once;

    // The whole stream in one piece.
    LineAssembler whole;
    QStringList wholeLines = whole.feed(stream);
    const QString wholeTail = whole.takePending();

    // In pieces.
    LineAssembler pieces;
    QStringList pieceLines;
    qsizetype at = 0;
    qsizetype longestPiece = 0;
    for (const int length : lengths) {
        const qsizetype take = qMin<qsizetype>(length, stream.size() - at);
        pieceLines += pieces.feed(QStringView(stream).sliced(at, take));
        longestPiece = qMax(longestPiece, take);
        at += take;
    }
    pieceLines += pieces.feed(QStringView(stream).sliced(at));
    longestPiece = qMax(longestPiece, stream.size() - at);
    const QString pieceTail = pieces.takePending();

    QString withoutLineFeeds = stream;
    withoutLineFeeds.remove(QLatin1Char('\n'));
    if (pieceLines.join(QString()) + pieceTail != withoutLineFeeds)
        fuzz::fail("pieces: no character lost or invented", withoutLineFeeds.left(300), joined(pieceLines));
    if (wholeLines.join(QString()) + wholeTail != withoutLineFeeds)
        fuzz::fail("whole: no character lost or invented", withoutLineFeeds.left(300), joined(wholeLines));

    qsizetype longestLine = 0;
    for (const QStringView line : QStringView(stream).split(QLatin1Char('\n')))
        longestLine = qMax(longestLine, line.size());
    if (longestLine <= LineAssembler::kMaxPartialLine) {
        if (pieceLines != wholeLines || pieceTail != wholeTail)
            fuzz::fail("same lines however the stream is cut", joined(wholeLines), joined(pieceLines));
    }
    for (const QString &line : std::as_const(pieceLines)) {
        fuzz::check(line.size() <= LineAssembler::kMaxPartialLine + longestPiece, "a line is bounded by the limit plus one chunk",
                    QString::number(line.size()));
    }
    return 0;
}
