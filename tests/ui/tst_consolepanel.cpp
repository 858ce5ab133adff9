#include "console/consolefilter.h"
#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"
#include "workspace/yamlviewerdialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

namespace {

struct Fixture
{
    Fixture()
        : runner(std::make_shared<FakeDeviceDetector>(), &executor, std::make_shared<FakeReportManager>())
        , panel(&runner)
    {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }

    // Feeds `count` runner lines in one output batch and lets the
    // controller append them.
    void feed(int count, int &next)
    {
        QString text;
        for (int i = 0; i < count; ++i)
            {
            text += QStringLiteral("    ✓ tapOn: id=\"b%1\" (%2ms)\n").arg(next).arg(next % 10);
            ++next;
        }
        runner.processOutput(text);
        QCoreApplication::sendPostedEvents();
    }

    QString expected(const QString &filter = QString()) const
    {
        return ConsoleFilter(filter).apply(runner.consoleLogs()).join(QString());
    }

    FakeCommandExecutor executor;
    RunnerViewModel runner;
    ConsolePanel panel;
};

QAbstractButton *buttonNamed(QWidget *root, const QString &name)
{
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->accessibleName() == name)
            return button;
    }
    return nullptr;
}

} // namespace

class TestConsolePanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controls_data();
    void controls();
    void mirrorsTrimmedConsole_data();
    void mirrorsTrimmedConsole();
    void typingFilter();
    void scrollingUpStopsFollowing();
    void viewerOpensAndClearsPreview();
};

void TestConsolePanel::controls_data()
{
    // Each control, found by its accessible name, and what it drives.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("effect");
    QTest::newRow("Auto-Scroll") << "Auto-Scroll" << "autoScroll";
    QTest::newRow("Check UI Hierarchy") << "Check UI Hierarchy" << "fetchHierarchy";
    QTest::newRow("Copy All Logs") << "Copy All Logs" << "clipboard";
    QTest::newRow("Clear Console") << "Clear Console" << "clearConsole";
    QTest::newRow("Network segment") << "Network (0)" << "networkSegment";
    QTest::newRow("filter loses focus on a flow pick") << "Filter console..." << "flowFocus";
    QTest::newRow("filter loses focus on an env pick") << "Filter console..." << "envFocus";
}

void TestConsolePanel::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, effect);
    Fixture f;
    int next = 0;
    f.feed(3, next);
    if (effect.endsWith(u"Focus")) {
        auto *field = f.panel.findChild<QLineEdit *>(QStringLiteral("consoleFilter"));
        QCOMPARE(field->accessibleName(), name);
        f.panel.show();
        f.panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.panel));
        f.panel.focusFilter();
        QVERIFY(field->hasFocus());
        if (effect == u"flowFocus")
            f.runner.setSelectedFlowRelativePath(QStringLiteral("login.yaml"));
        else
            f.runner.setSelectedEnvRelativePath(QStringLiteral("env_sit.yaml"));
        QVERIFY(!field->hasFocus());
        return;
    }
    QAbstractButton *button = buttonNamed(&f.panel, name);
    QVERIFY2(button, qPrintable(name));
    if (effect == u"autoScroll") {
        QVERIFY(f.panel.consoleView()->autoScroll());
        button->click();
        QVERIFY(!f.panel.consoleView()->autoScroll());
    } else if (effect == u"fetchHierarchy") {
        // No device is chosen: the controller says so in the console.
        const qsizetype before = f.runner.consoleLogs().size();
        button->click();
        QCoreApplication::sendPostedEvents();
        QTRY_VERIFY(f.runner.consoleLogs().size() != before || f.runner.runMode() == RunMode::Hierarchy);
    } else if (effect == u"clipboard") {
        f.panel.findChild<QLineEdit *>(QStringLiteral("consoleFilter"))->setText(QStringLiteral("nothing matches this"));
        button->click();
        QCOMPARE(QApplication::clipboard()->text(), f.runner.consoleLogs().join(QString()));
    } else if (effect == u"clearConsole") {
        button->click();
        QTRY_VERIFY(f.runner.consoleLogs().isEmpty());
        QCOMPARE(f.panel.consoleView()->lineCount(), 0);
    } else if (effect == u"networkSegment") {
        button->click();
        QCOMPARE(f.panel.segment(), ConsolePanel::NetworkSegment);
        QVERIFY(buttonNamed(&f.panel, QStringLiteral("Clear Logs")));
    }
    // Every control says what it is.
    for (QWidget *widget : f.panel.findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget))
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
    }
}

void TestConsolePanel::mirrorsTrimmedConsole_data()
{
    // Batches that cross the controller's 2,500-line limit; after each the
    // view must show exactly the (filtered) list.
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("1900 then 700") << QString() << QList<int> { 1900, 700 };
    QTest::newRow("one flood") << QString() << QList<int> { 5000 };
    QTest::newRow("filtered, 1900 then 700") << "7" << QList<int> { 1900, 700, 3000 };
}

void TestConsolePanel::mirrorsTrimmedConsole()
{
    QFETCH(QString, filter);
    QFETCH(QList<int>, batches);
    Fixture f;
    f.panel.findChild<QLineEdit *>(QStringLiteral("consoleFilter"))->setText(filter);
    int next = 0;
    for (int count : batches) {
        f.feed(count, next);
        QCOMPARE(f.panel.consoleView()->consoleText(), f.expected(filter));
    }
}

void TestConsolePanel::typingFilter()
{
    Fixture f;
    int next = 0;
    f.feed(30, next);
    auto *field = f.panel.findChild<QLineEdit *>(QStringLiteral("consoleFilter"));
    f.panel.show();
    f.panel.focusFilter();
    QTest::keyClicks(field, QStringLiteral("ID=\"B2"));
    QCOMPARE(f.panel.consoleView()->consoleText(), f.expected(QStringLiteral("id=\"b2")));
    QCOMPARE(f.panel.consoleView()->lineCount(), 11); // b2, b20…b29
    // Clearing the field shows every line again (a longer list, in full).
    field->clear();
    QCOMPARE(f.panel.consoleView()->consoleText(), f.expected());
}

void TestConsolePanel::scrollingUpStopsFollowing()
{
    Fixture f;
    f.panel.resize(600, 300);
    f.panel.show();
    int next = 0;
    f.feed(200, next);
    ConsoleView *view = f.panel.consoleView();
    view->flush();
    QScrollBar *bar = view->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    // The user reads an earlier line; new output leaves it where it is.
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int reading = bar->value();
    f.feed(50, next);
    view->flush();
    QCOMPARE(bar->value(), reading);
    QVERIFY(bar->maximum() > reading);
    // Back at the end, the view follows again.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    f.feed(50, next);
    view->flush();
    QCOMPARE(bar->value(), bar->maximum());
}

void TestConsolePanel::viewerOpensAndClearsPreview()
{
    Fixture f;
    QWidget window;
    bindYamlViewer(&f.runner, &window);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("login.yaml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("appId: com.example.app\n---\n- tapOn: \"Login\"\n");
    file.close();
    window.show();
    f.runner.setPreviewURLItem({ QUuid::createUuid(), QUrl::fromLocalFile(file.fileName()) });
    auto *dialog = window.findChild<YamlViewerDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->lineCountBadge()->text(), QStringLiteral("4 lines"));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(f.runner.previewURLItem().isNull());
}

QTEST_MAIN(TestConsolePanel)
#include "tst_consolepanel.moc"
