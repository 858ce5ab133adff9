#pragma once

#include "runrecord.h"

#include <QList>
#include <QString>

// The runner's CI outputs beside its report: allure-results/ (one
// flow-NNN-result.json per flow, steps with "attachments": null when they
// have none, failure screenshots copied in as attachments, plus
// categories.json, environment.properties and executor.json) and
// junit-report.xml. Written once at the end of a run. Stateless.
namespace AllureWriter {

void writeAllure(const QString &reportDir, const QList<FlowRecord> &flows, const RunInfo &info);
void writeJunit(const QString &reportDir, const QList<FlowRecord> &flows, const RunInfo &info);

} // namespace AllureWriter
