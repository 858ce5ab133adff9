#pragma once

#include "setup/environmentcheckitem.h"

#include <QWidget>

class CheckStatusIcon;
class CommandBox;
class QLabel;

// One prerequisite as a row: the status symbol, the title and subtitle, the
// status text ("Checking...", the result), a hint for a failed advisory row,
// and the install command for a failed row that has one. The prerequisites
// page of onboarding shows the same row with a sentence of its own and no
// status text. Main thread.
class EnvironmentCheckRow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnvironmentCheckRow)

public:
    enum class Style { Sheet, Sentence };

    explicit EnvironmentCheckRow(Style style, const QString &sentence = {}, QWidget *parent = nullptr);

    void setItem(const EnvironmentCheckItem &item);

    CheckStatusIcon *statusIcon() const { return m_icon; }
    QLabel *statusLabel() const { return m_status; }
    CommandBox *commandBox() const { return m_command; }

private:
    Style m_style;
    CheckStatusIcon *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_description = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_hint = nullptr;
    CommandBox *m_command = nullptr;
};
