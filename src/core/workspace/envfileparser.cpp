#include "envfileparser.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace EnvFileParser {

namespace {

// How long a named pipe may take to start delivering the file.
constexpr int kPipeWaitMs = 2000;

template <typename Pred> QStringView trimmed(QStringView text, Pred strip)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && strip(text[begin]))
        ++begin;
    while (end > begin && strip(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Quotes around a value go, together with the spaces between them and the
// value; tabs stay.
bool isQuoteOrSpace(QChar c)
{
    return c == u'"' || c == u'\'' || c == u' ';
}

// One split at the first `separator`, dropping empty pieces: separators at
// the start of the line only produce empty pieces and are passed over, and
// "key=" or "=" leave a single piece, which is not a pair.
std::optional<std::pair<QStringView, QStringView>> splitOnce(QStringView line, QChar separator)
{
    qsizetype start = 0;
    while (start < line.size() && line[start] == separator)
        ++start;
    const qsizetype at = line.indexOf(separator, start);
    if (at < 0 || at == line.size() - 1)
        return std::nullopt;
    return std::pair { line.mid(start, at - start), line.mid(at + 1) };
}

} // namespace

QList<Entry> parseEnvText(const QString &text)
{
    static const QRegularExpression newline(QStringLiteral("[\\n\\r\\x{000B}\\x{000C}\\x{0085}\\x{2028}\\x{2029}]"));
    QList<Entry> entries;
    for (const QString &rawLine : text.split(newline)) {
        const QStringView line = trimmed(QStringView(rawLine), isSpaceOrTab);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        auto pieces = splitOnce(line, u'=');
        if (!pieces)
            pieces = splitOnce(line, u':');
        if (!pieces)
            continue;
        QStringView key = trimmed(pieces->first, isSpaceOrTab);
        // Shell-style files: "export KEY=value".
        if (key.size() > 7 && key.startsWith(u"export") && isSpaceOrTab(key[6]))
            key = trimmed(key.mid(7), isSpaceOrTab);
        entries.append({ key.toString(), trimmed(pieces->second, isQuoteOrSpace).toString() });
    }
    return entries;
}

QList<Entry> parseEnvFile(const QString &path, bool *readable)
{
    bool scratch = false;
    bool &ok = readable ? *readable : scratch;
    ok = false;
    // Opened without waiting: a named pipe (secret managers serve .env files
    // that way) would otherwise block in open() until something writes to
    // it, possibly forever. A pipe gets kPipeWaitMs to deliver its first
    // bytes and is then read to its end; one that stays silent reads as empty.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info;
    bool usable = ::fstat(fd, &info) == 0 && (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode));
    if (usable && S_ISFIFO(info.st_mode)) {
        pollfd readable { fd, POLLIN, 0 };
        int ready;
        do {
            ready = ::poll(&readable, 1, kPipeWaitMs);
        } while (ready < 0 && errno == EINTR);
        usable = ready > 0;
    }
    if (!usable || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(file.readAll());
    if (decoder.hasError() || file.error() != QFileDevice::NoError)
        return {};
    ok = true;
    return parseEnvText(text);
}

} // namespace EnvFileParser
