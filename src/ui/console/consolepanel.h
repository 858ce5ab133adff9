#pragma once

#include "console/consolemirror.h"

#include <QPointer>
#include <QWidget>

class ConsoleView;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class RunnerViewModel;

// The console/network area of the workspace screen: a bar with the
// "Console" / "Network (N)" segments, the console filter, "Auto-Scroll" and
// the hierarchy, copy and clear buttons, above the console or the network
// page. It keeps the console view equal to the controller's filtered list.
// Owns only view state (the segment, the filter text, auto-scroll); the
// console itself is the controller's. Main thread.
class ConsolePanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsolePanel)

public:
    enum Segment { ConsoleSegment = 0, NetworkSegment = 1 };

    explicit ConsolePanel(RunnerViewModel *runner, QWidget *parent = nullptr);

    void focusFilter(); // Ctrl/Cmd+F
    ConsoleView *consoleView() const { return m_view; }
    QToolButton *hierarchyButton() const { return m_hierarchyButton; }
    // Installs the network traffic view in the network segment's place (the
    // panel takes ownership).
    void setNetworkView(QWidget *view);

    Segment segment() const;
    void setSegment(Segment segment);

private:
    void onFilterEdited(const QString &text);
    void onConsoleChanged();
    void renderInFull();
    void copyAllLogs();
    void clearConsole();
    void updateNetworkCount();
    void updateSegmentControls();

    RunnerViewModel *m_runner;
    ConsoleMirror m_mirror;
    ConsoleView *m_view = nullptr;
    QButtonGroup *m_segments = nullptr;
    QPushButton *m_consoleButton = nullptr;
    QPushButton *m_networkButton = nullptr;
    QLabel *m_magnifier = nullptr;
    QLineEdit *m_filter = nullptr;
    QCheckBox *m_autoScroll = nullptr;
    QToolButton *m_hierarchyButton = nullptr;
    QToolButton *m_copyButton = nullptr;
    QToolButton *m_clearButton = nullptr;
    QStackedWidget *m_stack = nullptr;
    QPointer<QWidget> m_networkPage;
};
