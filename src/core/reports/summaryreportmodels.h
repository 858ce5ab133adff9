#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// What the history store reads from the runner's report.json and the first
// flow's detail file: only the members a history row needs. Same decoding
// rules as the full-report models. Plain values, any thread.

struct MaestroDevice
{
    std::optional<QString> name;
};

struct MaestroCommands
{
    std::optional<qint64> total;
    std::optional<qint64> passed;
};

struct MaestroFlow
{
    std::optional<QString> name;
    std::optional<QString> dataFile;
    std::optional<MaestroCommands> commands;
};

struct MaestroReportJSON
{
    std::optional<QString> status;
    std::optional<QString> startTime;
    std::optional<QString> endTime;
    std::optional<MaestroDevice> device;
    std::optional<std::vector<MaestroFlow>> flows;

    static std::optional<MaestroReportJSON> decode(const QByteArray &json, QString *error = nullptr);
};

struct MaestroFlowCommand
{
    std::optional<QString> status;
    std::optional<std::vector<MaestroFlowCommand>> subCommands;
};

struct MaestroFlowDetailsJSON
{
    std::optional<std::vector<MaestroFlowCommand>> commands;

    static std::optional<MaestroFlowDetailsJSON> decode(const QByteArray &json, QString *error = nullptr);
};
