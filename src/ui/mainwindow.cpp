#include "mainwindow.h"

#include "console/consolepanel.h"
#include "mirror/capturebackend.h"
#include "mirror/capturebackends.h"
#include "mirror/devicemirrorview.h"
#include "devices/devicedetector.h"
#include "history/historyview.h"
#include "network/networktrafficview.h"
#include "process/commandexecutor.h"
#include "reports/desktopopeners.h"
#include "reports/reportmanager.h"
#include "runner/runconfigurationstate.h"
#include "runner/runnerviewmodel.h"
#include "settings/logging.h"
#include "settings/settingsstore.h"
#include "setup/onboardingview.h"
#include "setup/settingsview.h"
#include "symbolicons.h"
#include "workspace/configheaderview.h"
#include "workspace/workspacetreeview.h"
#include "workspace/yamlviewerdialog.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The narrowest window that starts with the mirror panel shown.
constexpr int kMirrorRoomWidth = 1000;

// "Run Test (Ctrl+R)": the shortcut in the platform's own spelling.
QString withShortcut(const QString &text, const QKeySequence &shortcut)
{
    return QStringLiteral("%1 (%2)").arg(text, shortcut.toString(QKeySequence::NativeText));
}

std::shared_ptr<ReportManager> desktopReportManager()
{
    auto manager = std::make_shared<ReportManager>();
    DesktopOpeners::wire(*manager);
    return manager;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_executor(std::make_unique<CommandExecutor>())
    , m_captureBackend(CaptureBackends::create())
    , m_runner(std::make_unique<RunnerViewModel>(
          std::make_shared<DeviceDetector>(), m_executor.get(), desktopReportManager()))
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
    m_tabs->addTab(buildWorkspaceScreen(), SymbolIcons::icon(u"play.circle"), tr("Workspace"));
    m_history = new HistoryView({}, m_tabs);
    m_tabs->addTab(m_history, SymbolIcons::icon(u"clock.fill"), tr("History"));
    m_settings = new SettingsView(m_tabs);
    m_tabs->addTab(m_settings, SymbolIcons::icon(u"gearshape"), tr("Settings"));
    layout->addWidget(m_tabs, 1);
    // The history is read again each time its tab comes on screen, and when
    // a run's reports are written while it is shown.
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == HistoryTab)
            m_history->reload();
    });
    connect(m_runner.get(), &RunnerViewModel::reportGenerated, this, [this] {
        if (m_tabs->currentIndex() == HistoryTab)
            m_history->reload();
    });

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
    buildMenus();
    bindYamlViewer(m_runner.get(), this);
    resize(1280, 800);
}

MainWindow::~MainWindow()
{
    // The views go before the controller they observe.
    delete takeCentralWidget();
}

QWidget *MainWindow::buildWorkspaceScreen()
{
    m_splitter = new QSplitter(Qt::Horizontal, m_tabs);
    m_splitter->setObjectName(QStringLiteral("workspaceSplitter"));
    m_splitter->setChildrenCollapsible(false);

    m_tree = new WorkspaceTreeView(m_runner.get(), m_splitter);
    m_tree->setMinimumWidth(200);
    m_tree->setMaximumWidth(350);
    m_splitter->addWidget(m_tree);

    auto *centre = new QWidget(m_splitter);
    centre->setObjectName(QStringLiteral("workspaceCentre"));
    auto *centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(0);
    m_header = new ConfigHeaderView(m_runner.get(), centre);
    centreLayout->addWidget(m_header);
    auto *divider = new QFrame(centre);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    centreLayout->addWidget(divider);
    m_console = new ConsolePanel(m_runner.get(), centre);
    // The console keeps a few lines' room however many variables the
    // header lists.
    m_console->setMinimumHeight(170);
    m_networkView = new NetworkTrafficView(m_runner.get(), m_console);
    m_console->setNetworkView(m_networkView);
    centreLayout->addWidget(m_console, 1);
    m_splitter->addWidget(centre);

    // The mirrored device screen, shown from the start; the toolbar's
    // toggle hides and shows it.
    m_mirrorPanel = new DeviceMirrorView(m_runner.get(), m_captureBackend.get(), m_splitter);
    m_mirrorPanel->setMinimumWidth(250);
    m_mirrorPanel->setMaximumWidth(400);
    m_splitter->addWidget(m_mirrorPanel);

    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setStretchFactor(2, 0);
    m_splitter->setSizes({ 250, 1000, 300 });
    return m_splitter;
}

void MainWindow::buildMenus()
{
    RunnerViewModel *runner = m_runner.get();

    m_importAction = new QAction(SymbolIcons::icon(u"folder.badge.plus"), tr("Import Workspace..."), this);
    m_importAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_importAction, &QAction::triggered, m_tree, &WorkspaceTreeView::chooseWorkspace);

    auto *quit = new QAction(tr("Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    auto *about = new QAction(tr("About %1").arg(QString::fromLatin1(kestrune::kProductName)), this);
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        auto *box = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kestrune::kProductName),
            QStringLiteral("%1 %2").arg(QString::fromLatin1(kestrune::kProductName), kestrune::appVersion()),
            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });

    m_runAction = new QAction(SymbolIcons::icon(u"play.fill"), tr("Run Test"), this);
    m_runAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_runAction, &QAction::triggered, runner, &RunnerViewModel::runTest);
    m_stopAction = new QAction(SymbolIcons::icon(u"stop.fill"), tr("Stop"), this);
    m_stopAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    connect(m_stopAction, &QAction::triggered, runner, &RunnerViewModel::stopRun);
    m_refreshDevicesAction = new QAction(SymbolIcons::icon(u"arrow.clockwise"), tr("Refresh Devices"), this);
    m_refreshDevicesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(m_refreshDevicesAction, &QAction::triggered, runner, &RunnerViewModel::refreshDevices);

    m_hierarchyAction = new QAction(SymbolIcons::icon(u"rectangle.3.group"), tr("Check UI Hierarchy"), this);
    m_hierarchyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    connect(m_hierarchyAction, &QAction::triggered, runner, &RunnerViewModel::fetchHierarchy);

    m_focusFilterAction = new QAction(tr("Filter Console"), this);
    m_focusFilterAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(m_focusFilterAction, &QAction::triggered, this, [this] {
        m_tabs->setCurrentIndex(WorkspaceTab);
        // The search of the segment on screen: the console filter, or the
        // network list's search.
        if (m_console->segment() == ConsolePanel::NetworkSegment)
            m_networkView->focusSearch();
        else
            m_console->focusFilter();
    });

    m_mirrorAction = new QAction(SymbolIcons::icon(u"sidebar.right"), tr("Tampilkan/Sembunyikan Device Mirroring"), this);
    m_mirrorAction->setCheckable(true);
    m_mirrorAction->setChecked(m_mirrorPanel->isVisibleTo(m_splitter));
    connect(m_mirrorAction, &QAction::toggled, m_mirrorPanel, &QWidget::setVisible);

    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(m_importAction);
    file->addSeparator();
    file->addAction(quit);
    QMenu *run = menuBar()->addMenu(tr("&Run"));
    run->addAction(m_runAction);
    run->addAction(m_stopAction);
    run->addAction(m_hierarchyAction);
    run->addSeparator();
    run->addAction(m_refreshDevicesAction);
    QMenu *view = menuBar()->addMenu(tr("&View"));
    view->addAction(m_focusFilterAction);
    view->addAction(m_mirrorAction);
    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(about);

#ifdef Q_OS_MACOS
    // The unified title bar and toolbar, the mirror toggle at its end.
    QToolBar *toolbar = addToolBar(tr("Main Toolbar"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    toolbar->addAction(m_mirrorAction);
    QWidget *mirrorButton = toolbar->widgetForAction(m_mirrorAction);
    setUnifiedTitleAndToolBarOnMac(true);
#else
    // Elsewhere a toolbar row for one button costs the console its height:
    // the toggle sits at the right end of the tab bar.
    auto *mirrorButton = new QToolButton(m_tabs);
    mirrorButton->setObjectName(QStringLiteral("mirrorToggle"));
    mirrorButton->setDefaultAction(m_mirrorAction);
    mirrorButton->setAutoRaise(true);
    mirrorButton->setIconSize(QSize(18, 18));
    m_tabs->setCornerWidget(mirrorButton, Qt::TopRightCorner);
#endif
    if (mirrorButton)
        mirrorButton->setAccessibleName(m_mirrorAction->text());

    // Tooltips carry the shortcuts.
    m_header->runButton()->setToolTip(withShortcut(tr("Run Test"), m_runAction->shortcut()));
    m_header->stopButton()->setToolTip(withShortcut(tr("Stop"), m_stopAction->shortcut()));
    m_header->deviceRefreshButton()->setToolTip(
        withShortcut(tr("Refresh Devices"), m_refreshDevicesAction->shortcut()));
    m_tree->importButton()->setToolTip(withShortcut(tr("Import Workspace"), m_importAction->shortcut()));
    m_console->hierarchyButton()->setToolTip(withShortcut(tr("Check UI Hierarchy"), m_hierarchyAction->shortcut()));
    for (QAction *action :
        { m_runAction, m_stopAction, m_refreshDevicesAction, m_importAction, m_focusFilterAction, m_hierarchyAction })
        action->setToolTip(withShortcut(action->text().remove(QStringLiteral("...")), action->shortcut()));

    for (auto signal : { &RunnerViewModel::isRunningChanged, &RunnerViewModel::workspaceURLChanged,
             &RunnerViewModel::selectedFlowRelativePathChanged, &RunnerViewModel::selectedDeviceIdChanged,
             &RunnerViewModel::selectedAppIdChanged, &RunnerViewModel::isRefreshingDevicesChanged })
        connect(runner, signal, this, &MainWindow::updateActions);
    updateActions();
}

void MainWindow::updateActions()
{
    const RunConfigurationState state = RunConfigurationState::compute(RunConfigurationState::inputOf(*m_runner));
    m_runAction->setEnabled(state.showsRunButton && state.runEnabled);
    m_stopAction->setEnabled(!state.showsRunButton);
    m_refreshDevicesAction->setEnabled(state.deviceRefreshEnabled);
    m_hierarchyAction->setEnabled(!m_runner->isRunning());
}

void MainWindow::openWorkspace(const QString &path)
{
    m_tabs->setCurrentIndex(WorkspaceTab);
    m_runner->selectWorkspace(path);
}

void MainWindow::presentOnboardingIfNeeded()
{
    if (m_onboarding || SettingsStore().hasCompletedSetup())
        return;
    m_onboarding = new OnboardingView(this);
    m_onboarding->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_onboarding, &OnboardingView::setupCompleted, this, [this] {
        m_onboarding = nullptr;
        m_tabs->setCurrentIndex(WorkspaceTab);
    });
    // Nothing is stored and no question is asked: setup is not complete.
    connect(m_onboarding, &OnboardingView::quitRequested, qApp, [] { QCoreApplication::exit(0); });
    m_onboarding->open();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The mirror panel starts shown where the window has room for it beside
    // the tree and the console; a narrow window starts without it (the
    // toolbar's toggle shows it).
    if (!std::exchange(m_mirrorPlaced, true) && width() < kMirrorRoomWidth)
        m_mirrorAction->setChecked(false);
}

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
