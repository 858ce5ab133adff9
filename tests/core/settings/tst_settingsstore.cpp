#include "settings/settingsstore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void absentKeysReadAsDefaults();
    void storedEmptyStringIsUsedAsStored_data();
    void storedEmptyStringIsUsedAsStored();
    void pathsAreStoredUnexpanded();
    void expandTilde_data();
    void expandTilde();
    void userStoreLandsInTheProductDomain();

private:
    QTemporaryDir m_dir;
    QString iniFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
};

void TestSettingsStore::absentKeysReadAsDefaults()
{
    SettingsStore store(m_dir.filePath(QStringLiteral("absent.ini")));
    QCOMPARE(store.hasCompletedSetup(), false);
    QCOMPARE(store.isMirroringEnabled(), true);
    QCOMPARE(store.reportsOutputDirectory(), QStringLiteral("~/Documents/ZovarodUdaviza"));
    QCOMPARE(store.maestroRunnerPath(), QStringLiteral("~/.maestro-runner/bin/maestro-runner"));
    QCOMPARE(store.reportsOutputDirectoryForForm(), QString());
    QCOMPARE(store.appleTeamIdForForm(), QString());

    const QString team = store.appleTeamId();
    QCOMPARE(team.size(), 10);
    for (const QChar c : team)
        QVERIFY2(c.isDigit() || (c.isUpper() && c.isLetter()), qPrintable(team));
}

void TestSettingsStore::storedEmptyStringIsUsedAsStored_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("reports folder") << QString::fromLatin1(SettingsStore::kReportsOutputDirectory);
    QTest::newRow("team id") << QString::fromLatin1(SettingsStore::kAppleTeamId);
    QTest::newRow("runner path") << QString::fromLatin1(SettingsStore::kMaestroRunnerPath);
}

void TestSettingsStore::storedEmptyStringIsUsedAsStored()
{
    QFETCH(QString, key);
    {
        SettingsStore store(iniFile());
        if (key == QLatin1String(SettingsStore::kReportsOutputDirectory))
            store.setReportsOutputDirectory(QString());
        else if (key == QLatin1String(SettingsStore::kAppleTeamId))
            store.setAppleTeamId(QString());
        else
            store.setMaestroRunnerPath(QString());
        store.sync();
    }
    SettingsStore reread(iniFile());
    const QString value = key == QLatin1String(SettingsStore::kReportsOutputDirectory) ? reread.reportsOutputDirectory()
        : key == QLatin1String(SettingsStore::kAppleTeamId)                         ? reread.appleTeamId()
                                                                                     : reread.maestroRunnerPath();
    QVERIFY(reread.contains(key.toLatin1().constData()));
    QCOMPARE(value, QString());
}

void TestSettingsStore::pathsAreStoredUnexpanded()
{
    {
        SettingsStore store(iniFile());
        store.setReportsOutputDirectory(QStringLiteral("~/Reports"));
        store.setHasCompletedSetup(true);
        store.setIsMirroringEnabled(false);
        store.sync();
    }
    SettingsStore reread(iniFile());
    QCOMPARE(reread.reportsOutputDirectory(), QStringLiteral("~/Reports"));
    QCOMPARE(reread.hasCompletedSetup(), true);
    QCOMPARE(reread.isMirroringEnabled(), false);
}

void TestSettingsStore::expandTilde_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString home = QDir::homePath();
    QTest::newRow("bare tilde") << "~" << home;
    QTest::newRow("tilde slash") << "~/Documents/x" << home + "/Documents/x";
    QTest::newRow("absolute") << "/tmp/a" << "/tmp/a";
    QTest::newRow("other user left alone") << "~bob/x" << "~bob/x";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("tilde in the middle") << "/a/~/b" << "/a/~/b";
}

void TestSettingsStore::expandTilde()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(SettingsStore::expandTilde(input), expected);
}

void TestSettingsStore::userStoreLandsInTheProductDomain()
{
    // The per-user store (no settings file named) is the bundle identifier's
    // defaults domain on macOS and the product's own file elsewhere.
    const QByteArray saved = qgetenv("KESTRUNE_SETTINGS_FILE");
    qunsetenv("KESTRUNE_SETTINGS_FILE");
    const QString file = SettingsStore().fileName();
    qputenv("KESTRUNE_SETTINGS_FILE", saved);
#ifdef Q_OS_DARWIN
    QVERIFY2(file.endsWith(QLatin1String("/Library/Preferences/io.kestrune.Kestrune.plist")), qPrintable(file));
#else
    QVERIFY2(file.endsWith(QLatin1String("/Kestrune/Kestrune.conf")), qPrintable(file));
#endif
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
