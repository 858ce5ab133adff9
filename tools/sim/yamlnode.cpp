#include "yamlnode.h"

namespace {

struct Line
{
    int number; // 1-based
    int indent;
    QString content; // without indentation and trailing comment
};

// Cuts a trailing " # comment" that lies outside quotes.
QString stripComment(const QString &text)
{
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (c == u'\\' && quote == u'"')
                ++i;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            if (i == 0 || text.at(i - 1).isSpace() || text.at(i - 1) == u'[' || text.at(i - 1) == u'{' || text.at(i - 1) == u','
                || text.at(i - 1) == u':')
                quote = c;
        } else if (c == u'#' && (i == 0 || text.at(i - 1).isSpace())) {
            return text.left(i);
        }
    }
    return text;
}

// Position of the ":" that separates a mapping key from its value, or -1.
qsizetype keySeparator(const QString &text)
{
    QChar quote;
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if ((c == u'"' || c == u'\'') && i == 0) {
            quote = c;
        } else if (c == u'{' || c == u'[') {
            if (i == 0)
                return -1; // a flow collection, not a key
            ++depth;
        } else if (c == u'}' || c == u']') {
            --depth;
        } else if (c == u':' && depth == 0 && (i + 1 == text.size() || text.at(i + 1) == u' ')) {
            return i;
        }
    }
    return -1;
}

QString unquote(const QString &text, bool *quoted)
{
    *quoted = false;
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"')) {
        *quoted = true;
        QString out;
        const QString inner = text.mid(1, text.size() - 2);
        for (qsizetype i = 0; i < inner.size(); ++i) {
            QChar c = inner.at(i);
            if (c == u'\\' && i + 1 < inner.size()) {
                const QChar n = inner.at(++i);
                if (n == u'n')
                    c = u'\n';
                else if (n == u't')
                    c = u'\t';
                else
                    c = n;
            }
            out += c;
        }
        return out;
    }
    if (text.size() >= 2 && text.startsWith(u'\'') && text.endsWith(u'\'')) {
        *quoted = true;
        return text.mid(1, text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    }
    return text;
}

// Splits "a, b: {c, d}, 'e, f'" at top-level commas.
QStringList splitFlow(const QString &text)
{
    QStringList parts;
    QString current;
    QChar quote;
    int depth = 0;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            current += c;
            continue;
        }
        if (c == u'"' || c == u'\'')
            quote = c;
        else if (c == u'{' || c == u'[')
            ++depth;
        else if (c == u'}' || c == u']')
            --depth;
        if (c == u',' && depth == 0) {
            parts << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        parts << current.trimmed();
    return parts;
}

class BlockParser
{
public:
    BlockParser(const QList<Line> &lines, QString *error)
        : m_lines(lines)
        , m_error(error)
    { }

    bool atEnd() const { return m_pos >= m_lines.size(); }
    int currentLine() const { return atEnd() ? 0 : m_lines[m_pos].number; }

    YamlNode parseBlock(int indent)
    {
        if (atEnd())
            return {};
        const Line &first = m_lines[m_pos];
        if (isListItem(first.content))
            return parseList(first.indent);
        return parseMap(indent);
    }

    bool failed() const { return !m_error->isEmpty(); }

private:
    static bool isListItem(const QString &content) { return content == u'-' || content.startsWith(QLatin1String("- ")); }

    void fail(int line, const QString &message)
    {
        if (m_error->isEmpty())
            *m_error = QStringLiteral("line %1: %2").arg(line).arg(message);
    }

    YamlNode parseList(int indent)
    {
        YamlNode node;
        node.kind = YamlNode::Kind::List;
        node.line = m_lines[m_pos].number;
        while (!atEnd() && !failed()) {
            const Line line = m_lines[m_pos];
            if (line.indent < indent)
                break;
            if (line.indent > indent || !isListItem(line.content)) {
                fail(line.number, QStringLiteral("bad indentation of a sequence entry"));
                break;
            }
            const QString rest = line.content.mid(1).trimmed();
            const int contentIndent = indent + int(line.content.indexOf(rest.isEmpty() ? QString() : rest.left(1), 1));
            if (rest.isEmpty()) {
                ++m_pos;
                if (!atEnd() && m_lines[m_pos].indent > indent)
                    node.items.append(parseBlock(m_lines[m_pos].indent));
                else
                    node.items.append(YamlNode {});
                continue;
            }
            if (keySeparator(rest) > 0 || isListItem(rest)) {
                // "- key: value" opens a map whose entries line up with "key".
                m_lines[m_pos].indent = contentIndent;
                m_lines[m_pos].content = rest;
                node.items.append(parseBlock(contentIndent));
                continue;
            }
            node.items.append(YamlReader::parseInline(rest, line.number));
            ++m_pos;
        }
        return node;
    }

    YamlNode parseMap(int indent)
    {
        YamlNode node;
        node.kind = YamlNode::Kind::Map;
        node.line = m_lines[m_pos].number;
        while (!atEnd() && !failed()) {
            const Line line = m_lines[m_pos];
            if (line.indent < indent)
                break;
            if (line.indent > indent) {
                fail(line.number, QStringLiteral("bad indentation of a mapping entry"));
                break;
            }
            if (isListItem(line.content))
                break;
            const qsizetype colon = keySeparator(line.content);
            if (colon <= 0) {
                fail(line.number, QStringLiteral("expected \"key: value\", found \"%1\"").arg(line.content));
                break;
            }
            bool quoted = false;
            const QString key = unquote(line.content.left(colon).trimmed(), &quoted);
            const QString rest = line.content.mid(colon + 1).trimmed();
            ++m_pos;
            YamlNode value;
            if (rest == u'|' || rest == u'>' || rest == QLatin1String("|-") || rest == QLatin1String(">-")) {
                value = blockScalar(indent, rest.startsWith(u'>'), line.number);
            } else if (!rest.isEmpty()) {
                value = YamlReader::parseInline(rest, line.number);
            } else if (!atEnd() && m_lines[m_pos].indent > indent) {
                value = parseBlock(m_lines[m_pos].indent);
            } else if (!atEnd() && m_lines[m_pos].indent == indent && isListItem(m_lines[m_pos].content)) {
                value = parseList(indent); // "key:" followed by "- item" at the same indentation
            }
            if (value.line == 0)
                value.line = line.number;
            node.entries.append({ key, value });
        }
        return node;
    }

    YamlNode blockScalar(int indent, bool folded, int lineNumber)
    {
        QStringList parts;
        while (!atEnd() && m_lines[m_pos].indent > indent) {
            parts << m_raw(m_pos);
            ++m_pos;
        }
        YamlNode node;
        node.kind = YamlNode::Kind::Scalar;
        node.quoted = true;
        node.text = parts.join(folded ? u' ' : u'\n');
        node.line = lineNumber;
        return node;
    }

    QString m_raw(qsizetype pos) const { return m_lines[pos].content; }

    QList<Line> m_lines;
    qsizetype m_pos = 0;
    QString *m_error;
};

} // namespace

const YamlNode *YamlNode::value(const QString &key) const
{
    for (const auto &[k, v] : entries) {
        if (k == key)
            return &v;
    }
    return nullptr;
}

QString YamlNode::scalar(const QString &key, const QString &fallback) const
{
    const YamlNode *v = value(key);
    return v && v->isScalar() ? v->text : fallback;
}

YamlNode YamlReader::parseInline(const QString &raw, int line)
{
    const QString text = raw.trimmed();
    YamlNode node;
    node.line = line;
    if (text.startsWith(u'{') && text.endsWith(u'}')) {
        node.kind = YamlNode::Kind::Map;
        for (const QString &part : splitFlow(text.mid(1, text.size() - 2))) {
            const qsizetype colon = keySeparator(part);
            bool quoted = false;
            if (colon <= 0) {
                node.entries.append({ unquote(part, &quoted), YamlNode {} });
                continue;
            }
            node.entries.append({ unquote(part.left(colon).trimmed(), &quoted), parseInline(part.mid(colon + 1), line) });
        }
        return node;
    }
    if (text.startsWith(u'[') && text.endsWith(u']')) {
        node.kind = YamlNode::Kind::List;
        for (const QString &part : splitFlow(text.mid(1, text.size() - 2)))
            node.items.append(parseInline(part, line));
        return node;
    }
    if (text.isEmpty() || text == u'~' || text == QLatin1String("null"))
        return node;
    node.kind = YamlNode::Kind::Scalar;
    node.text = unquote(text, &node.quoted);
    return node;
}

bool YamlReader::parseDocuments(const QString &text, QList<YamlNode> *documents, QString *error)
{
    error->clear();
    documents->clear();
    QList<QList<Line>> chunks(1);
    const QStringList rawLines = QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(u'\n');
    for (int i = 0; i < rawLines.size(); ++i) {
        const QString &raw = rawLines[i];
        if (raw.startsWith(QLatin1String("---")) && raw.mid(3).trimmed().isEmpty()) {
            chunks.append(QList<Line>());
            continue;
        }
        int indent = 0;
        while (indent < raw.size() && raw.at(indent) == u' ')
            ++indent;
        if (indent < raw.size() && raw.at(indent) == u'\t') {
            *error = QStringLiteral("line %1: tabs are not allowed for indentation").arg(i + 1);
            return false;
        }
        const QString content = stripComment(raw.mid(indent)).trimmed();
        if (content.isEmpty())
            continue;
        chunks.last().append({ i + 1, indent, content });
    }
    for (const QList<Line> &chunk : chunks) {
        if (chunk.isEmpty())
            continue;
        BlockParser parser(chunk, error);
        YamlNode doc = parser.parseBlock(chunk.first().indent);
        if (!error->isEmpty())
            return false;
        if (!parser.atEnd()) {
            *error = QStringLiteral("line %1: unexpected content").arg(parser.currentLine());
            return false;
        }
        documents->append(doc);
    }
    return true;
}
