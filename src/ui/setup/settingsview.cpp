#include "settingsview.h"

#include "environmentcheckview.h"
#include "maestropathconfigview.h"
#include "runner/backgroundtask.h"
#include "settings/settingsstore.h"
#include "setup/environmentcheckviewmodel.h"
#include "setup/wdacache.h"
#include "setupstyle.h"
#include "symbolicons.h"
#include "validationindicator.h"

#include <QDir>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A form field with its caption underneath.
QWidget *captioned(QWidget *field, const QString &caption, QWidget *parent, QLabel *reason = nullptr)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(4);
    layout->addWidget(field);
    auto *label = new QLabel(caption, box);
    label->setWordWrap(true);
    SetupStyle::makeSecondary(label, true);
    if (reason) {
        reason->setParent(box);
        layout->addWidget(reason);
    }
    layout->addWidget(label);
    return box;
}

QWidget *fieldRow(std::initializer_list<QWidget *> widgets, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    bool first = true;
    for (QWidget *widget : widgets) {
        widget->setParent(row);
        layout->addWidget(widget, first ? 1 : 0);
        first = false;
    }
    return row;
}

QFormLayout *formIn(QGroupBox *group)
{
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    form->setHorizontalSpacing(14);
    form->setContentsMargins(16, 14, 16, 4);
    return form;
}

} // namespace

SettingsView::SettingsView(QWidget *parent)
    : QWidget(parent)
    , m_cacheFolder(WdaCache::defaultFolder())
{
    setObjectName(QStringLiteral("settingsScreen"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto *content = new QWidget(scroll);
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(24, 20, 24, 20);
    contentLayout->setSpacing(16);

    // The settings a run needs.
    auto *settings = new QGroupBox(tr("Run Settings"), content);
    QFormLayout *form = formIn(settings);
    m_output = new QLineEdit;
    m_output->setAccessibleName(tr("Output Location:"));
    m_outputIndicator = new ValidationIndicator(ValidationIndicator::Rule::FolderPath);
    m_outputBrowse = new QToolButton;
    m_outputBrowse->setIcon(SymbolIcons::icon(u"folder"));
    m_outputBrowse->setToolTip(tr("Browse..."));
    m_outputBrowse->setAccessibleName(tr("Browse..."));
    form->addRow(tr("Output Location:"),
        captioned(fieldRow({ m_output, m_outputIndicator, m_outputBrowse }, settings),
            tr("Select a folder where your test reports will be saved."), settings));
    m_runner = new MaestroPathConfigView(settings);
    form->addRow(MaestroPathConfigView::labelText(), m_runner);
    m_team = new QLineEdit;
    m_team->setAccessibleName(tr("Apple Team ID:"));
    m_team->setMaxLength(64);
    m_teamIndicator = new ValidationIndicator(ValidationIndicator::Rule::TeamId);
    form->addRow(tr("Apple Team ID:"),
        captioned(fieldRow({ m_team, m_teamIndicator }, settings),
            tr("Required for physical iOS devices. Must match the Apple ID signed into Xcode."), settings,
            m_teamIndicator->createReasonLabel(settings)));
    contentLayout->addWidget(settings);

    auto *prerequisites = new QGroupBox(tr("Prerequisites"), content);
    auto *prerequisitesLayout = new QHBoxLayout(prerequisites);
    prerequisitesLayout->setContentsMargins(16, 12, 16, 12);
    auto *prerequisitesNote = new QLabel(tr("Checks the runner, Xcode and your signing certificate."), prerequisites);
    prerequisitesNote->setWordWrap(true);
    SetupStyle::makeSecondary(prerequisitesNote);
    prerequisitesLayout->addWidget(prerequisitesNote, 1);
    m_check = new QPushButton(tr("Check Prerequisites"), prerequisites);
    m_check->setAutoDefault(false);
    prerequisitesLayout->addWidget(m_check);
    contentLayout->addWidget(prerequisites);

    auto *maintenance = new QGroupBox(tr("Maintenance"), content);
    auto *maintenanceLayout = new QHBoxLayout(maintenance);
    maintenanceLayout->setContentsMargins(16, 12, 16, 12);
    auto *cacheText = new QVBoxLayout;
    cacheText->setSpacing(2);
    auto *cacheLabel = new QLabel(tr("WDA Cache"), maintenance);
    cacheText->addWidget(cacheLabel);
    auto *cacheCaption
        = new QLabel(tr("Clears cached WebDriverAgent builds from ~/.maestro-runner/cache/wda-builds"), maintenance);
    cacheCaption->setWordWrap(true);
    SetupStyle::makeSecondary(cacheCaption, true);
    cacheText->addWidget(cacheCaption);
    maintenanceLayout->addLayout(cacheText, 1);
    m_clearCache = new QPushButton(maintenance);
    m_clearCache->setAutoDefault(false);
    maintenanceLayout->addWidget(m_clearCache);
    contentLayout->addWidget(maintenance);
    contentLayout->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    outer->addWidget(divider);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(24, 10, 24, 10);
    m_toast = new QLabel(this);
    m_toast->setObjectName(QStringLiteral("settingsToast"));
    bar->addWidget(m_toast, 1);
    m_discard = new QPushButton(tr("Discard Changes"), this);
    m_discard->setAutoDefault(false);
    m_save = new QPushButton(tr("Save Settings"), this);
    m_save->setDefault(true);
    m_save->setToolTip(tr("Save Settings (%1)").arg(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText)));
    bar->setSpacing(8);
    bar->addWidget(m_discard);
    bar->addWidget(m_save);
    outer->addLayout(bar);

    m_toastTimer = new QTimer(this);
    m_toastTimer->setSingleShot(true);
    m_toastTimer->setInterval(2000);
    connect(m_toastTimer, &QTimer::timeout, m_toast, &QLabel::clear);

    connect(m_output, &QLineEdit::textChanged, m_outputIndicator, &ValidationIndicator::setValue);
    connect(m_team, &QLineEdit::textChanged, m_teamIndicator, &ValidationIndicator::setValue);
    for (QLineEdit *field : { m_output, m_team })
        connect(field, &QLineEdit::textChanged, this, &SettingsView::updateButtons);
    connect(m_runner, &MaestroPathConfigView::pathChanged, this, &SettingsView::updateButtons);
    connect(m_outputBrowse, &QToolButton::clicked, this, &SettingsView::browseOutput);
    connect(m_save, &QPushButton::clicked, this, &SettingsView::save);
    auto *saveShortcut = new QShortcut(QKeySequence::Save, this);
    saveShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveShortcut, &QShortcut::activated, this, &SettingsView::save);
    connect(m_discard, &QPushButton::clicked, this, &SettingsView::discardChanges);
    connect(m_check, &QPushButton::clicked, this, &SettingsView::checkPrerequisites);
    connect(m_clearCache, &QPushButton::clicked, this, &SettingsView::confirmClearCache);
    updateButtons();
}

SettingsForm SettingsView::edited() const
{
    return { m_output->text(), m_team->text(), m_runner->path() };
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_hasLoadedInitialState) {
        m_stored = SettingsForm::load(SettingsStore());
        load(m_stored);
        m_hasLoadedInitialState = true;
    }
    recountCache();
}

void SettingsView::load(const SettingsForm &values)
{
    m_output->setText(values.reportsOutputDirectory);
    m_team->setText(values.appleTeamID);
    m_runner->setPath(values.maestroRunnerPath);
    updateButtons();
}

void SettingsView::updateButtons()
{
    const SettingsForm values = edited();
    const bool changed = values.hasChanges(m_stored);
    m_save->setEnabled(changed && values.isFormValid());
    m_discard->setEnabled(changed);
    m_clearCache->setText(tr("Clear All (%1)").arg(m_wdaCacheCount));
    m_clearCache->setEnabled(m_wdaCacheCount != 0 && !m_isCalculatingCache);
}

void SettingsView::save()
{
    const SettingsForm values = edited();
    if (!values.isFormValid() || !values.hasChanges(m_stored))
        return;
    SettingsStore store;
    m_stored = SettingsForm::store(store, values);
    load(m_stored);
    showToast(tr("Settings saved successfully."));
}

void SettingsView::discardChanges()
{
    load(m_stored);
}

void SettingsView::checkPrerequisites()
{
    const SettingsForm values = edited();
    auto *sheet = new EnvironmentCheckView(new EnvironmentCheckViewModel(values.maestroRunnerPath, values.appleTeamID), window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_environmentCheck = sheet;
    sheet->open();
}

void SettingsView::recountCache()
{
    m_isCalculatingCache = true;
    updateButtons();
    const QPointer<SettingsView> self(this);
    const QString folder = m_cacheFolder;
    BackgroundTask::start([self, folder] {
        const int count = WdaCache::count(folder);
        BackgroundTask::postToMain(self, [count](SettingsView *view) {
            view->m_wdaCacheCount = count;
            view->m_isCalculatingCache = false;
            view->updateButtons();
        });
    });
}

void SettingsView::confirmClearCache()
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Clear WDA Cache"),
        tr("Are you sure you want to clear %1 cached WebDriverAgent build(s)? This may increase the time for the next test run.")
            .arg(m_wdaCacheCount),
        QMessageBox::Cancel, window());
    box->setObjectName(QStringLiteral("clearCacheConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *clear = box->addButton(tr("Clear"), QMessageBox::DestructiveRole);
    box->setDefaultButton(QMessageBox::Cancel);
    connect(clear, &QPushButton::clicked, this, &SettingsView::clearCache);
    box->open();
}

void SettingsView::clearCache()
{
    if (!WdaCache::clear(m_cacheFolder))
        return;
    recountCache();
    showToast(tr("WDA cache cleared."));
}

void SettingsView::showToast(const QString &text)
{
    m_toast->setText(text);
    SetupStyle::setTextTone(m_toast, SetupStyle::Tone::Success);
    m_toastTimer->start();
}

void SettingsView::browseOutput()
{
    SetupStyle::chooseOutputFolder(m_output);
}
