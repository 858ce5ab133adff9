// The simulated lab's USB cable: which phones are attached, the camera
// access it plays, and the pictures of the attached phones' screens.

#include "simtestsupport.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTest>

using namespace SimTest;

class TestSimUsb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commands_data();
    void commands();
    void runRedrawsTheAttachedPhone_data();
    void runRedrawsTheAttachedPhone();
};

void TestSimUsb::commands_data()
{
    QTest::addColumn<QStringList>("commands"); // "usb ..." lines run in order
    QTest::addColumn<int>("lastExit");
    QTest::addColumn<QStringList>("attached");
    QTest::addColumn<QString>("access");
    QTest::addColumn<QStringList>("pictures"); // UDIDs that have a picture

    QTest::newRow("seeded: the iPhone 15 Pro on the cable")
        << QStringList { "usb list" } << 0 << QStringList { iPhone } << "authorized" << QStringList { iPhone };
    QTest::newRow("attach a second phone") << QStringList { "usb attach " + iPhoneWithoutLog } << 0
                                           << QStringList { iPhone, iPhoneWithoutLog } << "authorized"
                                           << QStringList { iPhone, iPhoneWithoutLog };
    QTest::newRow("attach twice lists it once") << QStringList { "usb attach " + iPhone, "usb attach " + iPhone } << 0
                                                << QStringList { iPhone } << "authorized" << QStringList { iPhone };
    QTest::newRow("detach") << QStringList { "usb detach " + iPhone } << 0 << QStringList {} << "authorized"
                            << QStringList { iPhone };
    QTest::newRow("an offline phone can be attached")
        << QStringList { "usb detach " + iPhone, "usb attach " + offlinePhone } << 0 << QStringList { offlinePhone }
        << "authorized" << QStringList { iPhone, offlinePhone };
    QTest::newRow("a simulator has no cable")
        << QStringList { "usb attach " + simulator } << 1 << QStringList { iPhone } << "authorized" << QStringList { iPhone };
    QTest::newRow("nor has the Mac") << QStringList { "usb attach " + hostMac } << 1 << QStringList { iPhone } << "authorized"
                                     << QStringList { iPhone };
    QTest::newRow("unknown device") << QStringList { "usb detach 0000" } << 1 << QStringList { iPhone } << "authorized"
                                    << QStringList { iPhone };
    QTest::newRow("camera access refused") << QStringList { "usb access denied" } << 0 << QStringList { iPhone } << "denied"
                                           << QStringList { iPhone };
    QTest::newRow("unknown access value") << QStringList { "usb access maybe" } << 64 << QStringList { iPhone } << "authorized"
                                          << QStringList { iPhone };
    QTest::newRow("missing device") << QStringList { "usb attach" } << 64 << QStringList { iPhone } << "authorized"
                                    << QStringList { iPhone };
}

void TestSimUsb::commands()
{
    QFETCH(QStringList, commands);
    QFETCH(int, lastExit);
    QFETCH(QStringList, attached);
    QFETCH(QString, access);
    QFETCH(QStringList, pictures);
    SimLab lab;
    QVERIFY(lab.isValid());
    SimResult result;
    for (const QString &command : commands)
        result = lab.run(command.split(u' '));
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, lastExit);

    const SimResult list = lab.run({ QStringLiteral("usb"), QStringLiteral("list") });
    QCOMPARE(list.out.split(u'\n', Qt::SkipEmptyParts), attached);
    QCOMPARE(readJsonObject(lab.home() + QStringLiteral("/usb.json")).value(QLatin1String("cameraAccess")).toString(), access);
    for (const QString &udid : { iPhone, iPhoneWithoutLog, offlinePhone, simulator })
        QCOMPARE(
            QFileInfo::exists(lab.home() + QStringLiteral("/usb/") + udid + QStringLiteral(".png")), pictures.contains(udid));
}

void TestSimUsb::runRedrawsTheAttachedPhone_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("attached");
    QTest::addColumn<bool>("redrawn");
    QTest::newRow("attached phone") << iPhone << true << true;
    QTest::newRow("phone without a cable") << iPhone << false << false;
}

void TestSimUsb::runRedrawsTheAttachedPhone()
{
    QFETCH(QString, device);
    QFETCH(bool, attached);
    QFETCH(bool, redrawn);
    SimLab lab;
    const QString picture = lab.home() + QStringLiteral("/usb/") + device + QStringLiteral(".png");
    if (!attached)
        QCOMPARE(lab.run({ QStringLiteral("usb"), QStringLiteral("detach"), device }).exitCode, 0);
    else
        QCOMPARE(lab.run({ QStringLiteral("usb"), QStringLiteral("list") }).exitCode, 0);
    const QByteArray before = readFile(picture);
    QVERIFY(!before.isEmpty());
    const SimResult run = lab.run(runnerArguments(device, lab.path(QStringLiteral("out")), { QStringLiteral("login.yaml") }));
    QVERIFY2(run.finished, qPrintable(run.err));
    const QByteArray after = readFile(picture);
    QVERIFY(after.startsWith("\x89PNG"));
    QCOMPARE(after != before, redrawn);
}

QTEST_GUILESS_MAIN(TestSimUsb)
#include "tst_simusb.moc"
