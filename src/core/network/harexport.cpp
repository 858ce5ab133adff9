#include "harexport.h"

#include "netfoxsyntax.h"
#include "networkhitjson.h"

#include <QJsonArray>
#include <QUrl>
#include <QUrlQuery>

namespace HarExport {

namespace {

QJsonArray nameValueArray(const QList<QPair<QString, QString>> &pairs)
{
    QJsonArray array;
    for (const auto &[name, value] : pairs)
        array.append(QJsonObject { { QStringLiteral("name"), name }, { QStringLiteral("value"), value } });
    return array;
}

QString headerValue(const QList<QPair<QString, QString>> &pairs, QStringView name)
{
    for (const auto &[key, value] : pairs) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QString();
}

// A body as the log holds it, or nothing for the placeholders.
QString bodyText(const QString &body, QStringView placeholder)
{
    return body == placeholder ? QString() : body;
}

QJsonObject request(const NetworkHit &hit)
{
    const auto headers = headerPairs(hit.reqHeaders);
    QList<QPair<QString, QString>> query;
    const QUrl url(hit.url);
    for (const auto &[name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        query.append({ name, value });
    const QString body = bodyText(hit.reqBody, NetfoxSyntax::kNoRequestBody);
    QJsonObject object {
        { QStringLiteral("method"), hit.reqMethod },
        { QStringLiteral("url"), hit.url },
        { QStringLiteral("httpVersion"), QStringLiteral("HTTP/1.1") },
        { QStringLiteral("cookies"), QJsonArray() },
        { QStringLiteral("headers"), nameValueArray(headers) },
        { QStringLiteral("queryString"), nameValueArray(query) },
        { QStringLiteral("headersSize"), -1 },
        { QStringLiteral("bodySize"), qint64(body.toUtf8().size()) },
    };
    if (!body.isEmpty()) {
        object.insert(QStringLiteral("postData"),
            QJsonObject {
                { QStringLiteral("mimeType"), headerValue(headers, u"Content-Type") }, { QStringLiteral("text"), body } });
    }
    return object;
}

QJsonObject response(const NetworkHit &hit)
{
    const auto headers = headerPairs(hit.resHeaders);
    bool numeric = false;
    const int status = hit.resStatus.toInt(&numeric);
    const bool answered = hit.resStatus != NetfoxSyntax::kTimeout;
    const QString body = bodyText(hit.resBody, NetfoxSyntax::kNoResponseBody);
    const qint64 size = body.toUtf8().size();
    QJsonObject content {
        { QStringLiteral("size"), size },
        { QStringLiteral("mimeType"), headerValue(headers, u"Content-Type") },
    };
    if (!body.isEmpty())
        content.insert(QStringLiteral("text"), body);
    return QJsonObject {
        { QStringLiteral("status"), numeric ? status : 0 },
        { QStringLiteral("statusText"), numeric ? QString() : hit.resStatus },
        { QStringLiteral("httpVersion"), QStringLiteral("HTTP/1.1") },
        { QStringLiteral("cookies"), QJsonArray() },
        { QStringLiteral("headers"), nameValueArray(headers) },
        { QStringLiteral("content"), content },
        { QStringLiteral("redirectURL"), headerValue(headers, u"Location") },
        { QStringLiteral("headersSize"), -1 },
        { QStringLiteral("bodySize"), answered ? size : qint64(-1) },
    };
}

} // namespace

QList<QPair<QString, QString>> headerPairs(const QString &headerText)
{
    QList<QPair<QString, QString>> pairs;
    if (headerText == NetfoxSyntax::kNoRequestHeaders || headerText == NetfoxSyntax::kNoResponseHeaders)
        return pairs;
    const QStringList lines = headerText.split(u'\n');
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(u':');
        const QString name = colon > 0 ? line.left(colon).trimmed() : QString();
        if (name.isEmpty()) {
            // A value that ran over a line break belongs to the header before.
            if (!pairs.isEmpty() && !line.trimmed().isEmpty())
                pairs.last().second += u'\n' + line.trimmed();
            continue;
        }
        QString value = line.mid(colon + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        pairs.append({ name, value });
    }
    return pairs;
}

QJsonObject document(const NetworkHitList &hits, const QString &creatorName, const QString &creatorVersion)
{
    QJsonArray entries;
    for (const NetworkHit &hit : hits) {
        entries.append(QJsonObject {
            { QStringLiteral("startedDateTime"), NetworkHitJson::isoTimestamp(hit.time) },
            { QStringLiteral("time"), 0 },
            { QStringLiteral("request"), request(hit) },
            { QStringLiteral("response"), response(hit) },
            { QStringLiteral("cache"), QJsonObject() },
            { QStringLiteral("timings"),
                QJsonObject { { QStringLiteral("send"), 0 }, { QStringLiteral("wait"), 0 }, { QStringLiteral("receive"), 0 } } },
            { QStringLiteral("comment"), hit.id },
        });
    }
    const QJsonObject log {
        { QStringLiteral("version"), QStringLiteral("1.2") },
        { QStringLiteral("creator"),
            QJsonObject { { QStringLiteral("name"), creatorName }, { QStringLiteral("version"), creatorVersion } } },
        { QStringLiteral("entries"), entries },
    };
    return QJsonObject { { QStringLiteral("log"), log } };
}

} // namespace HarExport
