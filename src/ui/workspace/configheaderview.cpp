#include "configheaderview.h"

#include "busyspinner.h"
#include "runner/runconfigurationstate.h"
#include "runner/runnerviewmodel.h"
#include "stretchablepicker.h"
#include "symbolicons.h"

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QFont monospaced(const QFont &base, QFont::Weight weight)
{
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSize(qMax(base.pointSize() - 1, 9));
    font.setWeight(weight);
    return font;
}

} // namespace

ConfigHeaderView::ConfigHeaderView(RunnerViewModel *runner, QWidget *parent)
    : QWidget(parent)
    , m_runner(runner)
{
    setObjectName(QStringLiteral("configHeader"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(12);

    auto *title = new QLabel(tr("Configuration"), this);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    title->setFont(titleFont);
    layout->addWidget(title);

    auto *grid = new QGridLayout;
    grid->setContentsMargins(8, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    // Device row.
    QLabel *deviceLabel = rowLabel(tr("Device:"), this);
    m_devicePicker = new StretchablePicker(this);
    m_devicePicker->setObjectName(QStringLiteral("devicePicker"));
    m_devicePicker->setAccessibleName(tr("Device"));
    deviceLabel->setBuddy(m_devicePicker);
    m_deviceRefresh = makeRefreshButton(tr("Refresh Devices"), &m_deviceSpinner, &m_deviceRefreshStack);
    m_deviceRefresh->setObjectName(QStringLiteral("refreshDevicesButton"));
    grid->addWidget(deviceLabel, 0, 0);
    grid->addWidget(m_devicePicker, 0, 1);
    grid->addWidget(m_deviceRefreshStack, 0, 2);
    connect(m_devicePicker, &StretchablePicker::selectionChosen, runner, &RunnerViewModel::setSelectedDeviceId);
    connect(m_deviceRefresh, &QToolButton::clicked, runner, &RunnerViewModel::refreshDevices);

    // App row: a list of the device's apps, or a free field when none are listed.
    m_appLabel = rowLabel(tr("Target App (Bundle ID):"), this);
    m_appStack = new QStackedWidget(this);
    m_appStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_appPicker = new StretchablePicker(m_appStack);
    m_appPicker->setObjectName(QStringLiteral("appPicker"));
    m_appPicker->setAccessibleName(tr("Target App (Bundle ID)"));
    m_appField = new QLineEdit(m_appStack);
    m_appField->setObjectName(QStringLiteral("appField"));
    m_appField->setPlaceholderText(QStringLiteral("com.example.app"));
    m_appField->setAccessibleName(tr("Target App (Bundle ID)"));
    m_appField->setClearButtonEnabled(true);
    m_appStack->addWidget(m_appPicker);
    m_appStack->addWidget(m_appField);
    m_appLabel->setBuddy(m_appField);
    m_appRefresh = makeRefreshButton(tr("Refresh Apps on Device"), &m_appSpinner, &m_appRefreshStack);
    m_appRefresh->setObjectName(QStringLiteral("refreshAppsButton"));
    grid->addWidget(m_appLabel, 1, 0);
    grid->addWidget(m_appStack, 1, 1);
    grid->addWidget(m_appRefreshStack, 1, 2);
    connect(m_appPicker, &StretchablePicker::selectionChosen, runner, &RunnerViewModel::setSelectedAppId);
    connect(m_appField, &QLineEdit::textEdited, runner, &RunnerViewModel::setSelectedAppId);
    connect(m_appRefresh, &QToolButton::clicked, runner, &RunnerViewModel::refreshApps);

    // Variables row, shown while the chosen environment file has variables.
    m_variablesLabel = new QWidget(this);
    m_variablesButtonCell = new QWidget(this);
    m_variablesButtonCell->setFixedSize(20, 20);
    m_variablesBox = new QFrame(this);
    m_variablesBox->setObjectName(QStringLiteral("variablesBox"));
    m_variablesBox->setFrameShape(QFrame::StyledPanel);
    m_variablesBox->setAccessibleName(tr("Environment Variables"));
    auto *boxLayout = new QVBoxLayout(m_variablesBox);
    boxLayout->setContentsMargins(1, 1, 1, 1);
    boxLayout->setSpacing(0);
    auto *boxHeader = new QWidget(m_variablesBox);
    boxHeader->setAutoFillBackground(true);
    boxHeader->setBackgroundRole(QPalette::Base);
    auto *headerLayout = new QHBoxLayout(boxHeader);
    headerLayout->setContentsMargins(12, 8, 12, 8);
    headerLayout->setSpacing(6);
    auto *gear = new QLabel(boxHeader);
    gear->setPixmap(SymbolIcons::icon(u"gearshape.fill").pixmap(12, 12));
    headerLayout->addWidget(gear);
    m_variablesTitle = new QLabel(boxHeader);
    m_variablesTitle->setObjectName(QStringLiteral("variablesTitle"));
    QFont boxTitleFont = m_variablesTitle->font();
    boxTitleFont.setBold(true);
    m_variablesTitle->setFont(boxTitleFont);
    headerLayout->addWidget(m_variablesTitle);
    headerLayout->addStretch(1);
    boxLayout->addWidget(boxHeader);
    auto *boxDivider = new QFrame(m_variablesBox);
    boxDivider->setFrameShape(QFrame::HLine);
    boxDivider->setFrameShadow(QFrame::Plain);
    boxDivider->setForegroundRole(QPalette::Mid);
    boxLayout->addWidget(boxDivider);
    m_variablesScroll = new QScrollArea(m_variablesBox);
    m_variablesScroll->setObjectName(QStringLiteral("variablesList"));
    m_variablesScroll->setAccessibleName(tr("Variables"));
    m_variablesScroll->setFrameShape(QFrame::NoFrame);
    m_variablesScroll->setWidgetResizable(true);
    m_variablesScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_variablesScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    boxLayout->addWidget(m_variablesScroll);
    grid->addWidget(m_variablesLabel, 2, 0);
    grid->addWidget(m_variablesBox, 2, 1);
    grid->addWidget(m_variablesButtonCell, 2, 2, Qt::AlignTop);

    // Action row.
    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_runButton = new QPushButton(SymbolIcons::icon(u"play.fill"), tr("Run Test"), this);
    m_runButton->setObjectName(QStringLiteral("runButton"));
    m_runButton->setAccessibleName(tr("Run Test"));
    m_runButton->setDefault(true);
    m_runButton->setMinimumWidth(110);
    connect(m_runButton, &QPushButton::clicked, runner, &RunnerViewModel::runTest);
    actions->addWidget(m_runButton);
    m_runSpinner = new BusySpinner(this);
    actions->addWidget(m_runSpinner);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("progressCaption"));
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    actions->addSpacing(4);
    actions->addWidget(m_caption);
    m_stopButton = new QPushButton(SymbolIcons::icon(u"stop.fill"), QString(), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    QPalette stopPalette = m_stopButton->palette();
    stopPalette.setColor(QPalette::ButtonText, QColor(0xd9, 0x30, 0x25));
    m_stopButton->setPalette(stopPalette);
    connect(m_stopButton, &QPushButton::clicked, runner, &RunnerViewModel::stopRun);
    actions->addWidget(m_stopButton);
    m_reportButton = new QPushButton(SymbolIcons::icon(u"chart.bar.doc.horizontal"), tr("Open Report"), this);
    m_reportButton->setObjectName(QStringLiteral("reportButton"));
    m_reportButton->setAccessibleName(tr("Open Report"));
    connect(m_reportButton, &QPushButton::clicked, runner, &RunnerViewModel::openCurrentReport);
    actions->addWidget(m_reportButton);
    actions->addStretch(1);
    layout->addLayout(actions);

    const auto redraw = [this] { refresh(); };
    for (auto signal : { &RunnerViewModel::devicesChanged, &RunnerViewModel::selectedDeviceIdChanged,
             &RunnerViewModel::isRefreshingDevicesChanged, &RunnerViewModel::appsChanged,
             &RunnerViewModel::selectedAppIdChanged, &RunnerViewModel::isRefreshingAppsChanged,
             &RunnerViewModel::workspaceURLChanged, &RunnerViewModel::selectedFlowRelativePathChanged,
             &RunnerViewModel::isRunningChanged, &RunnerViewModel::runModeChanged,
             &RunnerViewModel::showReportButtonChanged })
        connect(runner, signal, this, redraw);
    connect(runner, &RunnerViewModel::customEnvVarsChanged, this, &ConfigHeaderView::refreshVariables);
    connect(runner, &RunnerViewModel::selectedEnvRelativePathChanged, this, &ConfigHeaderView::refreshVariables);
    refreshVariables();
    refresh();
}

QToolButton *ConfigHeaderView::makeRefreshButton(const QString &tooltip, BusySpinner **spinner, QStackedWidget **stack)
{
    *stack = new QStackedWidget(this);
    (*stack)->setFixedSize(26, 26);
    auto *button = new QToolButton(*stack);
    button->setIcon(SymbolIcons::icon(u"arrow.clockwise"));
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip);
    button->setAutoRaise(true);
    auto *spinnerCell = new QWidget(*stack);
    auto *cellLayout = new QHBoxLayout(spinnerCell);
    cellLayout->setContentsMargins(0, 0, 0, 0);
    *spinner = new BusySpinner(spinnerCell);
    (*spinner)->setToolTip(tooltip);
    cellLayout->addWidget(*spinner, 0, Qt::AlignCenter);
    (*stack)->addWidget(button);
    (*stack)->addWidget(spinnerCell);
    return button;
}

void ConfigHeaderView::refresh()
{
    const RunConfigurationState state = RunConfigurationState::compute(RunConfigurationState::inputOf(*m_runner));

    m_devicePicker->showOptions(state.deviceOptions, state.deviceOptions.isEmpty() ? QString() : m_runner->selectedDeviceId(),
        true);
    m_deviceRefresh->setEnabled(state.deviceRefreshEnabled);
    m_deviceRefreshStack->setCurrentIndex(state.deviceRefreshBusy ? 1 : 0);

    m_appLabel->setEnabled(state.appRowEnabled);
    m_appStack->setEnabled(state.appRowEnabled);
    m_appStack->setCurrentWidget(state.showsAppField ? static_cast<QWidget *>(m_appField) : m_appPicker);
    m_appLabel->setBuddy(state.showsAppField ? static_cast<QWidget *>(m_appField) : m_appPicker);
    if (state.showsAppField) {
        if (m_appField->text() != m_runner->selectedAppId())
            m_appField->setText(m_runner->selectedAppId());
    } else {
        m_appPicker->showOptions(state.appOptions, m_runner->selectedAppId(), state.appRowEnabled);
    }
    m_appRefresh->setEnabled(state.appRefreshEnabled);
    m_appRefreshStack->setCurrentIndex(state.appRefreshBusy ? 1 : 0);

    m_runButton->setVisible(state.showsRunButton);
    m_runButton->setEnabled(state.runEnabled);
    m_runSpinner->setVisible(!state.showsRunButton);
    m_caption->setVisible(!state.showsRunButton);
    m_caption->setText(state.progressCaption);
    m_stopButton->setVisible(!state.showsRunButton);
    m_stopButton->setText(state.stopLabel);
    m_stopButton->setAccessibleName(state.stopLabel);
    m_reportButton->setVisible(state.showsReportButton);
}

void ConfigHeaderView::refreshVariables()
{
    const EnvVarList &vars = m_runner->customEnvVars();
    const bool shown = !vars.isEmpty();
    m_variablesLabel->setVisible(shown);
    m_variablesBox->setVisible(shown);
    m_variablesButtonCell->setVisible(shown);
    m_variablesTitle->setText(QFileInfo(m_runner->selectedEnvRelativePath()).fileName());

    QList<QUuid> ids;
    ids.reserve(vars.size());
    for (const EnvVar &var : vars)
        ids.append(var.id);
    if (ids == m_variableIds) {
        // The same variables: only values typed elsewhere change; a field
        // being typed in already shows its value, so its cursor stays put.
        for (qsizetype i = 0; i < vars.size(); ++i) {
            if (m_variableFields.at(i)->text() != vars.at(i).value)
                m_variableFields.at(i)->setText(vars.at(i).value);
        }
        return;
    }

    m_variableIds = ids;
    m_variableFields.clear();
    auto *content = new QWidget;
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(12, 12, 12, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(1, 1);
    const QFont keyFont = monospaced(font(), QFont::Medium);
    const QFont valueFont = monospaced(font(), QFont::Normal);
    for (qsizetype i = 0; i < vars.size(); ++i) {
        auto *key = new QLabel(vars.at(i).key, content);
        key->setFont(keyFont);
        key->setForegroundRole(QPalette::PlaceholderText);
        key->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        key->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *value = new QLineEdit(vars.at(i).value, content);
        value->setFont(valueFont);
        value->setPlaceholderText(tr("Value"));
        value->setAccessibleName(vars.at(i).key);
        key->setBuddy(value);
        const int index = int(i);
        connect(value, &QLineEdit::textEdited, m_runner,
            [runner = m_runner, index](const QString &text) { runner->setCustomEnvVarValue(index, text); });
        grid->addWidget(key, int(i), 0);
        grid->addWidget(value, int(i), 1);
        m_variableFields.append(value);
    }
    grid->setRowStretch(int(vars.size()), 1);
    m_variablesScroll->setWidget(content);
    // The list is at most as tall as the rule says; in a short window it
    // gives way (down to about one row) before the console does.
    const int height = RunConfigurationState::variablesHeight(vars.size());
    m_variablesScroll->setMaximumHeight(height);
    m_variablesScroll->setMinimumHeight(qMin(height, 56));
}
