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

bool NetworkLogPanel::embed(QString &html, const QString &networkLogFile, const std::optional<QDateTime> &since)
{
    const NetworkHitList hits = Netfox::parseNetworkLog(networkLogFile, since);
    if (hits.isEmpty())
        return false;
    const QString block = script(hits);
    static const QString bodyEnd = QStringLiteral("</body>");
    if (html.contains(bodyEnd))
        html.replace(bodyEnd, block + bodyEnd);
    else
        html.append(block);
    return true;
}
