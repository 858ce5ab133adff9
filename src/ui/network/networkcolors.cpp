#include "networkcolors.h"

#include "statuscolours.h"

#include <QAbstractButton>

using NetworkHitDisplay::ColorRole;

namespace NetworkColors {

QColor badge(ColorRole role)
{
    // Deep enough for white text in both themes.
    switch (role) {
    case ColorRole::Blue:
        return QColor(0x1f, 0x6f, 0xeb);
    case ColorRole::Green:
        return QColor(0x1f, 0x8f, 0x44);
    case ColorRole::Orange:
        return QColor(0xc9, 0x6a, 0x04);
    case ColorRole::Red:
        return QColor(0xd1, 0x2f, 0x25);
    case ColorRole::Grey:
        break;
    }
    return QColor(0x6e, 0x6e, 0x73);
}

QColor text(ColorRole role, const QPalette &palette)
{
    using StatusColours::Tone;
    switch (role) {
    case ColorRole::Blue:
        return StatusColours::color(Tone::Info, palette);
    case ColorRole::Green:
        return StatusColours::color(Tone::Success, palette);
    case ColorRole::Orange:
        return StatusColours::color(Tone::Warning, palette);
    case ColorRole::Red:
        return StatusColours::color(Tone::Failure, palette);
    case ColorRole::Grey:
        break;
    }
    return StatusColours::isDark(palette) ? QColor(0x98, 0x98, 0x9d) : QColor(0x7c, 0x7c, 0x82);
}

void boldWhenChecked(QAbstractButton *button)
{
    auto apply = [button](bool checked) {
        QFont font = button->font();
        font.setBold(checked);
        button->setFont(font);
    };
    QObject::connect(button, &QAbstractButton::toggled, button, apply);
    apply(button->isChecked());
}

} // namespace NetworkColors
