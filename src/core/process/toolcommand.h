#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// One outside command line: the program to start and exactly the arguments
// it receives (the program is not repeated among them). Built only by
// ToolCommands; a plain value.
struct ToolCommand
{
    QString program;
    QStringList arguments;

    bool operator==(const ToolCommand &) const = default;
};

Q_DECLARE_METATYPE(ToolCommand)
