#pragma once

#include <QIcon>
#include <QString>
#include <QStringView>

// The symbols the interface names (macOS SF Symbol names such as
// "play.circle") mapped, in one table, to a freedesktop icon-theme name and
// to a small SVG of our own. icon() takes the theme's icon where the system
// has one and our SVG elsewhere (macOS, bare X servers). Main thread.
class SymbolIcons final
{
public:
    struct Entry
    {
        const char *symbol;
        const char *themeName;
        const char *resource;
    };

    static QIcon icon(QStringView symbol);
    // Always our own SVG: for icons drawn in one colour (tinted) or whose
    // shape must be the same on every system.
    static QIcon ownIcon(QStringView symbol);

    // The table row of `symbol`; nullptr for a symbol that is not in it.
    static const Entry *find(QStringView symbol);
    static QList<Entry> entries();
};
