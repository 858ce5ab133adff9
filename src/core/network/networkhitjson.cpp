#include "networkhitjson.h"

namespace NetworkHitJson {

QString isoTimestamp(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const QDateTime shifted = time.toOffsetFromUtc(offset);
    const int minutes = std::abs(offset) / 60;
    return shifted.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+')
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QJsonObject toJson(const NetworkHit &hit)
{
    return QJsonObject {
        { QStringLiteral("id"), hit.id },
        { QStringLiteral("time"), isoTimestamp(hit.time) },
        { QStringLiteral("url"), hit.url },
        { QStringLiteral("reqMethod"), hit.reqMethod },
        { QStringLiteral("reqHeaders"), hit.reqHeaders },
        { QStringLiteral("reqBody"), hit.reqBody },
        { QStringLiteral("resStatus"), hit.resStatus },
        { QStringLiteral("resHeaders"), hit.resHeaders },
        { QStringLiteral("resBody"), hit.resBody },
    };
}

QJsonArray toJson(const NetworkHitList &hits)
{
    QJsonArray array;
    for (const NetworkHit &hit : hits)
        array.append(toJson(hit));
    return array;
}

} // namespace NetworkHitJson
