#include "appdelegate.h"
#include "mainwindow.h"
#include "settings/logging.h"

#include <QApplication>
#include <QTimer>

namespace {

// `--screenshot <file.png>`: shows the window, saves what it draws and
// exits (documentation and visual checks under Xvfb; not a user option).
QString screenshotPath(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot"));
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kestrune::kProductName));
    QApplication::setApplicationVersion(kestrune::appVersion());
    QApplication::setOrganizationName(QStringLiteral("Kestrune"));
    QApplication::setDesktopFileName(QString::fromLatin1(kestrune::kBundleIdentifier));

    AppDelegate delegate;
    MainWindow window;
    window.show();
    delegate.scheduleAttachWindowDelegates();

    const QString screenshot = screenshotPath(QApplication::arguments());
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(500, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
