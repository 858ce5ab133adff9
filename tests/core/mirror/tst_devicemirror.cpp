#include "diagnosticscapture.h"
#include "fakecapturebackend.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/mirrormatching.h"
#include "mirror/mirrorpanelstate.h"

#include <QCoreApplication>
#include <QTest>
#include <QThreadPool>

using MirrorMatching::MatchKind;

namespace {

// The lab's phones as the platform lists their screens.
const QString kUdid = QStringLiteral("00008130-001E39811A12001C");
const CaptureDeviceInfo kPhone { QStringLiteral("usb-00008130001E39811A12001C-screen"),
    QStringLiteral("QA Lab\u2019s iPhone 15 Pro") };
const CaptureDeviceInfo kRina { QStringLiteral("usb-00008110000A1C2E0E91801E-screen"), QStringLiteral("iPhone 14 Rina") };
const CaptureDeviceInfo kCamera { QStringLiteral("0x1420000005ac8600"), QStringLiteral("FaceTime HD Camera") };

CaptureDeviceInfo deviceNamed(const QString &key)
{
    if (key == QLatin1String("phone"))
        return kPhone;
    if (key == QLatin1String("rina"))
        return kRina;
    return kCamera;
}

CaptureDeviceList devicesNamed(const QString &keys)
{
    CaptureDeviceList out;
    for (const QString &key : keys.split(u',', Qt::SkipEmptyParts))
        out.append(deviceNamed(key));
    return out;
}

// Lets every start on the pool finish (unless the test holds them) and its
// result reach the controller.
void settle(const FakeCaptureBackend &backend)
{
    for (int i = 0; i < 3; ++i) {
        if (!backend.isHoldingStarts())
            QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestDeviceMirror : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { DiagnosticsCapture::install("io.kestrune.Kestrune.Device"); }
    void cleanupTestCase() { DiagnosticsCapture::remove(); }
    void init() { DiagnosticsCapture::lines.clear(); }

    void matching_data();
    void matching();
    void panelState_data();
    void panelState();
    void triggers_data();
    void triggers();
    void controller_data();
    void controller();
};

void TestDeviceMirror::matching_data()
{
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("udid");
    QTest::addColumn<QString>("name"); // "-" for no name
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("kind");

    const QString id = QStringLiteral("00008130001E39811A12001C");
    QTest::newRow("udid with hyphens, exact id") << id << kUdid << "-" << 0 << int(MatchKind::ByUdid);
    QTest::newRow("udid lower case, id upper case") << id << kUdid.toLower() << "-" << 0 << int(MatchKind::ByUdid);
    QTest::newRow("id lower case, udid upper case") << id.toLower() << kUdid << "-" << 0 << int(MatchKind::ByUdid);
    QTest::newRow("extra characters around the id") << "usb-" + id + "-screen" << kUdid << "-" << 0 << int(MatchKind::ByUdid);
    QTest::newRow("hyphens inside the device id")
        << "0000-8130-001E-3981-1A12-001C" << kUdid << "-" << 0 << int(MatchKind::ByUdid);
    QTest::newRow("other id, name in another case")
        << "abc|qa lab iphone" << kUdid << "QA Lab iPhone" << 0 << int(MatchKind::ByName);
    QTest::newRow("name with a trailing space does not match")
        << "abc|QA Lab iPhone " << kUdid << "QA Lab iPhone" << -1 << int(MatchKind::None);
    QTest::newRow("no name: only the id counts") << "abc|QA Lab iPhone" << kUdid << "-" << -1 << int(MatchKind::None);
    QTest::newRow("empty name: only the id counts") << "abc|" << kUdid << "" << -1 << int(MatchKind::None);
    QTest::newRow("earlier name match wins over a later udid match")
        << "abc|Phone;" + id + "|Other" << kUdid << "phone" << 0 << int(MatchKind::ByName);
    QTest::newRow("later udid match after a stranger")
        << "abc|Camera;" + id + "|Other" << kUdid << "phone" << 1 << int(MatchKind::ByUdid);
    QTest::newRow("part of the udid is not a match") << "00008130001E" << kUdid << "-" << -1 << int(MatchKind::None);
    QTest::newRow("empty target matches nothing") << id << ""
                                                  << "-" << -1 << int(MatchKind::None);
}

void TestDeviceMirror::matching()
{
    QFETCH(QString, devices);
    QFETCH(QString, udid);
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(int, kind);
    CaptureDeviceList list;
    for (const QString &entry : devices.split(u';')) {
        const QStringList parts = entry.split(u'|');
        list.append({ parts.at(0), parts.value(1) });
    }
    const std::optional<QString> targetName = name == QLatin1String("-") ? std::nullopt : std::optional<QString>(name);
    const MirrorMatching::Match match = MirrorMatching::findMatch(list, udid, targetName);
    QCOMPARE(match.index, qsizetype(index));
    QCOMPARE(int(match.kind), kind);
}

void TestDeviceMirror::panelState_data()
{
    QTest::addColumn<QString>("flags"); // sim, running, off, connected, session, denied
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("body");
    QTest::addColumn<int>("dot");
    QTest::addColumn<bool>("switchEnabled");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("runningTip");

    using B = MirrorPanelState::Body;
    using D = MirrorPanelState::Dot;
    QTest::newRow("nothing selected") << ""
                                      << "" << int(B::NotConnected) << int(D::Orange) << true << "Device Mirroring" << false;
    QTest::newRow("searching a phone") << ""
                                       << "iPhone" << int(B::NotConnected) << int(D::Orange) << true << "Device Mirroring: iPhone"
                                       << false;
    QTest::newRow("connected") << "connected,session"
                               << "iPhone" << int(B::Live) << int(D::Green) << true << "Device Mirroring: iPhone" << false;
    QTest::newRow("connected without a session")
        << "connected"
        << "iPhone" << int(B::NotConnected) << int(D::Green) << true << "Device Mirroring: iPhone" << false;
    QTest::newRow("simulator") << "sim"
                               << "iPhone 16 Sim" << int(B::Simulator) << int(D::None) << false
                               << "Device Mirroring: iPhone 16 Sim" << false;
    QTest::newRow("simulator with mirroring off")
        << "sim,off"
        << "S" << int(B::Simulator) << int(D::None) << false << "Device Mirroring: S" << false;
    QTest::newRow("switched off") << "off"
                                  << "iPhone" << int(B::Disabled) << int(D::None) << true << "Device Mirroring: iPhone" << false;
    QTest::newRow("refused access") << "denied"
                                    << "iPhone" << int(B::PermissionRequired) << int(D::Orange) << true
                                    << "Device Mirroring: iPhone" << false;
    QTest::newRow("refused access, switched off")
        << "denied,off"
        << "iPhone" << int(B::Disabled) << int(D::None) << true << "Device Mirroring: iPhone" << false;
    QTest::newRow("refusal outranks a live picture")
        << "denied,connected,session"
        << "iPhone" << int(B::PermissionRequired) << int(D::Green) << true << "Device Mirroring: iPhone" << false;
    QTest::newRow("running: switch locked") << "running,connected,session"
                                            << "iPhone" << int(B::Live) << int(D::Green) << false << "Device Mirroring: iPhone"
                                            << true;
}

void TestDeviceMirror::panelState()
{
    QFETCH(QString, flags);
    QFETCH(QString, name);
    QFETCH(int, body);
    QFETCH(int, dot);
    QFETCH(bool, switchEnabled);
    QFETCH(QString, title);
    QFETCH(bool, runningTip);
    const QStringList f = flags.split(u',');
    MirrorPanelState::Input input;
    input.selectedDeviceName = name;
    input.isSimulator = f.contains(QLatin1String("sim"));
    input.isRunning = f.contains(QLatin1String("running"));
    input.isMirroringEnabled = !f.contains(QLatin1String("off"));
    input.isConnected = f.contains(QLatin1String("connected"));
    input.hasSession = f.contains(QLatin1String("session"));
    input.permissionError = f.contains(QLatin1String("denied"));
    const MirrorPanelState state = MirrorPanelState::compute(input);
    QCOMPARE(int(state.body), body);
    QCOMPARE(int(state.dot), dot);
    QCOMPARE(state.switchEnabled, switchEnabled);
    QCOMPARE(state.title, title);
    QCOMPARE(state.switchToolTip.startsWith(QLatin1String("Tidak dapat")), runningTip);
}

void TestDeviceMirror::triggers_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<bool>("isSimulator");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("action");

    using A = MirrorTriggers::Action;
    QTest::newRow("shown with a phone") << "shown" << kUdid << false << true << int(A::Start);
    QTest::newRow("shown with nothing selected") << "shown"
                                                 << "" << false << true << int(A::None);
    QTest::newRow("shown with a simulator") << "shown"
                                            << "SIM" << true << true << int(A::None);
    QTest::newRow("shown with mirroring off") << "shown" << kUdid << false << false << int(A::None);
    QTest::newRow("device changed to a phone") << "device" << kUdid << false << true << int(A::Start);
    QTest::newRow("device changed to nothing") << "device"
                                               << "" << false << true << int(A::Start);
    QTest::newRow("device changed to a simulator") << "device"
                                                   << "SIM" << true << true << int(A::Stop);
    QTest::newRow("device changed, mirroring off") << "device" << kUdid << false << false << int(A::Stop);
    QTest::newRow("switched on with a phone") << "enabled" << kUdid << false << true << int(A::Start);
    QTest::newRow("switched on with nothing") << "enabled"
                                              << "" << false << true << int(A::None);
    QTest::newRow("switched on with a simulator") << "enabled"
                                                  << "SIM" << true << true << int(A::None);
    QTest::newRow("switched off") << "enabled" << kUdid << false << false << int(A::Stop);
}

void TestDeviceMirror::triggers()
{
    QFETCH(QString, event);
    QFETCH(QString, deviceId);
    QFETCH(bool, isSimulator);
    QFETCH(bool, enabled);
    QFETCH(int, action);
    const MirrorTriggers::Selection now { deviceId, isSimulator, enabled };
    const MirrorTriggers::Action got = event == QLatin1String("shown") ? MirrorTriggers::onShown(now)
        : event == QLatin1String("device")                             ? MirrorTriggers::onDeviceChanged(now)
                                                                       : MirrorTriggers::onMirroringEnabledChanged(now);
    QCOMPARE(int(got), action);
}

// Each row is a script of steps on a controller over the fake backend:
//   muxed:KEYS / video:KEYS   the platform's lists (KEYS: phone, rina, camera)
//   auth:denied|restricted|ask-yes|ask-no   the camera authorisation
//   start:UDID|NAME           the panel writes the target and connects
//   connect:KEY               connect to one device directly
//   stop                      stopMirroring
//   hold / release            keep starts blocked on the worker, let them go
//   broken:KEY                that device's input cannot be made
//   settle                    let workers and the event loop finish
void TestDeviceMirror::controller_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("device"); // the captured device's key, "" for none
    QTest::addColumn<QString>("target"); // "none" when no target is kept
    QTest::addColumn<bool>("permissionError");
    QTest::addColumn<int>("sessions"); // sessions created
    QTest::addColumn<int>("running"); // sessions still running
    QTest::addColumn<QString>("log"); // a line the Device log must hold

    const QString start = QStringLiteral("start:") + kUdid + QStringLiteral("|QA Lab\u2019s iPhone 15 Pro");
    QTest::newRow("connects to the matching device") << "muxed:camera,phone;settle;" + start + ";settle" << true << "phone"
                                                     << kUdid << false << 1 << 1 << "DeviceMirrorViewModel: Matched by UDID!";
    QTest::newRow("empty target: nothing starts") << "muxed:phone;settle;start:|;settle" << false << ""
                                                  << "none" << false << 0 << 0 << "";
    QTest::newRow("no devices at all keeps the target") << "settle;" + start + ";settle" << false << "" << kUdid << false << 0
                                                        << 0 << "DeviceMirrorViewModel: No external devices found at all.";
    QTest::newRow("no match names a missing name as nil")
        << "muxed:camera;settle;start:" + kUdid + ";settle" << false << "" << kUdid << false << 0 << 0
        << "DeviceMirrorViewModel: No match found for UDID: " + kUdid + " or Name: nil";
    QTest::newRow("cable plugged in after the selection connects by itself")
        << "muxed:camera;settle;" + start + ";settle;muxed:camera,phone;settle" << true << "phone" << kUdid << false << 1 << 1
        << "DeviceMirrorViewModel: Connecting to QA Lab\u2019s iPhone 15 Pro";
    QTest::newRow("captured device unplugged stops the capture, keeps the target")
        << "muxed:phone;settle;" + start + ";settle;muxed:camera;settle" << false << "" << kUdid << false << 1 << 0
        << "DeviceMirrorViewModel: Current device disappeared!";
    QTest::newRow("unplugged and plugged in again reconnects")
        << "muxed:phone;settle;" + start + ";settle;muxed:camera;settle;muxed:camera,phone;settle" << true << "phone" << kUdid
        << false << 2 << 1 << "";
    QTest::newRow("reconnecting to the captured device does nothing")
        << "muxed:phone;settle;" + start + ";settle;connect:phone;settle;" + start + ";settle" << true << "phone" << kUdid
        << false << 1 << 1 << "";
    QTest::newRow("found only in the video list: gone at the next muxed change")
        << "video:phone;settle;" + start + ";settle;muxed:camera;settle" << false << "" << kUdid << false << 1 << 0
        << "DeviceMirrorViewModel: Current device disappeared!";
    QTest::newRow("video list device connects")
        << "video:phone;settle;" + start + ";settle" << true << "phone" << kUdid << false << 1 << 1 << "";
    QTest::newRow("stop ends the capture and forgets the target")
        << "muxed:phone;settle;" + start + ";settle;stop;settle" << false << ""
        << "none" << false << 1 << 0 << "";
    QTest::newRow("switched off and on again starts a new capture")
        << "muxed:phone;settle;" + start + ";settle;stop;" + start + ";settle" << true << "phone" << kUdid << false << 2 << 1
        << "";
    QTest::newRow("denied access sets the error and keeps the target")
        << "muxed:phone;auth:denied;settle;" + start + ";settle" << false << "" << kUdid << true << 0 << 0 << "";
    QTest::newRow("denied access: the cable plugged in later connects nothing")
        << "auth:denied;settle;" + start + ";settle;muxed:phone;settle" << false << "" << kUdid << true << 0 << 0 << "";
    QTest::newRow("access given while searching: the next list change connects")
        << "auth:denied;settle;" + start + ";settle;auth:granted;muxed:phone;settle" << true << "phone" << kUdid << false << 1
        << 1 << "";
    QTest::newRow("restricted access sets the error")
        << "muxed:phone;auth:restricted;settle;" + start + ";settle" << false << "" << kUdid << true << 0 << 0 << "";
    QTest::newRow("refused when asked sets the error")
        << "muxed:phone;auth:ask-no;settle;" + start + ";settle" << false << "" << kUdid << true << 0 << 0 << "";
    QTest::newRow("granted when asked connects")
        << "muxed:phone;auth:ask-yes;settle;" + start + ";settle" << true << "phone" << kUdid << false << 1 << 1 << "";
    QTest::newRow("the error stays through a stop and a failed search")
        << "muxed:camera;auth:denied;settle;" + start + ";settle;stop;settle;auth:granted;" + start + ";settle" << false << ""
        << kUdid << true << 0 << 0 << "";
    QTest::newRow("a successful connect clears the error")
        << "muxed:phone;auth:denied;settle;" + start + ";settle;auth:granted;" + start + ";settle" << true << "phone" << kUdid
        << false << 1 << 1 << "";
    QTest::newRow("an input that cannot be made clears the target")
        << "muxed:phone;broken:phone;settle;" + start + ";settle" << false << ""
        << "none" << false << 0 << 0 << "Error connecting to device: Cannot use QA Lab\u2019s iPhone 15 Pro";
    QTest::newRow("stopped while starting: the capture is not shown")
        << "muxed:phone;settle;hold;" + start + ";stop;release;settle" << false << ""
        << "none" << false << 1 << 0 << "";
    QTest::newRow("list change while starting starts no second capture")
        << "muxed:phone;settle;hold;" + start + ";muxed:phone,camera;settle;muxed:phone;release;settle" << true << "phone"
        << kUdid << false << 1 << 1 << "";
    QTest::newRow("another device while starting: only the last is shown")
        << "muxed:phone,rina;settle;hold;" + start + ";start:00008110-000A1C2E0E91801E|iPhone 14 Rina;release;settle" << true
        << "rina"
        << "00008110-000A1C2E0E91801E" << false << 2 << 1 << "";
    QTest::newRow("a capture of another device replaces and stops the first")
        << "muxed:phone,rina;settle;" + start + ";settle;connect:rina;settle" << true << "rina" << kUdid << false << 2 << 1 << "";
}

void TestDeviceMirror::controller()
{
    QFETCH(QString, script);
    QFETCH(bool, connected);
    QFETCH(QString, device);
    QFETCH(QString, target);
    QFETCH(bool, permissionError);
    QFETCH(int, sessions);
    QFETCH(int, running);
    QFETCH(QString, log);

    FakeCaptureBackend backend;
    DeviceMirrorViewModel vm(&backend);
    QCOMPARE(backend.enableCalls, 1);
    // The re-check a second after a failed search runs at the next settle.
    vm.setRecheckDelay(std::chrono::milliseconds(0));
    for (const QString &step : script.split(u';')) {
        const QString arg = step.section(u':', 1);
        if (step.startsWith(QLatin1String("muxed:"))) {
            backend.setMuxed(devicesNamed(arg));
        } else if (step.startsWith(QLatin1String("video:"))) {
            backend.setVideo(devicesNamed(arg));
        } else if (step.startsWith(QLatin1String("auth:"))) {
            using A = CaptureBackend::Authorization;
            backend.authorization = arg == QLatin1String("denied") ? A::Denied
                : arg == QLatin1String("restricted")               ? A::Restricted
                : arg.startsWith(QLatin1String("ask"))             ? A::NotDetermined
                                                                   : A::Authorized;
            backend.grantsAccess = arg == QLatin1String("ask-yes");
        } else if (step.startsWith(QLatin1String("start:"))) {
            vm.setTarget(arg.section(u'|', 0, 0), arg.section(u'|', 1));
            vm.requestAccessAndConnect();
        } else if (step.startsWith(QLatin1String("connect:"))) {
            vm.connectDevice(deviceNamed(arg));
        } else if (step.startsWith(QLatin1String("broken:"))) {
            backend.brokenDevices.insert(deviceNamed(arg).uniqueID);
        } else if (step == QLatin1String("stop")) {
            vm.stopMirroring();
        } else if (step == QLatin1String("hold")) {
            backend.holdStarts();
        } else if (step == QLatin1String("release")) {
            backend.releaseStarts();
        } else if (step == QLatin1String("settle")) {
            settle(backend);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    settle(backend);
    QVERIFY(!vm.isRecheckPending());

    QCOMPARE(vm.isConnected(), connected);
    QCOMPARE(vm.session() != nullptr, connected);
    QCOMPARE(vm.currentDevice() ? vm.currentDevice()->uniqueID : QString(),
        device.isEmpty() ? QString() : deviceNamed(device).uniqueID);
    if (vm.session())
        QCOMPARE(vm.session()->deviceUniqueID(), vm.currentDevice()->uniqueID);
    QCOMPARE(vm.targetUDID().value_or(QStringLiteral("none")), target);
    QCOMPARE(vm.permissionError(), permissionError);
    QCOMPARE(int(backend.sessions.size()), sessions);
    QCOMPARE(backend.runningSessions(), running);
    if (!log.isEmpty())
        QVERIFY2(DiagnosticsCapture::lines.contains(log), qPrintable(DiagnosticsCapture::lines.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestDeviceMirror)
#include "tst_devicemirror.moc"
