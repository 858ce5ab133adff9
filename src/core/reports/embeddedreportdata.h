#pragma once

#include "jsonnode.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// The data object the runner embeds in its report.html
// ("let reportData = {...};"), as far as linking screenshots needs it, plus
// every member the runner wrote: the write-back changes only what was patched
// and keeps the rest (the runner's page renders from all of it). Plain values,
// built and used on one worker thread.

// Any JSON value of an artifact; JSON null reads (and is written back) as "".
struct AnyCodable
{
    JsonNode value;

    static AnyCodable fromJson(const JsonNode &node);
    bool isString() const { return value.isString(); }
    QString toString() const { return value.isString() ? value.text : QString(); }
};

struct EmbeddedArtifact
{
    QString key;
    AnyCodable value;
};

struct EmbeddedCommand
{
    std::optional<QString> type;
    std::optional<qint64> index;
    std::optional<QString> id;
    std::optional<std::vector<EmbeddedArtifact>> artifacts; // in the runner's order
    bool artifactsChanged = false; // only changed artifacts are written back from here
    std::optional<std::vector<EmbeddedCommand>> subCommands;
    JsonNode raw; // the object as the runner wrote it

    bool hasArtifact(QStringView key) const;
    void setArtifact(const QString &key, const QString &value);
};

struct EmbeddedFlow
{
    std::optional<QString> id;
    std::optional<std::vector<EmbeddedCommand>> commands;
    JsonNode raw;
};

struct EmbeddedReportData
{
    std::optional<std::vector<EmbeddedFlow>> flows;
    JsonNode raw;

    // The family's keys with the types the runner uses; a key of another type
    // fails the whole object (nullopt and `error`). Null counts as absent.
    static std::optional<EmbeddedReportData> decode(QStringView json, QString *error = nullptr);
    // Compact, members in the runner's order, slashes as "\/", '<', '>', '&'
    // as \u escapes; members outside the family kept as they were.
    QString encode() const;
};

// Where the object sits in the page: the JSON text of
// "let reportData = (\{.*?\});\n" (first match, dot matching line breaks).
struct EmbeddedDataRange
{
    qsizetype start = 0;
    qsizetype length = 0;
};

namespace EmbeddedReportLocator {
std::optional<EmbeddedDataRange> locate(const QString &html);
}
