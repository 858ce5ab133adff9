#include "consolefilter.h"

ConsoleFilter::ConsoleFilter(const QString &text, const QLocale &locale)
    : m_text(text)
    , m_locale(locale)
    , m_needle(locale.toLower(text))
{
}

bool ConsoleFilter::matches(const QString &line) const
{
    if (m_needle.isEmpty())
        return true;
    // A hit under Unicode case folding or in the locale's lower case (where
    // the locale lowers letters its own way); the slower locale pass runs
    // only for the lines the first one misses.
    if (line.contains(m_text, Qt::CaseInsensitive))
        return true;
    return m_locale.toLower(line).contains(m_needle);
}

QStringList ConsoleFilter::apply(const QStringList &lines) const
{
    if (isEmpty())
        return lines;
    QStringList shown;
    for (const QString &line : lines) {
        if (matches(line))
            shown.append(line);
    }
    return shown;
}
