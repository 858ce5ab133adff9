#pragma once

#include "networkhit.h"

#include <QString>
#include <QStringView>

// A request seen in the app's traffic as a command line that replays it from
// a terminal: the method, the URL, the logged request headers and the body,
// each quoted for a POSIX shell. Pure functions, any thread.
namespace CurlCommand {

// `text` as one shell word: bare when the shell reads it as it is, else
// single-quoted with a quote inside written '\''.
QString shellQuote(QStringView text);

// One line (a body or header may hold line breaks, inside quotes).
QString command(const NetworkHit &hit);

// One command per exchange, each ending in a line break.
QString commands(const NetworkHitList &hits);

} // namespace CurlCommand
