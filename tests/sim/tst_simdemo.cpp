// The launch script's demo mode: when it chooses the simulated lab, and the
// settings file and environment it gives the application, read back through
// the application's own settings store.

#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kScript = QStringLiteral(KESTRUNE_SOURCE_DIR "/scripts/demo-env.sh");

struct ShellResult
{
    int exitCode = -1;
    QString out;
};

ShellResult runBash(const QString &code, const QProcessEnvironment &env)
{
    QProcess bash;
    bash.setProcessEnvironment(env);
    bash.start(
        QStringLiteral("bash"), { QStringLiteral("-c"), QStringLiteral("set -euo pipefail; source \"$0\"; ") + code, kScript });
    ShellResult r;
    if (bash.waitForFinished(30000)) {
        r.exitCode = bash.exitCode();
        r.out = QString::fromUtf8(bash.readAllStandardOutput());
    }
    return r;
}

bool makeExecutable(const QString &path)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString envValue(const QString &envOutput, const QString &name)
{
    for (const QString &line : envOutput.split(u'\n')) {
        if (line.startsWith(name + u'='))
            return line.mid(name.size() + 1);
    }
    return QString();
}

} // namespace

class TestSimDemo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesTheLab_data();
    void choosesTheLab();
    void demoSettingsAndEnvironment_data();
    void demoSettingsAndEnvironment();
    void demoRunnerCarriesTheLabWithoutTheEnvironment_data();
    void demoRunnerCarriesTheLabWithoutTheEnvironment();
};

void TestSimDemo::choosesTheLab_data()
{
    QTest::addColumn<QString>("demoVariable");
    QTest::addColumn<bool>("hasXcrun");
    QTest::addColumn<bool>("hasRunner");
    QTest::addColumn<QString>("expected");
    QTest::newRow("real tools present") << "" << true << true << "0";
    QTest::newRow("no xcrun") << "" << false << true << "1";
    QTest::newRow("no runner") << "" << true << false << "1";
    QTest::newRow("asked for the demo") << "1" << true << true << "1";
    QTest::newRow("real tools forced") << "0" << false << false << "0";
}

void TestSimDemo::choosesTheLab()
{
    QFETCH(QString, demoVariable);
    QFETCH(bool, hasXcrun);
    QFETCH(bool, hasRunner);
    QFETCH(QString, expected);
    QTemporaryDir home;
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("KESTRUNE_REAL_XCRUN"), home.filePath(QStringLiteral("tools/xcrun")));
    if (!demoVariable.isEmpty())
        env.insert(QStringLiteral("KESTRUNE_DEMO"), demoVariable);
    if (hasXcrun)
        QVERIFY(makeExecutable(home.filePath(QStringLiteral("tools/xcrun"))));
    if (hasRunner)
        QVERIFY(makeExecutable(home.filePath(QStringLiteral(".maestro-runner/bin/maestro-runner"))));
    const ShellResult r = runBash(QStringLiteral("kestrune_choose_demo"), env);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), expected);
}

void TestSimDemo::demoSettingsAndEnvironment_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("data");
    QTest::newRow("apostrophe and ampersand") << QStringLiteral("O'Brien & Co|x");
    QTest::newRow("command substitution") << QStringLiteral("x'$(touch pwned)`touch pwned2`'");
    QTest::newRow("backslash, comma, quote, semicolon") << QStringLiteral("a\\b, \"c\"; d");
}

void TestSimDemo::demoSettingsAndEnvironment()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(folder));
    const QString demoDir = dir.filePath(folder + QStringLiteral("/kestrune-demo"));

    ShellResult r = runBash(QStringLiteral("kestrune_enter_demo /builds/one/kestrune-sim; env"), env);
    QCOMPARE(r.exitCode, 0);
    const QString settingsFile = envValue(r.out, QStringLiteral("KESTRUNE_SETTINGS_FILE"));
    QCOMPARE(settingsFile, demoDir + QStringLiteral("/settings.ini"));
    QCOMPARE(envValue(r.out, QStringLiteral("KESTRUNE_XCRUN")), QStringLiteral("/builds/one/kestrune-sim"));
    QCOMPARE(envValue(r.out, QStringLiteral("KESTRUNE_SIM_HOME")), demoDir + QStringLiteral("/lab"));
    QCOMPARE(envValue(r.out, QStringLiteral("KESTRUNE_SIM_SPEED")), QStringLiteral("human"));
    QVERIFY(QFileInfo(demoDir + QStringLiteral("/reports")).isDir());
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
    r = runBash(QStringLiteral("kestrune_enter_demo /builds/two/kestrune-sim"), env);
    QCOMPARE(r.exitCode, 0);
    SettingsStore again(settingsFile);
    QCOMPARE(again.appleTeamId(), QStringLiteral("ZZZZ999999"));
    QCOMPARE(again.maestroRunnerPath(), demoDir + QStringLiteral("/kestrune-sim-runner"));
}

// The runner is started through the user's login shell, which passes none of
// the demo's variables on: the wrapper alone must point the lab at the demo's
// state and hand every argument to this build's lab unchanged.
void TestSimDemo::demoRunnerCarriesTheLabWithoutTheEnvironment_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("data");
    QTest::newRow("apostrophe and ampersand") << QStringLiteral("O'Brien & Co|x");
    QTest::newRow("command substitution") << QStringLiteral("x'$(touch pwned)`touch pwned2`'");
}

void TestSimDemo::demoRunnerCarriesTheLabWithoutTheEnvironment()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(folder)));
    const QString fakeSim = dir.filePath(folder + QStringLiteral("/fake-sim"));
    {
        QFile f(fakeSim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho \"home=$KESTRUNE_SIM_HOME speed=$KESTRUNE_SIM_SPEED\"\nfor a in \"$@\"; do echo \"arg=$a\"; done\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(folder));
    env.insert(QStringLiteral("FAKE_SIM"), fakeSim);
    QCOMPARE(runBash(QStringLiteral("kestrune_enter_demo \"$FAKE_SIM\""), env).exitCode, 0);

    const QString demoDir = dir.filePath(folder + QStringLiteral("/kestrune-demo"));
    QProcess runner;
    runner.setProcessEnvironment(QProcessEnvironment()); // nothing inherited
    runner.start(demoDir + QStringLiteral("/kestrune-sim-runner"),
        { QStringLiteral("--device"), QStringLiteral("a b"), QStringLiteral("flow $HOME.yaml") });
    runner.setWorkingDirectory(dir.path());
    QVERIFY(runner.waitForFinished(10000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(runner.readAllStandardOutput()),
        QStringLiteral("home=%1/lab speed=human\narg=--device\narg=a b\narg=flow $HOME.yaml\n").arg(demoDir));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("pwned2"))));
}

QTEST_GUILESS_MAIN(TestSimDemo)
#include "tst_simdemo.moc"
