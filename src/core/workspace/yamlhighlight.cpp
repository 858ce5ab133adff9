#include "yamlhighlight.h"

#include <QRegularExpression>

#include <vector>

namespace YamlHighlight {
namespace {

struct Cell
{
    Role role = Role::Plain;
    Weight weight = Weight::Regular;
};

QStringView trimmedSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text.at(begin) == u' ' || text.at(begin) == u'\t'))
        ++begin;
    while (end > begin && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t'))
        --end;
    return text.sliced(begin, end - begin);
}

void paint(std::vector<Cell> &cells, qsizetype start, qsizetype end, Role role, Weight weight)
{
    for (qsizetype i = start; i < end; ++i)
        cells[static_cast<size_t>(i)] = { role, weight };
}

void paintKeyBefore(std::vector<Cell> &cells, const QString &line, QChar separator)
{
    const qsizetype at = line.indexOf(separator);
    if (at < 0)
        return;
    if (trimmedSpacesAndTabs(QStringView(line).first(at)).startsWith(u'#'))
        return;
    paint(cells, 0, at, Role::Key, Weight::Medium);
}

void paintMatches(std::vector<Cell> &cells, const QString &line, const QRegularExpression &pattern, Role role, Weight weight)
{
    QRegularExpressionMatchIterator it = pattern.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        paint(cells, match.capturedStart(), match.capturedEnd(), role, weight);
    }
}

QList<Span> runs(const std::vector<Cell> &cells)
{
    QList<Span> spans;
    for (qsizetype i = 0; i < qsizetype(cells.size());) {
        const Cell cell = cells[static_cast<size_t>(i)];
        qsizetype end = i + 1;
        while (end < qsizetype(cells.size()) && cells[static_cast<size_t>(end)].role == cell.role
            && cells[static_cast<size_t>(end)].weight == cell.weight)
            ++end;
        spans.append({ i, end - i, cell.role, cell.weight });
        i = end;
    }
    return spans;
}

} // namespace

QList<Span> highlightLine(const QString &line)
{
    if (line.isEmpty())
        return {};
    const qsizetype length = line.size();
    const QStringView trimmed = trimmedSpacesAndTabs(line);
    if (trimmed.startsWith(u'#'))
        return { { 0, length, Role::Comment, Weight::Regular } };
    if (trimmed == u"---")
        return { { 0, length, Role::Separator, Weight::Bold } };

    static const QRegularExpression quoted(QStringLiteral("(\"[^\"]*\")|('[^']*')"));
    static const QRegularExpression variable(QStringLiteral("\\$\\{[^\\}]+\\}"));
    // PCRE needs fixed-length lookbehind alternatives, which these are.
    static const QRegularExpression scalar(QStringLiteral("(?<=:\\s|\\s\\-\\s|=|:\\s\")(true|false|\\d+)\\b"));

    std::vector<Cell> cells(static_cast<size_t>(length));
    const qsizetype hash = line.indexOf(u'#');
    if (hash >= 0)
        paint(cells, hash, length, Role::Comment, Weight::Regular);
    paintKeyBefore(cells, line, u':');
    paintKeyBefore(cells, line, u'=');
    if (trimmed.startsWith(u"- ")) {
        const qsizetype dash = line.indexOf(u"- ");
        paint(cells, dash, dash + 2, Role::ListDash, Weight::Bold);
    }
    paintMatches(cells, line, quoted, Role::QuotedString, Weight::Regular);
    paintMatches(cells, line, variable, Role::Variable, Weight::Bold);
    paintMatches(cells, line, scalar, Role::BooleanOrNumber, Weight::Regular);
    return runs(cells);
}

QStringList splitLines(const QString &code)
{
    return code.split(u'\n');
}

} // namespace YamlHighlight
