#include "quitpolicy.h"

QuitPolicy::QuitPolicy(Question hasCompletedSetup, Question confirmQuit)
    : m_hasCompletedSetup(std::move(hasCompletedSetup))
    , m_confirmQuit(std::move(confirmQuit))
{
}

bool QuitPolicy::shouldTerminate()
{
    if (m_isConfirmedQuit)
        return true;
    if (!m_hasCompletedSetup())
        return true;
    if (!m_confirmQuit())
        return false;
    m_isConfirmedQuit = true;
    return true;
}

QuitPolicy::CloseDecision QuitPolicy::shouldClose(const QString &windowIdentifier)
{
    if (m_isConfirmedQuit)
        return CloseDecision::Allow;
    if (windowIdentifier.contains(QLatin1String("Settings")))
        return CloseDecision::Allow;
    if (m_hasCompletedSetup() && !m_confirmQuit())
        return CloseDecision::Refuse;
    // The window goes away with the application; the quit that follows does
    // not ask again.
    m_isConfirmedQuit = true;
    return CloseDecision::RefuseAndTerminate;
}
