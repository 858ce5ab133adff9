// The run controller's workers overlapping: device and app refreshes asked
// for again before the previous ones answered, workspace reloads and
// environment file parses piling up, and the controller going away while
// workers still run. Built under ThreadSanitizer by scripts/test.sh (label
// "threads"): the point is that no worker touches the controller's state
// off the main thread; the checks below are what the user sees once the
// dust settles.

#include "../core/runner/runnerfixture.h"

class TestRunnerThreads : public RunnerFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void overlappingRefreshes();
    void pilingWorkspaceWork();
    void controllerGoneWithWorkersOut();
};

// Three device refreshes held at the gate and let through one by one, with
// the device list changing in between: whatever order the answers come in,
// the controller ends idle with a selection that is in its list.
void TestRunnerThreads::overlappingRefreshes()
{
    makeViewModel();
    m_detector->closeGate();
    for (int round = 0; round < 3; ++round) {
        m_detector->setDevices({ phone(round % 2 ? "AAAA" : "BBBB", "Phone"), phone("CCCC", "Phone C") });
        m_vm->refreshDevices();
        m_vm->refreshApps();
    }
    for (int i = 0; i < 20; ++i) {
        m_detector->release();
        QCoreApplication::processEvents();
    }
    m_detector->openGate();
    waitIdle();
    QVERIFY(!m_vm->isRefreshingDevices());
    QVERIFY(!m_vm->isRefreshingApps());
    const DeviceList devices = m_vm->devices();
    QVERIFY(!devices.isEmpty());
    QVERIFY(std::any_of(devices.cbegin(), devices.cend(),
                        [this](const DeviceInfo &device) { return device.id == m_vm->selectedDeviceId(); }));
}

void TestRunnerThreads::pilingWorkspaceWork()
{
    makeViewModel();
    m_vm->selectWorkspace(m_workspace);
    for (int i = 0; i < 10; ++i) {
        m_vm->reloadWorkspace();
        m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    }
    waitIdle();
    QVERIFY(!m_vm->fileTree().isEmpty());
    // Ten toggles: deselected again, and the last parse (none) wins.
    QVERIFY(m_vm->selectedEnvRelativePath().isEmpty());
    QVERIFY(m_vm->customEnvVars().isEmpty());
}

void TestRunnerThreads::controllerGoneWithWorkersOut()
{
    makeViewModel();
    m_detector->closeGate();
    m_vm->refreshDevices();
    m_vm->refreshApps();
    m_vm->selectWorkspace(m_workspace);
    m_vm.reset();
    m_detector->openGate();
    waitIdle();
    QVERIFY(m_detector->deviceCalls >= 2);
}

QTEST_GUILESS_MAIN(TestRunnerThreads)
#include "tst_runnerthreads.moc"
