#include "symbolicons.h"

#include <QtGlobal>

#include <array>

namespace {

constexpr std::array kEntries {
    SymbolIcons::Entry { "play.circle", "media-playback-start", ":/icons/play.circle.svg" },
    SymbolIcons::Entry { "clock.fill", "document-open-recent", ":/icons/clock.fill.svg" },
    SymbolIcons::Entry { "gearshape", "preferences-system", ":/icons/gearshape.svg" },
};

} // namespace

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void initResources()
{
    // The SVGs live in this static library; its resources need registering.
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(done);
}

const SymbolIcons::Entry *SymbolIcons::find(QStringView symbol)
{
    for (const Entry &entry : kEntries) {
        if (symbol == QLatin1String(entry.symbol))
            return &entry;
    }
    return nullptr;
}

QList<SymbolIcons::Entry> SymbolIcons::entries()
{
    return QList<Entry>(kEntries.begin(), kEntries.end());
}

QIcon SymbolIcons::icon(QStringView symbol)
{
    const Entry *entry = find(symbol);
    if (!entry)
        return {};
    initResources();
    const QIcon fallback(QString::fromLatin1(entry->resource));
    return QIcon::fromTheme(QString::fromLatin1(entry->themeName), fallback);
}
