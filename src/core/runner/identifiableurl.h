#pragma once

#include <QMetaType>
#include <QUrl>
#include <QUuid>

// A file to show in the flow viewer. A new id makes the viewer reopen even
// when the same file is chosen again. An empty url means "nothing to show".
struct IdentifiableUrl
{
    QUuid id;
    QUrl url;

    bool isNull() const { return url.isEmpty(); }
    bool operator==(const IdentifiableUrl &) const = default;
};

Q_DECLARE_METATYPE(IdentifiableUrl)
