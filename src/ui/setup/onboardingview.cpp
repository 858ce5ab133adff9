#include "onboardingview.h"

#include "environmentcheckrow.h"
#include "maestropathconfigview.h"
#include "settings/settingsstore.h"
#include "setup/environmentchecks.h"
#include "setup/environmentcheckviewmodel.h"
#include "setupstyle.h"
#include "stepdots.h"
#include "symbolicons.h"
#include "validationindicator.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel *picture(const char *name, int height, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(SetupStyle::image(name, height, parent->devicePixelRatioF()));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel *centredText(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

OnboardingView::OnboardingView(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OnboardingSheet"));
    setWindowTitle(tr("Set Up Kestrune"));
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    // 650 by 550, smaller on a window that is smaller than that (the pages
    // scroll, the pictures shrink).
    const int height = parent ? qMin(550, parent->height() - 24) : 550;
    m_compact = height < 540;
    setFixedSize(650, qMax(420, height));

    const SettingsStore store;
    m_checks = new EnvironmentCheckViewModel(
        store.maestroRunnerPath(), store.appleTeamIdForForm(), ToolPaths::fromEnvironment(), this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pages = new QStackedWidget(this);
    for (QWidget *page : { buildWelcome(), buildPrerequisites(), buildFinalSetup() }) {
        auto *scroll = new QScrollArea(m_pages);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(page);
        m_pages->addWidget(scroll);
    }
    layout->addWidget(m_pages, 1);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(20, 12, 20, 14);
    m_quit = new QPushButton(tr("Quit"), this);
    m_quit->setFlat(true);
    m_quit->setAutoDefault(false);
    m_quit->setCursor(Qt::PointingHandCursor);
    {
        QFont font = m_quit->font();
        font.setPointSizeF(font.pointSizeF() * 0.88);
        m_quit->setFont(font);
        QPalette palette = m_quit->palette();
        palette.setColor(QPalette::ButtonText, SetupStyle::color(SetupStyle::Tone::Neutral, palette));
        m_quit->setPalette(palette);
    }
    bar->addWidget(m_quit);
    bar->addStretch(1);
    m_dots = new StepDots(OnboardingSteps::StepCount, this);
    bar->addWidget(m_dots);
    bar->addStretch(1);
    m_back = new QPushButton(tr("Back"), this);
    m_back->setAutoDefault(false);
    m_next = new QPushButton(tr("Next"), this);
    m_next->setDefault(true);
    m_complete = new QPushButton(tr("Complete Setup"), this);
    bar->addWidget(m_back);
    bar->addWidget(m_next);
    bar->addWidget(m_complete);
    layout->addLayout(bar);

    connect(m_next, &QPushButton::clicked, this, &OnboardingView::next);
    connect(m_back, &QPushButton::clicked, this, &OnboardingView::back);
    connect(m_complete, &QPushButton::clicked, this, &OnboardingView::completeSetup);
    connect(m_quit, &QPushButton::clicked, this, &OnboardingView::quitRequested);
    connect(m_checks, &EnvironmentCheckViewModel::checkChanged, this, &OnboardingView::refreshPrerequisite);
    for (QLineEdit *field : { m_output, m_team })
        connect(field, &QLineEdit::textChanged, this, &OnboardingView::updateComplete);
    connect(m_runner, &MaestroPathConfigView::pathChanged, this, &OnboardingView::updateComplete);
    showStep();
}

QWidget *OnboardingView::buildWelcome()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(40, m_compact ? 16 : 36, 40, m_compact ? 12 : 24);
    layout->setSpacing(m_compact ? 10 : 16);
    layout->addStretch(1);
    layout->addWidget(picture("OnboardingWelcome", m_compact ? 150 : 200, page));
    auto *title = centredText(tr("Welcome to Kestrune"), page);
    {
        QFont font = title->font();
        font.setPointSize(32);
        font.setBold(true);
        title->setFont(font);
    }
    layout->addWidget(title);
    auto *text = centredText(tr("Your automated test runner companion. Kestrune simplifies the execution, history "
                                "tracking, and reporting of your UI tests."),
        page);
    SetupStyle::makeSecondary(text);
    layout->addWidget(text);
    layout->addStretch(1);
    return page;
}

QWidget *OnboardingView::buildPrerequisites()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(48, m_compact ? 14 : 28, 48, 16);
    layout->setSpacing(m_compact ? 10 : 14);
    layout->addWidget(picture("OnboardingPrereq", m_compact ? 96 : 140, page));
    auto *title = centredText(tr("Prerequisites"), page);
    SetupStyle::makeTitle(title, 1.6);
    layout->addWidget(title);

    m_runnerRow = new EnvironmentCheckRow(
        EnvironmentCheckRow::Style::Sentence, tr("Maestro is required to run automated UI tests."), page);
    m_xcodeRow = new EnvironmentCheckRow(
        EnvironmentCheckRow::Style::Sentence, tr("Xcode is required for iOS device interactions."), page);
    layout->addWidget(m_runnerRow);
    layout->addWidget(m_xcodeRow);
    refreshPrerequisite(EnvironmentChecks::RunnerRow);
    refreshPrerequisite(EnvironmentChecks::XcodeRow);

    auto *team = new QHBoxLayout;
    team->setSpacing(12);
    auto *icon = new QLabel(page);
    icon->setPixmap(SetupStyle::icon("key.badge").pixmap(16, 16));
    icon->setAlignment(Qt::AlignTop);
    icon->setContentsMargins(0, 2, 0, 0);
    team->addWidget(icon);
    auto *teamText = new QVBoxLayout;
    teamText->setSpacing(4);
    auto *teamLine = new QLabel(tr("Apple Team ID is required for testing on physical iOS devices."), page);
    teamLine->setWordWrap(true);
    teamText->addWidget(teamLine);
    auto *note = new QLabel(
        tr("Note: You must be logged into Xcode (Settings > Accounts) with an Apple ID linked to this Team ID."), page);
    note->setWordWrap(true);
    SetupStyle::makeSecondary(note, true);
    teamText->addWidget(note);
    team->addLayout(teamText, 1);
    layout->addLayout(team);
    layout->addStretch(1);
    return page;
}

QWidget *OnboardingView::buildFinalSetup()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(40, m_compact ? 16 : 32, 40, 16);
    layout->setSpacing(10);
    auto *title = centredText(tr("Final Setup"), page);
    SetupStyle::makeTitle(title, 1.6);
    layout->addWidget(title);
    auto *text = centredText(tr("Please configure these settings before running tests."), page);
    SetupStyle::makeSecondary(text);
    layout->addWidget(text);
    layout->addSpacing(8);

    auto *group = new QGroupBox(page);
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    form->setContentsMargins(16, 16, 16, 4);
    form->setHorizontalSpacing(14);

    auto captionedRow = [group](std::initializer_list<QWidget *> widgets, const QString &caption, QLabel *reason = nullptr) {
        auto *box = new QWidget(group);
        auto *column = new QVBoxLayout(box);
        column->setContentsMargins(0, 0, 0, 12);
        column->setSpacing(4);
        auto *row = new QHBoxLayout;
        row->setSpacing(6);
        bool first = true;
        for (QWidget *widget : widgets) {
            widget->setParent(box);
            row->addWidget(widget, first ? 1 : 0);
            first = false;
        }
        column->addLayout(row);
        auto *label = new QLabel(caption, box);
        label->setWordWrap(true);
        SetupStyle::makeSecondary(label, true);
        if (reason) {
            reason->setParent(box);
            column->addWidget(reason);
        }
        column->addWidget(label);
        return box;
    };

    m_output = new QLineEdit;
    m_output->setAccessibleName(tr("Output Location:"));
    m_outputBrowse = new QToolButton;
    m_outputBrowse->setIcon(SymbolIcons::icon(u"folder"));
    m_outputBrowse->setToolTip(tr("Browse..."));
    m_outputBrowse->setAccessibleName(tr("Browse..."));
    form->addRow(tr("Output Location:"),
        captionedRow({ m_output, m_outputBrowse }, tr("Select a folder where your test reports will be saved.")));
    m_runner = new MaestroPathConfigView(group);
    form->addRow(MaestroPathConfigView::labelText(), m_runner);
    m_team = new QLineEdit;
    m_team->setAccessibleName(tr("Apple Team ID:"));
    m_teamIndicator = new ValidationIndicator(ValidationIndicator::Rule::TeamId);
    form->addRow(tr("Apple Team ID:"),
        captionedRow({ m_team, m_teamIndicator },
            tr("Required for testing on physical iOS devices. Must match the Apple ID signed into Xcode."),
            m_teamIndicator->createReasonLabel(group)));
    layout->addWidget(group);
    layout->addStretch(1);

    connect(m_team, &QLineEdit::textChanged, m_teamIndicator, &ValidationIndicator::setValue);
    connect(m_outputBrowse, &QToolButton::clicked, this, &OnboardingView::browseOutput);
    return page;
}

SettingsForm OnboardingView::edited() const
{
    return { m_output->text(), m_team->text(), m_runner->path() };
}

EnvironmentCheckRow *OnboardingView::prerequisiteRow(int index) const
{
    return index == EnvironmentChecks::RunnerRow ? m_runnerRow : index == EnvironmentChecks::XcodeRow ? m_xcodeRow : nullptr;
}

void OnboardingView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    const SettingsForm stored = SettingsForm::load(SettingsStore());
    m_output->setText(stored.reportsOutputDirectory);
    m_team->setText(stored.appleTeamID);
    m_runner->setPath(stored.maestroRunnerPath);
    updateComplete();
}

void OnboardingView::closeEvent(QCloseEvent *event)
{
    if (m_completed)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void OnboardingView::next()
{
    const int from = m_steps.current();
    if (m_steps.next()) {
        showStep();
        slide(from);
    }
}

void OnboardingView::back()
{
    const int from = m_steps.current();
    if (m_steps.back()) {
        showStep();
        slide(from);
    }
}

void OnboardingView::slide(int from)
{
    // The new page comes in from the trailing edge while the old one leaves
    // towards the leading edge, whichever way the user moves: two pictures
    // over the pages for the length of the move.
    if (!isVisible() || from == m_pages->currentIndex())
        return;
    QWidget *oldPage = m_pages->widget(from);
    QWidget *newPage = m_pages->currentWidget();
    oldPage->resize(m_pages->size());
    const QPixmap oldPicture = oldPage->grab();
    const QPixmap newPicture = newPage->grab();
    auto *overlay = new QWidget(m_pages);
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay->setAutoFillBackground(true);
    overlay->setGeometry(m_pages->rect());
    const int width = m_pages->width();
    const int direction = layoutDirection() == Qt::RightToLeft ? -1 : 1;
    auto *leaving = new QLabel(overlay);
    leaving->setPixmap(oldPicture);
    leaving->setGeometry(overlay->rect());
    auto *arriving = new QLabel(overlay);
    arriving->setPixmap(newPicture);
    arriving->setGeometry(overlay->rect().translated(direction * width, 0));
    overlay->show();
    overlay->raise();

    auto *group = new QParallelAnimationGroup(overlay);
    for (auto [label, to] : { std::pair { leaving, QPoint(-direction * width, 0) }, std::pair { arriving, QPoint(0, 0) } }) {
        auto *move = new QPropertyAnimation(label, "pos", group);
        move->setDuration(260);
        move->setEasingCurve(QEasingCurve::InOutQuad);
        move->setEndValue(to);
        group->addAnimation(move);
    }
    connect(group, &QAbstractAnimation::finished, overlay, &QObject::deleteLater);
    group->start();
}

void OnboardingView::showStep()
{
    m_pages->setCurrentIndex(m_steps.current());
    m_dots->setCurrent(m_steps.current());
    m_back->setVisible(m_steps.showsBack());
    m_next->setVisible(m_steps.showsNext());
    m_complete->setVisible(m_steps.showsCompleteSetup());
    m_next->setDefault(m_steps.showsNext());
    m_complete->setDefault(m_steps.showsCompleteSetup());
    if (m_steps.current() == OnboardingSteps::Prerequisites)
        m_checks->runChecks();
    if (m_steps.current() == OnboardingSteps::FinalSetup)
        m_output->setFocus();
    updateComplete();
}

void OnboardingView::updateComplete()
{
    m_complete->setEnabled(edited().isFormValid());
}

void OnboardingView::refreshPrerequisite(int index)
{
    if (EnvironmentCheckRow *row = prerequisiteRow(index))
        row->setItem(m_checks->checks().at(index));
}

void OnboardingView::completeSetup()
{
    const SettingsForm values = edited();
    if (!values.isFormValid())
        return;
    SettingsStore store;
    SettingsForm::store(store, values);
    store.setHasCompletedSetup(true);
    store.sync();
    m_completed = true;
    m_checks->discardPendingResults();
    Q_EMIT setupCompleted();
    QDialog::accept();
}

void OnboardingView::browseOutput()
{
    SetupStyle::chooseOutputFolder(m_output);
}
