#include "curlcommand.h"

#include "harexport.h"
#include "netfoxsyntax.h"

#include <algorithm>

namespace CurlCommand {

QString shellQuote(QStringView text)
{
    // Words the shell reads as they are stay bare, for a readable line.
    static const QString bare = QStringLiteral("_@%+=:,./-");
    const bool plain = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() < 128 && c.isLetterOrNumber()) || bare.contains(c);
    });
    if (plain)
        return text.toString();
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += u'\'';
    for (const QChar c : text) {
        // A NUL cannot travel in a shell word; the log never means one.
        if (c == QChar(0))
            continue;
        if (c == u'\'')
            quoted += QStringLiteral("'\\''");
        else
            quoted += c;
    }
    quoted += u'\'';
    return quoted;
}

QString command(const NetworkHit &hit)
{
    const bool hasBody = !hit.reqBody.isEmpty() && hit.reqBody != NetfoxSyntax::kNoRequestBody;
    const QString method = hit.reqMethod.trimmed().isEmpty() ? QStringLiteral("GET") : hit.reqMethod.trimmed();
    QString line = QStringLiteral("curl");
    // With a body curl would send POST on its own; say the method whenever it
    // is not the plain GET without one.
    if (hasBody || method.compare(u"GET", Qt::CaseInsensitive) != 0)
        line += QStringLiteral(" -X ") + shellQuote(method);
    // headerPairs drops the quotation marks the log prints around request
    // header values: the app sent `Accept: application/json`.
    for (const auto &[name, value] : HarExport::headerPairs(hit.reqHeaders))
        line += QStringLiteral(" -H ") + shellQuote(QString(name + QStringLiteral(": ") + value));
    if (hasBody)
        line += QStringLiteral(" --data-raw ") + shellQuote(hit.reqBody);
    // --url keeps a URL that begins with "-" from being read as an option.
    line += QStringLiteral(" --url ") + shellQuote(hit.url);
    return line;
}

QString commands(const NetworkHitList &hits)
{
    QString text;
    for (const NetworkHit &hit : hits)
        text += command(hit) + u'\n';
    return text;
}

} // namespace CurlCommand
