// The console area on a controller with fake services: the bar's controls,
// the view kept equal to the controller's trimmed and filtered list, the
// user scrolling up, and the flow viewer sheet.
#include "console/consolefilter.h"
#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"
#include "workspace/yamlviewerdialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <functional>

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
    void feed(int count)
    {
        QString text;
        for (int i = 0; i < count; ++i, ++next)
            text += QStringLiteral("    ✓ tapOn: id=\"b%1\" (%2ms)\n").arg(next).arg(next % 10);
        runner.processOutput(text);
        QCoreApplication::sendPostedEvents();
    }

    QString expected(const QString &filter = QString()) const
    {
        return ConsoleFilter(filter).apply(runner.consoleLogs()).join(QString());
    }

    QLineEdit *filter() const { return panel.findChild<QLineEdit *>(QStringLiteral("consoleFilter")); }

    QAbstractButton *button(const QString &name) const
    {
        for (QAbstractButton *button : panel.findChildren<QAbstractButton *>()) {
            if (button->accessibleName() == name)
                return button;
        }
        return nullptr;
    }

    FakeCommandExecutor executor;
    RunnerViewModel runner;
    ConsolePanel panel;
    int next = 0;
};

} // namespace

using Step = std::function<void(Fixture &)>;
Q_DECLARE_METATYPE(Step)

class TestConsolePanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controls_data();
    void controls();
    void segmentButtonsKeepTheirWidth();
    void mirrorsTrimmedConsole_data();
    void mirrorsTrimmedConsole();
    void scrollingUpStopsFollowing();
    void viewerOpensAndClearsPreview();
};

void TestConsolePanel::controls_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");

    const auto click = [](const char *name) { return Step([name](Fixture &f) { f.button(QString::fromUtf8(name))->click(); }); };
    QTest::newRow("Auto-Scroll") << click("Auto-Scroll")
                                 << Step([](Fixture &f) { QVERIFY(!f.panel.consoleView()->autoScroll()); });
    // No device is chosen: the controller says so in the console.
    QTest::newRow("Check UI Hierarchy") << click("Check UI Hierarchy") << Step([](Fixture &f) {
        QTRY_VERIFY(f.runner.consoleLogs().join(QString()).contains(QStringLiteral("Please select a Device.")));
    });
    QTest::newRow("Copy All Logs copies every line, whatever the filter") << Step([](Fixture &f) {
        f.filter()->setText(QStringLiteral("nothing matches this"));
        f.button(QStringLiteral("Copy All Logs"))->click();
    }) << Step([](Fixture &f) { QCOMPARE(QApplication::clipboard()->text(), f.runner.consoleLogs().join(QString())); });
    QTest::newRow("Clear Console") << click("Clear Console") << Step([](Fixture &f) {
        QTRY_VERIFY(f.runner.consoleLogs().isEmpty());
        QCOMPARE(f.panel.consoleView()->lineCount(), 0);
    });
    QTest::newRow("Network segment") << click("Network (0)") << Step([](Fixture &f) {
        QCOMPARE(f.panel.segment(), ConsolePanel::NetworkSegment);
        QVERIFY(f.button(QStringLiteral("Clear Logs")));
    });
    const Step unfocused([](Fixture &f) { QVERIFY(!f.filter()->hasFocus()); });
    QTest::newRow("the filter loses focus on a flow pick") << Step([](Fixture &f) {
        f.panel.focusFilter();
        QVERIFY(f.filter()->hasFocus());
        f.runner.setSelectedFlowRelativePath(QStringLiteral("login.yaml"));
    }) << unfocused;
    QTest::newRow("the filter loses focus on an env pick") << Step([](Fixture &f) {
        f.panel.focusFilter();
        QVERIFY(f.filter()->hasFocus());
        f.runner.setSelectedEnvRelativePath(QStringLiteral("env_sit.yaml"));
    }) << unfocused;
}

void TestConsolePanel::controls()
{
    QFETCH(Step, act);
    QFETCH(Step, check);
    Fixture f;
    f.feed(3);
    f.panel.show();
    f.panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.panel));
    act(f);
    if (!QTest::currentTestFailed())
        check(f);
    // Every control says what it is, the filter's own clear button too.
    for (QWidget *widget : f.panel.findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget))
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
    }
}

void TestConsolePanel::segmentButtonsKeepTheirWidth()
{
    // The filter hides on the network page; its room must not go to them.
    Fixture f;
    f.panel.resize(900, 300);
    f.panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.panel));
    const auto widths
        = [&f] { return QSize(f.button(QStringLiteral("Console"))->width(), f.button(QStringLiteral("Network (0)"))->width()); };
    const QSize onConsole = widths();
    f.panel.setSegment(ConsolePanel::NetworkSegment);
    QCoreApplication::processEvents();
    QVERIFY(!f.filter()->isVisible());
    QCOMPARE(widths(), onConsole);
}

void TestConsolePanel::mirrorsTrimmedConsole_data()
{
    // Batches that cross the controller's 2,500-line limit; after each the
    // view must show exactly the (filtered) list.
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("1900 then 700") << QString() << QList<int> { 1900, 700 };
    QTest::newRow("one flood over the limit") << QString() << QList<int> { 3000 };
    QTest::newRow("filtered, 1900, 700, then a flood") << "7" << QList<int> { 1900, 700, 3000 };
}

void TestConsolePanel::mirrorsTrimmedConsole()
{
    QFETCH(QString, filter);
    QFETCH(QList<int>, batches);
    Fixture f;
    f.filter()->setText(filter);
    for (int count : batches) {
        f.feed(count);
        QCOMPARE(f.panel.consoleView()->consoleText(), f.expected(filter));
    }
}

void TestConsolePanel::scrollingUpStopsFollowing()
{
    Fixture f;
    f.panel.resize(600, 300);
    f.panel.show();
    f.feed(200);
    ConsoleView *view = f.panel.consoleView();
    view->flush();
    QScrollBar *bar = view->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    // The user reads an earlier line; new output leaves it where it is.
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int reading = bar->value();
    f.feed(50);
    view->flush();
    QCOMPARE(bar->value(), reading);
    QVERIFY(bar->maximum() > reading);
    // Back at the end, the view follows again.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    f.feed(50);
    view->flush();
    QCOMPARE(bar->value(), bar->maximum());
}

void TestConsolePanel::viewerOpensAndClearsPreview()
{
    Fixture f;
    QWidget window;
    bindYamlViewer(&f.runner, &window);
    QTemporaryDir dir;
    const QString flow = dir.filePath(QStringLiteral("login.yaml"));
    QVERIFY(testsupport::writeFile(flow, "appId: com.example.app\n---\n- tapOn: \"Login\"\n"));
    window.show();
    f.runner.setPreviewURLItem({ QUuid::createUuid(), QUrl::fromLocalFile(flow) });
    auto *dialog = window.findChild<YamlViewerDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->lineCountBadge()->text(), QStringLiteral("4 lines"));
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(f.runner.previewURLItem().isNull());
}

QTEST_MAIN(TestConsolePanel)
#include "tst_consolepanel.moc"
