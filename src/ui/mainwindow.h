#pragma once

#include <QMainWindow>

#include <memory>

class CaptureBackend;
class CommandExecutor;
class ConfigHeaderView;
class ConsolePanel;
class DeviceMirrorView;
class HistoryView;
class NetworkTrafficView;
class OnboardingView;
class QAction;
class QLabel;
class QSplitter;
class QTabWidget;
class RunnerViewModel;
class SettingsView;
class WorkspaceTreeView;

// The one main window: the "Workspace", "History" and "Settings" tabs over a
// divider and a one-line footer with the product name and version, a menu
// bar and a toolbar. The workspace tab is a splitter: the workspace tree,
// then the run configuration header over the console, then the device
// mirroring panel. The window creates
// the run controller once, with the real device, process and report
// services, and keeps it (and any run in progress) for its lifetime. Its
// object name "MainWindow" is the identifier the quit and close policy looks
// at. Lives on the main thread.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    enum Tab { WorkspaceTab, HistoryTab, SettingsTab };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    QTabWidget *tabs() const { return m_tabs; }
    QLabel *footer() const { return m_footer; }
    RunnerViewModel *runner() const { return m_runner.get(); }
    ConfigHeaderView *header() const { return m_header; }
    WorkspaceTreeView *workspaceTree() const { return m_tree; }
    ConsolePanel *consoleArea() const { return m_console; }
    HistoryView *history() const { return m_history; }
    QSplitter *splitter() const { return m_splitter; }
    DeviceMirrorView *mirrorPanel() const { return m_mirrorPanel; }
    SettingsView *settingsScreen() const { return m_settings; }
    // The onboarding sheet while it is shown, else nullptr.
    OnboardingView *onboarding() const { return m_onboarding; }

    QAction *runAction() const { return m_runAction; }
    QAction *stopAction() const { return m_stopAction; }
    QAction *importAction() const { return m_importAction; }
    QAction *refreshDevicesAction() const { return m_refreshDevicesAction; }
    QAction *focusFilterAction() const { return m_focusFilterAction; }
    QAction *hierarchyAction() const { return m_hierarchyAction; }
    QAction *mirrorAction() const { return m_mirrorAction; }

public Q_SLOTS:
    // Opens `path` as the workspace (the command line, a folder dropped on
    // the application).
    void openWorkspace(const QString &path);
    // Covers the window with the onboarding sheet until setup is complete
    // (nothing when the settings say it is). Call once the window is shown.
    void presentOnboardingIfNeeded();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildWorkspaceScreen();
    void buildMenus();
    void updateActions();
    void applyFooterStyle();

    // The executor outlives the controller that uses it.
    std::unique_ptr<CommandExecutor> m_executor;
    // The mirror panel's capture; outlives the panel (the central widget).
    std::unique_ptr<CaptureBackend> m_captureBackend;
    std::unique_ptr<RunnerViewModel> m_runner;

    QTabWidget *m_tabs = nullptr;
    QLabel *m_footer = nullptr;
    QSplitter *m_splitter = nullptr;
    WorkspaceTreeView *m_tree = nullptr;
    ConfigHeaderView *m_header = nullptr;
    ConsolePanel *m_console = nullptr;
    HistoryView *m_history = nullptr;
    NetworkTrafficView *m_networkView = nullptr;
    DeviceMirrorView *m_mirrorPanel = nullptr;
    SettingsView *m_settings = nullptr;
    OnboardingView *m_onboarding = nullptr;

    QAction *m_runAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_importAction = nullptr;
    QAction *m_refreshDevicesAction = nullptr;
    QAction *m_focusFilterAction = nullptr;
    QAction *m_hierarchyAction = nullptr;
    QAction *m_mirrorAction = nullptr;
    bool m_mirrorPlaced = false;
};
