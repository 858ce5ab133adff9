#include "maestropathconfigview.h"

#include "runner/backgroundtask.h"
#include "settings/settingsstore.h"
#include "setup/runnerpathdetection.h"
#include "setupstyle.h"
#include "symbolicons.h"
#include "validationindicator.h"
#include "workspace/busyspinner.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

QString MaestroPathConfigView::labelText()
{
    return tr("Maestro Runner Path:");
}

MaestroPathConfigView::MaestroPathConfigView(QWidget *parent)
    : QWidget(parent)
    , m_detector([] { return RunnerPathDetection::detectRunnerPath(ToolPaths::fromEnvironment(), QDir::homePath()); })
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(4);

    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    m_field = new QLineEdit(this);
    m_field->setAccessibleName(labelText());
    m_field->setClearButtonEnabled(false);
    row->addWidget(m_field, 1);
    m_indicator = new ValidationIndicator(ValidationIndicator::Rule::FilePath, this);
    row->addWidget(m_indicator);

    m_detect = new QToolButton(this);
    m_detect->setIcon(SetupStyle::icon("wand.and.stars"));
    m_detect->setToolTip(tr("Auto-Detect Maestro Path"));
    m_detect->setAccessibleName(tr("Auto-Detect Maestro Path"));
    row->addWidget(m_detect);
    m_spinner = new BusySpinner(this);
    m_spinner->setFixedSize(14, 14);
    m_spinner->hide();
    row->addWidget(m_spinner);

    m_browse = new QToolButton(this);
    m_browse->setIcon(SymbolIcons::icon(u"folder"));
    m_browse->setToolTip(tr("Browse..."));
    m_browse->setAccessibleName(tr("Browse..."));
    row->addWidget(m_browse);
    layout->addLayout(row);

    auto *below = new QHBoxLayout;
    auto *caption = new QLabel(tr("Location of the maestro-runner tool."), this);
    SetupStyle::makeSecondary(caption, true);
    below->addWidget(caption, 1);
    m_status = new QLabel(this);
    SetupStyle::makeSecondary(m_status, true);
    m_status->hide();
    below->addWidget(m_status);
    layout->addLayout(below);

    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(2000);
    connect(m_statusTimer, &QTimer::timeout, this, [this] {
        m_status->clear();
        m_status->hide();
    });

    connect(m_field, &QLineEdit::textChanged, m_indicator, &ValidationIndicator::setValue);
    connect(m_field, &QLineEdit::textChanged, this, &MaestroPathConfigView::pathChanged);
    connect(m_detect, &QToolButton::clicked, this, &MaestroPathConfigView::autoDetect);
    connect(m_browse, &QToolButton::clicked, this, &MaestroPathConfigView::browse);
}

QString MaestroPathConfigView::path() const
{
    return m_field->text();
}

void MaestroPathConfigView::setPath(const QString &path)
{
    m_field->setText(path);
    m_indicator->setValue(path);
}

void MaestroPathConfigView::autoDetect()
{
    m_isDetecting = true;
    m_statusTimer->stop();
    m_status->clear();
    m_status->hide();
    m_detect->hide();
    m_spinner->show();

    const QPointer<MaestroPathConfigView> self(this);
    const Detector detector = m_detector;
    BackgroundTask::start([self, detector] {
        const std::optional<QString> found = detector();
        BackgroundTask::postToMain(self, [found](MaestroPathConfigView *view) { view->finishDetection(found); });
    });
}

void MaestroPathConfigView::finishDetection(const std::optional<QString> &found)
{
    if (found)
        setPath(*found);
    m_status->setText(found ? tr("Found!") : tr("Not found"));
    SetupStyle::setTextTone(m_status, found ? SetupStyle::Tone::Success : SetupStyle::Tone::Failure);
    m_status->show();
    m_isDetecting = false;
    m_spinner->hide();
    m_detect->show();
    m_statusTimer->start();
}

void MaestroPathConfigView::browse()
{
    auto *dialog = new QFileDialog(this, tr("Choose the maestro-runner tool"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setFilter(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!path().isEmpty())
        dialog->setDirectory(QFileInfo(SettingsStore::expandTilde(path())).absolutePath());
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &file) {
        if (!file.isEmpty())
            setPath(file);
    });
    dialog->open();
}
