#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

// What the custom report reads from the runner's report.json and per-flow
// detail files. Every member is optional (missing or null = absent); a member
// of another JSON type fails the whole file. Plain values, any thread.

struct MaestroDeviceFull
{
    std::optional<QString> platform;
    std::optional<QString> id;
    std::optional<QString> name;
    std::optional<QString> osVersion;
    std::optional<bool> isSimulator;
};

struct MaestroApp
{
    std::optional<QString> id;
};

struct MaestroRunnerInfo
{
    std::optional<QString> version;
    std::optional<QString> driver;
};

struct MaestroFlowMeta
{
    std::optional<QString> name;
    std::optional<QString> dataFile;
    std::optional<QString> assetsDir;
};

struct MaestroFullReport
{
    std::optional<QString> startTime;
    std::optional<QString> endTime;
    std::optional<MaestroDeviceFull> device;
    std::optional<MaestroApp> app;
    std::optional<MaestroRunnerInfo> maestroRunner;
    std::optional<std::vector<MaestroFlowMeta>> flows;

    static std::optional<MaestroFullReport> decode(const QByteArray &json, QString *error = nullptr);
};

// A command's failure: the runner writes an object {type, message, ...};
// older files carry a plain string.
struct FlowCommandError
{
    enum class Case { Dict, String };
    Case kind = Case::String;
    QString message;
};

struct FlowCommandArtifact
{
    QString key;
    QString value;
};

struct FlowCommand
{
    std::optional<QString> status;
    std::optional<QString> type;
    std::optional<QString> yaml;
    std::optional<qint64> index;
    std::optional<QString> startTime;
    std::optional<QString> endTime;
    std::optional<qint64> duration; // milliseconds
    std::optional<FlowCommandError> error;
    std::optional<std::vector<FlowCommandArtifact>> artifacts; // in file order
    std::optional<std::vector<FlowCommand>> subCommands;
};

struct FlowDetailsJSON
{
    std::optional<std::vector<FlowCommand>> commands;

    static std::optional<FlowDetailsJSON> decode(const QByteArray &json, QString *error = nullptr);
};
