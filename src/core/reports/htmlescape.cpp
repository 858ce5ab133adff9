#include "htmlescape.h"

QString HtmlEscape::text(QStringView value)
{
    QString out;
    out.reserve(value.size() + value.size() / 8);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char *entity = nullptr;
        switch (value[i].unicode()) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        case '\'':
            entity = "&#39;";
            break;
        default:
            continue;
        }
        out.append(value.mid(runStart, i - runStart));
        out.append(QLatin1String(entity));
        runStart = i + 1;
    }
    out.append(value.mid(runStart));
    return out;
}

QString HtmlEscape::jsString(QStringView value)
{
    static const char hexDigits[] = "0123456789abcdef";
    QString out;
    out.reserve(value.size());
    for (const QChar ch : value) {
        const char16_t c = ch.unicode();
        const bool escape = c < 0x20 || c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&' || c == '/'
            || c == 0x2028 || c == 0x2029 || c == 0x7f;
        if (!escape) {
            out.append(ch);
            continue;
        }
        const char buffer[7] = { '\\', 'u', hexDigits[(c >> 12) & 0xf], hexDigits[(c >> 8) & 0xf], hexDigits[(c >> 4) & 0xf],
            hexDigits[c & 0xf], 0 };
        out.append(QLatin1String(buffer));
    }
    return out;
}
