#include "networkhitdisplay.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace NetworkHitDisplay {

ColorRole methodColor(QStringView method)
{
    const QString upper = method.toString().toUpper();
    if (upper == u"GET")
        return ColorRole::Blue;
    if (upper == u"POST")
        return ColorRole::Green;
    if (upper == u"PUT")
        return ColorRole::Orange;
    if (upper == u"DELETE")
        return ColorRole::Red;
    return ColorRole::Grey;
}

ColorRole statusColor(QStringView status)
{
    if (status.startsWith(u'2'))
        return ColorRole::Green;
    if (status.startsWith(u'4') || status.startsWith(u'5'))
        return ColorRole::Red;
    if (status == u"TIMEOUT")
        return ColorRole::Grey;
    return ColorRole::Orange;
}

ColorRole detailStatusColor(QStringView status)
{
    return status.startsWith(u'2') ? ColorRole::Green : ColorRole::Red;
}

QString headersText(const QString &headers)
{
    return headers.trimmed().isEmpty() ? QStringLiteral("No Headers") : headers;
}

QString prettyBody(const QString &body)
{
    const QStringView trimmed = QStringView(body).trimmed();
    if (!trimmed.startsWith(u'{') && !trimmed.startsWith(u'['))
        return body;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || document.isNull())
        return body;
    // The writer leaves "/" as it is; a "\/" of the log comes out plain.
    return QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed();
}

QString copyContent(const QString &headers, const QString &prettyBodyText)
{
    return QStringLiteral("HEADERS\n") + headersText(headers) + QStringLiteral("\n\nBODY\n") + prettyBodyText;
}

QString copyContent(const NetworkHit &hit, Side side)
{
    return side == Side::Request ? copyContent(hit.reqHeaders, prettyBody(hit.reqBody))
                                 : copyContent(hit.resHeaders, prettyBody(hit.resBody));
}

} // namespace NetworkHitDisplay
