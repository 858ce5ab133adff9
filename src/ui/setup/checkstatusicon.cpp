#include "checkstatusicon.h"

#include "setupstyle.h"
#include "workspace/busyspinner.h"

#include <QLabel>
#include <QStackedLayout>

CheckStatusIcon::CheckStatusIcon(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(16, 16);
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_symbol = new QLabel(this);
    m_spinner = new BusySpinner(this);
    m_stack->addWidget(m_symbol);
    m_stack->addWidget(m_spinner);
    setStatus(CheckStatus::pending(), false);
}

void CheckStatusIcon::setStatus(const CheckStatus &status, bool isAdvisory)
{
    if (status.kind == CheckStatus::Kind::Loading) {
        m_stack->setCurrentWidget(m_spinner);
        return;
    }
    m_symbol->setPixmap(SetupStyle::statusPixmap(SetupStyle::toneOf(status, isAdvisory), 16, devicePixelRatioF()));
    m_stack->setCurrentWidget(m_symbol);
}

bool CheckStatusIcon::isSpinning() const
{
    return m_stack->currentWidget() == m_spinner;
}
