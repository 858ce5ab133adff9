#pragma once

#include "gojson.h"
#include "runrecord.h"

#include <QList>
#include <QString>

// Writes the runner's report folder: report.json (rewritten during the run
// through a .tmp file and a rename, with a growing updateSeq), one detail file
// per flow under flows/, and at the end report.html with the data embedded on
// one line as "let reportData = {...};". Owned by the runner role; one thread.
class ReportWriter final
{
public:
    ReportWriter(const QString &dir, const RunInfo &info);

    bool prepare(QString *error);
    void writeIndex(const QList<FlowRecord> &flows, qint64 nowNs);
    void writeFlow(const FlowRecord &flow);
    void writeHtml(const QList<FlowRecord> &flows, qint64 nowNs);

    RunInfo &info() { return m_info; }
    const QString &dir() const { return m_dir; }

    GoJson indexJson(const QList<FlowRecord> &flows, qint64 nowNs) const;
    GoJson flowJson(const FlowRecord &flow) const;

private:
    GoJson deviceJson() const;
    static GoJson commandJson(const CommandRecord &command);

    QString m_dir;
    RunInfo m_info;
    quint64 m_updateSeq = 0;
};
