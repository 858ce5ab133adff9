// TEMPORARY stand-in for the Netfox parser so the reports area links and its
// tests run before the real parser is merged. The lead drops this file (and
// its line in CMakeLists.txt) when the network area's parser lands.
#include "netfoxparser.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

QString labelled(const QString &block, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral("\\s+(.*?)\\n"));
    const QRegularExpressionMatch match = pattern.match(block);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

QString body(const QString &block, const QString &label, const QString &fallback)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral("\\n(.*?)$"),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(block);
    return match.hasMatch() ? match.captured(1).trimmed() : fallback;
}

QString section(const QString &block, const QString &from, const QString &to, const QString &fallback)
{
    const QRegularExpression pattern(QRegularExpression::escape(from) + QStringLiteral("\\n(.*?)")
                                         + QRegularExpression::escape(to),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(block);
    return match.hasMatch() ? match.captured(1).trimmed() : fallback;
}

} // namespace

NetworkHitList Netfox::parseNetworkLog(const QString &filePath, const std::optional<QDateTime> &since)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        text = QString::fromLatin1(bytes);
    return parseNetworkLogText(text, since);
}

NetworkHitList Netfox::parseNetworkLogText(const QString &input, const std::optional<QDateTime> &since)
{
    QString text = input;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    static const QRegularExpression requests(
        QStringLiteral("-------START REQUEST -\\s+(.*?)\\s+-------\\n(.*?)-------END REQUEST"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression responses(
        QStringLiteral("-------START RESPONSE -\\s+(.*?)\\s+-------\\n(.*?)-------END RESPONSE"),
        QRegularExpression::DotMatchesEverythingOption);
    QList<NetworkHit> pending;
    QHash<QString, QList<qsizetype>> byUrl;
    for (auto it = requests.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString block = match.captured(2);
        NetworkHit hit;
        hit.url = match.captured(1).trimmed();
        hit.time = QDateTime::fromString(labelled(block, QStringLiteral("[Request Date]")),
                                         QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
        const QString rawDate = labelled(block, QStringLiteral("[Request Date]"));
        if (rawDate.endsWith(QLatin1String(" +0000")))
            hit.time = QDateTime::fromString(rawDate.chopped(6), QStringLiteral("yyyy-MM-dd HH:mm:ss")), hit.time.setTimeSpec(Qt::UTC);
        const QString method = labelled(block, QStringLiteral("[Request Method]"));
        hit.reqMethod = method.isEmpty() ? QStringLiteral("GET") : method;
        hit.reqHeaders = formatHeaders(section(block, QStringLiteral("[Request Headers]"), QStringLiteral("[Request Body]"),
                                               QStringLiteral("No Request Headers")));
        hit.reqBody = body(block, QStringLiteral("[Request Body]"), QStringLiteral("No Request Body"));
        hit.resStatus = QStringLiteral("TIMEOUT");
        hit.resHeaders = QStringLiteral("No Response Headers");
        hit.resBody = QStringLiteral("No Response Body");
        byUrl[hit.url].append(pending.size());
        pending.append(hit);
    }
    for (auto it = responses.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QList<qsizetype> &queue = byUrl[match.captured(1).trimmed()];
        if (queue.isEmpty())
            continue;
        NetworkHit &hit = pending[queue.takeFirst()];
        const QString block = match.captured(2);
        const QString status = labelled(block, QStringLiteral("[Response Status]"));
        hit.resStatus = status.isEmpty() ? QStringLiteral("TIMEOUT") : status;
        hit.resHeaders = formatHeaders(section(block, QStringLiteral("[Response Headers]"),
                                               QStringLiteral("[Response Body]"), QStringLiteral("No Response Headers")));
        hit.resBody = body(block, QStringLiteral("[Response Body]"), QStringLiteral("No Response Body"));
    }
    NetworkHitList hits;
    for (NetworkHit &hit : pending) {
        if (!hit.time.isValid() || (since && hit.time < *since))
            continue;
        hit.id = QString::number(double(hit.time.toMSecsSinceEpoch()) / 1000.0, 'f', 1) + QLatin1Char('_') + hit.url
            + QLatin1Char('_') + hit.reqMethod + QLatin1Char('_') + QString::number(qHash(hit.reqBody));
        hits.append(hit);
    }
    std::stable_sort(hits.begin(), hits.end(), [](const NetworkHit &a, const NetworkHit &b) { return a.time < b.time; });
    return hits;
}

QString Netfox::formatHeaders(const QString &text)
{
    if (text.isEmpty() || text == QLatin1String("No Request Headers") || text == QLatin1String("No Response Headers"))
        return text;
    QString out = text.trimmed();
    if (out.startsWith(QLatin1Char('[')) && out.endsWith(QLatin1Char(']')))
        out = out.mid(1, out.size() - 2);
    out.replace(QRegularExpression(QStringLiteral(",\\s*AnyHashable\\(")), QStringLiteral("\nAnyHashable("));
    out.replace(QRegularExpression(QStringLiteral("AnyHashable\\(\"([^\"]+)\"\\)\\s*:\\s*")), QStringLiteral("\\1: "));
    return out.trimmed();
}

QString Netfox::formatHitAsText(const NetworkHit &hit, const QString &datePattern)
{
    const auto orNone = [](const QString &value) { return value.isEmpty() ? QStringLiteral("None") : value; };
    return QStringLiteral("--------------------------------------------------\n[Request Date] ")
        + hit.time.toLocalTime().toString(datePattern) + QStringLiteral("\n[Request Method] ") + hit.reqMethod
        + QLatin1Char(' ') + hit.url + QStringLiteral("\n\n[Request Headers]\n") + orNone(hit.reqHeaders)
        + QStringLiteral("\n\n[Request Body]\n") + orNone(hit.reqBody) + QStringLiteral("\n\n[Response Status] ")
        + hit.resStatus + QStringLiteral("\n\n[Response Headers]\n") + orNone(hit.resHeaders)
        + QStringLiteral("\n\n[Response Body]\n") + orNone(hit.resBody);
}
