#pragma once

#include "setup/fieldindicator.h"

#include <QLabel>

// The small status icon beside a settings field: a green check, a red cross
// or a yellow exclamation, with the reason as its tooltip and accessible
// description. Which rule applies is the field's business (a path that must
// be a folder or a file, or the Apple Team ID). Main thread.
class ValidationIndicator final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ValidationIndicator)

public:
    enum class Rule { FolderPath, FilePath, TeamId };

    explicit ValidationIndicator(Rule rule, QWidget *parent = nullptr);

    const FieldIndicator &indicator() const { return m_indicator; }

    // A label that spells out the reason while the value is invalid (hidden
    // otherwise), for under the field.
    QLabel *createReasonLabel(QWidget *parent);

public Q_SLOTS:
    void setValue(const QString &value);

Q_SIGNALS:
    void indicatorChanged();

private:
    void repaintSymbol();

    Rule m_rule;
    FieldIndicator m_indicator;
};
