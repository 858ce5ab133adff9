#pragma once

#include <QString>

// Swaps the runner's branding in its report.html for the application's:
// accent colours, brand name and credit, the repository link (removed) and
// the logo. Stateless; runs on the report worker.
namespace ReportBranding {

// Applies every replacement in place; true when the text changed.
bool apply(QString &html);

} // namespace ReportBranding
