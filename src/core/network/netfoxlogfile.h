#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Brings a Netfox session log into memory for the parser and tells its
// encoding: UTF-8 (an unfinished character at the very end, left by a copy
// taken while the app was writing, is dropped) or else ISO Latin-1. Large
// files are read and checked in slices on a few threads of their own. Pure
// functions, any thread.
namespace NetfoxLogFile {

enum class Encoding {
    Utf8,
    Latin1,
    Unchecked, // not checked yet: the whole file as read, to be decoded as UTF-8 by a reader that checks
};

struct Contents
{
    QByteArray bytes; // for UTF-8, without the unfinished character at the end; else as read
    Encoding encoding = Encoding::Utf8;
    bool hasCarriageReturn = true; // false when the bytes hold no CR at all
};

// Nothing when the file cannot be opened or read. The file may change while
// it is read (the copy is rewritten); a file that grows is read to its new
// end and a file that shrinks to where it stopped. With `deferCheck` the
// file comes back Unchecked (the caller checks while it decodes).
std::optional<Contents> read(const QString &filePath, int threads, qsizetype sliceSize, bool deferCheck = false);

// The same decision for bytes already in memory, on the calling thread.
Contents classify(QByteArray bytes);

// Whether the bytes are UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF).
bool isValidUtf8(QByteArrayView bytes);

// Decodes UTF-8 into `into` (its room is kept for the next call, so it can
// serve as a reused buffer; a byte order mark at the start is kept as
// U+FEFF). False, with `into` holding something meaningless,
// when the bytes are not UTF-8 by the rules of isValidUtf8. Faster than the
// general-purpose decoders on the log's short runs of ASCII between
// non-ASCII characters.
bool decodeUtf8(QByteArrayView bytes, QString &into);

// Where an unfinished UTF-8 character starts when the bytes end inside one,
// or -1.
qsizetype incompleteUtf8Tail(QByteArrayView bytes);

// Replaces every CRLF by LF in place.
void normalizeLineEnds(QByteArray &bytes);

} // namespace NetfoxLogFile
