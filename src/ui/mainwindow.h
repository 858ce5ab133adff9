#pragma once

#include <QMainWindow>

class QTabWidget;

// The one main window: the "Workspace", "History" and "Settings" tabs over a
// footer with the product name and version. Lives on the main thread.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    QTabWidget *tabs() const { return m_tabs; }

private:
    QTabWidget *m_tabs = nullptr;
};
