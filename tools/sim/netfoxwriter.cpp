#include "netfoxwriter.h"

#include "simclock.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTimeZone>
#include <QUuid>

namespace {

// The logger pretty-prints JSON bodies the way Foundation does: two-space
// indentation, " : " between key and value, and slashes written as "\/".
QString prettyJson(const QJsonValue &value, int indent)
{
    const QString pad(indent * 2, u' ');
    const QString inner((indent + 1) * 2, u' ');
    if (value.isObject()) {
        const QJsonObject o = value.toObject();
        if (o.isEmpty())
            return QStringLiteral("{\n\n%1}").arg(pad);
        QStringList parts;
        for (auto it = o.begin(); it != o.end(); ++it) {
            QString key = QString::fromUtf8(QJsonDocument(QJsonArray { it.key() }).toJson(QJsonDocument::Compact));
            key = key.mid(1, key.size() - 2).replace(u'/', QLatin1String("\\/"));
            parts << inner + key + QStringLiteral(" : ") + prettyJson(it.value(), indent + 1);
        }
        return QStringLiteral("{\n") + parts.join(QStringLiteral(",\n")) + u'\n' + pad + u'}';
    }
    if (value.isArray()) {
        const QJsonArray a = value.toArray();
        if (a.isEmpty())
            return QStringLiteral("[\n\n%1]").arg(pad);
        QStringList parts;
        for (const QJsonValue &v : a)
            parts << inner + prettyJson(v, indent + 1);
        return QStringLiteral("[\n") + parts.join(QStringLiteral(",\n")) + u'\n' + pad + u']';
    }
    QString scalar = QString::fromUtf8(QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact));
    scalar = scalar.mid(1, scalar.size() - 2);
    return scalar.replace(u'/', QLatin1String("\\/"));
}

QString prettyBody(const QString &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    if (doc.isNull())
        return json;
    return prettyJson(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()), 0);
}

QDateTime utc(qint64 ns)
{
    return QDateTime::fromMSecsSinceEpoch(ns / 1000000, QTimeZone::utc());
}

QString logDate(qint64 ns)
{
    return utc(ns).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString logClock(qint64 ns)
{
    return QDateTime::fromMSecsSinceEpoch(ns / 1000000).toString(QStringLiteral("H:mm"));
}

QString httpDate(qint64 ns)
{
    return QLocale::c().toString(utc(ns), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")) + QStringLiteral(" GMT");
}

// 15 January 2026, 07:30:00 UTC: the day of the device's earlier session.
constexpr qint64 kEarlierSessionNs = 1768462200LL * 1000000000LL;

} // namespace

NetfoxWriter::NetfoxWriter(const QString &logPath, const QString &bundleId, int runCount)
    : m_logPath(logPath)
    , m_bundleId(bundleId)
    , m_apiHost(bundleId.endsWith(QLatin1String(".staging")) ? QStringLiteral("https://api-staging.lumenfold.id")
                                                             : QStringLiteral("https://api.lumenfold.id"))
    , m_runCount(runCount)
{ }

QString NetfoxWriter::nextRequestId()
{
    const QByteArray seed = (m_bundleId + u'#' + QString::number(m_runCount) + u'#' + QString::number(++m_sequence)).toUtf8();
    return QUuid::fromRfc4122(QCryptographicHash::hash(seed, QCryptographicHash::Md5)).toString(QUuid::WithoutBraces).toUpper();
}

NetfoxWriter::Exchange NetfoxWriter::apiCall(
    const QString &method, const QString &path, const QString &body, const QString &response, qint64 latencyMs)
{
    Exchange e;
    e.method = method;
    e.url = m_apiHost + path;
    e.requestHeaders = { { QStringLiteral("Accept"), QStringLiteral("application/json") },
        { QStringLiteral("Accept-Language"), QStringLiteral("id-ID, en;q=0.8") },
        { QStringLiteral("X-Request-Id"), nextRequestId() } };
    if (!body.isEmpty())
        e.requestHeaders.insert(1, { QStringLiteral("Content-Type"), QStringLiteral("application/json") });
    e.requestBody = body;
    e.responseHeaders = { { QStringLiteral("Content-Type"), QStringLiteral("application/json; charset=utf-8") },
        { QStringLiteral("Cache-Control"), QStringLiteral("no-cache, private") } };
    e.responseBody = response;
    e.latencyMs = latencyMs;
    return e;
}

QList<NetfoxWriter::Exchange> NetfoxWriter::exchangesFor(const QString &event, Order *order)
{
    *order = Order::Sequential;
    QList<Exchange> list;
    if (event == QLatin1String("launch")) {
        list << apiCall(QStringLiteral("GET"), QStringLiteral("/v2/config?platform=ios"), QString(),
            QStringLiteral(
                R"({"minVersion":"3.0.0","cdn":"https://cdn.lumenfold.id/assets/","features":{"wallet":true,"chat":false}})"),
            180);
        Exchange analytics;
        analytics.method = QStringLiteral("POST");
        analytics.url = QStringLiteral("https://app-measurement.com/a");
        analytics.requestHeaders = { { QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded") } };
        analytics.requestBody = QStringLiteral("gmp_version=110400&uptime_ms=512&event=app_open");
        analytics.status = 204;
        analytics.responseType = QStringLiteral("text/plain");
        analytics.latencyMs = 64;
        list << analytics;
    } else if (event == QLatin1String("tap:loginButton")) {
        Exchange e = apiCall(QStringLiteral("POST"), QStringLiteral("/v2/auth/login"),
            QStringLiteral(R"({"email":"qa@lumenfold.id","password":"********"})"),
            QStringLiteral(
                R"({"token":"eyJhbGciOiJIUzI1NiJ9.cWE.c2ln","user":{"id":42,"name":"QA Lumen","avatar":"https://cdn.lumenfold.id/u/42.png"}})"),
            420);
        e.plainHeaders = true;
        e.responseHeaders << std::pair { QStringLiteral("X-Request-Id"), e.requestHeaders.last().second };
        list << e;
    } else if (event == QLatin1String("screen:home")) {
        // The cart badge is asked twice at once (tab bar and header); both
        // requests carry no identifier the parser can read.
        Exchange a
            = apiCall(QStringLiteral("GET"), QStringLiteral("/v2/cart/badge"), QString(), QStringLiteral(R"({"count":0})"), 90);
        Exchange b
            = apiCall(QStringLiteral("GET"), QStringLiteral("/v2/cart/badge"), QString(), QStringLiteral(R"({"count":0})"), 95);
        list << a << b;
        *order = Order::InterleavedInOrder;
        list << apiCall(QStringLiteral("GET"), QStringLiteral("/v2/catalog/home"), QString(),
            QStringLiteral(
                R"({"sections":[{"title":"Rekomendasi","items":[{"sku":"A-1","name":"Kopi Gayo 250 g","price":85000,"image":"https://cdn.lumenfold.id/p/A-1.jpg"},{"sku":"B-7","name":"Teh Melati","price":23500,"image":"https://cdn.lumenfold.id/p/B-7.jpg"}]}]})"),
            310);
        Exchange crash;
        crash.method = QStringLiteral("GET");
        crash.url = QStringLiteral("https://firebase-settings.crashlytics.com/spi/v2/platforms/ios/gmp/1:4411:ios:9f2c/settings");
        crash.requestHeaders = {};
        crash.responseBody = QStringLiteral(R"({"settings_version":3,"cache_duration":86400})");
        crash.latencyMs = 140;
        list << crash;
    } else if (event == QLatin1String("screen:product")) {
        list << apiCall(QStringLiteral("GET"), QStringLiteral("/v2/products/A-1"), QString(),
            QStringLiteral(
                R"({"sku":"A-1","name":"Kopi Gayo 250 g","price":85000,"description":"<b>Arabika</b> & robusta","images":["https://cdn.lumenfold.id/p/A-1.jpg"]})"),
            260);
        Exchange lost = apiCall(QStringLiteral("GET"), QStringLiteral("/v2/recommendations?sku=A-1"), QString(), QString(), 0);
        lost.answered = false; // cancelled when the screen changed
        list << lost;
    } else if (event == QLatin1String("tap:addToCartButton")) {
        // A double tap sends two cart updates; the second answer arrives first.
        Exchange a = apiCall(QStringLiteral("POST"), QStringLiteral("/v2/cart"), QStringLiteral(R"({"sku":"A-1","qty":1})"),
            QStringLiteral(R"({"items":[{"sku":"A-1","qty":1}],"total":85000})"), 380);
        Exchange b = apiCall(QStringLiteral("POST"), QStringLiteral("/v2/cart"), QStringLiteral(R"({"sku":"A-1","qty":2})"),
            QStringLiteral(R"({"items":[{"sku":"A-1","qty":2}],"total":170000})"), 210);
        for (Exchange *e : { &a, &b }) {
            e->plainHeaders = true;
            e->responseHeaders << std::pair { QStringLiteral("X-Request-Id"), e->requestHeaders.last().second };
        }
        list << a << b;
        *order = Order::InterleavedReversed;
    } else if (event == QLatin1String("screen:cart")) {
        list << apiCall(QStringLiteral("GET"), QStringLiteral("/v2/cart"), QString(),
            QStringLiteral(
                R"({"items":[{"sku":"A-1","name":"Kopi Gayo 250 g","qty":2,"price":85000}],"total":170000,"currency":"IDR"})"),
            150);
    } else if (event == QLatin1String("screen:checkout")) {
        // The payment widget's session call gets no HTTP response at all;
        // the logger writes status 999 and no headers for it.
        Exchange widget;
        widget.method = QStringLiteral("GET");
        widget.url = QStringLiteral("https://pay.lumenfold.id/qris/session?locale=id");
        widget.requestHeaders = { { QStringLiteral("Accept"), QStringLiteral("*/*") } };
        widget.status = 999;
        widget.responseType = QStringLiteral("text/plain");
        widget.latencyMs = 30;
        list << widget;
        list << apiCall(QStringLiteral("GET"), QStringLiteral("/v2/payment/methods"), QString(),
            QStringLiteral(R"({"methods":[{"id":"va-bca","label":"Virtual Account BCA"},{"id":"qris","label":"QRIS"}]})"), 200);
    } else if (event == QLatin1String("tap:payButton")) {
        Exchange e
            = apiCall(QStringLiteral("POST"), QStringLiteral("/v2/orders"), QStringLiteral(R"({"method":"qris","total":170000})"),
                QStringLiteral("Payment declined\r\nReason: insufficient funds\r\n"), 640);
        e.status = 402;
        e.responseType = QStringLiteral("text/plain");
        e.responseHeaders = { { QStringLiteral("Content-Type"), QStringLiteral("text/plain; charset=utf-8") },
            { QStringLiteral("Retry-After"), QStringLiteral("30") } };
        list << e;
    }
    return list;
}

QString NetfoxWriter::requestBlock(const Exchange &e, qint64 startNs) const
{
    QString headers;
    if (e.plainHeaders) {
        QStringList lines;
        for (const auto &[name, value] : e.requestHeaders)
            lines << name + QStringLiteral(": ") + value;
        headers = lines.join(u'\n');
    } else if (e.requestHeaders.isEmpty()) {
        headers = QStringLiteral("[:]");
    } else {
        QStringList parts;
        for (const auto &[name, value] : e.requestHeaders)
            parts << QStringLiteral("AnyHashable(\"%1\"): \"%2\"").arg(name, value);
        headers = u'[' + parts.join(QStringLiteral(", ")) + u']';
    }
    QString type = QStringLiteral("application/json");
    for (const auto &[name, value] : e.requestHeaders) {
        if (name == QLatin1String("Content-Type"))
            type = value.section(u';', 0, 0);
    }
    return QStringLiteral("-------START REQUEST -  ") + e.url + QStringLiteral(" -------\n") //
        + QStringLiteral("[Request Method] ") + e.method + u'\n' //
        + QStringLiteral("[Request Date] ") + logDate(startNs) + u'\n' //
        + QStringLiteral("[Request Time] ") + logClock(startNs) + u'\n' //
        + QStringLiteral("[Request Type] ") + type + u'\n' //
        + QStringLiteral("[Request Timeout] 60.0\n") //
        + QStringLiteral("[Request Headers]\n") + headers + u'\n' //
        + QStringLiteral("[Request Body]\n ") + e.requestBody + u'\n' //
        + QStringLiteral("-------END REQUEST - ") + e.url + QStringLiteral(" -------\n\n");
}

QString NetfoxWriter::responseBlock(const Exchange &e, qint64 endNs) const
{
    QList<std::pair<QString, QString>> responseHeaders = e.responseHeaders;
    if (!responseHeaders.isEmpty())
        responseHeaders << std::pair { QStringLiteral("Date"), httpDate(endNs) };
    QString headers;
    if (responseHeaders.isEmpty()) {
        headers = QStringLiteral("[:]");
    } else if (e.plainHeaders) {
        QStringList lines;
        for (const auto &[name, value] : responseHeaders)
            lines << name + QStringLiteral(": ") + value;
        headers = lines.join(u'\n');
    } else {
        QStringList parts;
        for (const auto &[name, value] : responseHeaders)
            parts << QStringLiteral("AnyHashable(\"%1\"): %2").arg(name, value);
        headers = u'[' + parts.join(QStringLiteral(", ")) + u']';
    }
    const bool json = e.responseType.contains(QLatin1String("json"));
    const QString body = json ? prettyBody(e.responseBody) : e.responseBody;
    return QStringLiteral("-------START RESPONSE -  ") + e.url + QStringLiteral(" -------\n") //
        + QStringLiteral("[Response Status] ") + QString::number(e.status) + u'\n' //
        + QStringLiteral("[Response Type] ") + e.responseType + u'\n' //
        + QStringLiteral("[Response Date] ") + logDate(endNs) + u'\n' //
        + QStringLiteral("[Response Time] ") + logClock(endNs) + u'\n' //
        + QStringLiteral("[Response Headers]\n") + headers + QStringLiteral("\n\n") //
        + QStringLiteral("[Response Body]\n ") + body + u'\n' //
        + QStringLiteral("-------END RESPONSE - ") + e.url + QStringLiteral(" -------\n\n");
}

QString NetfoxWriter::render(const QList<Exchange> &exchanges, Order order, qint64 startNs) const
{
    QString text;
    qint64 at = startNs;
    const qsizetype pairs = order == Order::Sequential ? 0 : 2;
    // The first two exchanges of an interleaved event were in flight together;
    // the rest follow one after the other.
    if (pairs == 2 && exchanges.size() >= 2) {
        const Exchange &a = exchanges[0];
        const Exchange &b = exchanges[1];
        const qint64 bStart = at + 3000000;
        text += requestBlock(a, at) + requestBlock(b, bStart);
        if (order == Order::InterleavedInOrder)
            text += responseBlock(a, at + a.latencyMs * 1000000) + responseBlock(b, bStart + b.latencyMs * 1000000);
        else
            text += responseBlock(b, bStart + b.latencyMs * 1000000) + responseBlock(a, at + a.latencyMs * 1000000);
    }
    for (qsizetype i = pairs; i < exchanges.size(); ++i) {
        const Exchange &e = exchanges[i];
        text += requestBlock(e, at);
        if (e.answered)
            text += responseBlock(e, at + e.latencyMs * 1000000);
        at += 40000000; // the app fires its calls a few tens of milliseconds apart
    }
    return text;
}

qint64 NetfoxWriter::writeEvent(const QString &event, qint64 startNs)
{
    Order order;
    const QList<Exchange> exchanges = exchangesFor(event, &order);
    if (exchanges.isEmpty())
        return 0;
    append(render(exchanges, order, startNs));
    qint64 longest = 0;
    for (const Exchange &e : exchanges)
        longest = std::max(longest, e.latencyMs);
    return longest;
}

void NetfoxWriter::writeEarlierSession()
{
    Order order;
    QString text;
    for (const QString &event : { QStringLiteral("launch"), QStringLiteral("screen:cart") }) {
        const QList<Exchange> exchanges = exchangesFor(event, &order);
        text += render(exchanges, order, kEarlierSessionNs + text.size() * 1000000LL);
    }
    append(text);
}

void NetfoxWriter::append(const QString &text) const
{
    QDir().mkpath(QFileInfo(m_logPath).absolutePath());
    QFile file(m_logPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(text.toUtf8());
}
