#include "networklogpanel.h"

#include "jsonnode.h"
#include "network/netfoxparser.h"
#include "reportresources.h"

QString NetworkLogPanel::script(const NetworkHitList &hits)
{
    // The literal escapes '/' and '<', so no "</script>" in a body can end the block.
    const QString literal = JsonText::quoted(Netfox::formatHitsAsText(hits, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QString block = ReportResources::networkLogPanelTemplate();
    block.replace(QStringLiteral("__LOG_DATA_PLACEHOLDER__"), literal);
    return block;
}

bool NetworkLogPanel::removeEmbedded(QString &html)
{
    static const QString opening = QStringLiteral("<script data-kestrune-panel=\"network-log\">");
    static const QString closing = QStringLiteral("</script>");
    bool removed = false;
    for (qsizetype start = html.indexOf(opening); start >= 0; start = html.indexOf(opening, start)) {
        // The log inside is one JSON literal that escapes '<' and '/', so the
        // first "</script>" after the opening tag is the block's own.
        const qsizetype end = html.indexOf(closing, start + opening.size());
        if (end < 0)
            break;
        qsizetype length = end + closing.size() - start;
        if (start + length < html.size() && html.at(start + length) == u'\n')
            ++length; // the line break the block ends with
        html.remove(start, length);
        removed = true;
    }
    return removed;
}

bool NetworkLogPanel::embed(QString &html, const QString &networkLogFile, const std::optional<QDateTime> &since)
{
    // A page patched before gets the panel of this log, not a second one.
    const bool removed = removeEmbedded(html);
    const NetworkHitList hits = Netfox::parseNetworkLog(networkLogFile, since);
    if (hits.isEmpty())
        return removed;
    const QString block = script(hits);
    static const QString bodyEnd = QStringLiteral("</body>");
    if (html.contains(bodyEnd))
        html.replace(bodyEnd, block + bodyEnd);
    else
        html.append(block);
    return true;
}
