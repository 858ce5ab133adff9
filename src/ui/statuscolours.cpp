#include "statuscolours.h"

namespace StatusColours {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

QColor color(Tone tone, const QPalette &palette)
{
    const bool dark = isDark(palette);
    switch (tone) {
    case Tone::Success:
        return dark ? QColor(0x4c, 0xd9, 0x64) : QColor(0x1f, 0x8a, 0x3a);
    case Tone::Failure:
        return dark ? QColor(0xff, 0x6b, 0x61) : QColor(0xd0, 0x21, 0x1b);
    case Tone::Warning:
        return dark ? QColor(0xff, 0xb3, 0x40) : QColor(0xb8, 0x5c, 0x00);
    case Tone::Info:
        break;
    }
    return dark ? QColor(0x5e, 0xa8, 0xff) : QColor(0x1a, 0x62, 0xd6);
}

} // namespace StatusColours
