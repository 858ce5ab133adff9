#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <optional>

// Brings a Netfox session log into memory for the parser and tells its
// encoding: UTF-8 (an unfinished character at the very end, left by a copy
// taken while the app was writing, is dropped) or else ISO Latin-1. Pure
// functions, any thread.
namespace NetfoxLogFile {

enum class Encoding {
    Utf8,
    Latin1,
};

struct Contents
{
    QByteArray bytes; // for UTF-8, without the unfinished character at the end; else as read
    Encoding encoding = Encoding::Utf8;
};

// The whole file; nothing when it cannot be opened or read. A file that
// grows while it is read is read to its new end.
std::optional<Contents> read(const QString &filePath);

// The same decision for bytes already in memory.
Contents classify(QByteArray bytes);

// Whether the bytes are UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF).
bool isValidUtf8(QByteArrayView bytes);

// Decodes UTF-8 into `into` (its room is kept for the next call, so it can
// serve as a reused buffer; a byte order mark at the start is kept as
// U+FEFF). False, with `into` holding what was decoded before the fault,
// when the bytes are not UTF-8 by the rules of isValidUtf8. Faster than the
// general-purpose decoders on the log's short runs of ASCII between
// non-ASCII characters.
bool decodeUtf8(QByteArrayView bytes, QString &into);

// Where an unfinished UTF-8 character starts when the bytes end inside one,
// or -1.
qsizetype incompleteUtf8Tail(QByteArrayView bytes);

// Replaces every CRLF by LF in place.
void normalizeLineEnds(QByteArray &bytes);

// The same for `size` bytes at `data`; returns their new size.
qsizetype normalizeLineEnds(char *data, qsizetype size);

// Reads a file in windows for a reader that keeps part of each one: every
// window is the bytes kept from the last followed by fresh ones from the
// file, line ends normalised (a CR at a window's end waits for the byte
// after it). The first window has no byte order mark, the last no
// unfinished UTF-8 character at its end. Two buffers take turns, so the
// next window can be read while the current one is parsed, and a log is
// never in memory whole unless the reader keeps it all. A file that grows
// meanwhile is read to its new end. For plain files (a pipe cannot say how
// much is left); used by one thread at a time.
class WindowReader
{
public:
    explicit WindowReader(const QString &filePath);

    bool open();

    // Makes the next window current (the first: keepFrom 0). False when the
    // file cannot be read.
    bool next(qsizetype keepFrom, qsizetype fresh)
    {
        if (!prepareNext(keepFrom, fresh))
            return false;
        advance();
        return true;
    }

    // The next window in the other buffer: the current window's bytes from
    // `keepFrom` on (as for next()), then up to `fresh` more from the file
    // (fewer at its end). Other threads may read the current window
    // meanwhile. False when the file cannot be read.
    bool prepareNext(qsizetype keepFrom, qsizetype fresh);
    // The prepared window becomes the current one.
    void advance();

    QByteArrayView window() const { return m_windows[m_current].view(); }
    bool atEnd() const { return m_windows[m_current].atEnd; }
    // The prepared window, before advance().
    QByteArrayView preparedWindow() const { return m_windows[1 - m_current].view(); }
    bool preparedAtEnd() const { return m_windows[1 - m_current].atEnd; }

private:
    struct Window
    {
        QByteArray buffer;
        qsizetype begin = 0;
        qsizetype end = 0;
        bool atEnd = false;

        QByteArrayView view() const { return QByteArrayView(buffer.constData() + begin, end - begin); }
    };

    QFile m_file;
    Window m_windows[2];
    int m_current = 0;
    bool m_first = true;
};

} // namespace NetfoxLogFile
