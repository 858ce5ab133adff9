#include "desktopopeners.h"

#include "reports/historyviewmodel.h"
#include "reports/reportmanager.h"

#include <QDesktopServices>

void DesktopOpeners::openFile(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

void DesktopOpeners::revealFolder(const QUrl &url)
{
    // Opening a folder URL shows it in the platform's file browser.
    QDesktopServices::openUrl(url);
}

void DesktopOpeners::wire(ReportManager &manager)
{
    manager.setOpeners(openFile, revealFolder);
}

void DesktopOpeners::wire(HistoryViewModel &model)
{
    model.setUrlOpener(openFile);
}
