#include "environmentcheckrow.h"

#include "checkstatusicon.h"
#include "commandbox.h"
#include "setupstyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

EnvironmentCheckRow::EnvironmentCheckRow(Style style, const QString &sentence, QWidget *parent)
    : QWidget(parent)
    , m_style(style)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    m_icon = new CheckStatusIcon(this);
    auto *iconColumn = new QVBoxLayout;
    iconColumn->setContentsMargins(0, 2, 0, 0);
    iconColumn->addWidget(m_icon);
    iconColumn->addStretch(1);
    layout->addLayout(iconColumn);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    m_title = new QLabel(sentence, this);
    m_title->setWordWrap(true);
    if (style == Style::Sheet) {
        QFont font = m_title->font();
        font.setPointSizeF(font.pointSizeF() * 1.1);
        font.setWeight(QFont::DemiBold);
        m_title->setFont(font);
    }
    column->addWidget(m_title);
    m_description = new QLabel(this);
    m_description->setWordWrap(true);
    m_description->setTextFormat(Qt::PlainText);
    SetupStyle::makeSecondary(m_description);
    m_description->setVisible(style == Style::Sheet);
    column->addWidget(m_description);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetupStyle::makeSecondary(m_status, true);
    m_status->setVisible(style == Style::Sheet);
    column->addWidget(m_status);
    m_hint = new QLabel(this);
    m_hint->setWordWrap(true);
    SetupStyle::makeSecondary(m_hint, true);
    m_hint->hide();
    column->addWidget(m_hint);
    m_command = new CommandBox(this);
    m_command->hide();
    column->addWidget(m_command);
    layout->addLayout(column, 1);
}

void EnvironmentCheckRow::setItem(const EnvironmentCheckItem &item)
{
    m_icon->setStatus(item.status, item.isAdvisory);
    if (m_style == Style::Sheet) {
        m_title->setText(item.name);
        m_description->setText(item.description);
        QString text;
        SetupStyle::Tone tone = SetupStyle::Tone::Neutral;
        switch (item.status.kind) {
        case CheckStatus::Kind::Success:
            text = item.status.text;
            tone = SetupStyle::Tone::Success;
            break;
        case CheckStatus::Kind::Failed:
            text = item.status.text;
            tone = item.isAdvisory ? SetupStyle::Tone::Warning : SetupStyle::Tone::Failure;
            break;
        case CheckStatus::Kind::Pending:
            text = tr("Pending...");
            break;
        case CheckStatus::Kind::Loading:
            text = tr("Checking...");
            tone = SetupStyle::Tone::Info;
            break;
        }
        m_status->setText(text);
        m_status->setVisible(!text.isEmpty());
        SetupStyle::setTextTone(m_status, tone);
        const bool showsHint = item.status.kind == CheckStatus::Kind::Failed && !item.hint.isEmpty();
        m_hint->setText(item.hint);
        m_hint->setVisible(showsHint);
    }
    const QString accessible
        = m_title->text() + QStringLiteral(": ") + (item.status.text.isEmpty() ? m_status->text() : item.status.text);
    setAccessibleName(accessible);
    m_command->setVisible(item.showsInstallInstruction());
    if (item.installInstruction)
        m_command->setCommand(*item.installInstruction);
}
