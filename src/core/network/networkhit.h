#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One HTTP exchange from the app's Netfox log: a request, joined with its
// response when one was logged. A plain value; every field is set when it is
// built. Two hits are equal when all nine fields are (the times exactly).
struct NetworkHit
{
    QString id;
    QDateTime time; // the request date
    QString url;
    QString reqMethod;
    QString reqHeaders; // cleaned up, or "No Request Headers"
    QString reqBody;    // or "No Request Body"
    QString resStatus;  // as logged, or "TIMEOUT" when no response was paired
    QString resHeaders; // cleaned up, or "No Response Headers"
    QString resBody;    // or "No Response Body"

    bool operator==(const NetworkHit &) const = default;
};

using NetworkHitList = QList<NetworkHit>;
