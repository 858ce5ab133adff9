#include "scratchfiles.h"
#include "settings/settingsstore.h"
#include "setup/fieldindicator.h"
#include "setup/onboardingsteps.h"
#include "setup/settingsform.h"
#include "setup/wdacache.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using testsupport::ScopedEnv;
using testsupport::writeFile;

Q_DECLARE_METATYPE(FieldIndicator::Kind)

class TestSettingsForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pathIndicator_data();
    void pathIndicator();
    void teamIdIndicator_data();
    void teamIdIndicator();
    void formStates_data();
    void formStates();
    void storingTrims();
    void wdaCache_data();
    void wdaCache();
    void onboardingSteps_data();
    void onboardingSteps();

private:
    QTemporaryDir m_dir;
};

void TestSettingsForm::initTestCase()
{
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("reports"))));
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("runner")), "#!/bin/sh\n"));
}

void TestSettingsForm::pathIndicator_data()
{
    QTest::addColumn<QString>("path"); // "@" is the scratch folder
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<FieldIndicator::Kind>("kind");
    QTest::addColumn<QString>("toolTip");

    using K = FieldIndicator::Kind;
    QTest::newRow("empty") << QString() << true << K::Invalid << "Path cannot be empty";
    QTest::newRow("folder as folder") << "@/reports" << true << K::Valid << "Valid path";
    QTest::newRow("folder as file") << "@/reports" << false << K::Invalid << "File/Directory not found";
    QTest::newRow("file as file, not executable") << "@/runner" << false << K::Valid << "Valid path";
    QTest::newRow("file as folder") << "@/runner" << true << K::Invalid << "File/Directory not found";
    QTest::newRow("missing") << "@/nowhere" << true << K::Invalid << "File/Directory not found";
    QTest::newRow("tilde expanded") << "~/reports" << true << K::Valid << "Valid path";
}

void TestSettingsForm::pathIndicator()
{
    QFETCH(QString, path);
    QFETCH(bool, isDirectory);
    QFETCH(FieldIndicator::Kind, kind);
    QFETCH(QString, toolTip);
    const ScopedEnv home("HOME", QFile::encodeName(m_dir.path()));
    const FieldIndicator indicator = FieldIndicator::forPath(path.replace(u'@', m_dir.path()), isDirectory);
    QCOMPARE(indicator.kind, kind);
    QCOMPARE(indicator.toolTip, toolTip);
}

void TestSettingsForm::teamIdIndicator_data()
{
    QTest::addColumn<QString>("teamId");
    QTest::addColumn<FieldIndicator::Kind>("kind");

    using K = FieldIndicator::Kind;
    QTest::newRow("empty") << "" << K::Warning;
    QTest::newRow("only spaces") << "   " << K::Warning;
    QTest::newRow("ten capitals and digits") << "K7QX2M9R4T" << K::Valid;
    QTest::newRow("surrounded by spaces") << "  K7QX2M9R4T \t" << K::Valid;
    QTest::newRow("nine characters") << "K7QX2M9R4" << K::Invalid;
    QTest::newRow("eleven characters") << "K7QX2M9R4TX" << K::Invalid;
    QTest::newRow("a lower-case letter") << "k7QX2M9R4T" << K::Invalid;
    QTest::newRow("a dash inside") << "K7QX2-9R4T" << K::Invalid;
}

void TestSettingsForm::teamIdIndicator()
{
    QFETCH(QString, teamId);
    QFETCH(FieldIndicator::Kind, kind);
    QCOMPARE(FieldIndicator::forTeamId(teamId).kind, kind);
}

void TestSettingsForm::formStates_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("team");
    QTest::addColumn<QString>("runner");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("changed"); // against folder "/r", team "K7QX2M9R4T", runner "~/m"

    QTest::newRow("stored values unchanged") << "/r"
                                             << "K7QX2M9R4T"
                                             << "~/m" << true << false;
    QTest::newRow("team surrounded by spaces") << "/r"
                                               << "  K7QX2M9R4T "
                                               << "~/m" << true << true;
    QTest::newRow("nine-character team") << "/r"
                                         << "K7QX2M9R4"
                                         << "~/m" << false << true;
    QTest::newRow("lower-case team") << "/r"
                                     << "K7QX2M9R4t"
                                     << "~/m" << false << true;
    QTest::newRow("folder of spaces") << "   "
                                      << "K7QX2M9R4T"
                                      << "~/m" << false << true;
    QTest::newRow("empty runner path") << "/r"
                                       << "K7QX2M9R4T"
                                       << "" << false << true;
    QTest::newRow("runner path changed") << "/r"
                                         << "K7QX2M9R4T"
                                         << "/opt/homebrew/bin/maestro" << true << true;
}

void TestSettingsForm::formStates()
{
    QFETCH(QString, folder);
    QFETCH(QString, team);
    QFETCH(QString, runner);
    QFETCH(bool, valid);
    QFETCH(bool, changed);
    const SettingsForm edited { folder, team, runner };
    QCOMPARE(edited.isFormValid(), valid);
    QCOMPARE(edited.hasChanges({ QStringLiteral("/r"), QStringLiteral("K7QX2M9R4T"), QStringLiteral("~/m") }), changed);
}

void TestSettingsForm::storingTrims()
{
    SettingsStore store(m_dir.filePath(QStringLiteral("trim.ini")));
    const SettingsForm written
        = SettingsForm::store(store, { QStringLiteral(" ~/Reports "), QStringLiteral("K7QX2M9R4T "), QStringLiteral("~/m\n") });
    const SettingsForm expected { QStringLiteral("~/Reports"), QStringLiteral("K7QX2M9R4T"), QStringLiteral("~/m") };
    QCOMPARE(written, expected);
    QCOMPARE(SettingsForm::load(SettingsStore(m_dir.filePath(QStringLiteral("trim.ini")))), expected);
}

void TestSettingsForm::wdaCache_data()
{
    QTest::addColumn<QStringList>("entries"); // names; a trailing "/" makes a folder; null list: no cache folder
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("no cache folder") << QStringList() << 0 << QStringList();
    QTest::newRow("three builds and one other") << QStringList { "device-ios-17.5/", "device-ios-18.6/", "device-ios-stale.zip",
        "notes.txt" } << 3 << QStringList { "notes.txt" };
    QTest::newRow("nothing cached") << QStringList { "simulator-ios-18.6/" } << 0 << QStringList { "simulator-ios-18.6" };
}

void TestSettingsForm::wdaCache()
{
    QFETCH(QStringList, entries);
    QFETCH(int, count);
    QFETCH(QStringList, left);

    const QString folder
        = m_dir.filePath(QStringLiteral("cache-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (!entries.isEmpty())
        QVERIFY(QDir().mkpath(folder));
    for (const QString &entry : entries) {
        if (entry.endsWith(u'/'))
            QVERIFY(QDir().mkpath(folder + u'/' + entry + QStringLiteral("Build/Products")));
        else
            QVERIFY(writeFile(folder + u'/' + entry, "x"));
    }
    QCOMPARE(WdaCache::count(folder), count);
    QVERIFY(WdaCache::clear(folder));
    QCOMPARE(WdaCache::count(folder), 0);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), left);
}

void TestSettingsForm::onboardingSteps_data()
{
    QTest::addColumn<QString>("moves"); // n: Next, b: Back
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("buttons"); // B back, N next, C complete

    QTest::newRow("start") << "" << int(OnboardingSteps::Welcome) << "N";
    QTest::newRow("back on the first page stays") << "b" << int(OnboardingSteps::Welcome) << "N";
    QTest::newRow("prerequisites") << "n" << int(OnboardingSteps::Prerequisites) << "BN";
    QTest::newRow("final setup") << "nn" << int(OnboardingSteps::FinalSetup) << "BC";
    QTest::newRow("next on the last page stays") << "nnn" << int(OnboardingSteps::FinalSetup) << "BC";
    QTest::newRow("back from final setup") << "nnb" << int(OnboardingSteps::Prerequisites) << "BN";
}

void TestSettingsForm::onboardingSteps()
{
    QFETCH(QString, moves);
    QFETCH(int, step);
    QFETCH(QString, buttons);
    OnboardingSteps steps;
    for (const QChar move : moves)
        move == u'n' ? steps.next() : steps.back();
    QCOMPARE(int(steps.current()), step);
    QString shown;
    if (steps.showsBack())
        shown += u'B';
    if (steps.showsNext())
        shown += u'N';
    if (steps.showsCompleteSetup())
        shown += u'C';
    QCOMPARE(shown, buttons);
}

QTEST_GUILESS_MAIN(TestSettingsForm)
#include "tst_settingsform.moc"
