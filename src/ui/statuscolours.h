#pragma once

#include <QColor>
#include <QPalette>

// The status colours every screen shares (passed, failed, a warning, a
// note), in tones that keep their contrast as text on a light and on a dark
// window. Main thread.
namespace StatusColours {

enum class Tone { Success, Failure, Warning, Info };

// Whether the palette's base colour is dark (a dark theme).
bool isDark(const QPalette &palette);
QColor color(Tone tone, const QPalette &palette);

} // namespace StatusColours
