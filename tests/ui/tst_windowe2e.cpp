#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "e2esupport.h"
#include "mainwindow.h"
#include "mirror/devicemirrorview.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/phoneframeview.h"
#include "runner/runconfigurationstate.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"
#include "workspace/configheaderview.h"
#include "workspace/stretchablepicker.h"
#include "workspace/workspacetreemodel.h"
#include "workspace/workspacetreeview.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

using testsupport::writeFile;

// The window on the simulated lab, driven as a user would: open the demo
// workspace, click a flow and an env file, choose the lab's phone (its
// screen mirrored over the lab's USB cable) and app, run, and watch the
// result, the traffic and the report button arrive; then pull and plug the
// cable and hide and show the mirror panel.
class TestWindowE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void runOnTheLabPhone();

private:
    int sim(const QStringList &arguments);
    static void clickRow(WorkspaceFileTree *tree, const QString &name);

    QTemporaryDir m_dir;
    QString m_sim;
    QString m_workspace;
};

void TestWindowE2e::initTestCase()
{
    m_sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    QVERIFY2(QFileInfo(m_sim).isExecutable(), qPrintable(m_sim));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString lab = home + QStringLiteral("/lab");
    QVERIFY(writeFile(
        home + QStringLiteral("/.zshenv"), "export KESTRUNE_SIM_HOME='" + lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=0.25\n"));
    const QString runner = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    QVERIFY(writeFile(runner, "#!/bin/sh\nexec '" + m_sim.toUtf8() + "' \"$@\"\n", true));
    const QString settings = home + QStringLiteral("/settings.ini");
    QVERIFY(writeFile(settings,
        "[General]\nhasCompletedSetup=true\nisMirroringEnabled=true\nappleTeamID=QA12345678\nmaestroRunnerPath=" + runner.toUtf8()
            + "\nreportsOutputDirectory=" + m_dir.filePath(QStringLiteral("reports")).toUtf8() + "\n"));
    qputenv("HOME", home.toUtf8());
    qputenv("KESTRUNE_SIM_HOME", lab.toUtf8());
    qputenv("KESTRUNE_SIM_SPEED", "0.25");
    qputenv("KESTRUNE_XCRUN", m_sim.toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
    qputenv("KESTRUNE_SETTINGS_FILE", settings.toUtf8());
    m_workspace = m_dir.filePath(QStringLiteral("workspace"));
    QVERIFY(testsupport::copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
    // The lab seeds itself, its phone on the cable.
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("list") }), 0);
}

int TestWindowE2e::sim(const QStringList &arguments)
{
    QProcess process;
    process.start(m_sim, arguments);
    return process.waitForFinished(30'000) ? process.exitCode() : -1;
}

void TestWindowE2e::clickRow(WorkspaceFileTree *tree, const QString &name)
{
    const QModelIndexList found = tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(found.first()).center());
}

void TestWindowE2e::runOnTheLabPhone()
{
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    RunnerViewModel *vm = window.runner();
    ConfigHeaderView *header = window.header();
    DeviceMirrorView *panel = window.mirrorPanel();
    QVERIFY(panel->isVisible());
    window.openWorkspace(m_workspace);
    WorkspaceFileTree *tree = window.workspaceTree()->tree();
    QTRY_COMPARE(window.workspaceTree()->content(), WorkspaceTreeView::TreePage);

    clickRow(tree, QStringLiteral("login.yaml"));
    clickRow(tree, QStringLiteral(".env"));
    QTRY_VERIFY(!header->variableFields().isEmpty());
    QCOMPARE(vm->selectedEnvRelativePath(), QStringLiteral(".env"));
    const QModelIndexList flowRow
        = tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("login.yaml"));
    QCOMPARE(flowRow.first().data(WorkspaceTreeModel::MarkerRole).toInt(), int(WorkspaceTreeModel::FlowMarker));

    // The lab's phone, chosen from the list, is mirrored; then its app.
    StretchablePicker *devices = header->devicePicker();
    QTRY_VERIFY(devices->isEnabled());
    const int device = RunConfigurationState::pickerIndex(devices->options(), E2e::kDevice);
    QVERIFY(device >= 0);
    Q_EMIT devices->activated(device);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::Live);
    QVERIFY(panel->titleLabel()->toolTip().endsWith(QStringLiteral("iPhone 15 Pro")));
    QTRY_VERIFY(!panel->phoneFrame()->picture().isNull());
    const QImage before = panel->phoneFrame()->picture();
    StretchablePicker *apps = header->appPicker();
    QTRY_VERIFY(RunConfigurationState::pickerIndex(apps->options(), E2e::kApp) >= 0);
    Q_EMIT apps->activated(RunConfigurationState::pickerIndex(apps->options(), E2e::kApp));
    QCOMPARE(vm->selectedAppId(), E2e::kApp);

    QVERIFY(header->runButton()->isEnabled());
    QTest::mouseClick(header->runButton(), Qt::LeftButton);
    QVERIFY(vm->isRunning());
    QVERIFY(header->stopButton()->isVisible());
    // The run moves the phone from screen to screen; the mirror follows.
    QTRY_VERIFY_WITH_TIMEOUT(panel->phoneFrame()->picture() != before || !vm->isRunning(), 60'000);
    QVERIFY2(panel->phoneFrame()->picture() != before, "the mirrored screen changed during the run");
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isRunning(), 150'000);
    const QString result = vm->consoleLogs().join(QString());
    QVERIFY2(result.contains(QStringLiteral("steps passing")), qPrintable(result.right(600)));
    QTRY_VERIFY_WITH_TIMEOUT(header->reportButton()->isVisible(), 60'000);
    // The last pull after the run may land after the report.
    QTRY_VERIFY_WITH_TIMEOUT(!vm->networkHits().isEmpty(), 10'000);

    // The flow's result line, coloured, in the console view.
    ConsoleView *console = window.consoleArea()->consoleView();
    QCOMPARE(console->consoleText(), vm->consoleLogs().join(QString()));
    bool coloured = false;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        if (!block.text().contains(QStringLiteral("\u2713 ")))
            continue;
        for (const QTextLayout::FormatRange &range : block.textFormats())
            coloured = coloured || range.format.hasProperty(QTextFormat::ForegroundBrush);
    }
    QVERIFY2(coloured, "the passed flow's line has a colour");

    // "Network (N)" counts the captured exchanges.
    QStringList counts;
    for (QPushButton *button : window.consoleArea()->findChildren<QPushButton *>()) {
        if (button->text().startsWith(QStringLiteral("Network (")))
            counts << button->text();
    }
    QCOMPARE(counts, QStringList { QStringLiteral("Network (%1)").arg(vm->networkHits().size()) });

    // Cable out: the panel says so; cable in: the picture is back by itself.
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("detach"), E2e::kDevice }), 0);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::NotConnected);
    QCOMPARE(panel->bodyTitle()->text(), QStringLiteral("Device Not Connected via USB"));
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("attach"), E2e::kDevice }), 0);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::Live);
    QVERIFY(!panel->phoneFrame()->picture().isNull());

    // The toggle at the tab bar's end (on macOS the toolbar's button) hides
    // the panel, which stops the capture, and shows it again, which starts
    // a new one.
    auto *toggle = window.findChild<QToolButton *>(QStringLiteral("mirrorToggle"));
    const auto press = [&] {
        if (toggle)
            QTest::mouseClick(toggle, Qt::LeftButton);
        else
            window.mirrorAction()->trigger();
    };
    press();
    QVERIFY(!panel->isVisible());
    QVERIFY(!panel->viewModel()->isConnected());
    press();
    QVERIFY(panel->isVisible());
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::Live);
}

QTEST_MAIN(TestWindowE2e)
#include "tst_windowe2e.moc"
