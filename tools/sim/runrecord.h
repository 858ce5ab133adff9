#pragma once

#include "simscreen.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// What one executed command left behind, in the shape of the runner's
// per-command report entry. Times are virtual nanoseconds; 0 means absent.
struct CommandRecord
{
    QString id; // "cmd-004" at the top level, "sub-N" below
    int index = 0;
    QString type;
    QString label; // the YAML's label:, if any
    QString yaml; // one-line description as written (before ${VAR} expansion)
    QString status = QStringLiteral("pending");
    qint64 startNs = 0;
    qint64 endNs = 0;
    qint64 durationMs = -1;
    QString selectorType;
    QString selectorValue;
    QString paramText;
    bool hasElement = false;
    bool elementFound = false;
    SimElement element;
    QString errorType;
    QString errorMessage;
    QString errorDetails;
    QString errorSuggestion;
    QList<std::pair<QString, QString>> artifacts; // screenshotBefore, screenshotAfter, viewHierarchy
    QList<CommandRecord> subCommands;

    QString displayText() const { return label.isEmpty() ? yaml : label; }
};

struct FlowRecord
{
    int index = 0;
    QString id; // "flow-000"
    QString name;
    QString sourceFile;
    QStringList tags;
    QString status = QStringLiteral("pending");
    qint64 startNs = 0;
    qint64 endNs = 0;
    qint64 durationMs = -1;
    QList<CommandRecord> commands;
    QString error;

    int count(const QString &status) const;
    QString dataFile() const { return QStringLiteral("flows/") + id + QStringLiteral(".json"); }
    QString assetsDir() const { return QStringLiteral("assets/") + id; }
};

// The run as the report's header describes it.
struct RunInfo
{
    QString deviceId;
    QString deviceName;
    QString osVersion;
    QString model;
    bool isSimulator = false;
    QString appId;
    QString appName;
    QString appVersion;
    QString appBuild;
    QString runnerVersion = QStringLiteral("1.1.25");
    qint64 startNs = 0;
    qint64 endNs = 0;
    QString status = QStringLiteral("running");
};
