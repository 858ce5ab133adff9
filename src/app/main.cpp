#include "mainwindow.h"
#include "settings/logging.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kestrune::kProductName));
    QApplication::setApplicationVersion(kestrune::appVersion());
    QApplication::setOrganizationName(QStringLiteral("Kestrune"));

    MainWindow window;
    window.show();
    return app.exec();
}
