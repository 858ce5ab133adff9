#include "environmentcheckview.h"

#include "environmentcheckrow.h"
#include "setup/environmentcheckviewmodel.h"
#include "setupstyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

EnvironmentCheckView::EnvironmentCheckView(EnvironmentCheckViewModel *viewModel, QWidget *parent)
    : QDialog(parent)
    , m_viewModel(viewModel)
{
    m_viewModel->setParent(this);
    setObjectName(QStringLiteral("EnvironmentCheckSheet"));
    setWindowTitle(tr("Environment Check"));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(550);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *title = new QLabel(tr("Environment Check"), this);
    SetupStyle::makeTitle(title, 1.15, QFont::DemiBold);
    title->setContentsMargins(16, 14, 16, 12);
    layout->addWidget(title);
    layout->addWidget(divider(this));

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Room for every row with its status, hint and install command.
    scroll->setMinimumHeight(300);
    scroll->setMaximumHeight(350);
    auto *list = new QWidget(scroll);
    auto *listLayout = new QVBoxLayout(list);
    listLayout->setContentsMargins(16, 16, 16, 16);
    listLayout->setSpacing(16);
    for (int i = 0; i < m_viewModel->checks().size(); ++i) {
        auto *row = new EnvironmentCheckRow(EnvironmentCheckRow::Style::Sheet, {}, list);
        m_rows.append(row);
        listLayout->addWidget(row);
        refreshRow(i);
    }
    listLayout->addStretch(1);
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);
    layout->addWidget(divider(this));

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(16, 12, 16, 14);
    buttons->addStretch(1);
    m_close = new QPushButton(tr("Close"), this);
    m_close->setAutoDefault(false);
    m_run = new QPushButton(tr("Run Checks"), this);
    m_run->setDefault(true);
    buttons->addWidget(m_close);
    buttons->addWidget(m_run);
    layout->addLayout(buttons);

    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_run, &QPushButton::clicked, m_viewModel, &EnvironmentCheckViewModel::runChecks);
    connect(m_viewModel, &EnvironmentCheckViewModel::checkChanged, this, &EnvironmentCheckView::refreshRow);
}

void EnvironmentCheckView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        m_viewModel->runChecks();
}

void EnvironmentCheckView::done(int result)
{
    m_viewModel->discardPendingResults();
    QDialog::done(result);
}

void EnvironmentCheckView::refreshRow(int index)
{
    if (EnvironmentCheckRow *row = m_rows.value(index))
        row->setItem(m_viewModel->checks().at(index));
}
