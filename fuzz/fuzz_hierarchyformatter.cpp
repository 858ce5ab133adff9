// Hierarchy re-indentation over a stream of lines, against the definition
// written the slow way: a line's parent is the nearest earlier non-blank line
// indented less than it, and a line sits two spaces deeper than its parent
// (at zero without one). Also: the text after the indentation is unchanged,
// blank lines pass through, and the stack never holds more entries than
// non-blank lines seen (plus its bottom).

#include "fuzzsupport.h"

#include "runner/hierarchyformatter.h"

#include <QList>

namespace {

int leadingSpaces(QStringView line)
{
    int n = 0;
    while (n < line.size() && line.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    HierarchyFormatter formatter;
    struct Seen
    {
        int raw;
        int indent;
    };
    QList<Seen> seen; // every non-blank line so far
    for (const QStringView lineView : QStringView(text).split(QLatin1Char('\n'))) {
        const QString line = lineView.toString();
        const QString out = formatter.formatLine(line);
        const int raw = leadingSpaces(line);
        if (raw == line.size()) {
            if (out != line)
                fuzz::fail("a blank line passes through", line, out);
            continue;
        }
        int expected = 0;
        for (qsizetype i = seen.size() - 1; i >= 0; --i) {
            if (seen.at(i).raw < raw) {
                expected = seen.at(i).indent + 2;
                break;
            }
        }
        const int indent = leadingSpaces(out);
        if (indent != expected)
            fuzz::fail("indent follows the nearest shallower line", QString::number(expected), QString::number(indent));
        if (QStringView(out).mid(indent) != QStringView(line).mid(raw))
            fuzz::fail("the text after the indentation is unchanged", line, out);
        seen.append({ raw, indent });
        fuzz::check(formatter.stack().size() <= seen.size() + 1, "the stack is bounded by the lines seen");
    }
    return 0;
}
