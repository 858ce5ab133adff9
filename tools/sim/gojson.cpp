#include "gojson.h"

GoJson GoJson::boolean(bool value)
{
    GoJson j;
    j.m_kind = Kind::Bool;
    j.m_bool = value;
    return j;
}

GoJson GoJson::integer(qint64 value)
{
    GoJson j;
    j.m_kind = Kind::Int;
    j.m_int = value;
    return j;
}

GoJson GoJson::string(const QString &value)
{
    GoJson j;
    j.m_kind = Kind::String;
    j.m_string = value;
    return j;
}

GoJson GoJson::object()
{
    GoJson j;
    j.m_kind = Kind::Object;
    return j;
}

GoJson GoJson::array()
{
    GoJson j;
    j.m_kind = Kind::Array;
    return j;
}

GoJson &GoJson::add(const QString &key, const GoJson &value)
{
    m_members.append({ key, value });
    return *this;
}

GoJson &GoJson::append(const GoJson &value)
{
    m_items.append(value);
    return *this;
}

QByteArray GoJson::toCompact() const
{
    QString out;
    write(out, 0, false);
    return out.toUtf8();
}

QByteArray GoJson::toIndented() const
{
    QString out;
    write(out, 0, true);
    return out.toUtf8();
}

QString GoJson::escapeString(const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            // Control characters, the HTML-significant three and the two
            // Unicode line separators are written as \u00XX / \u20XX.
            if (u < 0x20 || u == u'<' || u == u'>' || u == u'&' || u == 0x2028 || u == 0x2029) {
                out += QLatin1String("\\u");
                out += QLatin1Char(hex[(u >> 12) & 0xF]);
                out += QLatin1Char(hex[(u >> 8) & 0xF]);
                out += QLatin1Char(hex[(u >> 4) & 0xF]);
                out += QLatin1Char(hex[u & 0xF]);
            } else {
                out += c;
            }
        }
    }
    out += u'"';
    return out;
}

void GoJson::write(QString &out, int indent, bool pretty) const
{
    const auto newline = [&](int level) {
        if (!pretty)
            return;
        out += u'\n';
        out += QString(level * 2, u' ');
    };
    switch (m_kind) {
    case Kind::Null:
        out += QLatin1String("null");
        break;
    case Kind::Bool:
        out += m_bool ? QLatin1String("true") : QLatin1String("false");
        break;
    case Kind::Int:
        out += QString::number(m_int);
        break;
    case Kind::String:
        out += escapeString(m_string);
        break;
    case Kind::Object:
        if (m_members.isEmpty()) {
            out += QLatin1String("{}");
            break;
        }
        out += u'{';
        for (qsizetype i = 0; i < m_members.size(); ++i) {
            if (i)
                out += u',';
            newline(indent + 1);
            out += escapeString(m_members[i].first);
            out += pretty ? QLatin1String(": ") : QLatin1String(":");
            m_members[i].second.write(out, indent + 1, pretty);
        }
        newline(indent);
        out += u'}';
        break;
    case Kind::Array:
        if (m_items.isEmpty()) {
            out += QLatin1String("[]");
            break;
        }
        out += u'[';
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            if (i)
                out += u',';
            newline(indent + 1);
            m_items[i].write(out, indent + 1, pretty);
        }
        newline(indent);
        out += u']';
        break;
    }
}
