#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Turns a byte stream that arrives in arbitrary pieces (pipe reads) into
// text. A character whose bytes are split between two pieces comes out
// whole with the later piece; every byte that is not part of valid UTF-8
// comes out as U+FFFD, so no text around it is lost. One instance per
// stream; not thread-safe.
//
// The incomplete tail is carried here rather than in QStringDecoder's own
// state: Qt 6.4's stateful decoder swallows the byte that follows a cut-off
// sequence (a line feed after a truncated character would vanish).
class Utf8StreamDecoder final
{
public:
    QString decode(QByteArrayView bytes);

    // Ends the stream: bytes of a character cut off at its very end come out
    // as U+FFFD. The decoder is ready for a new stream afterwards.
    QString finish();

    // How many bytes at the end of `bytes` start a multi-byte character that
    // is not complete yet (0 to 3).
    static qsizetype incompleteTailLength(QByteArrayView bytes);

private:
    QByteArray m_pending;
};
