#pragma once

#include <QMainWindow>

class QLabel;
class QTabWidget;

// The one main window: the "Workspace", "History" and "Settings" tabs over a
// divider and a one-line footer with the product name and version. Its
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

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyFooterStyle();

    QTabWidget *m_tabs = nullptr;
    QLabel *m_footer = nullptr;
};
