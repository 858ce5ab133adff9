#include "cliregistry.h"

#include <algorithm>

namespace {

QList<CliCommand> &commands()
{
    static QList<CliCommand> list;
    return list;
}

} // namespace

void CliRegistry::add(CliCommand command)
{
    commands().append(std::move(command));
}

const CliCommand *CliRegistry::find(const QString &name)
{
    for (const CliCommand &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

QList<CliCommand> CliRegistry::all()
{
    QList<CliCommand> sorted = commands();
    std::sort(sorted.begin(), sorted.end(), [](const CliCommand &a, const CliCommand &b) { return a.name < b.name; });
    return sorted;
}
