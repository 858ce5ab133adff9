#pragma once

#include "setup/onboardingsteps.h"
#include "setup/settingsform.h"

#include <QDialog>

class EnvironmentCheckRow;
class EnvironmentCheckViewModel;
class MaestroPathConfigView;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class StepDots;
class ValidationIndicator;

// First-run onboarding, a sheet over the main window until setup is
// complete: welcome, the prerequisites (checked again each time the page is
// shown) and the final settings. "Complete Setup" stores the three values
// trimmed, marks setup complete and closes the sheet; "Quit" asks the
// application to end without storing anything. Escape and the window's
// close button do not dismiss it. Main thread.
class OnboardingView final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OnboardingView)

public:
    explicit OnboardingView(QWidget *parent = nullptr);

    EnvironmentCheckViewModel *checkViewModel() const { return m_checks; }
    OnboardingSteps::Step currentStep() const { return m_steps.current(); }
    SettingsForm edited() const;

    QPushButton *nextButton() const { return m_next; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *completeButton() const { return m_complete; }
    QPushButton *quitButton() const { return m_quit; }
    QLineEdit *outputField() const { return m_output; }
    MaestroPathConfigView *runnerPathEditor() const { return m_runner; }
    QLineEdit *teamIdField() const { return m_team; }
    EnvironmentCheckRow *prerequisiteRow(int index) const;

public Q_SLOTS:
    void next();
    void back();
    void completeSetup();

Q_SIGNALS:
    void setupCompleted();
    void quitRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Escape lands here: the sheet stays until setup is complete.
    void reject() override { }

private:
    QWidget *buildWelcome();
    QWidget *buildPrerequisites();
    QWidget *buildFinalSetup();
    void showStep();
    void slide(int from);
    void updateComplete();
    void refreshPrerequisite(int index);
    void browseOutput();

    OnboardingSteps m_steps;
    EnvironmentCheckViewModel *m_checks = nullptr;
    bool m_completed = false;
    bool m_compact = false;

    QStackedWidget *m_pages = nullptr;
    StepDots *m_dots = nullptr;
    QPushButton *m_quit = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_complete = nullptr;
    EnvironmentCheckRow *m_runnerRow = nullptr;
    EnvironmentCheckRow *m_xcodeRow = nullptr;
    QLineEdit *m_output = nullptr;
    QToolButton *m_outputBrowse = nullptr;
    MaestroPathConfigView *m_runner = nullptr;
    QLineEdit *m_team = nullptr;
    ValidationIndicator *m_teamIndicator = nullptr;
};
