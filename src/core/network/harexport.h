#pragma once

#include "networkhit.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// Exchanges as an HTTP Archive (HAR 1.2) document, so that a run's traffic
// opens in browser developer tools and desktop network inspectors. The log
// records neither timings nor the HTTP version, so timings are 0 and every
// exchange is written as HTTP/1.1; an exchange without a response has status
// 0 and the logged status text ("TIMEOUT"). Pure functions, any thread.
namespace HarExport {

// Header pairs read back from cleaned-up header text ("Name: value" lines;
// a value quoted as a whole loses its quotation marks). None for the
// "No ... Headers" placeholders.
QList<QPair<QString, QString>> headerPairs(const QString &headerText);

QJsonObject document(const NetworkHitList &hits, const QString &creatorName, const QString &creatorVersion);

} // namespace HarExport
