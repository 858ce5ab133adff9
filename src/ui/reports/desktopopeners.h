#pragma once

#include <QUrl>

class HistoryViewModel;
class ReportManager;

// The desktop side of opening reports: a page in the default browser, a run
// folder in the file browser. The core's ReportManager and HistoryViewModel
// take these as injected functions; the GUI's composition root wires them here.
namespace DesktopOpeners {

void openFile(const QUrl &url);
void revealFolder(const QUrl &url);

void wire(ReportManager &manager);
void wire(HistoryViewModel &model);

} // namespace DesktopOpeners
