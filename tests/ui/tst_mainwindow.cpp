#include "console/consolepanel.h"
#include "launchoptions.h"
#include "mainwindow.h"
#include "mirror/devicemirrorview.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"
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
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shell();
    void symbolTable_data();
    void symbolTable();
    void shortcuts_data();
    void shortcuts();
    void everyControlIsNamed();
    void launchOptions_data();
    void launchOptions();
    void helpAndVersionNeedNoDisplay();
};

using WindowCheck = std::function<bool(MainWindow &)>;
Q_DECLARE_METATYPE(WindowCheck)

void TestMainWindow::shell()
{
    MainWindow window;
    window.show();
    QTabWidget *tabs = window.tabs();
    const QStringList titles { QStringLiteral("Workspace"), QStringLiteral("History"), QStringLiteral("Settings") };
    QCOMPARE(tabs->count(), titles.size());
    for (int i = 0; i < tabs->count(); ++i) {
        QCOMPARE(tabs->tabText(i), titles.at(i));
        QVERIFY2(!tabs->tabIcon(i).pixmap(16, 16).isNull(), qPrintable(titles.at(i)));
    }
    QCOMPARE(tabs->currentIndex(), int(MainWindow::WorkspaceTab));
    QCOMPARE(window.footer()->text(), QStringLiteral("Kestrune ") + kestrune::appVersion());
    QVERIFY(window.footer()->isVisible());
    window.resize(300, 200);
    QVERIFY(window.width() >= 800 && window.height() >= 500);
    // A window narrower than 1000 pixels starts without the mirror panel.
    MainWindow narrow;
    narrow.resize(900, 600);
    narrow.show();
    QVERIFY(!narrow.mirrorPanel()->isVisible());
}

void TestMainWindow::symbolTable_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("resource");
    for (const SymbolIcons::Entry &entry : SymbolIcons::entries())
        QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol) << QString::fromLatin1(entry.resource);
}

// Each symbol has a theme name and our own SVG, which must load where no icon
// theme exists (macOS) and draws its neutral grey parts in the palette's
// text colour: lighter on a dark palette and on a selected row.
void TestMainWindow::symbolTable()
{
    QFETCH(QString, symbol);
    QFETCH(QString, resource);
    QVERIFY(*SymbolIcons::find(symbol)->themeName);
    QVERIFY(!SymbolIcons::icon(symbol).isNull());
    QVERIFY(QFile::exists(resource));
    const QPalette original = QGuiApplication::palette();
    const auto restore = qScopeGuard([&] { QGuiApplication::setPalette(original); });
    // The mean lightness of the drawn pixels under a palette.
    const auto lightness = [&](const QColor &text, const QColor &background, QIcon::Mode mode) {
        QPalette palette = original;
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        QGuiApplication::setPalette(palette);
        const QImage image = SymbolIcons::ownIcon(symbol).pixmap(QSize(32, 32), mode).toImage();
        int sum = 0, drawn = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) > 128 && ++drawn)
                    sum += QColor::fromRgba(image.pixel(x, y)).lightness();
            }
        }
        return drawn > 0 ? sum / drawn : -1;
    };
    const int light = lightness(Qt::black, Qt::white, QIcon::Normal);
    const int dark = lightness(QColor(230, 230, 230), QColor(30, 30, 32), QIcon::Normal);
    const int selected = lightness(Qt::black, Qt::white, QIcon::Selected);
    QVERIFY2(light >= 0, "the SVG draws something");
    if (testsupport::readFile(resource).contains("#5f6368")) {
        QVERIFY2(dark > light + 40, qPrintable(QStringLiteral("%1 on light, %2 on dark").arg(light).arg(dark)));
        QVERIFY2(selected > light + 40, qPrintable(QStringLiteral("%1 on light, %2 selected").arg(light).arg(selected)));
    }
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
    // Every screen of the window in turn: the workspace (with the console,
    // then the network page, and the mirror panel), History, Settings.
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.mirrorPanel()->isVisible());
    QStringList unnamed;
    const auto check = [&] {
        for (QWidget *widget : window.findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget)
                || qobject_cast<QLineEdit *>(widget);
            // A combo box's inner editor is named by its owner.
            if (!control || !widget->isVisibleTo(&window) || qobject_cast<QComboBox *>(widget->parentWidget()))
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            if (!accessible || accessible->text(QAccessible::Name).isEmpty())
                unnamed << QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
        }
    };
    check();
    window.consoleArea()->setSegment(ConsolePanel::NetworkSegment);
    check();
    for (const int tab : { int(MainWindow::HistoryTab), int(MainWindow::SettingsTab) }) {
        window.tabs()->setCurrentIndex(tab);
        check();
    }
    unnamed.removeDuplicates();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void TestMainWindow::launchOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("workspace"); // relative to the current folder
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("screenshot");
    QTest::newRow("nothing") << QStringList {} << "" << QSize() << "";
    QTest::newRow("a folder") << QStringList { "demo/workspace" } << "demo/workspace" << QSize() << "";
    QTest::newRow("option values are not the folder") << QStringList { "--screenshot", "shot.png", "--size", "800x500", "ws",
        "--dark" } << "ws" << QSize(800, 500) << "shot.png";
    QTest::newRow("first folder wins") << QStringList { "one", "two" } << "one" << QSize() << "";
    QTest::newRow("a folder named like an option") << QStringList { "--", "-ws" } << "-ws" << QSize() << "";
    QTest::newRow("malformed size") << QStringList { "--size", "wide", "ws" } << "ws" << QSize() << "";
    QTest::newRow("option without its value") << QStringList { "ws", "--size" } << "ws" << QSize() << "";
    QTest::newRow("help and version") << QStringList { "--help", "--version" } << "" << QSize() << "";
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

void TestMainWindow::helpAndVersionNeedNoDisplay()
{
    // The application answers before it touches the window system: here a
    // platform that cannot start without a display, and no display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const auto &[option, start] : { std::pair { "--help", "Usage: kestrune " }, std::pair { "-V", "Kestrune " } }) {
        QProcess app;
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(KESTRUNE_APP), { QString::fromLatin1(option) });
        QVERIFY(app.waitForFinished(10'000));
        QCOMPARE(app.exitCode(), 0);
        QVERIFY2(app.readAllStandardOutput().startsWith(start), option);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
