#include "symbolicons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <QtGlobal>

#include <array>
#include <utility>

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
    // The console bar and the network page.
    SymbolIcons::Entry { "magnifyingglass", "edit-find", ":/icons/magnifyingglass.svg" },
    SymbolIcons::Entry { "rectangle.3.group", "view-list-tree", ":/icons/rectangle.3.group.svg" },
    SymbolIcons::Entry { "doc.on.doc", "edit-copy", ":/icons/doc.on.doc.svg" },
    SymbolIcons::Entry { "trash", "edit-delete", ":/icons/trash.svg" },
    SymbolIcons::Entry { "network", "network-wired", ":/icons/network.svg" },
    // The network page's bar and the exchange detail.
    SymbolIcons::Entry { "checkmark", "object-select", ":/icons/checkmark.svg" },
    SymbolIcons::Entry { "square.and.arrow.up", "document-export", ":/icons/square.and.arrow.up.svg" },
    SymbolIcons::Entry { "terminal", "utilities-terminal", ":/icons/terminal.svg" },
    // History screen: status marks, the empty state and the row actions.
    SymbolIcons::Entry { "checkmark.circle.fill", "emblem-ok", ":/icons/checkmark.circle.fill.svg" },
    SymbolIcons::Entry { "xmark.circle.fill", "dialog-error", ":/icons/xmark.circle.fill.svg" },
    SymbolIcons::Entry { "questionmark.circle.fill", "dialog-question", ":/icons/questionmark.circle.fill.svg" },
    SymbolIcons::Entry { "tray", "mail-folder-inbox", ":/icons/tray.svg" },
    SymbolIcons::Entry { "safari", "web-browser", ":/icons/safari.svg" },
    // Device mirroring panel.
    SymbolIcons::Entry { "desktopcomputer", "computer", ":/icons/desktopcomputer.svg" },
    SymbolIcons::Entry { "eye.slash", "view-hidden", ":/icons/eye.slash.svg" },
    SymbolIcons::Entry { "lock.shield", "security-medium", ":/icons/lock.shield.svg" },
    SymbolIcons::Entry { "cable.connector.slash", "network-wired-disconnected", ":/icons/cable.connector.slash.svg" },
};

// Our SVGs draw their neutral parts in this grey; it is replaced by a colour
// of the current palette when they are painted, so they keep their contrast
// in dark mode and on a selected row. Coloured parts keep their colours.
constexpr char kNeutralGrey[] = "#5f6368";

QColor blend(const QColor &a, const QColor &b, qreal weightOfA)
{
    return QColor::fromRgbF(float(a.redF() * weightOfA + b.redF() * (1 - weightOfA)),
        float(a.greenF() * weightOfA + b.greenF() * (1 - weightOfA)),
        float(a.blueF() * weightOfA + b.blueF() * (1 - weightOfA)));
}

class TintedSvgEngine final : public QIconEngine
{
public:
    explicit TintedSvgEngine(QString resource)
        : m_resource(std::move(resource))
    {
        QFile file(m_resource);
        if (file.open(QIODevice::ReadOnly))
            m_svg = file.readAll();
    }

    QIconEngine *clone() const override { return new TintedSvgEngine(*this); }
    QString key() const override { return QStringLiteral("KestruneTintedSvg"); }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    bool isNull() override { return m_svg.isEmpty(); }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return { QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(64, 64) };
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const QColor colour = tint(mode);
        const QString cacheKey = QStringLiteral("kestrune-icon:%1:%2x%3:%4")
                                     .arg(m_resource)
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(colour.rgba(), 0, 16);
        QPixmap picture;
        if (QPixmapCache::find(cacheKey, &picture))
            return picture;
        QByteArray svg = m_svg;
        svg.replace(kNeutralGrey, colour.name(QColor::HexRgb).toLatin1());
        QSvgRenderer renderer(svg);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        if (renderer.isValid() && !size.isEmpty()) {
            QPainter painter(&image);
            QSizeF drawn = renderer.defaultSize();
            drawn.scale(QSizeF(size), Qt::KeepAspectRatio);
            renderer.render(&painter, QRectF(QPointF((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2), drawn));
        }
        picture = QPixmap::fromImage(std::move(image));
        QPixmapCache::insert(cacheKey, picture);
        return picture;
    }

private:
    static QColor tint(QIcon::Mode mode)
    {
        const QPalette palette = QGuiApplication::palette();
        switch (mode) {
        case QIcon::Selected:
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        case QIcon::Disabled:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case QIcon::Normal:
        case QIcon::Active:
            break;
        }
        // A little softer than the text, as secondary symbols are.
        return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.72);
    }

    QString m_resource;
    QByteArray m_svg;
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

QIcon SymbolIcons::ownIcon(QStringView symbol)
{
    const Entry *entry = find(symbol);
    if (!entry)
        return {};
    initResources();
    return QIcon(new TintedSvgEngine(QString::fromLatin1(entry->resource)));
}

QIcon SymbolIcons::icon(QStringView symbol)
{
    const Entry *entry = find(symbol);
    if (!entry)
        return {};
    initResources();
    const QIcon fallback(new TintedSvgEngine(QString::fromLatin1(entry->resource)));
    return QIcon::fromTheme(QString::fromLatin1(entry->themeName), fallback);
}
