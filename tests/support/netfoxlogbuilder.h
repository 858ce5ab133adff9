#pragma once

#include <QString>
#include <QStringList>

// Small helpers that write request and response blocks the way the app's
// Netfox library prints them, for the parser's tests.
namespace NetfoxLogBuilder {

// `fields` are the lines between the start line and the end marker, e.g.
// "[Request Method] POST".
inline QString request(const QString &url, const QStringList &fields)
{
    return QStringLiteral("-------START REQUEST -  ") + url + QStringLiteral(" -------\n") + fields.join(u'\n')
        + QStringLiteral("\n-------END REQUEST - ") + url + QStringLiteral(" -------\n\n");
}

inline QString response(const QString &url, const QStringList &fields)
{
    return QStringLiteral("-------START RESPONSE -  ") + url + QStringLiteral(" -------\n") + fields.join(u'\n')
        + QStringLiteral("\n-------END RESPONSE - ") + url + QStringLiteral(" -------\n\n");
}

// A typical request: method, date, headers (as given) and body.
inline QString simpleRequest(const QString &url, const QString &method, const QString &date,
    const QString &headers = QStringLiteral("[:]"), const QString &body = QStringLiteral(" "))
{
    return request(url,
        { QStringLiteral("[Request Method] ") + method, QStringLiteral("[Request Date] ") + date,
            QStringLiteral("[Request Headers]"), headers, QStringLiteral("[Request Body]"), body });
}

inline QString simpleResponse(
    const QString &url, const QString &status, const QString &body, const QString &headers = QStringLiteral("[:]"))
{
    return response(url,
        { QStringLiteral("[Response Status] ") + status, QStringLiteral("[Response Headers]"), headers, QString(),
            QStringLiteral("[Response Body]"), body });
}

} // namespace NetfoxLogBuilder
