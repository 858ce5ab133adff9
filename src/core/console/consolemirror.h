#pragma once

#include "consolefilter.h"

#include <QStringList>

#include <deque>

// Keeps a console view equal to the run controller's (filtered) console
// list. The controller reports a batch of appended lines, then how many
// lines it dropped from the front, then that the list changed; the mirror
// collects the first two and, on the third, says what the view must do:
// remove some shown lines from its front and append others, or show a new
// list in full. It remembers, for each line of the controller's list,
// whether the filter shows it, so a trim removes exactly the shown lines
// that went. Owned by the console panel, main thread.
class ConsoleMirror
{
public:
    struct Edit
    {
        bool reset = false;        // replace everything shown by `append`
        qsizetype removeFront = 0; // shown lines to drop from the front first
        QStringList append;        // shown lines to add at the end
        bool operator==(const Edit &) const = default;
    };

    const ConsoleFilter &filter() const { return m_filter; }
    void setFilter(const ConsoleFilter &filter) { m_filter = filter; }

    // The controller's news, in the order it sends them.
    void appended(const QStringList &lines);
    void trimmed(qsizetype count);
    bool hasPending() const { return !m_pending.isEmpty() || m_pendingTrim > 0; }

    // The edit for the news collected so far. When the result would not
    // match a list of `controllerSize` lines (the list was replaced rather
    // than appended to), it is a full rebuild from `all` instead.
    Edit takeEdit(const QStringList &all);
    // Shows `all` in full under the current filter.
    Edit rebuild(const QStringList &all);

    qsizetype controllerLineCount() const { return qsizetype(m_shown.size()); }
    qsizetype shownLineCount() const { return m_shownCount; }

private:
    ConsoleFilter m_filter;
    std::deque<bool> m_shown; // one flag per line of the controller's list
    qsizetype m_shownCount = 0;
    QStringList m_pending;
    qsizetype m_pendingTrim = 0;
};
