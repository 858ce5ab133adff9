#include "console/consolepanel.h"
#include "launchoptions.h"
#include "mainwindow.h"
#include "runner/runnerviewmodel.h"
#include "settings/logging.h"
#include "symbolicons.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tabsInOrderWithIcons();
    void footerShowsProductAndVersion();
    void minimumSize();
    void symbolTable_data();
    void symbolTable();
    void shortcuts_data();
    void shortcuts();
    void everyControlIsNamed();
    void launchOptions_data();
    void launchOptions();
};

using WindowCheck = std::function<bool(MainWindow &)>;
Q_DECLARE_METATYPE(WindowCheck)

void TestMainWindow::tabsInOrderWithIcons()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QTabWidget *tabs = window.tabs();
    QCOMPARE(tabs->count(), 3);
    const QStringList titles { QStringLiteral("Workspace"), QStringLiteral("History"), QStringLiteral("Settings") };
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), titles.at(i));
        QVERIFY2(!tabs->tabIcon(i).pixmap(16, 16).isNull(), qPrintable(titles.at(i)));
    }
    QCOMPARE(tabs->currentIndex(), int(MainWindow::WorkspaceTab));
}

void TestMainWindow::footerShowsProductAndVersion()
{
    MainWindow window;
    window.show();
    QCOMPARE(window.footer()->text(), QStringLiteral("Kestrune ") + kestrune::appVersion());
    QCOMPARE(window.footer()->font().pointSize(), 10);
    QVERIFY(window.footer()->palette().color(QPalette::WindowText).alphaF() < 1.0);
    QVERIFY(window.footer()->isVisible());
}

void TestMainWindow::minimumSize()
{
    MainWindow window;
    window.show();
    QCOMPARE(window.minimumSize(), QSize(800, 500));
    window.resize(300, 200);
    QVERIFY(window.width() >= 800 && window.height() >= 500);
}

void TestMainWindow::symbolTable_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("themeName");
    QTest::addColumn<QString>("resource");
    for (const SymbolIcons::Entry &entry : SymbolIcons::entries())
        QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol) << QString::fromLatin1(entry.themeName)
                                    << QString::fromLatin1(entry.resource);
}

void TestMainWindow::symbolTable()
{
    QFETCH(QString, symbol);
    QFETCH(QString, themeName);
    QFETCH(QString, resource);
    QVERIFY(!themeName.isEmpty());
    QVERIFY(!SymbolIcons::icon(symbol).isNull());
    // Our own SVG must load where no icon theme exists (macOS).
    SymbolIcons::icon(symbol); // registers the resources
    QVERIFY(QFile::exists(resource));
    const QPixmap pixmap = SymbolIcons::icon(symbol).pixmap(14, 14);
    QVERIFY(!pixmap.isNull());
    const QImage image = pixmap.toImage();
    bool drawn = false;
    for (int y = 0; y < image.height() && !drawn; ++y) {
        for (int x = 0; x < image.width() && !drawn; ++x)
            drawn = qAlpha(image.pixel(x, y)) > 0;
    }
    QVERIFY2(drawn, "the SVG renders something");
}

void TestMainWindow::shortcuts_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<WindowCheck>("happened");

    QTest::newRow("Ctrl+O opens the folder chooser, without blocking")
        << QKeySequence(Qt::CTRL | Qt::Key_O) << WindowCheck([](MainWindow &window) {
               auto *dialog = window.findChild<QFileDialog *>(QStringLiteral("importWorkspaceDialog"));
               return dialog && dialog->isVisible() && dialog->fileMode() == QFileDialog::Directory
                   && dialog->windowModality() != Qt::ApplicationModal;
           });
    QTest::newRow("Ctrl+F focuses the console filter")
        << QKeySequence(Qt::CTRL | Qt::Key_F) << WindowCheck([](MainWindow &window) {
               auto *field = qobject_cast<QLineEdit *>(QApplication::focusWidget());
               return field && window.isAncestorOf(field) && field->placeholderText() == QStringLiteral("Filter console...");
           });
    // The network page's own search takes it; the page stays on screen.
    QTest::newRow("Ctrl+F on the network page stays there")
        << QKeySequence(Qt::CTRL | Qt::Key_F) << WindowCheck([](MainWindow &window) {
               auto *field = qobject_cast<QLineEdit *>(QApplication::focusWidget());
               return window.consoleArea()->segment() == ConsolePanel::NetworkSegment
                   && !(field && field->placeholderText() == QStringLiteral("Filter console..."));
           });
    QTest::newRow("Ctrl+R does nothing while a run cannot start")
        << QKeySequence(Qt::CTRL | Qt::Key_R)
        << WindowCheck([](MainWindow &window) { return !window.runner()->isRunning() && !window.runAction()->isEnabled(); });
    QTest::newRow("Ctrl+Shift+H asks for the hierarchy")
        << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H) << WindowCheck([](MainWindow &window) {
               return window.runner()->consoleLogs().join(QString()).contains(QStringLiteral("Please select a Device."));
           });
}

void TestMainWindow::shortcuts()
{
    QFETCH(QKeySequence, keys);
    QFETCH(WindowCheck, happened);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    if (QByteArray(QTest::currentDataTag()).contains("network page"))
        window.consoleArea()->setSegment(ConsolePanel::NetworkSegment);
    QTest::keySequence(&window, keys);
    // Console lines reach the controller's list in batches.
    QTRY_VERIFY_WITH_TIMEOUT(happened(window), 2000);
}

void TestMainWindow::everyControlIsNamed()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList unnamed;
    const QList<QWidget *> controls = window.findChildren<QWidget *>();
    for (QWidget *widget : controls) {
        const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QLineEdit *>(widget);
        // The tab bar's own scroll arrows and a combo box's inner editor are
        // named by their owners.
        if (!control || !widget->isVisibleTo(&window) || qobject_cast<QComboBox *>(widget->parentWidget()))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void TestMainWindow::launchOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("workspace"); // relative to the current folder
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("screenshot");

    QTest::newRow("nothing") << QStringList {} << QString() << QSize() << QString();
    QTest::newRow("a folder") << QStringList { "demo/workspace" } << "demo/workspace" << QSize() << QString();
    QTest::newRow("option values are not the folder")
        << QStringList { "--screenshot", "shot.png", "--size", "800x500", "ws", "--dark" } << "ws" << QSize(800, 500)
        << "shot.png";
    QTest::newRow("first folder wins") << QStringList { "one", "two" } << "one" << QSize() << QString();
    QTest::newRow("a folder named like an option") << QStringList { "--", "-ws" } << "-ws" << QSize() << QString();
    QTest::newRow("malformed size") << QStringList { "--size", "wide", "ws" } << "ws" << QSize() << QString();
    QTest::newRow("option without its value") << QStringList { "ws", "--size" } << "ws" << QSize() << QString();
    QTest::newRow("help and version") << QStringList { "--help", "--version" } << QString() << QSize() << QString();
}

void TestMainWindow::launchOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, workspace);
    QFETCH(QSize, size);
    QFETCH(QString, screenshot);
    const LaunchOptions options = LaunchOptions::parse(QStringList { "kestrune" } + arguments);
    QCOMPARE(options.workspace, workspace.isEmpty() ? QString() : QDir::current().absoluteFilePath(workspace));
    QCOMPARE(options.size, size);
    QCOMPARE(options.screenshot, screenshot);
    QCOMPARE(options.dark, arguments.contains("--dark"));
    QCOMPARE(options.help, arguments.contains("--help"));
    QCOMPARE(options.version, arguments.contains("--version"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
