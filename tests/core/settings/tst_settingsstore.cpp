#include "scratchfiles.h"
#include "settings/settingsstore.h"
#include "setup/settingsform.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void absentAndStoredValues();
    void expandTilde_data();
    void expandTilde();
    void userStoreLandsInTheProductDomain();

private:
    QTemporaryDir m_dir;
};

void TestSettingsStore::absentAndStoredValues()
{
    // The forms show an absent folder and Team ID as empty; a stored value, also "", reads as stored.
    const QString file = m_dir.filePath(QStringLiteral("settings.ini"));
    {
        SettingsStore store(file);
        QCOMPARE(store.reportsOutputDirectoryForForm(), QString());
        QCOMPARE(store.appleTeamIdForForm(), QString());
        QVERIFY2(SettingsForm::isValidTeamId(store.appleTeamId()), qPrintable(store.appleTeamId()));
        store.setReportsOutputDirectory(QStringLiteral("~/Reports"));
        store.setAppleTeamId(QString());
        store.setMaestroRunnerPath(QString());
        store.sync();
    }
    const SettingsStore reread(file);
    QCOMPARE(reread.reportsOutputDirectory(), QStringLiteral("~/Reports")); // not expanded
    QCOMPARE(reread.appleTeamId(), QString());
    QCOMPARE(reread.maestroRunnerPath(), QString());
}

void TestSettingsStore::expandTilde_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bare tilde") << "~" << QDir::homePath();
    QTest::newRow("other user left alone") << QStringLiteral("~bob/x") << QStringLiteral("~bob/x");
    QTest::newRow("tilde in the middle") << QStringLiteral("/a/~/b") << QStringLiteral("/a/~/b");
}

void TestSettingsStore::expandTilde()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(SettingsStore::expandTilde(input), expected);
}

void TestSettingsStore::userStoreLandsInTheProductDomain()
{
    // No settings file named: the bundle identifier's domain on macOS, the product's file elsewhere.
    const testsupport::ScopedEnv noFile("KESTRUNE_SETTINGS_FILE", QByteArray());
    const QString file = SettingsStore().fileName();
#ifdef Q_OS_DARWIN
    QVERIFY2(file.endsWith(QLatin1String("/Library/Preferences/io.kestrune.Kestrune.plist")), qPrintable(file));
#else
    QVERIFY2(file.endsWith(QLatin1String("/Kestrune/Kestrune.conf")), qPrintable(file));
#endif
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
