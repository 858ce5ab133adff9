#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The console filter field's rule: with a text, only the console lines that
// contain it, compared case-insensitively in the user's locale; without one,
// every line. A value type, any thread.
class ConsoleFilter
{
public:
    explicit ConsoleFilter(const QString &text = QString(), const QLocale &locale = QLocale());

    bool isEmpty() const { return m_needle.isEmpty(); }
    const QString &text() const { return m_text; }
    bool matches(const QString &line) const;
    QStringList apply(const QStringList &lines) const;

private:
    QString m_text;
    QLocale m_locale;
    QString m_needle; // the text in the locale's lower case
};
