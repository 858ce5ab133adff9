#include "symbolicons.h"

#include <QtGlobal>

#include <array>

namespace {

constexpr std::array kEntries {
    SymbolIcons::Entry { "play.circle", "media-playback-start", ":/icons/play.circle.svg" },
    SymbolIcons::Entry { "clock.fill", "document-open-recent", ":/icons/clock.fill.svg" },
    SymbolIcons::Entry { "gearshape", "preferences-system", ":/icons/gearshape.svg" },
    // Workspace screen: header, tree and toolbar.
    SymbolIcons::Entry { "arrow.clockwise", "view-refresh", ":/icons/arrow.clockwise.svg" },
    SymbolIcons::Entry { "arrow.triangle.2.circlepath", "view-refresh", ":/icons/arrow.triangle.2.circlepath.svg" },
    SymbolIcons::Entry { "play.fill", "media-playback-start", ":/icons/play.fill.svg" },
    SymbolIcons::Entry { "stop.fill", "media-playback-stop", ":/icons/stop.fill.svg" },
    SymbolIcons::Entry { "chart.bar.doc.horizontal", "x-office-document", ":/icons/chart.bar.doc.horizontal.svg" },
    SymbolIcons::Entry { "gearshape.fill", "preferences-system", ":/icons/gearshape.fill.svg" },
    SymbolIcons::Entry { "folder", "folder", ":/icons/folder.svg" },
    SymbolIcons::Entry { "folder.badge.plus", "folder-new", ":/icons/folder.badge.plus.svg" },
    SymbolIcons::Entry { "folder.badge.questionmark", "folder", ":/icons/folder.badge.questionmark.svg" },
    SymbolIcons::Entry { "doc", "text-x-generic", ":/icons/doc.svg" },
    SymbolIcons::Entry { "doc.text", "text-x-script", ":/icons/doc.text.svg" },
    SymbolIcons::Entry { "eye", "view-reveal", ":/icons/eye.svg" },
    SymbolIcons::Entry { "sidebar.right", "view-right-pane", ":/icons/sidebar.right.svg" },
    // Device mirroring panel.
    SymbolIcons::Entry { "desktopcomputer", "computer", ":/icons/desktopcomputer.svg" },
    SymbolIcons::Entry { "eye.slash", "view-hidden", ":/icons/eye.slash.svg" },
    SymbolIcons::Entry { "lock.shield", "security-medium", ":/icons/lock.shield.svg" },
    SymbolIcons::Entry { "cable.connector.slash", "network-wired-disconnected", ":/icons/cable.connector.slash.svg" },
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
