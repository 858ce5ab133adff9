#pragma once

#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// The state of one prerequisite check: passed or not with the text shown,
// not checked yet, or running. Equal when the same case with the same text.
struct CheckStatus
{
    enum class Kind { Success, Failed, Pending, Loading };

    Kind kind = Kind::Pending;
    QString text; // only Success and Failed carry one

    static CheckStatus success(const QString &text) { return { Kind::Success, text }; }
    static CheckStatus failed(const QString &text) { return { Kind::Failed, text }; }
    static CheckStatus pending() { return { Kind::Pending, {} }; }
    static CheckStatus loading() { return { Kind::Loading, {} }; }

    bool isFinal() const { return kind == Kind::Success || kind == Kind::Failed; }

    bool operator==(const CheckStatus &) const = default;
};

// One row of the environment check. An advisory row (the signing check)
// reports a problem without standing in anyone's way; `hint` says what to
// do about a failure that no command installs.
struct EnvironmentCheckItem
{
    QUuid id = QUuid::createUuid();
    QString name;
    QString description;
    CheckStatus status;
    std::optional<QString> installInstruction;
    QString hint;
    bool isAdvisory = false;

    // The install command is offered for a failed row only.
    bool showsInstallInstruction() const { return status.kind == CheckStatus::Kind::Failed && installInstruction.has_value(); }
};

Q_DECLARE_METATYPE(CheckStatus)
