#include "jsonnode.h"

#include <cmath>

JsonNode JsonNode::makeString(const QString &value)
{
    JsonNode node;
    node.kind = Kind::String;
    node.text = value;
    return node;
}

JsonNode JsonNode::makeObject()
{
    JsonNode node;
    node.kind = Kind::Object;
    return node;
}

JsonNode JsonNode::makeArray()
{
    JsonNode node;
    node.kind = Kind::Array;
    return node;
}

const JsonNode *JsonNode::member(QStringView key) const
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key)
            return &values[i];
    }
    return nullptr;
}

JsonNode *JsonNode::member(QStringView key)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key)
            return &values[i];
    }
    return nullptr;
}

void JsonNode::setMember(const QString &key, JsonNode value)
{
    if (JsonNode *existing = member(key)) {
        *existing = std::move(value);
        return;
    }
    keys.push_back(key);
    values.push_back(std::move(value));
}

std::optional<qint64> JsonNode::toInteger() const
{
    if (kind != Kind::Number)
        return std::nullopt;
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value != std::trunc(value) || std::fabs(value) > 9.0e15)
        return std::nullopt;
    return static_cast<qint64>(value);
}

namespace {

constexpr int kMaxDepth = 512;

class Parser
{
public:
    explicit Parser(QStringView text)
        : m_text(text)
    { }

    std::optional<JsonNode> run(QString *error)
    {
        JsonNode node;
        skipSpace();
        if (!value(node, 0)) {
            if (error)
                *error = m_error + QStringLiteral(" at offset ") + QString::number(m_pos);
            return std::nullopt;
        }
        skipSpace();
        if (m_pos != m_text.size()) {
            if (error)
                *error = QStringLiteral("trailing text at offset ") + QString::number(m_pos);
            return std::nullopt;
        }
        return node;
    }

private:
    bool fail(const char *message)
    {
        if (m_error.isEmpty())
            m_error = QString::fromLatin1(message);
        return false;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size()) {
            const char16_t c = m_text[m_pos].unicode();
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            ++m_pos;
        }
    }

    bool literal(const char *word)
    {
        const qsizetype length = qsizetype(qstrlen(word));
        if (m_text.mid(m_pos, length) != QLatin1String(word))
            return fail("invalid literal");
        m_pos += length;
        return true;
    }

    bool value(JsonNode &node, int depth)
    {
        if (depth > kMaxDepth)
            return fail("nesting too deep");
        if (m_pos >= m_text.size())
            return fail("unexpected end");
        const char16_t c = m_text[m_pos].unicode();
        switch (c) {
        case '{':
            return object(node, depth);
        case '[':
            return array(node, depth);
        case '"':
            node.kind = JsonNode::Kind::String;
            return string(node.text);
        case 't':
            node.kind = JsonNode::Kind::Bool;
            node.boolean = true;
            return literal("true");
        case 'f':
            node.kind = JsonNode::Kind::Bool;
            node.boolean = false;
            return literal("false");
        case 'n':
            node.kind = JsonNode::Kind::Null;
            return literal("null");
        default:
            return number(node);
        }
    }

    bool isDigit(qsizetype pos) const
    {
        return pos < m_text.size() && m_text[pos] >= QLatin1Char('0') && m_text[pos] <= QLatin1Char('9');
    }

    bool number(JsonNode &node)
    {
        const qsizetype start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('-'))
            ++m_pos;
        if (!isDigit(m_pos))
            return fail("invalid value");
        if (m_text[m_pos] == QLatin1Char('0')) {
            ++m_pos;
        } else {
            while (isDigit(m_pos))
                ++m_pos;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('.')) {
            ++m_pos;
            if (!isDigit(m_pos))
                return fail("invalid number");
            while (isDigit(m_pos))
                ++m_pos;
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == QLatin1Char('e') || m_text[m_pos] == QLatin1Char('E'))) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == QLatin1Char('+') || m_text[m_pos] == QLatin1Char('-')))
                ++m_pos;
            if (!isDigit(m_pos))
                return fail("invalid number");
            while (isDigit(m_pos))
                ++m_pos;
        }
        node.kind = JsonNode::Kind::Number;
        node.text = m_text.mid(start, m_pos - start).toString();
        return true;
    }

    int hex4()
    {
        if (m_pos + 4 > m_text.size())
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const char16_t c = m_text[m_pos + i].unicode();
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return -1;
            value = value * 16 + digit;
        }
        m_pos += 4;
        return value;
    }

    bool string(QString &out)
    {
        ++m_pos; // opening quote
        out.clear();
        qsizetype runStart = m_pos;
        while (true) {
            if (m_pos >= m_text.size())
                return fail("unterminated string");
            const char16_t c = m_text[m_pos].unicode();
            if (c == '"') {
                out.append(m_text.mid(runStart, m_pos - runStart));
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return fail("control character in string");
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            out.append(m_text.mid(runStart, m_pos - runStart));
            ++m_pos;
            if (m_pos >= m_text.size())
                return fail("unterminated escape");
            const char16_t e = m_text[m_pos++].unicode();
            switch (e) {
            case '"':
                out.append(QLatin1Char('"'));
                break;
            case '\\':
                out.append(QLatin1Char('\\'));
                break;
            case '/':
                out.append(QLatin1Char('/'));
                break;
            case 'b':
                out.append(QLatin1Char('\b'));
                break;
            case 'f':
                out.append(QLatin1Char('\f'));
                break;
            case 'n':
                out.append(QLatin1Char('\n'));
                break;
            case 'r':
                out.append(QLatin1Char('\r'));
                break;
            case 't':
                out.append(QLatin1Char('\t'));
                break;
            case 'u': {
                const int code = hex4();
                if (code < 0)
                    return fail("invalid unicode escape");
                out.append(QChar(char16_t(code)));
                break;
            }
            default:
                return fail("invalid escape");
            }
            runStart = m_pos;
        }
    }

    bool array(JsonNode &node, int depth)
    {
        node.kind = JsonNode::Kind::Array;
        ++m_pos;
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char(']')) {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            node.items.emplace_back();
            if (!value(node.items.back(), depth + 1))
                return false;
            skipSpace();
            if (m_pos >= m_text.size())
                return fail("unterminated array");
            const char16_t c = m_text[m_pos++].unicode();
            if (c == ']')
                return true;
            if (c != ',')
                return fail("expected ',' or ']'");
        }
    }

    bool object(JsonNode &node, int depth)
    {
        node.kind = JsonNode::Kind::Object;
        ++m_pos;
        skipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('}')) {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('"'))
                return fail("expected member name");
            QString key;
            if (!string(key))
                return false;
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char(':'))
                return fail("expected ':'");
            ++m_pos;
            skipSpace();
            node.keys.push_back(std::move(key));
            node.values.emplace_back();
            if (!value(node.values.back(), depth + 1))
                return false;
            skipSpace();
            if (m_pos >= m_text.size())
                return fail("unterminated object");
            const char16_t c = m_text[m_pos++].unicode();
            if (c == '}')
                return true;
            if (c != ',')
                return fail("expected ',' or '}'");
        }
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    QString m_error;
};

} // namespace

std::optional<JsonNode> JsonText::parse(QStringView text, QString *error)
{
    return Parser(text).run(error);
}

void JsonText::appendString(QString &out, QStringView value)
{
    static const char hexDigits[] = "0123456789abcdef";
    out.reserve(out.size() + value.size() + 2);
    out.append(QLatin1Char('"'));
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        const char *escape = nullptr;
        bool unicodeEscape = false;
        switch (c) {
        case '"':
            escape = "\\\"";
            break;
        case '\\':
            escape = "\\\\";
            break;
        case '/':
            escape = "\\/";
            break;
        case '\n':
            escape = "\\n";
            break;
        case '\r':
            escape = "\\r";
            break;
        case '\t':
            escape = "\\t";
            break;
        case '\b':
            escape = "\\b";
            break;
        case '\f':
            escape = "\\f";
            break;
        case '<':
        case '>':
        case '&':
        case 0x2028:
        case 0x2029:
            unicodeEscape = true;
            break;
        default:
            unicodeEscape = c < 0x20;
            break;
        }
        if (!escape && !unicodeEscape)
            continue;
        out.append(value.mid(runStart, i - runStart));
        if (escape) {
            out.append(QLatin1String(escape));
        } else {
            const char buffer[7] = { '\\', 'u', hexDigits[(c >> 12) & 0xf], hexDigits[(c >> 8) & 0xf], hexDigits[(c >> 4) & 0xf],
                hexDigits[c & 0xf], 0 };
            out.append(QLatin1String(buffer));
        }
        runStart = i + 1;
    }
    out.append(value.mid(runStart));
    out.append(QLatin1Char('"'));
}

QString JsonText::quoted(QStringView value)
{
    QString out;
    appendString(out, value);
    return out;
}

void JsonText::appendCompact(QString &out, const JsonNode &node)
{
    switch (node.kind) {
    case JsonNode::Kind::Null:
        out.append(QLatin1String("null"));
        break;
    case JsonNode::Kind::Bool:
        out.append(node.boolean ? QLatin1String("true") : QLatin1String("false"));
        break;
    case JsonNode::Kind::Number:
        out.append(node.text);
        break;
    case JsonNode::Kind::String:
        appendString(out, node.text);
        break;
    case JsonNode::Kind::Array:
        out.append(QLatin1Char('['));
        for (size_t i = 0; i < node.items.size(); ++i) {
            if (i)
                out.append(QLatin1Char(','));
            appendCompact(out, node.items[i]);
        }
        out.append(QLatin1Char(']'));
        break;
    case JsonNode::Kind::Object:
        out.append(QLatin1Char('{'));
        for (size_t i = 0; i < node.keys.size(); ++i) {
            if (i)
                out.append(QLatin1Char(','));
            appendString(out, node.keys[i]);
            out.append(QLatin1Char(':'));
            appendCompact(out, node.values[i]);
        }
        out.append(QLatin1Char('}'));
        break;
    }
}

QString JsonText::writeCompact(const JsonNode &node)
{
    QString out;
    appendCompact(out, node);
    return out;
}
