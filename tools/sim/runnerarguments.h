#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The runner's command line as the application builds it: global options
// (--platform, --team-id, --device, -e KEY=VALUE, --artifacts, --output)
// first, then either "hierarchy [--compact]" or the flow paths. Options after
// the first flow path are not parsed as options, as with the real runner.
struct RunnerArguments
{
    QString platform = QStringLiteral("ios");
    QString teamId;
    QString device;
    QList<std::pair<QString, QString>> env; // split at the first "="
    QString artifacts = QStringLiteral("on-failure");
    QString output = QStringLiteral("reports");
    QStringList flowPaths;
    bool hierarchy = false;
    bool compact = false;

    static bool parse(const QStringList &arguments, RunnerArguments *result, QString *error);
};
