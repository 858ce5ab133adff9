#include "hierarchyformatter.h"

void HierarchyFormatter::reset()
{
    m_stack = { { -1, -2 } };
}

QString HierarchyFormatter::formatLine(const QString &line)
{
    int raw = 0;
    while (raw < line.size() && line.at(raw) == u' ')
        ++raw;
    if (raw == line.size())
        return line;

    int parentIndent = -2;
    while (!m_stack.isEmpty()) {
        if (m_stack.constLast().raw < raw) {
            parentIndent = m_stack.constLast().indent;
            break;
        }
        m_stack.removeLast();
    }
    const int indent = parentIndent + 2;
    m_stack.append({ raw, indent });
    return QString(qMax(indent, 0), u' ') + QStringView(line).mid(raw);
}
