#pragma once

#include "flowreader.h"
#include "runrecord.h"

#include <QHash>
#include <QString>

#include <functional>

class ConsolePrinter;
class NetfoxWriter;
class SimClock;
class SimScreen;

// Runs one flow's commands against the simulated screen: each command takes
// a realistic (virtual) time, fires the app's network traffic, passes or
// fails the way the runner would, and is recorded for the report. After the
// first failure the remaining commands are skipped. Screenshots and, on a
// failure, the screen's picture and element tree go into the flow's assets
// folder. Owned by the runner role for one run; one thread.
class FlowExecutor final
{
public:
    struct Options
    {
        QHash<QString, QString> variables; // -e values and the process's run variables
        bool artifactsOnFailure = true;
        QString reportDir;
    };

    FlowExecutor(SimClock &clock, SimScreen &screen, const ConsolePrinter &console, const Options &options);

    // Netfox writers by bundle identifier; apps without one log nothing.
    void setNetworkLogger(std::function<NetfoxWriter *(const QString &bundleId)> logger) { m_logger = std::move(logger); }

    // Called after every finished top-level command (the report is rewritten then).
    void setProgressCallback(std::function<void(const FlowRecord &)> callback) { m_progress = std::move(callback); }

    // Called as each step's effect shows on the screen.
    void setScreenCallback(std::function<void(const SimScreen &)> callback) { m_screenShown = std::move(callback); }

    FlowRecord run(const FlowFile &flow, int index);

    bool interrupted() const { return m_interrupted; }

private:
    struct Scope
    {
        QHash<QString, QString> variables;
        QString appId;
        QString flowDir;
    };

    bool runList(const QList<YamlNode> &commands, QList<CommandRecord> *records, int depth, int topIndex, const Scope &scope,
        FlowRecord *flow);
    bool runCommand(const YamlNode &item, CommandRecord *record, int depth, int topIndex, const Scope &scope, FlowRecord *flow);
    QString expand(const QString &text, const Scope &scope) const;
    SimSelector selectorOf(const YamlNode &arg, const Scope &scope, CommandRecord *record) const;
    QString describe(const QString &type, const YamlNode &arg) const;
    // A runFlow's "when:" (visible / notVisible); true when there is none.
    bool conditionHolds(const YamlNode &arg, const Scope &scope, CommandRecord *record) const;
    qint64 jitter(qint64 baseMs, const QString &salt);
    bool spend(qint64 ms, const QStringList &events, const QString &appId);
    bool waitFor(const SimSelector &selector, qint64 timeoutMs, bool wantVisible, qint64 *waited);
    void fail(CommandRecord *record, const QString &type, const QString &message, const QString &details,
        const QString &suggestion) const;
    void saveFailureArtifacts(CommandRecord *record, int topIndex, const FlowRecord &flow) const;
    void skipRest(const QList<YamlNode> &commands, qsizetype from, QList<CommandRecord> *records, int depth, int topIndexBase,
        const Scope &scope);

    SimClock &m_clock;
    SimScreen &m_screen;
    const ConsolePrinter &m_console;
    Options m_options;
    std::function<NetfoxWriter *(const QString &)> m_logger;
    std::function<void(const FlowRecord &)> m_progress;
    std::function<void(const SimScreen &)> m_screenShown;
    QString m_flowKey;
    bool m_interrupted = false;
    bool m_firstCommand = true;
};
