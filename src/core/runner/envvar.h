#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

// One run variable handed to the runner as "-e KEY=VALUE". The key comes from
// the environment file and is fixed; the value may be edited in the header.
struct EnvVar
{
    QUuid id = QUuid::createUuid();
    QString key;
    QString value;

    bool operator==(const EnvVar &) const = default;
};

using EnvVarList = QList<EnvVar>;

Q_DECLARE_METATYPE(EnvVar)
