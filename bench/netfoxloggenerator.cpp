#include "netfoxloggenerator.h"

#include <QDateTime>

#include <cmath>

namespace {

const QList<QString> kHosts = {
    QStringLiteral("https://api.example.com"),
    QStringLiteral("https://cdn.example.net"),
    QStringLiteral("https://auth.example.org"),
};
const QList<QString> kPaths = {
    QStringLiteral("/v2/cart"),
    QStringLiteral("/v2/login"),
    QStringLiteral("/v2/orders?page=2&size=20"),
    QStringLiteral("/v2/profile"),
    QStringLiteral("/v1/poll"),
    QStringLiteral("/v2/products/A-1"),
};
const QList<QString> kMethods
    = { QStringLiteral("GET"), QStringLiteral("POST"), QStringLiteral("PUT"), QStringLiteral("DELETE") };
// Mostly ASCII, as API payloads are, with names, currencies and emoji now
// and then.
const QList<QString> kWords = {
    QStringLiteral("sku"),
    QStringLiteral("price"),
    QStringLiteral("Rp 15.000"),
    QStringLiteral("Dévi"),
    QStringLiteral("quantity"),
    QStringLiteral("https:\\/\\/img.example.net\\/a.png"),
    QStringLiteral("true"),
    QStringLiteral("null"),
    QStringLiteral("orderId"),
    QStringLiteral("7f3c9a12"),
    QStringLiteral("createdAt"),
    QStringLiteral("2026-12-06T08:36:44Z"),
    QStringLiteral("status"),
    QStringLiteral("PAID"),
    QStringLiteral("total"),
    QStringLiteral("129900"),
    QStringLiteral("currency"),
    QStringLiteral("IDR"),
    QStringLiteral("items"),
    QStringLiteral("ÑOÑO"),
    QStringLiteral("€"),
    QStringLiteral("🚀"),
};

} // namespace

NetfoxLogGenerator::NetfoxLogGenerator(quint64 seed, Style style)
    : m_random(quint32(seed ^ (seed >> 32)))
    , m_style(style)
{ }

QString NetfoxLogGenerator::log(int chunks)
{
    QString text;
    for (int i = 0; i < chunks; ++i)
        text += nextChunk();
    if (m_style == Style::Hostile && chance(50) && !text.isEmpty())
        cut(text);
    return text;
}

void NetfoxLogGenerator::cut(QString &text)
{
    // Logs come from UTF-8 files, so a cut never splits a surrogate pair.
    qsizetype at = qsizetype(m_random.bounded(text.size()));
    if (at > 0 && text.at(at).isLowSurrogate())
        --at;
    text.truncate(at);
}

QString NetfoxLogGenerator::nextChunk()
{
    const bool hostile = m_style == Style::Hostile;
    if (hostile && chance(8))
        return noise();
    // Requests complete out of order now and then; some never get an answer.
    if (m_pending.isEmpty() || chance(m_pending.size() > 4 ? 35 : 55))
        return requestBlock();
    if (chance(hostile ? 10 : 3)) {
        m_pending.removeAt(m_random.bounded(m_pending.size()));
        return requestBlock();
    }
    return responseBlock();
}

QString NetfoxLogGenerator::url()
{
    const bool hostile = m_style == Style::Hostile;
    if (hostile && chance(5))
        return pick(QList<QString> { QStringLiteral("https://app-measurement.com/a"),
            QStringLiteral("https://x.crashlytics.com/report"), QString(), QStringLiteral("https://api.example.com/a b"),
            QStringLiteral("https://api.example.com/wrapped\nline"), QStringLiteral("https://api.example.com/tab\t") });
    return pick(kHosts) + pick(kPaths);
}

QString NetfoxLogGenerator::date()
{
    if (chance(70))
        m_clock += m_random.bounded(3);
    const QDateTime time = QDateTime::fromSecsSinceEpoch(m_clock, Qt::UTC);
    QString text = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (m_style == Style::Hostile) {
        switch (m_random.bounded(14)) {
        case 0:
            return text; // no zone: dropped
        case 1:
            return time.toOffsetFromUtc(7 * 3600).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u" +0700";
        case 2:
            return text + u" +00:00";
        case 3:
            return QStringLiteral("yesterday");
        case 4:
            return text + u" +0000 \t";
        default:
            break;
        }
    }
    return text + u" +0000";
}

QString NetfoxLogGenerator::identifier()
{
    return QStringLiteral("%1-%2").arg(m_random.generate(), 8, 16, QLatin1Char('0')).arg(++m_counter);
}

QString NetfoxLogGenerator::space()
{
    if (m_style == Style::Plain || chance(70))
        return QStringLiteral(" ");
    return pick(QList<QString> { QStringLiteral("\t"), QStringLiteral("  "), QString(QChar(0xA0)), QStringLiteral("\n"),
        QString(QChar(0x2028)), QStringLiteral(" \r"), QString(QChar(0x3000)), QString(QChar(0x180E)) });
}

QString NetfoxLogGenerator::body(bool response)
{
    const bool hostile = m_style == Style::Hostile;
    if (chance(15))
        return QStringLiteral(" ");
    QString text = QStringLiteral("{\n");
    // Request bodies are small; response bodies spread from a few fields to
    // a product list of several kilobytes (about 4 to 500 fields, log-uniform).
    const int fields = response && !hostile ? int(std::exp2(2.0 + 7.0 * m_random.generateDouble()))
                                            : int(m_random.bounded(response ? 12 : 4)) + 1;
    for (int i = 0; i < fields; ++i)
        text += QStringLiteral("  \"%1\" : \"%2\",\n").arg(pick(kWords), pick(kWords));
    text += u'}';
    if (hostile) {
        switch (m_random.bounded(12)) {
        case 0:
            text.insert(2, QChar(0)); // a NUL character
            break;
        case 1:
            text += QStringLiteral("\n-------\n");
            break;
        case 2:
            text += QStringLiteral("\n[Request Method] PATCH\n[Response Status] 418\n");
            break;
        case 3:
            text += QStringLiteral("\r\n\r\n");
            break;
        case 4:
            text += QStringLiteral("\n-------START REQUEST - https://api.example.com/inner -------\n");
            break;
        case 5:
            text.replace(u'\n', QStringLiteral("\r\n"));
            break;
        case 6:
            text += QChar(0x2029);
            break;
        default:
            break;
        }
    }
    return u' ' + text;
}

QString NetfoxLogGenerator::requestHeaders(const QString &identifier)
{
    QString entries = QStringLiteral("AnyHashable(\"Accept\"): \"application/json\"");
    if (!identifier.isEmpty() || m_style == Style::Plain || chance(50)) {
        const QString id = identifier.isEmpty() ? QStringLiteral("none") : identifier;
        entries += QStringLiteral(", AnyHashable(\"X-Request-Id\"): \"%1\"").arg(id);
    }
    if (m_style == Style::Hostile && chance(15))
        return QStringLiteral("[:]");
    return u'[' + entries + u']';
}

QString NetfoxLogGenerator::responseHeaders(const QString &identifier)
{
    QString entries = QStringLiteral("AnyHashable(\"Content-Type\"): application/json; charset=utf-8, "
                                     "AnyHashable(\"Date\"): Sun, 06 Dec 2026 08:36:45 GMT");
    QString text = u'[' + entries + u']';
    if (!identifier.isEmpty()) {
        // Header lines as some apps print them, which the identifier search
        // reads; the dictionary form it does not.
        const QString plain = pick(QList<QString> { QStringLiteral("X-Request-Id: %1"), QStringLiteral("x-request-id %1"),
            QStringLiteral("REQUESTID::: %1"), QStringLiteral("Trace-Id\t\n%1"), QStringLiteral("X-Requeſt-Id: %1"),
            QStringLiteral("X-Requeﬅ-Id:%1"), QStringLiteral("AnyHashable(\"X-Request-Id\"): %1"),
            QStringLiteral("X-Request-Id: \u212A%1"), QStringLiteral("trace-id:"), QStringLiteral("X-Request-Id:\u00A0%1") });
        text += u'\n' + (plain.contains(u"%1") ? plain.arg(identifier) : plain);
    }
    return text;
}

QString NetfoxLogGenerator::mutateLine(const QString &label, const QString &value)
{
    if (m_style == Style::Plain)
        return label + u' ' + value + u'\n';
    switch (m_random.bounded(16)) {
    case 0:
        return QString(); // label missing
    case 1:
        return label + u'\n'; // no value: the next line is read instead
    case 2:
        return label + u' ' + value + u'\r';
    case 3:
        return label + space() + value + QChar(0x85) + u'\n';
    case 4:
        return label + value + u'\n';
    case 5:
        return label + u"  \t" + value + u" \t\n";
    case 6:
        return label + u" \n" + value + QChar(0x0B) + u'\n'; // the value line ends early: empty value
    default:
        return label + space() + value + u'\n';
    }
}

QString NetfoxLogGenerator::finishBlock(QString block)
{
    if (m_style == Style::Plain)
        return block;
    if (chance(6))
        cut(block); // an unfinished block
    if (chance(15))
        block.replace(u'\n', QStringLiteral("\r\n"));
    return block;
}

QString NetfoxLogGenerator::requestBlock()
{
    const bool hostile = m_style == Style::Hostile;
    Pending pending { url(), chance(hostile ? 40 : 30) ? identifier() : QString() };
    m_pending.append(pending);
    QString block = u"-------START REQUEST -" + (hostile ? space() : QStringLiteral(" ")) + u' ' + pending.url
        + (hostile && chance(5) ? QString() : QStringLiteral(" ")) + u"-------\n";
    QStringList lines = {
        mutateLine(QStringLiteral("[Request Method]"), pick(kMethods)),
        mutateLine(QStringLiteral("[Request Date]"), date()),
        QStringLiteral("[Request Time] 9:36\n"),
        QStringLiteral("[Request Type] application/json\n"),
        QStringLiteral("[Request Timeout] 60.0\n"),
    };
    if (hostile && chance(30))
        std::swap(lines[0], lines[1]);
    block += lines.join(QString());
    if (!hostile || chance(90))
        block += u"[Request Headers]\n" + requestHeaders(pending.identifier) + u'\n';
    if (!hostile || chance(90))
        block += (hostile && chance(5) ? QStringLiteral("[Request Body] ") : QStringLiteral("[Request Body]\n")) + body(false)
            + u'\n';
    block += u"-------END REQUEST - " + pending.url + u" -------\n\n";
    return finishBlock(block);
}

QString NetfoxLogGenerator::responseBlock()
{
    const bool hostile = m_style == Style::Hostile;
    // Usually the oldest request completes first, not always.
    const qsizetype index = chance(70) ? 0 : m_random.bounded(m_pending.size());
    Pending pending = m_pending.takeAt(index);
    if (hostile && chance(5))
        pending.url = url(); // a response nobody asked for
    QString block = u"-------START RESPONSE -" + (hostile ? space() : QStringLiteral(" ")) + u' ' + pending.url + u" -------\n";
    block += mutateLine(QStringLiteral("[Response Status]"),
        pick(QList<QString> {
            QStringLiteral("200"), QStringLiteral("201"), QStringLiteral("404"), QStringLiteral("500"), QStringLiteral("999") }));
    block += QStringLiteral("[Response Type] application/json\n[Response Time] 9:36\n");
    if (!hostile || chance(90))
        block += u"[Response Headers]\n" + responseHeaders(pending.identifier) + u"\n\n";
    if (!hostile || chance(90))
        block += u"[Response Body]\n" + body(true) + u'\n';
    block += u"-------END RESPONSE - " + pending.url + u" -------\n\n";
    return finishBlock(block);
}

QString NetfoxLogGenerator::noise()
{
    return pick(QList<QString> {
        QStringLiteral("-------END REQUEST - stray -------\n"),
        QStringLiteral("------- half a marker\n"),
        QStringLiteral("--------------START REQUEST -  https://api.example.com/dashes -------\n"),
        QStringLiteral("-------START REQUEST -https://api.example.com/nospace -------\n"),
        QStringLiteral("-------START RESPONSE -  https://api.example.com/v2/cart -------\n"),
        QStringLiteral("-------START REQUEST -  \n-------\n[Request Date] 2026-12-06 08:36:50 +0000\n"),
        QStringLiteral("random text between blocks\r\n"),
        QStringLiteral("--------\n"),
    });
}
