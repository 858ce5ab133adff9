#pragma once

#include <QString>
#include <QStringView>

// Escaping for each place a foreign text (from the runner's files, a device or
// the network) can land in a generated page. Pure functions, any thread.
namespace HtmlEscape {

// Element content and quoted attribute values (single or double quotes):
// & < > " ' become character references.
QString text(QStringView value);
inline QString attribute(QStringView value)
{
    return text(value);
}

// A single-quoted JavaScript string literal's content (without the quotes)
// that is safe inside an HTML attribute as well: quotes, backslashes, line
// breaks and < > & are \u escapes, so the result needs no further escaping.
QString jsString(QStringView value);

} // namespace HtmlEscape
