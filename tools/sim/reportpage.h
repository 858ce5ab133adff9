#pragma once

#include <QString>

// The runner's self-contained HTML report: its stylesheet (with the brand
// colour variables), its branded header, the embedded data statement on one
// line, and a small script that renders the flows from that data. Stateless.
namespace ReportPage {

// dataJson: the compact {"flows":[...],"index":{...}} object.
QString build(const QString &dataJson);

} // namespace ReportPage
