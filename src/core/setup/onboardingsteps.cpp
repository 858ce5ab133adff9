#include "onboardingsteps.h"

bool OnboardingSteps::next()
{
    if (!showsNext())
        return false;
    m_step = static_cast<Step>(m_step + 1);
    return true;
}

bool OnboardingSteps::back()
{
    if (!showsBack())
        return false;
    m_step = static_cast<Step>(m_step - 1);
    return true;
}
