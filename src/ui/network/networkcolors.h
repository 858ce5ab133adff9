#pragma once

#include "network/networkhitdisplay.h"

#include <QColor>
#include <QPalette>

class QAbstractButton;

// The palette colours behind the colour roles of the traffic list and the
// exchange detail, in a light and a dark variant. Main thread.
namespace NetworkColors {

// The fill of a badge that carries white text.
QColor badge(NetworkHitDisplay::ColorRole role);

// Coloured text on the list's base colour.
QColor text(NetworkHitDisplay::ColorRole role, const QPalette &palette);

// Shows a segment button's checked state in bold too: some styles (Fusion
// with a dark palette) draw checked and unchecked buttons nearly alike.
void boldWhenChecked(QAbstractButton *button);

} // namespace NetworkColors
