#include "netfoxsyntax.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <algorithm>

namespace NetfoxSyntax {

namespace {

// An app-analytics collector, a crash reporter, a web-analytics service and a
// mobile SDK's logging endpoint: the app's own telemetry, not what QA tests.
constexpr QStringView kIgnoredTrafficHosts[] = {
    u"app-measurement.com",
    u"crashlytics.com",
    u"google-analytics.com",
    u"firebaselogging-pa.googleapis.com",
};

template <typename Pred> QStringView trimmedBy(QStringView text, Pred pred)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && pred(text[begin].unicode()))
        ++begin;
    while (end > begin && pred(text[end - 1].unicode()))
        --end;
    return text.sliced(begin, end - begin);
}

// Reads exactly `count` ASCII digits at `pos`.
bool readDigits(QStringView text, qsizetype &pos, int count, int &value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[pos + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    pos += count;
    return true;
}

bool readChar(QStringView text, qsizetype &pos, char16_t expected)
{
    if (pos >= text.size() || text[pos].unicode() != expected)
        return false;
    ++pos;
    return true;
}

// "+hhmm", "+hh:mm" or "+hh" at `pos` up to the end of the text.
bool readOffset(QStringView text, qsizetype pos, int &seconds)
{
    if (pos >= text.size())
        return false;
    const char16_t sign = text[pos].unicode();
    if (sign != u'+' && sign != u'-')
        return false;
    ++pos;
    int hours = 0;
    int minutes = 0;
    if (!readDigits(text, pos, 2, hours))
        return false;
    if (pos < text.size()) {
        readChar(text, pos, u':');
        if (!readDigits(text, pos, 2, minutes))
            return false;
    }
    if (pos != text.size() || hours > 18 || minutes > 59)
        return false;
    seconds = (hours * 3600 + minutes * 60) * (sign == u'-' ? -1 : 1);
    return true;
}

bool readZone(QStringView zone, int &seconds)
{
    if (zone == u"Z" || zone == u"GMT" || zone == u"UTC") {
        seconds = 0;
        return true;
    }
    if (zone.startsWith(u"GMT") || zone.startsWith(u"UTC"))
        return readOffset(zone, 3, seconds);
    if (zone.size() != 5 && zone.size() != 6)
        return false;
    return readOffset(zone, 0, seconds);
}

} // namespace

QStringView trimmedSpace(QStringView text)
{
    return trimmedBy(text, isSpace);
}

QStringView trimmedHorizontal(QStringView text)
{
    return trimmedBy(text, isHorizontalSpace);
}

qsizetype find(QStringView text, QStringView needle, qsizetype from)
{
    const QChar first = needle.front();
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = text.indexOf(first, from); at >= 0 && at <= last; at = text.indexOf(first, at + 1)) {
        if (text.sliced(at, needle.size()) == needle)
            return at;
    }
    return -1;
}

bool isIgnoredTrafficUrl(QStringView url)
{
    for (QStringView host : kIgnoredTrafficHosts) {
        if (url.contains(host))
            return true;
    }
    return false;
}

std::optional<QDateTime> parseRequestDate(QStringView text)
{
    qsizetype pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readDigits(text, pos, 4, year) || !readChar(text, pos, u'-') || !readDigits(text, pos, 2, month)
        || !readChar(text, pos, u'-') || !readDigits(text, pos, 2, day) || !readChar(text, pos, u' ')
        || !readDigits(text, pos, 2, hour) || !readChar(text, pos, u':') || !readDigits(text, pos, 2, minute)
        || !readChar(text, pos, u':') || !readDigits(text, pos, 2, second) || !readChar(text, pos, u' ')) {
        return std::nullopt;
    }
    int offset = 0;
    if (!readZone(text.sliced(pos), offset))
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const qint64 localSeconds = date.toJulianDay() * 86400 - qint64(2440588) * 86400 + hour * 3600 + minute * 60 + second;
    return QDateTime::fromMSecsSinceEpoch((localSeconds - offset) * 1000, Qt::OffsetFromUTC, offset);
}

qint64 bodyHash(QStringView body)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    for (QChar c : body) {
        hash ^= c.unicode();
        hash *= 0x100000001b3ULL;
    }
    return qint64(hash);
}

QString exchangeId(const QDateTime &time, QStringView url, QStringView method, QStringView body)
{
    // The request date has whole seconds, so the shortest decimal form of the
    // seconds is the integer with ".0".
    return QString::number(time.toSecsSinceEpoch()) + u".0_" + url + u'_' + method + u'_' + QString::number(bodyHash(body));
}

void makeIdsUnique(const QList<QString *> &ids)
{
    QSet<QString> taken;
    taken.reserve(ids.size());
    QHash<QString, int> nextSuffix;
    for (QString *id : ids) {
        if (!taken.contains(*id)) {
            taken.insert(*id);
            continue;
        }
        int &suffix = nextSuffix[*id];
        if (suffix == 0)
            suffix = 2;
        QString candidate;
        do {
            candidate = *id + u'_' + QString::number(suffix++);
        } while (taken.contains(candidate));
        taken.insert(candidate);
        *id = candidate;
    }
}

void makeIdsUnique(NetworkHitList &hits)
{
    QList<QString *> ids;
    ids.reserve(hits.size());
    for (NetworkHit &hit : hits)
        ids.append(&hit.id);
    makeIdsUnique(ids);
}

std::vector<size_t> repeatedHashes(std::vector<size_t> hashes)
{
    std::sort(hashes.begin(), hashes.end());
    std::vector<size_t> repeated;
    for (size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i] == hashes[i - 1] && (repeated.empty() || repeated.back() != hashes[i]))
            repeated.push_back(hashes[i]);
    }
    return repeated;
}

bool mayMeetAnotherId(QStringView id, size_t hash, const std::vector<size_t> &repeated)
{
    auto isRepeated = [&](size_t hash) { return std::binary_search(repeated.begin(), repeated.end(), hash); };
    if (isRepeated(hash))
        return true;
    // "<id>_<digits>" forms all the way down: a suffixed id can run into
    // one that is itself suffixed later ("a_2" taken by "a"'s repeat
    // turns the record "a_2" into "a_2_2").
    QStringView rest = id;
    while (true) {
        qsizetype digits = rest.size();
        while (digits > 0 && rest.at(digits - 1).unicode() >= u'0' && rest.at(digits - 1).unicode() <= u'9')
            --digits;
        if (digits == 0 || digits == rest.size() || rest.at(digits - 1) != u'_')
            return false;
        rest = rest.first(digits - 1);
        if (isRepeated(qHash(rest)))
            return true;
    }
}

void normalizeLineEnds(QString &text)
{
    const qsizetype first = find(text, u"\r\n");
    if (first < 0)
        return;
    QChar *data = text.data();
    const qsizetype size = text.size();
    qsizetype out = first;
    qsizetype in = first;
    while (in < size) {
        if (data[in] == u'\r' && in + 1 < size && data[in + 1] == u'\n') {
            data[out++] = u'\n';
            in += 2;
        } else {
            data[out++] = data[in++];
        }
    }
    text.truncate(out);
}

} // namespace NetfoxSyntax
