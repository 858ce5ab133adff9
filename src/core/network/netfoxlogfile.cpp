#include "netfoxlogfile.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace NetfoxLogFile {

namespace {

// The length of the well-formed UTF-8 sequence of two to four bytes at
// `data` (no overlong forms, no surrogates, nothing past U+10FFFF), with its
// code point; 0 when the bytes there are no such sequence (a continuation
// byte, C0, C1, F5..FF, or a sequence cut short).
inline int multiByteSequence(const uchar *data, const uchar *end, char32_t &codePoint)
{
    const uchar lead = *data;
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (end - data < 2 || (data[1] & 0xC0) != 0x80)
            return 0;
        codePoint = char32_t(lead & 0x1F) << 6 | (data[1] & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        // No overlong forms (E0 80..9F) and no surrogates (ED A0..BF).
        const uchar low = lead == 0xE0 ? 0xA0 : 0x80;
        const uchar high = lead == 0xED ? 0x9F : 0xBF;
        if (end - data < 3 || data[1] < low || data[1] > high || (data[2] & 0xC0) != 0x80)
            return 0;
        codePoint = char32_t(lead & 0x0F) << 12 | char32_t(data[1] & 0x3F) << 6 | (data[2] & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        // No overlong forms (F0 80..8F), nothing past U+10FFFF (F4 90..).
        const uchar low = lead == 0xF0 ? 0x90 : 0x80;
        const uchar high = lead == 0xF4 ? 0x8F : 0xBF;
        if (end - data < 4 || data[1] < low || data[1] > high || (data[2] & 0xC0) != 0x80 || (data[3] & 0xC0) != 0x80)
            return 0;
        codePoint = char32_t(lead & 0x07) << 18 | char32_t(data[1] & 0x3F) << 12 | char32_t(data[2] & 0x3F) << 6
            | (data[3] & 0x3F);
        return 4;
    }
    return 0;
}

qint64 readFully(QFile &file, char *into, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const qint64 read = file.read(into + total, size - total);
        if (read < 0)
            return -1;
        if (read == 0)
            break;
        total += read;
    }
    return total;
}

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = data + bytes.size();
    while (data < end) {
        // Sixteen ASCII bytes at a time where it can; else character by
        // character for the next sixteen bytes or so, as logs with
        // non-ASCII text have short ASCII runs.
        if (end - data >= 16) {
            quint64 words[2];
            std::memcpy(words, data, 16);
            if (((words[0] | words[1]) & 0x8080808080808080ULL) == 0) {
                data += 16;
                continue;
            }
        }
        const uchar *const stop = end - data > 16 ? data + 16 : end;
        while (data < stop) {
            if (*data < 0x80) {
                ++data;
                continue;
            }
            char32_t codePoint = 0;
            const int length = multiByteSequence(data, end, codePoint);
            if (length == 0)
                return false;
            data += length;
        }
    }
    return true;
}

bool decodeUtf8(QByteArrayView bytes, QString &into)
{
    // Never more code units than bytes; the vector path may write up to 15
    // units past the end of what it keeps, into the room asked for here.
    into.resize(bytes.size() + 16);
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = data + bytes.size();
    auto *out = reinterpret_cast<char16_t *>(into.data());
    char16_t *const outStart = out;
    while (data < end) {
        // ASCII sixteen bytes at a time, widened in registers; at the first
        // non-ASCII byte the ASCII before it is kept and the rest is read
        // character by character.
#if defined(__SSE2__)
        while (end - data >= 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(chunk, _mm_setzero_si128()));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(chunk, _mm_setzero_si128()));
            const int nonAscii = _mm_movemask_epi8(chunk);
            const int ascii = nonAscii == 0 ? 16 : __builtin_ctz(unsigned(nonAscii));
            data += ascii;
            out += ascii;
            if (ascii < 16)
                break;
        }
#else
        while (end - data >= 8) {
            quint64 word;
            std::memcpy(&word, data, 8);
            if (word & 0x8080808080808080ULL)
                break;
            for (int i = 0; i < 8; ++i)
                out[i] = data[i];
            data += 8;
            out += 8;
        }
#endif
        // Up to sixteen bytes character by character: text with non-ASCII
        // characters has short ASCII runs.
        const uchar *const stop = end - data > 16 ? data + 16 : end;
        while (data < stop) {
            if (*data < 0x80) {
                *out++ = *data++;
                continue;
            }
            char32_t c = 0;
            const int length = multiByteSequence(data, end, c);
            if (length == 0) {
                into.truncate(out - outStart);
                return false;
            }
            data += length;
            if (c < 0x10000) {
                *out++ = char16_t(c);
            } else {
                c -= 0x10000;
                *out++ = char16_t(0xD800 | (c >> 10));
                *out++ = char16_t(0xDC00 | (c & 0x3FF));
            }
        }
    }
    into.truncate(out - outStart);
    return true;
}

qsizetype normalizeLineEnds(char *data, qsizetype size)
{
    // memchr for the rare CR, not a substring search over the whole log.
    const char *crlf = data;
    while ((crlf = static_cast<const char *>(std::memchr(crlf, '\r', size_t(size - (crlf - data)))))) {
        if (crlf + 1 < data + size && crlf[1] == '\n')
            break;
        ++crlf;
    }
    if (!crlf)
        return size;
    qsizetype out = crlf - data;
    qsizetype in = out;
    while (in < size) {
        if (data[in] == '\r' && in + 1 < size && data[in + 1] == '\n') {
            data[out++] = '\n';
            in += 2;
        } else {
            data[out++] = data[in++];
        }
    }
    return out;
}

void normalizeLineEnds(QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    bytes.truncate(normalizeLineEnds(bytes.data(), bytes.size()));
}

WindowReader::WindowReader(const QString &filePath)
    : m_file(filePath)
{
}

bool WindowReader::open()
{
    return m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool WindowReader::prepareNext(qsizetype keepFrom, qsizetype fresh)
{
    const Window &current = m_windows[m_current];
    Window &next = m_windows[1 - m_current];
    // No more room than the rest of the file needs (one byte more, to see
    // its end), and enough for a byte order mark to be told in the first
    // window.
    const qint64 rest = std::max<qint64>(m_file.size() - m_file.pos(), 0);
    fresh = std::max<qsizetype>(qsizetype(std::min<qint64>(fresh, rest + 1)), 64);
    const QByteArrayView kept = current.view().sliced(std::clamp<qsizetype>(keepFrom, 0, current.end - current.begin));
    if (next.buffer.size() < kept.size() + fresh)
        next.buffer.resize(kept.size() + fresh);
    char *data = next.buffer.data();
    if (!kept.isEmpty())
        std::memcpy(data, kept.data(), size_t(kept.size()));
    next.begin = 0;
    next.atEnd = false;
    // A CR that ended the last window is looked at again with what follows.
    const qsizetype normalizeFrom = !kept.isEmpty() && kept.back() == '\r' ? kept.size() - 1 : kept.size();
    qsizetype filled = kept.size();
    while (filled < kept.size() + fresh) {
        const qint64 read = m_file.read(data + filled, kept.size() + fresh - filled);
        if (read < 0)
            return false;
        if (read == 0) {
            next.atEnd = true;
            break;
        }
        filled += qsizetype(read);
    }
    next.end = normalizeFrom + normalizeLineEnds(data + normalizeFrom, filled - normalizeFrom);
    if (m_first) {
        m_first = false;
        if (next.view().startsWith("\xEF\xBB\xBF")) // a byte order mark is not text
            next.begin = 3;
    }
    if (next.atEnd) {
        const qsizetype tail = incompleteUtf8Tail(next.view());
        if (tail >= 0)
            next.end = next.begin + tail;
    }
    return true;
}

void WindowReader::advance()
{
    m_current = 1 - m_current;
}

// Where an unfinished UTF-8 character starts when the bytes end inside one
// (a copy taken while the app was still writing), or -1.
qsizetype incompleteUtf8Tail(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype lead = size - 1; lead >= 0 && lead >= size - 3; --lead) {
        const uchar c = uchar(bytes[lead]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const qsizetype length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (length == 0 || size - lead >= length)
            return -1;
        if (size - lead >= 2) {
            const uchar second = uchar(bytes[lead + 1]);
            const uchar low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
            const uchar high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
            if (second < low || second > high)
                return -1;
        }
        return lead; // later bytes are continuation bytes, checked by the loop
    }
    return -1;
}


Contents classify(QByteArray bytes)
{
    const qsizetype tail = incompleteUtf8Tail(bytes);
    const QByteArrayView complete = tail >= 0 ? QByteArrayView(bytes).first(tail) : QByteArrayView(bytes);
    if (isValidUtf8(complete)) {
        bytes.truncate(complete.size());
        return Contents { std::move(bytes), Encoding::Utf8 };
    }
    return Contents { std::move(bytes), Encoding::Latin1 };
}

std::optional<Contents> read(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes;
    bytes.resize(qsizetype(std::max<qint64>(file.size(), 0)));
    const qint64 read = readFully(file, bytes.data(), bytes.size());
    if (read < 0)
        return std::nullopt;
    bytes.truncate(qsizetype(read));
    if (read == file.size())
        bytes += file.readAll(); // it grew meanwhile
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return classify(std::move(bytes));
}

} // namespace NetfoxLogFile
