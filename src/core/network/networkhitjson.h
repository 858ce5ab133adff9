#pragma once

#include "networkhit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Exchanges as JSON for scripts: one object per exchange with the nine
// fields under their own names. Pure functions, any thread.
namespace NetworkHitJson {

// ISO 8601 with milliseconds and the time's own UTC offset, always written
// as "+hh:mm" ("2026-12-06T08:36:44.000+00:00").
QString isoTimestamp(const QDateTime &time);

QJsonObject toJson(const NetworkHit &hit);
QJsonArray toJson(const NetworkHitList &hits);

} // namespace NetworkHitJson
