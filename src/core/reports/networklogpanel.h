#pragma once

#include "network/networkhit.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The collapsible "Netfox Network Log" panel that the runner's report.html
// gets: a script block, put before every "</body>" (or at the end), that
// shows the run's exchanges as plain text. Stateless; report worker.
namespace NetworkLogPanel {

// The script block for these exchanges (their text forms, two line breaks
// apart, as one JSON string literal).
QString script(const NetworkHitList &hits);

// Inserts the panel into `html` in place of any panel put there before; no
// panel when the log has no exchanges at or after `since`. True when the text
// changed.
// Takes out every panel an earlier patch put in; true when there was one.
bool removeEmbedded(QString &html);

bool embed(QString &html, const QString &networkLogFile, const std::optional<QDateTime> &since);

} // namespace NetworkLogPanel
