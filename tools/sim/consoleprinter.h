#pragma once

#include <QString>

struct CommandRecord;
struct FlowRecord;
#include <QList>

// The runner's console: banner, "Setup"/"Execution" titles, one line per
// finished step with its duration, sub-flow markers, flow results and the
// closing summary table. Plain text (no colours: the output is not a
// terminal when the application reads it). Owned by the runner role.
class ConsolePrinter final
{
public:
    static QString formatDuration(qint64 ms);

    void banner(const QString &version) const;
    void title(const QString &text) const;
    void setup(const QString &symbol, const QString &text) const;
    void plain(const QString &text) const;
    void flowStarted(int position, int total, const QString &name, const QString &file) const;
    void nestedStarted(int depth, const QString &text) const;
    void step(int depth, const CommandRecord &command) const;
    void flowFinished(const FlowRecord &flow) const;
    void summary(const QList<FlowRecord> &flows, qint64 totalMs, const QString &deviceLabel) const;
};
