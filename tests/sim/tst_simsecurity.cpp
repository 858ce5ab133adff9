#include "scratchfiles.h"
#include "setup/environmentchecks.h"
#include "simtestsupport.h"

#include <QTest>

// The lab's keychain, read back with the application's own signing check.
class TestSimSecurity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keychains_data();
    void keychains();
};

void TestSimSecurity::keychains_data()
{
    QTest::addColumn<QByteArray>("keychain"); // KESTRUNE_SIM_SIGNING
    QTest::addColumn<CheckStatus>("expected");

    QTest::newRow("the demo team's identity")
        << QByteArray() << CheckStatus::success(QStringLiteral("Apple Development: Dana Kim (K7QX2M9R4T)"));
    QTest::newRow("an empty keychain") << QByteArray(
        "none") << CheckStatus::failed(QStringLiteral("No Apple Development certificate for team K7QX2M9R4T; found: none"));
}

void TestSimSecurity::keychains()
{
    QFETCH(QByteArray, keychain);
    QFETCH(CheckStatus, expected);
    SimLab lab;
    QVERIFY(lab.isValid());
    const testsupport::ScopedEnv signing("KESTRUNE_SIM_SIGNING", keychain);
    const SimResult result
        = lab.run({ QStringLiteral("find-identity"), QStringLiteral("-v"), QStringLiteral("-p"), QStringLiteral("codesigning") });
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(EnvironmentChecks::signingStatus(result.out, QStringLiteral("K7QX2M9R4T")), expected);
}

QTEST_GUILESS_MAIN(TestSimSecurity)
#include "tst_simsecurity.moc"
