#pragma once

#include "networkhit.h"

#include <QString>
#include <QStringView>

// The text and colour rules of the traffic list and the exchange detail,
// kept apart from the widgets so they can be checked without a screen.
// Colours are roles; the widgets map them to the palette. Pure functions,
// any thread.
namespace NetworkHitDisplay {

enum class ColorRole { Blue, Green, Orange, Red, Grey };

// The tabs of the exchange detail.
enum class Side { Request = 0, Response = 1 };

// The badge colour of a method, compared upper-cased ("post" is green).
ColorRole methodColor(QStringView method);

// The colour of a response status in the list.
ColorRole statusColor(QStringView status);

// The status badge of the detail: green for a 2xx answer, red otherwise.
ColorRole detailStatusColor(QStringView status);

// The header text, or "No Headers" when it is blank.
QString headersText(const QString &headers);

// A JSON body pretty-printed with plain slashes; anything else unchanged.
QString prettyBody(const QString &body);

// What the copy button of the detail puts on the clipboard for one side.
QString copyContent(const NetworkHit &hit, Side side);

// copyContent with the body already pretty-printed (a large body is
// formatted once, off the main thread, and reused here).
QString copyContent(const QString &headers, const QString &prettyBodyText);

} // namespace NetworkHitDisplay
