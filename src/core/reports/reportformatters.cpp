#include "reportformatters.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// Reads exactly `count` ASCII digits at `pos`; -1 when any is not a digit.
int digits(QStringView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[pos + i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

bool isAt(QStringView text, qsizetype pos, char c)
{
    return pos < text.size() && text[pos] == QLatin1Char(c);
}

} // namespace

QString ReportFormatters::formatRunFolderTime(const QDateTime &time)
{
    return time.toString(QLatin1String(kRunFolderPattern));
}

std::optional<QDateTime> ReportFormatters::parseRunFolderTime(QStringView text)
{
    // yyyyMMdd_HHmmss, digits only, and the time must exist in local time.
    if (text.size() != 15 || text[8] != QLatin1Char('_'))
        return std::nullopt;
    const int year = digits(text, 0, 4), month = digits(text, 4, 2), day = digits(text, 6, 2);
    const int hour = digits(text, 9, 2), minute = digits(text, 11, 2), second = digits(text, 13, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    QDateTime result(date, time);
    if (!result.isValid())
        return std::nullopt;
    return result;
}

QString ReportFormatters::formatDisplay(const QDateTime &time)
{
    const QLocale locale;
    const QDateTime local = time.toLocalTime();
    // A short time shows hours and minutes; some locales' short form has seconds.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    QString timePattern = locale.timeFormat(QLocale::ShortFormat);
    timePattern.remove(seconds);
    return locale.toString(local.date(), QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ")
        + locale.toString(local.time(), timePattern.trimmed());
}

std::optional<QDateTime> ReportFormatters::parseInternetDateTime(QStringView text)
{
    // YYYY-MM-DDTHH:MM:SS[.f{1,9}](Z|+HH:MM|-HH:MM)
    const int year = digits(text, 0, 4);
    if (year < 0 || !isAt(text, 4, '-'))
        return std::nullopt;
    const int month = digits(text, 5, 2);
    if (month < 0 || !isAt(text, 7, '-'))
        return std::nullopt;
    const int day = digits(text, 8, 2);
    if (day < 0 || !(isAt(text, 10, 'T') || isAt(text, 10, 't')))
        return std::nullopt;
    const int hour = digits(text, 11, 2);
    if (hour < 0 || !isAt(text, 13, ':'))
        return std::nullopt;
    const int minute = digits(text, 14, 2);
    if (minute < 0 || !isAt(text, 16, ':'))
        return std::nullopt;
    const int second = digits(text, 17, 2);
    if (second < 0)
        return std::nullopt;
    qsizetype pos = 19;
    int millis = 0;
    if (isAt(text, pos, '.')) {
        ++pos;
        int count = 0;
        while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
            if (count < 3)
                millis = millis * 10 + (text[pos].unicode() - '0');
            ++count;
            ++pos;
        }
        if (count == 0 || count > 9)
            return std::nullopt;
        for (int i = count; i < 3; ++i)
            millis *= 10;
    }
    int offsetSeconds = 0;
    if (isAt(text, pos, 'Z') || isAt(text, pos, 'z')) {
        ++pos;
    } else if (isAt(text, pos, '+') || isAt(text, pos, '-')) {
        const int sign = text[pos] == QLatin1Char('-') ? -1 : 1;
        const int offHours = digits(text, pos + 1, 2);
        if (offHours < 0 || !isAt(text, pos + 3, ':'))
            return std::nullopt;
        const int offMinutes = digits(text, pos + 4, 2);
        if (offMinutes < 0 || offHours > 23 || offMinutes > 59)
            return std::nullopt;
        offsetSeconds = sign * (offHours * 3600 + offMinutes * 60);
        pos += 6;
    } else {
        return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime result(date, time, Qt::OffsetFromUTC, offsetSeconds);
    if (!result.isValid())
        return std::nullopt;
    return result;
}
