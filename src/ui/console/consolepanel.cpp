#include "consolepanel.h"

#include "consoleview.h"
#include "runner/runnerviewmodel.h"
#include "symbolicons.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *iconButton(const QString &help, const QIcon &icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(icon);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setAutoRaise(true);
    return button;
}

} // namespace

ConsolePanel::ConsolePanel(RunnerViewModel *runner, QWidget *parent)
    : QWidget(parent)
    , m_runner(runner)
{
    setObjectName(QStringLiteral("consolePanel"));

    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("consoleBar"));
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 6, 8, 6);
    barLayout->setSpacing(6);

    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    m_consoleButton = new QPushButton(tr("Console"), bar);
    m_networkButton = new QPushButton(bar);
    for (QPushButton *button : { m_consoleButton, m_networkButton }) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    m_consoleButton->setChecked(true);
    m_consoleButton->setAccessibleName(tr("Console"));
    m_segments->addButton(m_consoleButton, ConsoleSegment);
    m_segments->addButton(m_networkButton, NetworkSegment);
    auto *segmentBox = new QHBoxLayout;
    segmentBox->setSpacing(0);
    segmentBox->addWidget(m_consoleButton);
    segmentBox->addWidget(m_networkButton);
    barLayout->addLayout(segmentBox);
    barLayout->addSpacing(8);

    m_magnifier = new QLabel(bar);
    m_magnifier->setPixmap(SymbolIcons::icon(u"magnifyingglass").pixmap(14, 14));
    m_magnifier->setAccessibleName(tr("Filter console..."));
    barLayout->addWidget(m_magnifier);
    m_filter = new QLineEdit(bar);
    m_filter->setObjectName(QStringLiteral("consoleFilter"));
    m_filter->setPlaceholderText(tr("Filter console..."));
    m_filter->setAccessibleName(tr("Filter console..."));
    m_filter->setClearButtonEnabled(true);
    for (QToolButton *button : m_filter->findChildren<QToolButton *>()) {
        button->setToolTip(tr("Clear Filter"));
        button->setAccessibleName(tr("Clear Filter"));
    }
    m_filter->setMinimumWidth(120);
    barLayout->addWidget(m_filter, 1);
    // Takes the filter's room on the network segment, where it is hidden, so
    // that the segment buttons keep their width.
    barLayout->addStretch(0);

    m_autoScroll = new QCheckBox(tr("Auto-Scroll"), bar);
    m_autoScroll->setChecked(true);
    m_autoScroll->setAccessibleName(tr("Auto-Scroll"));
    barLayout->addWidget(m_autoScroll);

    m_hierarchyButton = iconButton(tr("Check UI Hierarchy"),
        SymbolIcons::icon(u"rectangle.3.group"), bar);
    m_copyButton = iconButton(tr("Copy All Logs"), SymbolIcons::icon(u"doc.on.doc"), bar);
    m_clearButton = iconButton(tr("Clear Console"), SymbolIcons::icon(u"trash"), bar);
    barLayout->addWidget(m_hierarchyButton);
    barLayout->addWidget(m_copyButton);
    barLayout->addWidget(m_clearButton);

    m_stack = new QStackedWidget(this);
    m_view = new ConsoleView(m_stack);
    m_stack->addWidget(m_view);
    // The network traffic view's place, until the window installs it.
    m_networkPage = new QWidget(m_stack);
    m_stack->addWidget(m_networkPage);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);
    layout->addWidget(m_stack, 1);

    connect(m_segments, &QButtonGroup::idClicked, this, [this](int id) { setSegment(Segment(id)); });
    connect(m_filter, &QLineEdit::textChanged, this, &ConsolePanel::onFilterEdited);
    connect(m_autoScroll, &QCheckBox::toggled, m_view, &ConsoleView::setAutoScroll);
    connect(m_hierarchyButton, &QToolButton::clicked, m_runner, &RunnerViewModel::fetchHierarchy);
    connect(m_copyButton, &QToolButton::clicked, this, &ConsolePanel::copyAllLogs);
    connect(m_clearButton, &QToolButton::clicked, this, &ConsolePanel::clearConsole);

    connect(m_runner, &RunnerViewModel::consoleLinesAppended, this, [this](const QStringList &lines) { m_mirror.appended(lines); });
    connect(m_runner, &RunnerViewModel::consoleLinesTrimmed, this, [this](qsizetype count) { m_mirror.trimmed(count); });
    connect(m_runner, &RunnerViewModel::consoleLogsChanged, this, &ConsolePanel::onConsoleChanged);
    connect(m_runner, &RunnerViewModel::runModeChanged, this, &ConsolePanel::renderInFull);
    connect(m_runner, &RunnerViewModel::networkHitsChanged, this, &ConsolePanel::updateNetworkCount);
    // A fetch ends every process first: during a run it would kill the run
    // without a word.
    connect(m_runner, &RunnerViewModel::isRunningChanged, this,
        [this] { m_hierarchyButton->setEnabled(!m_runner->isRunning()); });
    m_hierarchyButton->setEnabled(!m_runner->isRunning());
    const auto dropFilterFocus = [this] {
        if (m_filter->hasFocus())
            m_filter->clearFocus();
    };
    connect(m_runner, &RunnerViewModel::selectedFlowRelativePathChanged, this, dropFilterFocus);
    connect(m_runner, &RunnerViewModel::selectedEnvRelativePathChanged, this, dropFilterFocus);

    updateNetworkCount();
    updateSegmentControls();
    renderInFull();
}

void ConsolePanel::focusFilter()
{
    setSegment(ConsoleSegment);
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
}

void ConsolePanel::setNetworkView(QWidget *view)
{
    if (!view || view == m_networkPage)
        return;
    const bool showing = segment() == NetworkSegment;
    if (m_networkPage) {
        m_stack->removeWidget(m_networkPage);
        m_networkPage->deleteLater();
    }
    m_networkPage = view;
    m_stack->insertWidget(NetworkSegment, view);
    if (showing)
        m_stack->setCurrentIndex(NetworkSegment);
}

ConsolePanel::Segment ConsolePanel::segment() const
{
    return Segment(m_stack->currentIndex());
}

void ConsolePanel::setSegment(Segment segment)
{
    m_segments->button(segment)->setChecked(true);
    m_stack->setCurrentIndex(segment);
    updateSegmentControls();
}

void ConsolePanel::onFilterEdited(const QString &text)
{
    m_mirror.setFilter(ConsoleFilter(text));
    renderInFull();
}

void ConsolePanel::onConsoleChanged()
{
    if (!m_mirror.hasPending()) {
        // The list was replaced (emptied, or a new run began).
        renderInFull();
        return;
    }
    m_view->setRunMode(m_runner->runMode());
    m_view->applyEdit(m_mirror.takeEdit(m_runner->consoleLogs()));
}

void ConsolePanel::renderInFull()
{
    m_view->setRunMode(m_runner->runMode());
    m_view->applyEdit(m_mirror.rebuild(m_runner->consoleLogs()));
}

void ConsolePanel::copyAllLogs()
{
    // The whole console, whatever the filter shows.
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_runner->consoleLogs().join(QString()));
}

void ConsolePanel::clearConsole()
{
    m_runner->clearConsole();
    m_filter->clear();
}

void ConsolePanel::updateNetworkCount()
{
    const QString label = tr("Network (%1)").arg(m_runner->networkHits().size());
    m_networkButton->setText(label);
    m_networkButton->setAccessibleName(label);
}

void ConsolePanel::updateSegmentControls()
{
    const bool console = segment() == ConsoleSegment;
    m_magnifier->setVisible(console);
    m_filter->setVisible(console);
    const QString clear = console ? tr("Clear Console") : tr("Clear Logs");
    m_clearButton->setToolTip(clear);
    m_clearButton->setAccessibleName(clear);
}
