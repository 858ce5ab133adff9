#pragma once

#include <QString>

// What the small status icon beside a settings field says: its kind (the
// view picks the symbol and colour) and the reason, shown as its tooltip.
// A plain value; the rules are pure functions of the field's text.
struct FieldIndicator
{
    enum class Kind { Valid, Invalid, Warning };

    Kind kind = Kind::Invalid;
    QString toolTip;

    // A path field: empty, of the wanted kind (folder or file, after
    // expanding "~"), or not found. Executability is not looked at.
    static FieldIndicator forPath(const QString &path, bool isDirectory);

    // The Apple Team ID field, judged on the trimmed text: empty is a
    // warning, ten capital letters or digits are valid, anything else not.
    static FieldIndicator forTeamId(const QString &teamId);

    bool operator==(const FieldIndicator &) const = default;
};
