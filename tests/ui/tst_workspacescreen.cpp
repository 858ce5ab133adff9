#include "runnerfixture.h"
#include "workspace/configheaderview.h"
#include "workspace/stretchablepicker.h"
#include "workspace/workspacetreemodel.h"
#include "workspace/workspacetreeview.h"
#include "workspace/workspacetreedelegate.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <functional>

// The header and the tree on a controller with fake services: each control
// writes its property or calls its slot.
class TestWorkspaceScreen : public RunnerFixture
{
    Q_OBJECT

public:
    using Step = std::function<void(TestWorkspaceScreen *)>;

    ConfigHeaderView *header() const { return m_header.get(); }
    WorkspaceTreeView *tree() const { return m_tree.get(); }
    RunnerViewModel *vm() const { return m_vm.get(); }
    FakeDeviceDetector *detector() const { return m_detector.get(); }
    FakeCommandExecutor *executor() const { return m_executor.get(); }
    QString workspace() const { return m_workspace; }
    void idle() { waitIdle(); }
    void ready() { selectReadyRun(); }
    // Clicks the row of `relative` (its folders opened first), at `x` from
    // the row's right edge (0: the middle of the row).
    void clickRow(const QString &relative, int fromRight = 0);
    QModelIndex rowOf(const QString &relative);

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init();
    void cleanup();
    void wiring_data();
    void wiring();
    void runStopAndReport();
    void pickerKeepsItems();
    void treeModelIsSound();
    void emptyStates();

private:
    std::unique_ptr<ConfigHeaderView> m_header;
    std::unique_ptr<WorkspaceTreeView> m_tree;
};

Q_DECLARE_METATYPE(TestWorkspaceScreen::Step)

void TestWorkspaceScreen::init()
{
    setUp();
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("BBBB", "Phone B"), phone("CCCC", "Bare Phone") });
    makeViewModel();
    m_header = std::make_unique<ConfigHeaderView>(m_vm.get());
    m_tree = std::make_unique<WorkspaceTreeView>(m_vm.get());
    m_header->resize(700, 400);
    m_tree->resize(300, 600);
    m_header->show();
    m_tree->show();
    waitIdle();
}

void TestWorkspaceScreen::cleanup()
{
    m_header.reset();
    m_tree.reset();
    tearDown();
}

QModelIndex TestWorkspaceScreen::rowOf(const QString &relative)
{
    WorkspaceFileTree *view = m_tree->tree();
    WorkspaceTreeModel *model = view->treeModel();
    QModelIndex parent;
    const QStringList parts = relative.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QModelIndex found;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (index.data().toString() == parts.at(i))
                found = index;
        }
        if (!found.isValid())
            return {};
        if (i + 1 < parts.size())
            view->expand(found);
        parent = found;
    }
    return parent;
}

void TestWorkspaceScreen::clickRow(const QString &relative, int fromRight)
{
    const QModelIndex index = rowOf(relative);
    QVERIFY2(index.isValid(), qPrintable(relative));
    WorkspaceFileTree *view = m_tree->tree();
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    const QPoint at = fromRight > 0 ? QPoint(rect.right() - fromRight, rect.center().y()) : rect.center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
}

void TestWorkspaceScreen::wiring_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");

    QTest::newRow("device list writes selectedDeviceId") << Step([](TestWorkspaceScreen *t) {
        Q_EMIT t->header()->devicePicker()->activated(1);
    }) << Step([](TestWorkspaceScreen *t) { QCOMPARE(t->vm()->selectedDeviceId(), QStringLiteral("BBBB")); });

    QTest::newRow("app list writes selectedAppId") << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->selectedDeviceId(), QStringLiteral("AAAA"));
        QCOMPARE(t->header()->appPicker()->count(), 2);
        Q_EMIT t->header()->appPicker()->activated(1);
    }) << Step([](TestWorkspaceScreen *t) { QCOMPARE(t->vm()->selectedAppId(), QStringLiteral("com.example.shop.uat")); });

    QTest::newRow("app field writes selectedAppId") << Step([](TestWorkspaceScreen *t) {
        t->vm()->setSelectedDeviceId(QStringLiteral("CCCC"));
        t->idle();
        QVERIFY(t->header()->appField()->isVisibleTo(t->header()));
        t->header()->appField()->clear();
        QTest::keyClicks(t->header()->appField(), QStringLiteral("com.typed.app"));
    }) << Step([](TestWorkspaceScreen *t) { QCOMPARE(t->vm()->selectedAppId(), QStringLiteral("com.typed.app")); });

    QTest::newRow("device refresh calls refreshDevices") << Step([](TestWorkspaceScreen *t) {
        t->detector()->deviceCalls = 0;
        QTest::mouseClick(t->header()->deviceRefreshButton(), Qt::LeftButton);
        t->idle();
    }) << Step([](TestWorkspaceScreen *t) { QCOMPARE(t->detector()->deviceCalls.load(), 1); });

    QTest::newRow("app refresh calls refreshApps") << Step([](TestWorkspaceScreen *t) {
        t->detector()->appCalls = 0;
        QTest::mouseClick(t->header()->appRefreshButton(), Qt::LeftButton);
        t->idle();
    }) << Step([](TestWorkspaceScreen *t) { QCOMPARE(t->detector()->appCalls.load(), 1); });

    QTest::newRow("variable field writes its value") << Step([](TestWorkspaceScreen *t) {
        t->ready();
        QCOMPARE(t->header()->variableFields().size(), 2);
        QLineEdit *pass = t->header()->variableFields().at(1);
        pass->selectAll();
        QTest::keyClicks(pass, QStringLiteral("typed"));
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->customEnvVars().at(1).value, QStringLiteral("typed"));
        // The field being typed in is not rebuilt under the cursor.
        QCOMPARE(t->header()->variableFields().at(1)->text(), QStringLiteral("typed"));
        QVERIFY(t->header()->variableFields().at(1)->hasFocus() || !t->header()->isActiveWindow());
    });

    QTest::newRow("click on a flow selects it") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        t->clickRow(QStringLiteral("flows/login.yaml"));
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->selectedFlowRelativePath(), QStringLiteral("flows/login.yaml"));
        QCOMPARE(t->rowOf(QStringLiteral("flows/login.yaml")).data(WorkspaceTreeModel::MarkerRole).toInt(),
            int(WorkspaceTreeModel::FlowMarker));
        QVERIFY(t->tree()->selectionBlock()->isVisibleTo(t->tree()));
        QCOMPARE(t->tree()->flowSelectionLabel()->toolTip(), QStringLiteral("flows/login.yaml"));
    });

    QTest::newRow("second click clears the flow") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        t->clickRow(QStringLiteral("flows/login.yaml"));
        t->clickRow(QStringLiteral("flows/login.yaml"));
    }) << Step([](TestWorkspaceScreen *t) {
        QVERIFY(t->vm()->selectedFlowRelativePath().isEmpty());
        QVERIFY(!t->tree()->selectionBlock()->isVisibleTo(t->tree()));
    });

    QTest::newRow("click on an env file selects it") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        t->clickRow(QStringLiteral("env_sit.yaml"));
        t->idle();
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->selectedEnvRelativePath(), QStringLiteral("env_sit.yaml"));
        QCOMPARE(t->rowOf(QStringLiteral("env_sit.yaml")).data(WorkspaceTreeModel::MarkerRole).toInt(),
            int(WorkspaceTreeModel::EnvironmentMarker));
        QCOMPARE(t->header()->variableFields().size(), 1);
    });

    QTest::newRow("eye sets previewURLItem, not the flow") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        const QRect row = t->tree()->tree()->visualRect(t->rowOf(QStringLiteral("flows/login.yaml")));
        t->clickRow(QStringLiteral("flows/login.yaml"), row.right() - WorkspaceTreeDelegate::eyeRect(row).center().x());
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->previewURLItem().url.toLocalFile(), t->workspace() + QStringLiteral("/flows/login.yaml"));
        QVERIFY(t->vm()->selectedFlowRelativePath().isEmpty());
    });

    QTest::newRow("clicks ignored while running, eye still works") << Step([](TestWorkspaceScreen *t) {
        t->ready();
        t->vm()->setSelectedAppId(QStringLiteral("com.example.a"));
        QTest::mouseClick(t->header()->runButton(), Qt::LeftButton);
        t->idle();
        QVERIFY(t->vm()->isRunning());
        t->clickRow(QStringLiteral("env_sit.yaml"));
        const QRect row = t->tree()->tree()->visualRect(t->rowOf(QStringLiteral("env_sit.yaml")));
        t->clickRow(QStringLiteral("env_sit.yaml"), row.right() - WorkspaceTreeDelegate::eyeRect(row).center().x());
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->selectedEnvRelativePath(), QStringLiteral(".env.uat"));
        QCOMPARE(t->vm()->previewURLItem().url.fileName(), QStringLiteral("env_sit.yaml"));
        QVERIFY(!t->tree()->refreshButton()->isEnabled());
        QVERIFY(t->tree()->importButton()->isEnabled());
    });

    QTest::newRow("Return chooses, Space previews") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        WorkspaceFileTree *view = t->tree()->tree();
        view->setCurrentIndex(t->rowOf(QStringLiteral("env_sit.yaml")));
        QTest::keyClick(view, Qt::Key_Return);
        view->setCurrentIndex(t->rowOf(QStringLiteral("README.md")));
        QTest::keyClick(view, Qt::Key_Space);
    }) << Step([](TestWorkspaceScreen *t) {
        QCOMPARE(t->vm()->selectedEnvRelativePath(), QStringLiteral("env_sit.yaml"));
        QCOMPARE(t->vm()->previewURLItem().url.fileName(), QStringLiteral("README.md"));
    });

    QTest::newRow("refresh reloads the tree") << Step([](TestWorkspaceScreen *t) {
        t->vm()->selectWorkspace(t->workspace());
        t->idle();
        runnertest::write(t->workspace() + QStringLiteral("/added.yaml"));
        QTest::mouseClick(t->tree()->refreshButton(), Qt::LeftButton);
        t->idle();
    }) << Step([](TestWorkspaceScreen *t) { QVERIFY(t->rowOf(QStringLiteral("added.yaml")).isValid()); });
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

void TestWorkspaceScreen::runStopAndReport()
{
    selectReadyRun();
    m_vm->setSelectedAppId(QStringLiteral("com.example.a"));
    QVERIFY(m_header->runButton()->isEnabled());
    QTest::mouseClick(m_header->runButton(), Qt::LeftButton);
    waitIdle();
    QCOMPARE(m_executor->runs.size(), 1);
    QVERIFY(!m_header->runButton()->isVisibleTo(m_header.get()));
    QCOMPARE(m_header->stopButton()->text(), QStringLiteral("Stop Test"));
    QTest::mouseClick(m_header->stopButton(), Qt::LeftButton);
    QCOMPARE(m_executor->stopCalls, 1);
    m_executor->finish(0);
    waitIdle();
    QTRY_VERIFY(m_header->reportButton()->isVisibleTo(m_header.get()));
    QTest::mouseClick(m_header->reportButton(), Qt::LeftButton);
    QCOMPARE(m_reports->opened.size(), 1);
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

void TestWorkspaceScreen::treeModelIsSound()
{
    WorkspaceTreeModel model(m_vm.get());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_vm->selectWorkspace(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"));
    waitIdle();
    QVERIFY(model.rowCount() > 0);
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    QVERIFY(model.rowCount() > 0);
}

void TestWorkspaceScreen::emptyStates()
{
    QCOMPARE(m_tree->content(), WorkspaceTreeView::NoWorkspacePage);
    QVERIFY(!m_tree->refreshButton()->isEnabled());
    const QString empty = m_dir.filePath(QStringLiteral("empty%1").arg(m_case));
    QDir().mkpath(empty);
    m_vm->selectWorkspace(empty);
    waitIdle();
    QCOMPARE(m_tree->content(), WorkspaceTreeView::EmptyWorkspacePage);
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    QCOMPARE(m_tree->content(), WorkspaceTreeView::TreePage);
}

QTEST_MAIN(TestWorkspaceScreen)
#include "tst_workspacescreen.moc"
