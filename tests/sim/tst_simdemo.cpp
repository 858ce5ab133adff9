// The launch script's demo mode: when it chooses the simulated lab, and the
// settings file, environment and runner wrapper it gives the application,
// read back through the application's own settings store.

#include "scratchfiles.h"
#include "settings/settingsstore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What `code` printed after sourcing the script, or "failed".
QString runBash(const QString &code, const QString &home, const QStringList &variables = {})
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    for (const QString &variable : variables)
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QProcess bash;
    bash.setProcessEnvironment(env);
    bash.start(QStringLiteral("bash"),
        { QStringLiteral("-c"), QStringLiteral("set -euo pipefail; source \"$0\"; ") + code,
            QStringLiteral(KESTRUNE_SOURCE_DIR "/scripts/demo-env.sh") });
    return bash.waitForFinished(30000) && bash.exitCode() == 0 ? QString::fromUtf8(bash.readAllStandardOutput())
                                                               : QStringLiteral("failed");
}

} // namespace

class TestSimDemo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesTheLab_data();
    void choosesTheLab();
    void demoSettingsAndRunner_data();
    void demoSettingsAndRunner();
};

void TestSimDemo::choosesTheLab_data()
{
    QTest::addColumn<QString>("demoVariable");
    QTest::addColumn<bool>("hasXcrun");
    QTest::addColumn<bool>("hasRunner");
    QTest::addColumn<QString>("expected");
    QTest::newRow("real tools present") << "" << true << true << "0\n";
    QTest::newRow("no xcrun") << "" << false << true << "1\n";
    QTest::newRow("no runner") << "" << true << false << "1\n";
    QTest::newRow("asked for the demo") << "1" << true << true << "1\n";
    QTest::newRow("real tools forced") << "0" << false << false << "0\n";
}

void TestSimDemo::choosesTheLab()
{
    QFETCH(QString, demoVariable);
    QFETCH(bool, hasXcrun);
    QFETCH(bool, hasRunner);
    QFETCH(QString, expected);
    QTemporaryDir home;
    const QString xcrun = home.filePath(QStringLiteral("tools/xcrun"));
    const QString runner = home.filePath(QStringLiteral(".maestro-runner/bin/maestro-runner"));
    QVERIFY(!hasXcrun || testsupport::writeFile(xcrun, "#!/bin/sh\nexit 0\n", true));
    QVERIFY(!hasRunner || testsupport::writeFile(runner, "#!/bin/sh\nexit 0\n", true));
    QStringList variables { QStringLiteral("KESTRUNE_REAL_XCRUN=") + xcrun };
    if (!demoVariable.isEmpty())
        variables << QStringLiteral("KESTRUNE_DEMO=") + demoVariable;
    QCOMPARE(runBash(QStringLiteral("kestrune_choose_demo"), home.path(), variables), expected);
}

void TestSimDemo::demoSettingsAndRunner_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("data");
    QTest::newRow("apostrophe and ampersand") << QStringLiteral("O'Brien & Co|x");
    QTest::newRow("command substitution") << QStringLiteral("x'$(touch pwned)`touch pwned2`'");
    QTest::newRow("backslash, comma, quote, semicolon") << QStringLiteral("a\\b, \"c\"; d");
}

// The runner is started through the user's login shell, which passes none of
// the demo's variables on: the wrapper alone must point the lab at the demo's
// state and hand every argument to this build's lab unchanged.
void TestSimDemo::demoSettingsAndRunner()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    const QString demoDir = dir.filePath(folder + QStringLiteral("/kestrune-demo"));
    QStringList builds;
    for (const char *build : { "/one/kestrune-sim", "/two/kestrune-sim" }) {
        builds << dir.filePath(folder + QLatin1String(build));
        QVERIFY(testsupport::writeFile(builds.last(),
            "#!/bin/sh\nprintf '%s home=%s speed=%s\\n' \"$0\" \"$KESTRUNE_SIM_HOME\" \"$KESTRUNE_SIM_SPEED\"\n"
            "printf 'arg=%s\\n' \"$@\"\n",
            true));
    }
    const QStringList variables { "XDG_DATA_HOME=" + dir.filePath(folder), "SIM_ONE=" + builds[0], "SIM_TWO=" + builds[1] };
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString settingsFile = demoDir + QStringLiteral("/settings.ini");
    QCOMPARE(
        runBash(QStringLiteral("kestrune_enter_demo \"$SIM_ONE\"; test -d \"$(dirname \"$KESTRUNE_SETTINGS_FILE\")/reports\"; "
                               "printf '%s\\n' \"$KESTRUNE_SETTINGS_FILE\" \"$KESTRUNE_XCRUN\" \"$KESTRUNE_SIM_HOME\" "
                               "\"$KESTRUNE_SIM_SPEED\""),
            home, variables),
        QStringList({ settingsFile, builds[0], demoDir + "/lab", "human", "" }).join(u'\n'));
    {
        SettingsStore store(settingsFile);
        QCOMPARE(store.maestroRunnerPath(), demoDir + QStringLiteral("/kestrune-sim-runner"));
        QCOMPARE(store.reportsOutputDirectory(), demoDir + QStringLiteral("/reports"));
        QVERIFY(store.hasCompletedSetup());
        // A change made while trying the demo...
        store.setAppleTeamId(QStringLiteral("ZZZZ999999"));
        store.sync();
    }
    // ...survives the next launch, which points at the new build's lab.
    QCOMPARE(runBash(QStringLiteral("kestrune_enter_demo \"$SIM_TWO\""), home, variables), QString());
    SettingsStore again(settingsFile);
    QCOMPARE(again.appleTeamId(), QStringLiteral("ZZZZ999999"));
    QCOMPARE(again.maestroRunnerPath(), demoDir + QStringLiteral("/kestrune-sim-runner"));

    QProcess runner;
    runner.setProcessEnvironment(QProcessEnvironment()); // nothing inherited
    runner.setWorkingDirectory(dir.path());
    runner.start(
        again.maestroRunnerPath(), { QStringLiteral("--device"), QStringLiteral("a b"), QStringLiteral("flow $HOME.yaml") });
    QVERIFY(runner.waitForFinished(10000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(runner.readAllStandardOutput()),
        QStringLiteral("%1 home=%2/lab speed=human\narg=--device\narg=a b\narg=flow $HOME.yaml\n").arg(builds[1], demoDir));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned2"))));
}

QTEST_GUILESS_MAIN(TestSimDemo)
#include "tst_simdemo.moc"
