#include "console/consolepanel.h"
#include "fakecapturebackend.h"
#include "mirror/devicemirrorview.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/mirrorswitch.h"
#include "mirror/phoneframeview.h"
#include "runnerfixture.h"
#include "settings/settingsstore.h"
#include "workspace/configheaderview.h"
#include "workspace/stretchablepicker.h"
#include "workspace/workspacetreedelegate.h"
#include "workspace/workspacetreemodel.h"
#include "workspace/workspacetreeview.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <functional>

// The workspace screen's header, tree and mirror panel on a controller with
// fake run and capture services: each control writes its property or calls
// its slot, and what the controllers publish reaches the screen.
class TestWorkspaceScreen : public RunnerFixture
{
    Q_OBJECT

public:
    using Step = std::function<void(TestWorkspaceScreen *)>;

    // (The table's steps are written inside a member: they reach the members.)
    DeviceMirrorViewModel *mirror() const { return m_panel->viewModel(); }
    void openWorkspace()
    {
        m_vm->selectWorkspace(m_workspace);
        waitIdle();
    }
    QModelIndex rowOf(const QString &relative);
    // Clicks the row of `relative` (its folders opened first), in its
    // middle or on its eye.
    void clickRow(const QString &relative, bool eye = false);

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init();
    void cleanup();
    void wiring_data();
    void wiring();
    void runStopAndReport_data();
    void runStopAndReport();
    void pickerKeepsItems();
    void treePagesAndModel();

private:
    std::unique_ptr<ConfigHeaderView> m_header;
    std::unique_ptr<WorkspaceTreeView> m_tree;
    std::unique_ptr<FakeCaptureBackend> m_backend;
    std::unique_ptr<DeviceMirrorView> m_panel;
};

Q_DECLARE_METATYPE(TestWorkspaceScreen::Step)

namespace {
const CaptureDeviceInfo kScreenA { QStringLiteral("screen-AAAA-1"), QStringLiteral("Phone A") };
const CaptureDeviceInfo kScreenB { QStringLiteral("screen-BBBB-1"), QStringLiteral("Phone B") };
} // namespace

void TestWorkspaceScreen::init()
{
    setUp();
    SettingsStore().setIsMirroringEnabled(true);
    m_detector->setDevices(
        { phone("AAAA", "Phone A"), phone("BBBB", "Phone B"), phone("CCCC", "Bare Phone"), phone("SIMU", "Sim 16", true) });
    m_backend = std::make_unique<FakeCaptureBackend>();
    m_backend->setMuxed({ kScreenA, kScreenB });
    makeViewModel();
    m_header = std::make_unique<ConfigHeaderView>(m_vm.get());
    m_tree = std::make_unique<WorkspaceTreeView>(m_vm.get());
    m_panel = std::make_unique<DeviceMirrorView>(m_vm.get(), m_backend.get());
    m_header->resize(700, 400);
    m_tree->resize(300, 600);
    m_panel->resize(300, 700);
    m_header->show();
    m_tree->show();
    m_panel->show();
    waitIdle();
    QCOMPARE(m_vm->selectedDeviceId(), QStringLiteral("AAAA"));
    QVERIFY(mirror()->isConnected());
}

void TestWorkspaceScreen::cleanup()
{
    m_header.reset();
    m_tree.reset();
    m_panel.reset();
    m_backend.reset();
    tearDown();
}

QModelIndex TestWorkspaceScreen::rowOf(const QString &relative)
{
    WorkspaceFileTree *view = m_tree->tree();
    QModelIndex parent;
    for (const QString &part : relative.split(u'/')) {
        if (parent.isValid())
            view->expand(parent);
        const QModelIndexList found
            = view->model()->match(view->model()->index(0, 0, parent), Qt::DisplayRole, part, 1, Qt::MatchExactly);
        if (found.isEmpty())
            return {};
        parent = found.first();
    }
    return parent;
}

void TestWorkspaceScreen::clickRow(const QString &relative, bool eye)
{
    const QModelIndex index = rowOf(relative);
    QVERIFY2(index.isValid(), qPrintable(relative));
    WorkspaceFileTree *view = m_tree->tree();
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, eye ? WorkspaceTreeDelegate::eyeRect(rect).center() : rect.center());
}

void TestWorkspaceScreen::wiring_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");
    using T = TestWorkspaceScreen;
    using B = MirrorPanelState::Body;

    // The header (the lists' picks, the tree's clicks, the cable and the
    // panel's toggle are driven end to end in tst_windowe2e).
    QTest::newRow("app field writes selectedAppId") << Step([](T *t) {
        t->m_vm->setSelectedDeviceId(QStringLiteral("CCCC"));
        t->waitIdle();
        QVERIFY(t->m_header->appField()->isVisibleTo(t->m_header.get()));
        t->m_header->appField()->clear();
        QTest::keyClicks(t->m_header->appField(), QStringLiteral("com.typed.app"));
    }) << Step([](T *t) { QCOMPARE(t->m_vm->selectedAppId(), QStringLiteral("com.typed.app")); });
    QTest::newRow("refresh buttons call refreshDevices and refreshApps") << Step([](T *t) {
        t->m_detector->deviceCalls = 0;
        t->m_detector->appCalls = 0;
        QTest::mouseClick(t->m_header->deviceRefreshButton(), Qt::LeftButton);
        t->waitIdle();
        t->m_detector->appCalls = 0;
        QTest::mouseClick(t->m_header->appRefreshButton(), Qt::LeftButton);
    }) << Step([](T *t) {
        QCOMPARE(t->m_detector->deviceCalls.load(), 1);
        QCOMPARE(t->m_detector->appCalls.load(), 1);
    });
    QTest::newRow("variable field writes its value, not rebuilt under the cursor") << Step([](T *t) {
        t->selectReadyRun();
        QCOMPARE(t->m_header->variableFields().size(), 2);
        QLineEdit *pass = t->m_header->variableFields().at(1);
        pass->selectAll();
        QTest::keyClicks(pass, QStringLiteral("typed"));
    }) << Step([](T *t) {
        QCOMPARE(t->m_vm->customEnvVars().at(1).value, QStringLiteral("typed"));
        QCOMPARE(t->m_header->variableFields().at(1)->text(), QStringLiteral("typed"));
        QVERIFY(t->m_header->variableFields().at(1)->hasFocus() || !t->m_header->isActiveWindow());
    });

    // The tree.
    QTest::newRow("eye sets previewURLItem, not the flow") << Step([](T *t) {
        t->openWorkspace();
        t->clickRow(QStringLiteral("flows/login.yaml"), true);
    }) << Step([](T *t) {
        QCOMPARE(t->m_vm->previewURLItem().url.toLocalFile(), t->m_workspace + QStringLiteral("/flows/login.yaml"));
        QVERIFY(t->m_vm->selectedFlowRelativePath().isEmpty());
    });
    QTest::newRow("Return chooses, Space previews") << Step([](T *t) {
        t->openWorkspace();
        WorkspaceFileTree *view = t->m_tree->tree();
        view->setCurrentIndex(t->rowOf(QStringLiteral("env_sit.yaml")));
        QTest::keyClick(view, Qt::Key_Return);
        view->setCurrentIndex(t->rowOf(QStringLiteral("README.md")));
        QTest::keyClick(view, Qt::Key_Space);
    }) << Step([](T *t) {
        QCOMPARE(t->m_vm->selectedEnvRelativePath(), QStringLiteral("env_sit.yaml"));
        QCOMPARE(t->m_vm->previewURLItem().url.fileName(), QStringLiteral("README.md"));
    });
    QTest::newRow("refresh reloads the tree") << Step([](T *t) {
        t->openWorkspace();
        runnertest::write(t->m_workspace + QStringLiteral("/added.yaml"));
        QTest::mouseClick(t->m_tree->refreshButton(), Qt::LeftButton);
    }) << Step([](T *t) { QVERIFY(t->rowOf(QStringLiteral("added.yaml")).isValid()); });

    // The mirror panel.
    QTest::newRow("the switch writes the setting and stops; on again starts a new capture") << Step([](T *t) {
        QTest::mouseClick(t->m_panel->mirroringSwitch(), Qt::LeftButton);
        t->waitIdle();
        QCOMPARE(SettingsStore().isMirroringEnabled(), false);
        QVERIFY(!t->mirror()->isConnected());
        QCOMPARE(t->m_backend->runningSessions(), 0);
        QCOMPARE(t->m_panel->state().body, B::Disabled);
        QCOMPARE(t->m_panel->bodyTitle()->text(), QStringLiteral("Mirroring Disabled"));
        QTest::mouseClick(t->m_panel->mirroringSwitch(), Qt::LeftButton);
    }) << Step([](T *t) {
        QCOMPARE(SettingsStore().isMirroringEnabled(), true);
        QVERIFY(t->mirror()->isConnected());
        QCOMPARE(int(t->m_backend->sessions.size()), 2);
    });
    QTest::newRow("a simulator stops the capture and locks the switch")
        << Step([](T *t) { t->m_vm->setSelectedDeviceId(QStringLiteral("SIMU")); }) << Step([](T *t) {
               QCOMPARE(t->m_backend->runningSessions(), 0);
               QVERIFY(!t->m_panel->mirroringSwitch()->isEnabled());
               QCOMPARE(t->m_panel->state().body, B::Simulator);
               QVERIFY(t->m_panel->statusDot()->pixmap().isNull());
           });
    QTest::newRow("a picture from the device reaches the phone frame") << Step([](T *t) {
        QImage picture(39, 84, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        t->m_backend->lastSession()->show(picture);
    }) << Step([](T *t) {
        QCOMPARE(t->m_panel->state().body, B::Live);
        QCOMPARE(t->m_panel->phoneFrame()->picture().size(), QSize(39, 84));
        QVERIFY(t->m_panel->phoneFrame()->isVisible());
        // The panel's parts that are not buttons say what they are too.
        for (QWidget *part :
            { static_cast<QWidget *>(t->m_panel->statusDot()), static_cast<QWidget *>(t->m_panel->phoneFrame()) })
            QVERIFY2(!part->accessibleName().isEmpty(), part->metaObject()->className());
    });
    QTest::newRow("refused access shows the permission body") << Step([](T *t) {
        t->m_backend->authorization = CaptureBackend::Authorization::Denied;
        t->m_vm->setSelectedDeviceId(QStringLiteral("BBBB"));
    }) << Step([](T *t) {
        QCOMPARE(t->m_panel->state().body, B::PermissionRequired);
        QCOMPARE(t->m_panel->bodyTitle()->text(), QStringLiteral("Permission Required"));
    });
}

void TestWorkspaceScreen::wiring()
{
    QFETCH(Step, act);
    QFETCH(Step, check);
    act(this);
    if (QTest::currentTestFailed())
        return;
    waitIdle();
    check(this);
}

void TestWorkspaceScreen::runStopAndReport_data()
{
    QTest::addColumn<bool>("reportWritten");
    QTest::newRow("written report: Open Report shows") << true;
    QTest::newRow("failed report hand-off: Open Report stays hidden") << false;
}

void TestWorkspaceScreen::runStopAndReport()
{
    QFETCH(bool, reportWritten);
    ConsolePanel console(m_vm.get());
    selectReadyRun();
    m_vm->setSelectedAppId(QStringLiteral("com.example.a"));
    m_reports->succeeds = reportWritten;
    QVERIFY(m_header->runButton()->isEnabled());
    QVERIFY(console.hierarchyButton()->isEnabled());
    QTest::mouseClick(m_header->runButton(), Qt::LeftButton);
    waitIdle();
    QCOMPARE(m_executor->runs.size(), 1);
    QVERIFY(!m_header->runButton()->isVisibleTo(m_header.get()));
    QCOMPARE(m_header->stopButton()->text(), QStringLiteral("Stop Test"));
    // During the run: a hierarchy fetch (it ends every process) and the
    // tree's refresh are off, the switch is locked; the eye still previews.
    QVERIFY(!console.hierarchyButton()->isEnabled());
    QVERIFY(!m_tree->refreshButton()->isEnabled());
    QVERIFY(!m_panel->mirroringSwitch()->isEnabled());
    QCOMPARE(m_panel->mirroringSwitch()->toolTip(), QStringLiteral("Tidak dapat mengubah mirroring saat test berjalan"));
    clickRow(QStringLiteral("env_sit.yaml"), true);
    QCOMPARE(m_vm->previewURLItem().url.fileName(), QStringLiteral("env_sit.yaml"));
    QTest::mouseClick(m_header->stopButton(), Qt::LeftButton);
    QCOMPARE(m_executor->stopCalls, 1);
    m_executor->finish(0);
    waitIdle();
    QTRY_VERIFY(console.hierarchyButton()->isEnabled());
    QCOMPARE(m_header->reportButton()->isVisibleTo(m_header.get()), reportWritten);
    if (reportWritten) {
        QTest::mouseClick(m_header->reportButton(), Qt::LeftButton);
        QCOMPARE(m_reports->opened.size(), 1);
    }
}

void TestWorkspaceScreen::pickerKeepsItems()
{
    StretchablePicker *picker = m_header->devicePicker();
    const int rebuilds = picker->rebuildCount();
    QCOMPARE(picker->currentText(), QStringLiteral("Phone A (AAAA)"));
    // The same devices listed again: the items stay.
    m_vm->refreshDevices();
    waitIdle();
    QCOMPARE(picker->rebuildCount(), rebuilds);
    // A selection that is not listed leaves the shown entry.
    picker->showOptions(picker->options(), QStringLiteral("ZZZZ"), true);
    QCOMPARE(picker->currentText(), QStringLiteral("Phone A (AAAA)"));
    // No devices at all: the fixed entry, disabled, and the app row off.
    m_detector->setDevices({});
    m_vm->refreshDevices();
    waitIdle();
    QCOMPARE(picker->currentText(), QStringLiteral("No items found"));
    QVERIFY(!picker->isEnabled());
    QVERIFY(!m_header->appRefreshButton()->isEnabled());
}

void TestWorkspaceScreen::treePagesAndModel()
{
    WorkspaceTreeModel model(m_vm.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m_tree->content(), WorkspaceTreeView::NoWorkspacePage);
    QVERIFY(!m_tree->refreshButton()->isEnabled());
    const QString empty = m_dir.filePath(QStringLiteral("empty%1").arg(m_case));
    QDir().mkpath(empty);
    m_vm->selectWorkspace(empty);
    waitIdle();
    QCOMPARE(m_tree->content(), WorkspaceTreeView::EmptyWorkspacePage);
    m_vm->selectWorkspace(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"));
    waitIdle();
    QVERIFY(model.rowCount() > 0);
    openWorkspace();
    QCOMPARE(m_tree->content(), WorkspaceTreeView::TreePage);
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    QVERIFY(model.rowCount() > 0);
}

QTEST_MAIN(TestWorkspaceScreen)
#include "tst_workspacescreen.moc"
