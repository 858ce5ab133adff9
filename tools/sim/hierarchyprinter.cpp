#include "hierarchyprinter.h"

#include "simscreen.h"

namespace {

void compactLine(const SimElement &e, int depth, QString &out)
{
    out += QString(HierarchyPrinter::indentForDepth(depth), u' ') + e.type;
    if (!e.id.isEmpty())
        out += QStringLiteral("  id=") + e.id;
    if (!e.text.isEmpty())
        out += QStringLiteral("  text=\"") + e.text + u'"';
    out += QStringLiteral("  (%1,%2 %3x%4)").arg(e.x).arg(e.y).arg(e.width).arg(e.height);
    if (e.disabled)
        out += QStringLiteral("  [disabled]");
    if (e.selected)
        out += QStringLiteral("  [selected]");
    if (e.focused)
        out += QStringLiteral("  [focused]");
    out += u'\n';
    for (const SimElement &child : e.children)
        compactLine(child, depth + 1, out);
}

QString attribute(const QString &value)
{
    QString out = value;
    out.replace(u'&', QLatin1String("&amp;"));
    out.replace(u'<', QLatin1String("&lt;"));
    out.replace(u'>', QLatin1String("&gt;"));
    out.replace(u'"', QLatin1String("&quot;"));
    out.replace(u'\n', QLatin1String("&#10;"));
    return out;
}

void xmlElement(const SimElement &e, int depth, int index, QString &out)
{
    const QString tag = QStringLiteral("XCUIElementType") + e.type;
    out += QString(depth * 2, u' ') + u'<' + tag + QStringLiteral(" type=\"") + tag + u'"';
    if (!e.id.isEmpty())
        out += QStringLiteral(" name=\"") + attribute(e.id) + u'"';
    if (!e.text.isEmpty())
        out += QStringLiteral(" label=\"") + attribute(e.text) + u'"';
    out += QStringLiteral(
        " enabled=\"%1\" visible=\"true\" accessible=\"%2\" x=\"%3\" y=\"%4\" width=\"%5\" height=\"%6\" index=\"%7\"")
               .arg(e.disabled ? QStringLiteral("false") : QStringLiteral("true"),
                   e.id.isEmpty() && e.text.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"))
               .arg(e.x)
               .arg(e.y)
               .arg(e.width)
               .arg(e.height)
               .arg(index);
    if (e.children.isEmpty()) {
        out += QStringLiteral("/>\n");
        return;
    }
    out += QStringLiteral(">\n");
    for (int i = 0; i < e.children.size(); ++i)
        xmlElement(e.children[i], depth + 1, i, out);
    out += QString(depth * 2, u' ') + QStringLiteral("</") + tag + QStringLiteral(">\n");
}

} // namespace

int HierarchyPrinter::indentForDepth(int depth)
{
    // Steps between consecutive depths: 2, 2, 4, 3, 2, 2, ...
    static const int steps[] = { 2, 2, 4, 3 };
    int indent = 0;
    for (int d = 0; d < depth; ++d)
        indent += d < 4 ? steps[d] : 2;
    return indent;
}

QString HierarchyPrinter::compact(const SimElement &root)
{
    QString out;
    compactLine(root, 0, out);
    return out;
}

QString HierarchyPrinter::xml(const SimElement &root)
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xmlElement(root, 0, 0, out);
    return out;
}
