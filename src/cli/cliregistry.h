#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The subcommands of kestrune-cli. Each subcommand's file registers itself
// with a static CliRegistration; main() looks commands up by name.
struct CliCommand
{
    QString name;
    QString usage;   // one line: arguments after the name
    QString summary; // one line: what it does
    // Receives the arguments after the subcommand's name; returns the exit status.
    std::function<int(const QStringList &arguments)> run;
};

class CliRegistry final
{
public:
    static void add(CliCommand command);
    static const CliCommand *find(const QString &name);
    static QList<CliCommand> all(); // sorted by name
};

struct CliRegistration
{
    explicit CliRegistration(CliCommand command) { CliRegistry::add(std::move(command)); }
};
