#include "e2esupport.h"
#include "mainwindow.h"
#include "mirror/devicemirrorview.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/phoneframeview.h"
#include "runner/runconfigurationstate.h"
#include "runner/runnerviewmodel.h"
#include "workspace/configheaderview.h"
#include "workspace/stretchablepicker.h"
#include "workspace/workspacetreeview.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace E2e;

// The mirror panel of the window on the simulated lab: the lab's phone on
// its USB cable is mirrored once chosen, its picture follows a run, and
// pulling and plugging the cable turn the panel off and on again.
class TestMirrorE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void mirrorsTheLabPhone();

private:
    int sim(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_sim;
    QString m_lab;
    QString m_workspace;
};

void TestMirrorE2e::initTestCase()
{
    m_sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    QVERIFY2(QFileInfo(m_sim).isExecutable(), qPrintable(m_sim));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");
    const QString home = m_dir.filePath(QStringLiteral("home"));
    m_lab = home + QStringLiteral("/lab");
    QVERIFY(writeFile(home + QStringLiteral("/.zshenv"),
        "export KESTRUNE_SIM_HOME='" + m_lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=human\n"));
    const QString runner = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    QVERIFY(writeFile(runner, "#!/bin/sh\nexec '" + m_sim.toUtf8() + "' \"$@\"\n", true));
    const QString settings = home + QStringLiteral("/settings.ini");
    QVERIFY(writeFile(settings,
        "[General]\nhasCompletedSetup=true\nisMirroringEnabled=true\nappleTeamID=QA12345678\nmaestroRunnerPath=" + runner.toUtf8()
            + "\nreportsOutputDirectory=" + m_dir.filePath(QStringLiteral("reports")).toUtf8() + "\n"));
    qputenv("HOME", home.toUtf8());
    qputenv("KESTRUNE_SIM_HOME", m_lab.toUtf8());
    qputenv("KESTRUNE_SIM_SPEED", "human");
    qputenv("KESTRUNE_XCRUN", m_sim.toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
    qputenv("KESTRUNE_SETTINGS_FILE", settings.toUtf8());
    m_workspace = m_dir.filePath(QStringLiteral("workspace"));
    QVERIFY(copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
    // The lab seeds itself, its phone on the cable.
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("list") }), 0);
}

int TestMirrorE2e::sim(const QStringList &arguments)
{
    QProcess process;
    process.start(m_sim, arguments);
    if (!process.waitForFinished(30'000))
        return -1;
    return process.exitCode();
}

void TestMirrorE2e::mirrorsTheLabPhone()
{
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    RunnerViewModel *vm = window.runner();
    DeviceMirrorView *panel = window.mirrorPanel();
    QVERIFY(panel->isVisible());

    // The phone, chosen in the header as a person would.
    StretchablePicker *devices = window.header()->devicePicker();
    QTRY_VERIFY(devices->isEnabled());
    const int device = RunConfigurationState::pickerIndex(devices->options(), kDevice);
    QVERIFY(device >= 0);
    Q_EMIT devices->activated(device);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::Live);
    QVERIFY(panel->titleLabel()->toolTip().endsWith(QStringLiteral("iPhone 15 Pro")));
    QTRY_VERIFY(!panel->phoneFrame()->picture().isNull());
    const QImage before = panel->phoneFrame()->picture();

    // A run moves the phone from screen to screen; the mirror follows.
    window.openWorkspace(m_workspace);
    QTRY_COMPARE(window.workspaceTree()->content(), WorkspaceTreeView::TreePage);
    FileNode flow;
    flow.name = QStringLiteral("login.yaml");
    flow.path = m_workspace + QStringLiteral("/login.yaml");
    vm->toggleFileSelection(flow);
    vm->setSelectedAppId(kApp);
    QTRY_VERIFY(window.header()->runButton()->isEnabled());
    QTest::mouseClick(window.header()->runButton(), Qt::LeftButton);
    QVERIFY(vm->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(panel->phoneFrame()->picture() != before, 60'000);
    QVERIFY(vm->isRunning());
    QCOMPARE(panel->state().body, MirrorPanelState::Body::Live);
    vm->stopRun();
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isRunning(), 30'000);

    // Cable out: the panel says so; cable in: the picture is back by itself.
    QElapsedTimer pulled;
    pulled.start();
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("detach"), kDevice }), 0);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::NotConnected);
    qInfo("panel shows the cable pulled %lld ms after the lab's detach", pulled.elapsed());
    QCOMPARE(panel->bodyTitle()->text(), QStringLiteral("Device Not Connected via USB"));
    QCOMPARE(sim({ QStringLiteral("usb"), QStringLiteral("attach"), kDevice }), 0);
    QTRY_COMPARE(panel->state().body, MirrorPanelState::Body::Live);
    QVERIFY(!panel->phoneFrame()->picture().isNull());

    // The toggle at the tab bar's end hides the panel, which stops the
    // capture, and shows it again, which starts a new one.
    // (On macOS it is the toolbar's button.)
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

QTEST_MAIN(TestMirrorE2e)
#include "tst_mirrore2e.moc"
