#include "lineassembler.h"

QStringList LineAssembler::feed(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', start)) {
        if (m_pending.isEmpty()) {
            lines.append(text.mid(start, at - start).toString());
        } else {
            m_pending.append(text.mid(start, at - start));
            lines.append(std::exchange(m_pending, QString()));
        }
        start = at + 1;
    }
    m_pending.append(text.mid(start));
    if (m_pending.size() > kMaxPartialLine)
        lines.append(std::exchange(m_pending, QString()));
    return lines;
}

QString LineAssembler::takePending()
{
    return std::exchange(m_pending, QString());
}
