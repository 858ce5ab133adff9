#pragma once

#include "quitpolicy.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QMessageBox;
class QWidget;

// Connects the application's quit and window-close requests to QuitPolicy,
// shows the quit confirmation, and kills every child process the command
// executor started when the application terminates. Create one, before the
// main window is shown; it lives on the main thread as long as the
// application.
class AppDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
    // Defaults: setup state read from the settings store at each question,
    // the modal quit alert, QCoreApplication::quit.
    explicit AppDelegate(QObject *parent = nullptr);
    AppDelegate(QuitPolicy::Question hasCompletedSetup, QuitPolicy::Question confirmQuit,
                std::function<void()> requestTermination, QObject *parent = nullptr);
    ~AppDelegate() override;

    // Posts attachWindowDelegates() to the event loop (after launch).
    void scheduleAttachWindowDelegates();

    // Applies the close policy to every top-level main window that has an
    // identifier (object name) without "Settings" in it. Other windows keep
    // their own behaviour.
    void attachWindowDelegates();

    const QuitPolicy &policy() const { return m_policy; }

    // The quit confirmation, set up but not shown.
    static QMessageBox *createQuitAlert(QWidget *parent = nullptr);
    // Shows it modally; true when the user chose "Keluar".
    static bool confirmQuitWithAlert();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QuitPolicy m_policy;
    std::function<void()> m_requestTermination;
    QList<QPointer<QWidget>> m_windows;
    bool m_quitAccepted = false;
};
