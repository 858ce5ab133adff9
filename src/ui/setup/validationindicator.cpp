#include "validationindicator.h"

#include "setupstyle.h"

ValidationIndicator::ValidationIndicator(Rule rule, QWidget *parent)
    : QLabel(parent)
    , m_rule(rule)
{
    setFixedSize(18, 18);
    setAlignment(Qt::AlignCenter);
    setValue(QString());
}

void ValidationIndicator::setValue(const QString &value)
{
    m_indicator
        = m_rule == Rule::TeamId ? FieldIndicator::forTeamId(value) : FieldIndicator::forPath(value, m_rule == Rule::FolderPath);
    setToolTip(m_indicator.toolTip);
    setAccessibleName(m_indicator.toolTip);
    repaintSymbol();
    Q_EMIT indicatorChanged();
}

QLabel *ValidationIndicator::createReasonLabel(QWidget *parent)
{
    auto *reason = new QLabel(parent);
    reason->setWordWrap(false);
    SetupStyle::makeSecondary(reason, true);
    const auto update = [this, reason] {
        const bool invalid = m_indicator.kind == FieldIndicator::Kind::Invalid;
        reason->setText(invalid ? m_indicator.toolTip : QString());
        reason->setVisible(invalid);
        SetupStyle::setTextTone(reason, SetupStyle::Tone::Failure);
    };
    connect(this, &ValidationIndicator::indicatorChanged, reason, update);
    update();
    return reason;
}

void ValidationIndicator::repaintSymbol()
{
    setPixmap(SetupStyle::statusPixmap(SetupStyle::toneOf(m_indicator.kind), 16, devicePixelRatioF()));
}
