#include "consolelines.h"

#include <QStringMatcher>

namespace ConsoleLines {

bool shouldFilterLine(const QString &line, RunMode mode)
{
    // Every runner line passes through here: the needles are prepared once.
    static const QStringMatcher time(u"time=", Qt::CaseInsensitive);
    static const QStringMatcher level(u"level=", Qt::CaseInsensitive);
    static const QStringMatcher accepting(u"error accepting new connection", Qt::CaseInsensitive);
    static const QStringMatcher closed(u"closed listener successfully", Qt::CaseInsensitive);
    if (time.indexIn(line) >= 0 && level.indexIn(line) >= 0)
        return true;
    if (accepting.indexIn(line) >= 0 || closed.indexIn(line) >= 0)
        return true;
    if (mode == RunMode::Hierarchy && line.contains(QLatin1String("Other  (")) && !line.contains(QLatin1String("id="))
        && !line.contains(QLatin1String("text=")))
        return true;
    return false;
}

QString timePrefix(const QTime &time)
{
    return u'[' + time.toString(u"HH:mm:ss") + QLatin1String("] ");
}

qsizetype appendBounded(QStringList &console, const QStringList &lines)
{
    console.append(lines);
    if (console.size() <= kMaxLines)
        return 0;
    const qsizetype removed = console.size() - kLinesAfterTrim;
    console.remove(0, removed);
    return removed;
}

} // namespace ConsoleLines
