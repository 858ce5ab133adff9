#pragma once

// The three pages of first-run onboarding and the moves between them:
// "Next" and "Back" walk the pages, "Complete Setup" replaces "Next" on the
// last one. A plain value owned by the onboarding sheet.
class OnboardingSteps final
{
public:
    enum Step { Welcome, Prerequisites, FinalSetup, StepCount };

    Step current() const { return m_step; }

    bool showsBack() const { return m_step != Welcome; }
    bool showsNext() const { return m_step != FinalSetup; }
    bool showsCompleteSetup() const { return m_step == FinalSetup; }

    // Each answers whether the step changed.
    bool next();
    bool back();

private:
    Step m_step = Welcome;
};
