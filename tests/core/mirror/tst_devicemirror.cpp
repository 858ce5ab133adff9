#include "fakecapturebackend.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/mirrormatching.h"
#include "mirror/mirrorpanelstate.h"

#include <QCoreApplication>
#include <QTest>
#include <QThreadPool>

using namespace Qt::StringLiterals;
using MirrorMatching::MatchKind;

namespace {

// The lab's devices as the platform lists their screens, and the UDIDs the
// device list selects the phones by.
const QMap<QString, CaptureDeviceInfo> kLab {
    { u"phone"_s, { u"usb-00008130001E39811A12001C-screen"_s, u"QA Lab\u2019s iPhone 15 Pro"_s } },
    { u"rina"_s, { u"usb-00008110000A1C2E0E91801E-screen"_s, u"iPhone 14 Rina"_s } },
    { u"camera"_s, { u"0x1420000005ac8600"_s, u"FaceTime HD Camera"_s } },
};
const QMap<QString, QString> kUdids { { u"phone"_s, u"00008130-001E39811A12001C"_s },
    { u"rina"_s, u"00008110-000A1C2E0E91801E"_s } };

CaptureDeviceList devicesNamed(const QString &keys)
{
    CaptureDeviceList out;
    for (const QString &key : keys.split(u',', Qt::SkipEmptyParts))
        out.append(kLab.value(key));
    return out;
}

// Lets the starts on the pool finish (unless held) and their results arrive.
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
    QTest::addColumn<QString>("devices"); // "id|name;id|name"
    QTest::addColumn<QString>("name"); // the target's name, "-" for none; the UDID is the phone's
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("kind");
    const auto row = [](const char *tag, const QString &devices, const char *name, int index, MatchKind kind) {
        QTest::newRow(tag) << devices << QString::fromUtf8(name) << index << int(kind);
    };
    const QString id = u"00008130001E39811A12001C"_s;
    row("udid with hyphens, id in another case", id.toLower(), "-", 0, MatchKind::ByUdid);
    row("other id, name in another case", u"abc|qa lab iphone"_s, "QA Lab iPhone", 0, MatchKind::ByName);
    row("name with a trailing space does not match", u"abc|QA Lab iPhone "_s, "QA Lab iPhone", -1, MatchKind::None);
    row("earlier name match wins over a later udid match", "abc|Phone;" + id + "|Other", "phone", 0, MatchKind::ByName);
    row("part of the udid is not a match", u"00008130001E"_s, "-", -1, MatchKind::None);
}

void TestDeviceMirror::matching()
{
    QFETCH(QString, devices);
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(int, kind);
    CaptureDeviceList list;
    for (const QString &entry : devices.split(u';'))
        list.append({ entry.section(u'|', 0, 0), entry.section(u'|', 1) });
    const std::optional<QString> targetName = name == QLatin1String("-") ? std::nullopt : std::optional<QString>(name);
    const MirrorMatching::Match match = MirrorMatching::findMatch(list, kUdids[u"phone"_s], targetName);
    QCOMPARE(match.index, qsizetype(index));
    QCOMPARE(int(match.kind), kind);
    QCOMPARE(int(MirrorMatching::findMatch(list, QString(), targetName).kind), int(MatchKind::None)); // no target, no match
}

void TestDeviceMirror::panelState_data()
{
    QTest::addColumn<QString>("flags"); // sim, running, off, connected, session, denied
    QTest::addColumn<int>("body");
    QTest::addColumn<int>("dot");
    QTest::addColumn<bool>("switchEnabled");
    using B = MirrorPanelState::Body;
    using D = MirrorPanelState::Dot;
    const auto row = [](const char *tag, const char *flags, B body, D dot, bool switchEnabled) {
        QTest::newRow(tag) << QString::fromLatin1(flags) << int(body) << int(dot) << switchEnabled;
    };
    row("searching", "", B::NotConnected, D::Orange, true);
    row("connected", "connected,session", B::Live, D::Green, true);
    row("connected without a session", "connected", B::NotConnected, D::Green, true);
    row("simulator", "sim", B::Simulator, D::None, false);
    row("simulator with mirroring off", "sim,off", B::Simulator, D::None, false);
    row("switched off", "off", B::Disabled, D::None, true);
    row("refused access", "denied", B::PermissionRequired, D::Orange, true);
    row("refused access, switched off", "denied,off", B::Disabled, D::None, true);
    row("refusal outranks a live picture", "denied,connected,session", B::PermissionRequired, D::Green, true);
    row("running: switch locked", "running,connected,session", B::Live, D::Green, false);
}

void TestDeviceMirror::panelState()
{
    QFETCH(QString, flags);
    QFETCH(int, body);
    QFETCH(int, dot);
    QFETCH(bool, switchEnabled);
    const auto has = [&flags](const char *flag) { return flags.split(u',').contains(QLatin1String(flag)); };
    const MirrorPanelState state = MirrorPanelState::compute(
        { u"iPhone"_s, has("sim"), has("running"), !has("off"), has("connected"), has("session"), has("denied") });
    QCOMPARE(int(state.body), body);
    QCOMPARE(int(state.dot), dot);
    QCOMPARE(state.switchEnabled, switchEnabled);
}

void TestDeviceMirror::triggers_data()
{
    QTest::addColumn<QString>("event"); // shown, device (selection changed), enabled (switch flipped)
    QTest::addColumn<QString>("selected"); // a device id: phone, sim (a simulator) or none
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("action");
    using A = MirrorTriggers::Action;
    const auto row = [](const char *tag, const char *event, const char *selected, bool enabled, A action) {
        QTest::newRow(tag) << QString::fromLatin1(event) << QString::fromLatin1(selected) << enabled << int(action);
    };
    row("shown with a phone", "shown", "phone", true, A::Start);
    row("shown with nothing selected", "shown", "", true, A::None);
    row("shown with a simulator", "shown", "sim", true, A::None);
    row("shown with mirroring off", "shown", "phone", false, A::None);
    row("device changed to nothing still searches", "device", "", true, A::Start);
    row("device changed to a simulator", "device", "sim", true, A::Stop);
    row("device changed, mirroring off", "device", "phone", false, A::Stop);
    row("switched on with a phone", "enabled", "phone", true, A::Start);
    row("switched on with nothing", "enabled", "", true, A::None);
    row("switched on with a simulator", "enabled", "sim", true, A::None);
    row("switched off", "enabled", "phone", false, A::Stop);
}

void TestDeviceMirror::triggers()
{
    QFETCH(QString, event);
    QFETCH(QString, selected);
    QFETCH(bool, enabled);
    QFETCH(int, action);
    const MirrorTriggers::Selection now { selected, selected == QLatin1String("sim"), enabled };
    const MirrorTriggers::Action got = event == QLatin1String("shown") ? MirrorTriggers::onShown(now)
        : event == QLatin1String("device")                             ? MirrorTriggers::onDeviceChanged(now)
                                                                       : MirrorTriggers::onMirroringEnabledChanged(now);
    QCOMPARE(int(got), action);
}

// Each row is a script of steps on a controller over the fake backend, settled
// after each step (not between steps joined by "+"): muxed:KEYS / video:KEYS,
// auth:denied|ask-yes|ask-no|granted, start:KEY (the panel targets that phone;
// nothing: no target), connect:KEY, stop, hold / release (starts blocked on the
// worker), broken:KEY (no input). The outcome: the captured device, the kept
// target ("none"), E for a permission error, the sessions created/running.
void TestDeviceMirror::controller_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("outcome");
    const auto row = [](const char *tag, const char *script, const char *outcome) {
        QTest::newRow(tag) << QString::fromLatin1(script) << QString::fromLatin1(outcome);
    };
    row("connects to the matching device", "muxed:camera,phone;start:phone", "phone phone - 1/1");
    row("empty target: nothing starts", "muxed:phone;start:nothing", "- none - 0/0");
    row("cable plugged in after the selection connects by itself", "muxed:camera;start:phone;muxed:camera,phone",
        "phone phone - 1/1");
    row("captured device unplugged and plugged in again reconnects", "muxed:phone;start:phone;muxed:camera;muxed:camera,phone",
        "phone phone - 2/1");
    row("reconnecting to the captured device does nothing", "muxed:phone;start:phone;connect:phone;start:phone",
        "phone phone - 1/1");
    row("found only in the video list: gone at the next muxed change", "video:phone;start:phone;muxed:camera", "- phone - 1/0");
    row("stop ends the capture and forgets the target", "muxed:phone;start:phone;stop", "- none - 1/0");
    row("denied access: the cable plugged in later connects nothing", "auth:denied;start:phone;muxed:phone", "- phone E 0/0");
    row("access given while searching: the next list change connects", "auth:denied;start:phone;auth:granted;muxed:phone",
        "phone phone - 1/1");
    row("access withdrawn before the re-check: nothing connects", "muxed:camera;start:phone+auth:denied+video:phone",
        "- phone - 0/0");
    row("refused when asked sets the error", "muxed:phone;auth:ask-no;start:phone", "- phone E 0/0");
    row("granted when asked connects", "muxed:phone;auth:ask-yes;start:phone", "phone phone - 1/1");
    row("the error stays through a stop and a failed search",
        "muxed:camera;auth:denied;start:phone;stop;auth:granted;start:phone", "- phone E 0/0");
    row("an input that cannot be made clears the target", "muxed:phone;broken:phone;start:phone", "- none - 0/0");
    row("stopped while starting: the capture is not shown", "muxed:phone;hold;start:phone;stop;release", "- none - 1/0");
    row("list change while starting starts no second capture",
        "muxed:phone;hold;start:phone;muxed:phone,camera;muxed:phone;release", "phone phone - 1/1");
    row("another device while starting: only the last is shown", "muxed:phone,rina;hold;start:phone;start:rina;release",
        "rina rina - 2/1");
    row("a capture of another device replaces and stops the first", "muxed:phone,rina;start:phone;connect:rina",
        "rina phone - 2/1");
}

void TestDeviceMirror::controller()
{
    QFETCH(QString, script);
    QFETCH(QString, outcome);
    FakeCaptureBackend backend;
    DeviceMirrorViewModel vm(&backend);
    QCOMPARE(backend.enableCalls, 1);
    // The re-check a second after a failed search runs at the next settle.
    vm.setRecheckDelay(std::chrono::milliseconds(0));
    for (const QString &steps : script.split(u';')) {
        for (const QString &step : steps.split(u'+')) {
            const QString arg = step.section(u':', 1);
            if (step.startsWith(QLatin1String("muxed:"))) {
                backend.setMuxed(devicesNamed(arg));
            } else if (step.startsWith(QLatin1String("video:"))) {
                backend.setVideo(devicesNamed(arg));
            } else if (step.startsWith(QLatin1String("auth:"))) {
                using A = CaptureBackend::Authorization;
                backend.authorization = arg == QLatin1String("denied") ? A::Denied
                    : arg.startsWith(QLatin1String("ask"))             ? A::NotDetermined
                                                                       : A::Authorized;
                backend.grantsAccess = arg == QLatin1String("ask-yes");
            } else if (step.startsWith(QLatin1String("start:"))) {
                vm.setTarget(kUdids.value(arg), kLab.value(arg).localizedName);
                vm.requestAccessAndConnect();
            } else if (step.startsWith(QLatin1String("connect:"))) {
                vm.connectDevice(kLab.value(arg));
            } else if (step.startsWith(QLatin1String("broken:"))) {
                backend.brokenDevices.insert(kLab.value(arg).uniqueID);
            } else if (step == QLatin1String("stop")) {
                vm.stopMirroring();
            } else if (step == QLatin1String("hold")) {
                backend.holdStarts();
            } else if (step == QLatin1String("release")) {
                backend.releaseStarts();
            } else {
                QFAIL(qPrintable(u"unknown step "_s + step));
            }
        }
        settle(backend);
    }
    QVERIFY(!vm.isRecheckPending());
    // One capture shown at a time, and only while connected.
    QCOMPARE(vm.session() != nullptr, vm.isConnected());
    if (vm.session())
        QCOMPARE(vm.session()->deviceUniqueID(), vm.currentDevice().value_or(CaptureDeviceInfo()).uniqueID);
    const QString shown = vm.currentDevice() ? kLab.key(*vm.currentDevice()) : u"-"_s;
    const QString target = kUdids.key(vm.targetUDID().value_or(QString()), u"none"_s);
    const QString error = vm.permissionError() ? u"E"_s : u"-"_s;
    const QString sessions = u"%1/%2"_s.arg(backend.sessions.size()).arg(backend.runningSessions());
    QCOMPARE(QStringList({ shown, target, error, sessions }).join(u' '), outcome);
}

QTEST_GUILESS_MAIN(TestDeviceMirror)
#include "tst_devicemirror.moc"
