#pragma once

#include <QList>
#include <QString>

// Re-indents the runner's hierarchy printout to exactly two spaces per level,
// whatever widths the runner used. It keeps a stack of (raw, new) indentation
// pairs of the lines seen so far: a line's parent is the nearest earlier line
// indented less than it. Owned by the run controller, main thread.
class HierarchyFormatter final
{
public:
    struct Level
    {
        int raw; // leading spaces in the runner's output
        int indent; // leading spaces given in the console
        bool operator==(const Level &) const = default;
    };

    HierarchyFormatter() { reset(); }

    // Back to the single bottom entry (-1, -2), which no real line removes.
    void reset();

    // The line re-indented. Blank lines (only spaces) come back unchanged and
    // leave the stack alone. Only plain spaces count as indentation.
    QString formatLine(const QString &line);

    const QList<Level> &stack() const { return m_stack; }

private:
    QList<Level> m_stack;
};
