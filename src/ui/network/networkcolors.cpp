#include "networkcolors.h"

#include <QAbstractButton>

using NetworkHitDisplay::ColorRole;

namespace NetworkColors {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

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
    const bool dark = isDark(palette);
    switch (role) {
    case ColorRole::Blue:
        return dark ? QColor(0x4c, 0x9c, 0xff) : QColor(0x0a, 0x5c, 0xd6);
    case ColorRole::Green:
        return dark ? QColor(0x3f, 0xd0, 0x66) : QColor(0x1a, 0x84, 0x3c);
    case ColorRole::Orange:
        return dark ? QColor(0xff, 0xb3, 0x40) : QColor(0xb8, 0x5c, 0x00);
    case ColorRole::Red:
        return dark ? QColor(0xff, 0x6b, 0x61) : QColor(0xc8, 0x26, 0x1c);
    case ColorRole::Grey:
        break;
    }
    return dark ? QColor(0x98, 0x98, 0x9d) : QColor(0x7c, 0x7c, 0x82);
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
