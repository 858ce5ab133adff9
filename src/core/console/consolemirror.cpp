#include "consolemirror.h"

void ConsoleMirror::appended(const QStringList &lines)
{
    m_pending.append(lines);
}

void ConsoleMirror::trimmed(qsizetype count)
{
    if (count > 0)
        m_pendingTrim += count;
}

ConsoleMirror::Edit ConsoleMirror::takeEdit(const QStringList &all)
{
    const qsizetype expected = qsizetype(m_shown.size()) + m_pending.size() - m_pendingTrim;
    if (expected != all.size() || expected < 0) {
        m_pending.clear();
        m_pendingTrim = 0;
        return rebuild(all);
    }
    Edit edit;
    qsizetype trim = m_pendingTrim;
    // Lines that were shown and went.
    while (trim > 0 && !m_shown.empty()) {
        if (m_shown.front()) {
            ++edit.removeFront;
            --m_shownCount;
        }
        m_shown.pop_front();
        --trim;
    }
    // New lines that went before they were ever shown are never styled.
    for (qsizetype i = trim; i < m_pending.size(); ++i) {
        const QString &line = m_pending.at(i);
        const bool shown = m_filter.matches(line);
        m_shown.push_back(shown);
        if (shown) {
            edit.append.append(line);
            ++m_shownCount;
        }
    }
    m_pending.clear();
    m_pendingTrim = 0;
    return edit;
}

ConsoleMirror::Edit ConsoleMirror::rebuild(const QStringList &all)
{
    m_shown.clear();
    m_shownCount = 0;
    m_pending.clear();
    m_pendingTrim = 0;
    Edit edit;
    edit.reset = true;
    for (const QString &line : all) {
        const bool shown = m_filter.matches(line);
        m_shown.push_back(shown);
        if (shown) {
            edit.append.append(line);
            ++m_shownCount;
        }
    }
    return edit;
}
