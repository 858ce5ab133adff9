#pragma once

#include "setup/environmentcheckitem.h"

#include <QWidget>

class BusySpinner;
class QLabel;
class QStackedLayout;

// A check's status as a 16-point symbol: green check, red cross (a yellow
// exclamation for an advisory row), grey dashed circle, or a spinner while
// the check runs. Main thread.
class CheckStatusIcon final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CheckStatusIcon)

public:
    explicit CheckStatusIcon(QWidget *parent = nullptr);

    void setStatus(const CheckStatus &status, bool isAdvisory);
    bool isSpinning() const;

private:
    QStackedLayout *m_stack = nullptr;
    QLabel *m_symbol = nullptr;
    BusySpinner *m_spinner = nullptr;
};
