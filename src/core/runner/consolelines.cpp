#include "consolelines.h"

namespace ConsoleLines {

bool shouldFilterLine(const QString &line, RunMode mode)
{
    if (line.contains(QLatin1String("time="), Qt::CaseInsensitive) && line.contains(QLatin1String("level="), Qt::CaseInsensitive))
        return true;
    if (line.contains(QLatin1String("error accepting new connection"), Qt::CaseInsensitive)
        || line.contains(QLatin1String("closed listener successfully"), Qt::CaseInsensitive))
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
