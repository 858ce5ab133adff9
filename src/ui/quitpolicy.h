#pragma once

#include <QString>

#include <functional>

// The rules that decide whether the application may quit and whether its
// main window may close. Quitting a set-up application asks the user once
// (a run in progress would be killed); after one "yes" nothing asks again.
// Before setup is complete the application quits without asking. Closing the
// main window leads through the same question and then quits the whole
// application; the settings window always just closes.
//
// The questions come in as functions, so tests replace the alert and the
// settings store. Owned by AppDelegate; main thread.
class QuitPolicy final
{
public:
    using Question = std::function<bool()>;

    enum class CloseDecision {
        Allow,              // let the window close
        Refuse,             // keep it open
        RefuseAndTerminate, // keep it open and ask the application to quit
    };

    QuitPolicy(Question hasCompletedSetup, Question confirmQuit);

    // The application is asked to terminate: true to go ahead, false to
    // cancel the termination.
    bool shouldTerminate();

    // A window with this identifier (its object name) is asked to close.
    CloseDecision shouldClose(const QString &windowIdentifier);

    bool isConfirmedQuit() const { return m_isConfirmedQuit; }

private:
    Question m_hasCompletedSetup;
    Question m_confirmQuit;
    bool m_isConfirmedQuit = false;
};
