#include "fakecapturebackend.h"
#include "mirror/devicemirrorview.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/mirrorswitch.h"
#include "mirror/phoneframeview.h"
#include "runnerfixture.h"
#include "settings/settingsstore.h"

#include <QImage>
#include <QLabel>

#include <functional>

// The mirror panel on fake run and capture services: each control and each
// change of the selection reaches the mirror controller, and what the
// controller publishes reaches the screen.
class TestMirrorPanel : public RunnerFixture
{
    Q_OBJECT

public:
    using Step = std::function<void(TestMirrorPanel *)>;

    DeviceMirrorView *panel() const { return m_panel.get(); }
    DeviceMirrorViewModel *mirror() const { return m_panel->viewModel(); }
    RunnerViewModel *vm() const { return m_vm.get(); }
    FakeCaptureBackend &backend() { return *m_backend; }
    FakeDeviceDetector *detector() const { return m_detector.get(); }
    void idle() { waitIdle(); }
    void ready() { selectReadyRun(); }

private Q_SLOTS:
    void initTestCase() { setUpTestCase(); }
    void init();
    void cleanup();
    void wiring_data();
    void wiring();
    void everyControlIsNamed();

private:
    std::unique_ptr<FakeCaptureBackend> m_backend;
    std::unique_ptr<DeviceMirrorView> m_panel;
};

Q_DECLARE_METATYPE(TestMirrorPanel::Step)

namespace {
const CaptureDeviceInfo kScreenA { QStringLiteral("screen-AAAA-1"), QStringLiteral("Phone A") };
const CaptureDeviceInfo kScreenB { QStringLiteral("screen-BBBB-1"), QStringLiteral("Phone B") };
} // namespace

void TestMirrorPanel::init()
{
    setUp();
    SettingsStore().setIsMirroringEnabled(true);
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("BBBB", "Phone B"), phone("SIMU", "Sim 16", true) });
    m_backend = std::make_unique<FakeCaptureBackend>();
    m_backend->setMuxed({ kScreenA, kScreenB });
    makeViewModel();
    m_vm->setSelectedDeviceId(QStringLiteral("AAAA"));
    m_panel = std::make_unique<DeviceMirrorView>(m_vm.get(), m_backend.get());
    m_panel->resize(300, 700);
    m_panel->show();
    waitIdle();
    QVERIFY(m_panel->viewModel()->isConnected());
}

void TestMirrorPanel::cleanup()
{
    m_panel.reset();
    m_backend.reset();
    tearDown();
}

void TestMirrorPanel::wiring_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");
    using B = MirrorPanelState::Body;

    QTest::newRow("click on the switch writes the setting and stops")
        << Step([](TestMirrorPanel *t) { QTest::mouseClick(t->panel()->mirroringSwitch(), Qt::LeftButton); })
        << Step([](TestMirrorPanel *t) {
               QCOMPARE(SettingsStore().isMirroringEnabled(), false);
               QVERIFY(!t->mirror()->isConnected());
               QCOMPARE(t->backend().runningSessions(), 0);
               QCOMPARE(t->panel()->state().body, B::Disabled);
               QCOMPARE(t->panel()->bodyTitle()->text(), QStringLiteral("Mirroring Disabled"));
           });
    QTest::newRow("switch on again starts a new capture") << Step([](TestMirrorPanel *t) {
        QTest::mouseClick(t->panel()->mirroringSwitch(), Qt::LeftButton);
        t->idle();
        QTest::mouseClick(t->panel()->mirroringSwitch(), Qt::LeftButton);
    }) << Step([](TestMirrorPanel *t) {
        QCOMPARE(SettingsStore().isMirroringEnabled(), true);
        QVERIFY(t->mirror()->isConnected());
        QCOMPARE(int(t->backend().sessions.size()), 2);
    });
    QTest::newRow("another device in the header mirrors that one")
        << Step([](TestMirrorPanel *t) { t->vm()->setSelectedDeviceId(QStringLiteral("BBBB")); }) << Step([](TestMirrorPanel *t) {
               QCOMPARE(t->mirror()->currentDevice()->uniqueID, kScreenB.uniqueID);
               QCOMPARE(t->panel()->titleLabel()->toolTip(), QStringLiteral("Device Mirroring: Phone B"));
           });
    QTest::newRow("a simulator stops the capture and locks the switch")
        << Step([](TestMirrorPanel *t) { t->vm()->setSelectedDeviceId(QStringLiteral("SIMU")); }) << Step([](TestMirrorPanel *t) {
               QVERIFY(!t->mirror()->isConnected());
               QCOMPARE(t->backend().runningSessions(), 0);
               QVERIFY(!t->panel()->mirroringSwitch()->isEnabled());
               QCOMPARE(t->panel()->state().body, B::Simulator);
               QVERIFY(t->panel()->statusDot()->pixmap().isNull());
           });
    QTest::newRow("a run locks the switch with its own tooltip") << Step([](TestMirrorPanel *t) {
        t->ready();
        t->vm()->runTest();
    }) << Step([](TestMirrorPanel *t) {
        QVERIFY(t->vm()->isRunning());
        QVERIFY(!t->panel()->mirroringSwitch()->isEnabled());
        QCOMPARE(t->panel()->mirroringSwitch()->toolTip(), QStringLiteral("Tidak dapat mengubah mirroring saat test berjalan"));
        QVERIFY(t->mirror()->isConnected());
    });
    QTest::newRow("hiding the panel stops, showing it starts again") << Step([](TestMirrorPanel *t) {
        t->panel()->hide();
        t->idle();
        QCOMPARE(t->backend().runningSessions(), 0);
        t->panel()->show();
    }) << Step([](TestMirrorPanel *t) {
        QVERIFY(t->mirror()->isConnected());
        QCOMPARE(t->backend().runningSessions(), 1);
    });
    QTest::newRow("a picture from the device reaches the phone frame") << Step([](TestMirrorPanel *t) {
        QImage picture(39, 84, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        t->backend().lastSession()->show(picture);
    }) << Step([](TestMirrorPanel *t) {
        QCOMPARE(t->panel()->state().body, B::Live);
        QCOMPARE(t->panel()->phoneFrame()->picture().size(), QSize(39, 84));
        QVERIFY(t->panel()->phoneFrame()->isVisible());
    });
    QTest::newRow("unplugged: the body says so")
        << Step([](TestMirrorPanel *t) { t->backend().setMuxed({ kScreenB }); }) << Step([](TestMirrorPanel *t) {
               QCOMPARE(t->panel()->state().body, B::NotConnected);
               QCOMPARE(t->panel()->bodyTitle()->text(), QStringLiteral("Device Not Connected via USB"));
               QVERIFY(t->panel()->phoneFrame()->picture().isNull());
           });
    QTest::newRow("refused access shows the permission body") << Step([](TestMirrorPanel *t) {
        t->backend().authorization = CaptureBackend::Authorization::Denied;
        t->vm()->setSelectedDeviceId(QStringLiteral("BBBB"));
    }) << Step([](TestMirrorPanel *t) {
        QCOMPARE(t->panel()->state().body, B::PermissionRequired);
        QCOMPARE(t->panel()->bodyTitle()->text(), QStringLiteral("Permission Required"));
    });
}

void TestMirrorPanel::wiring()
{
    QFETCH(Step, act);
    QFETCH(Step, check);
    act(this);
    waitIdle();
    check(this);
}

void TestMirrorPanel::everyControlIsNamed()
{
    for (QWidget *control : { static_cast<QWidget *>(m_panel->mirroringSwitch()), static_cast<QWidget *>(m_panel->statusDot()),
             static_cast<QWidget *>(m_panel->phoneFrame()) })
        QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
    QVERIFY(m_panel->mirroringSwitch()->focusPolicy() & Qt::TabFocus);
}

QTEST_MAIN(TestMirrorPanel)
#include "tst_mirrorpanel.moc"
