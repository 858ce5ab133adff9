#pragma once

#include <QString>

// The constant blocks of the generated pages, kept as Qt resources: the
// custom report's head, style and functions, the network-log panel script and
// the application logo. Loaded once; safe on any thread.
namespace ReportResources {

QString customReportHead();
QString customReportStyle();
QString customReportScript();
QString networkLogPanelTemplate(); // holds "__LOG_DATA_PLACEHOLDER__" once

// "data:image/png;base64,..." of the 128 x 128 RGBA application logo.
const QString &logoDataUri();

} // namespace ReportResources
