#include "mainwindow.h"

#include "settings/logging.h"
#include "symbolicons.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Stands in for a screen that is not built yet.
QWidget *placeholder(const QString &symbol, const QString &title, QWidget *parent)
{
    auto *page = new QWidget(parent);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(1);

    auto *icon = new QLabel(page);
    icon->setPixmap(SymbolIcons::icon(symbol).pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto *heading = new QLabel(title, page);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    auto *note = new QLabel(MainWindow::tr("This screen is not available yet."), page);
    note->setAlignment(Qt::AlignCenter);
    note->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(note);

    layout->addStretch(1);
    return page;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString::fromLatin1(kestrune::kProductName));
    setWindowIcon(SymbolIcons::icon(u"play.circle"));
    setMinimumSize(800, 500);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(0);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("mainTabs"));
    m_tabs->setDocumentMode(true);
    m_tabs->tabBar()->setExpanding(false);
    struct TabSpec
    {
        const char *symbol;
        QString title;
    };
    const TabSpec specs[] = {
        { "play.circle", tr("Workspace") },
        { "clock.fill", tr("History") },
        { "gearshape", tr("Settings") },
    };
    for (const TabSpec &spec : specs) {
        const QString symbol = QString::fromLatin1(spec.symbol);
        m_tabs->addTab(placeholder(symbol, spec.title, m_tabs), SymbolIcons::icon(symbol), spec.title);
    }
    layout->addWidget(m_tabs, 1);

    auto *divider = new QFrame(central);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_footer = new QLabel(QStringLiteral("%1 %2").arg(QString::fromLatin1(kestrune::kProductName), kestrune::appVersion()),
                          central);
    m_footer->setObjectName(QStringLiteral("footer"));
    m_footer->setAlignment(Qt::AlignCenter);
    m_footer->setContentsMargins(0, 4, 0, 5);
    applyFooterStyle();
    layout->addWidget(m_footer);

    setCentralWidget(central);
    resize(1200, 760);
}

MainWindow::~MainWindow() = default;

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && m_footer)
        applyFooterStyle();
    QMainWindow::changeEvent(event);
}

void MainWindow::applyFooterStyle()
{
    // A small secondary text: the window text colour at reduced opacity, so
    // it follows light and dark palettes.
    QFont font = m_footer->font();
    font.setPointSize(10);
    m_footer->setFont(font);
    QColor secondary = palette().color(QPalette::WindowText);
    secondary.setAlphaF(0.5);
    QPalette footerPalette = m_footer->palette();
    footerPalette.setColor(QPalette::WindowText, secondary);
    m_footer->setPalette(footerPalette);
}
