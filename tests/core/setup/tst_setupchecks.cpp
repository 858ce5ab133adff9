#include "scratchfiles.h"
#include "settings/settingsstore.h"
#include "setup/environmentchecks.h"
#include "setup/environmentcheckviewmodel.h"
#include "setup/fieldindicator.h"
#include "setup/runnerpathdetection.h"
#include "setup/settingsform.h"
#include "setup/wdacache.h"

#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

using testsupport::ScopedEnv;
using testsupport::writeFile;

// The setup screens' decisions, from finding the runner to clearing the cache.
class TestSetupChecks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detection_data();
    void detection();
    void toolChecks_data();
    void toolChecks();
    void passes_data();
    void passes();
    void fieldIndicator_data();
    void fieldIndicator();
    void formIsCheckedAndStoredTrimmed();
    void wdaCache_data();
    void wdaCache();

private:
    QString rowPath(const char *prefix) const
    {
        return m_dir.filePath(QLatin1String(prefix) + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    }
    QTemporaryDir m_dir;
};

void TestSetupChecks::detection_data()
{
    QTest::addColumn<QByteArray>("shellOutput"); // "@ROOT@" is the scratch folder, "@REL@" it from here; null: no shell
    QTest::addColumn<QStringList>("files"); // "path:kind" under it, kind exec, empty (executable), plain or dir
    QTest::addColumn<QString>("expected"); // empty: nothing found
    const auto row = [](const char *tag, const QByteArray &shell, const QStringList &files, const char *expected) {
        QTest::newRow(tag) << shell << files << QString::fromLatin1(expected);
    };
    const QString runner = QStringLiteral("home/.maestro-runner/bin/maestro-runner");
    const QString maestro = QStringLiteral("home/.maestro/bin/maestro:exec");
    const QByteArray brew("@ROOT@/brew/bin/maestro-runner\n");
    row("shell result wins over a candidate", brew, { "brew/bin/maestro-runner:exec", runner + ":exec" },
        "@ROOT@/brew/bin/maestro-runner");
    row("second shell line when the first is a message", "maestro-runner not found\n@ROOT@/brew/bin/maestro\n",
        { "brew/bin/maestro:exec" }, "@ROOT@/brew/bin/maestro");
    row("shell prints nothing: first candidate, tilde kept", "", { runner + ":exec", maestro },
        "~/.maestro-runner/bin/maestro-runner");
    row("empty file skipped", "", { runner + ":empty", maestro }, "~/.maestro/bin/maestro");
    row("folder skipped", "", { runner + ":dir", maestro }, "~/.maestro/bin/maestro");
    row("non-executable skipped", "", { runner + ":plain", maestro }, "~/.maestro/bin/maestro");
    row("relative shell line never returned", "@REL@/brew/bin/maestro-runner\n", { "brew/bin/maestro-runner:exec" }, "");
    row("shell path of a plain file skipped", brew, { "brew/bin/maestro-runner:plain", maestro }, "~/.maestro/bin/maestro");
    row("shell cannot start: candidates", QByteArray(), { maestro }, "~/.maestro/bin/maestro");
}

void TestSetupChecks::detection()
{
    QFETCH(QByteArray, shellOutput);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    const QString root = rowPath("detect-");
    for (const QString &file : files) {
        const QString path = root + u'/' + file.section(u':', 0, 0);
        const QString kind = file.section(u':', 1);
        QVERIFY(kind == QLatin1String("dir")
                ? QDir().mkpath(path)
                : writeFile(path, kind == QLatin1String("empty") ? "" : "#!/bin/sh\n", kind != QLatin1String("plain")));
    }
    ToolPaths paths;
    paths.shell = root + QStringLiteral("/zsh");
    if (!shellOutput.isNull()) {
        QVERIFY(writeFile(root + QStringLiteral("/which.out"),
            shellOutput.replace("@ROOT@", QFile::encodeName(root))
                .replace("@REL@", QFile::encodeName(QDir::current().relativeFilePath(root)))));
        QVERIFY(writeFile(paths.shell, "#!/bin/sh\ncat \"$(dirname \"$0\")/which.out\"\n", true));
    }
    const auto found = RunnerPathDetection::detectRunnerPath(paths, root + QStringLiteral("/home"));
    QCOMPARE(found.value_or(QString()), expected.replace(QLatin1String("@ROOT@"), root));
}

void TestSetupChecks::toolChecks_data()
{
    QTest::addColumn<QString>("check"); // runner, xcode or signing
    QTest::addColumn<QByteArray>("output"); // what the tool prints; null: no such tool
    QTest::addColumn<CheckStatus>("expected");
    const auto row = [](const char *tag, const char *check, const QByteArray &output, const CheckStatus &expected) {
        QTest::newRow(tag) << QString::fromLatin1(check) << output << expected;
    };
    const QString dana = QStringLiteral("Apple Development: Dana Kim (K7QX2M9R4T)");
    const QByteArray danaLine = "  1) 3F2A9C0D1E2B3A4C5D6E7F8091A2B3C4D5E6F708 \"" + dana.toUtf8() + "\"\n";
    const QString noCertificate = QStringLiteral("No Apple Development certificate for team K7QX2M9R4T; found: ");
    row("runner at a tilde path", "runner", "", CheckStatus::success(QStringLiteral("Installed & Executable")));
    row("no xcodebuild", "xcode", QByteArray(), CheckStatus::failed(QStringLiteral("Xcode not found")));
    row("xcodebuild's first line, trimmed", "xcode", "  Xcode 15.2  \nBuild version 15C500b\n",
        CheckStatus::success(QStringLiteral("Xcode 15.2")));
    row("xcodebuild prints nothing (command line tools only)", "xcode", "",
        CheckStatus::failed(QStringLiteral("Xcode not found")));
    row("one development identity of the team", "signing", danaLine + "     1 valid identities found\n",
        CheckStatus::success(dana));
    row("older developer name", "signing", "  1) ABCDEF \"iPhone Developer: Dana Kim (K7QX2M9R4T)\"\n",
        CheckStatus::success(QStringLiteral("iPhone Developer: Dana Kim (K7QX2M9R4T)")));
    row("another team only, distribution of ours", "signing",
        "  1) 0123456789ABCDEF0123456789ABCDEF01234567 \"Apple Development: Rina Putri (Z9Y8X7W6V5)\"\n"
        "  2) 89ABCDEF0123456789ABCDEF0123456789ABCDEF \"Apple Distribution: Lumenfold (K7QX2M9R4T)\"\n",
        CheckStatus::failed(noCertificate
            + QStringLiteral("Apple Development: Rina Putri (Z9Y8X7W6V5), Apple Distribution: Lumenfold (K7QX2M9R4T)")));
    row("no identities", "signing", "     0 valid identities found\n",
        CheckStatus::failed(noCertificate + QStringLiteral("none")));
    row("security missing", "signing", QByteArray(),
        CheckStatus::failed(QStringLiteral("Signing identities cannot be listed (security not found)")));
}

void TestSetupChecks::toolChecks()
{
    QFETCH(QString, check);
    QFETCH(QByteArray, output);
    QFETCH(CheckStatus, expected);
    const QString tool = rowPath("tool-");
    const ScopedEnv home("HOME", QFile::encodeName(m_dir.path()));
    if (!output.isNull()) {
        QVERIFY(writeFile(tool + QStringLiteral(".out"), output));
        // Answers only the command line the check is meant to use.
        const QByteArray arguments = check == QLatin1String("signing") ? "find-identity -v -p codesigning" : "-version";
        QVERIFY(writeFile(tool, "#!/bin/sh\n[ \"$*\" = \"" + arguments + "\" ] && cat \"$0.out\"\n", true));
    }
    ToolPaths paths;
    paths.xcodebuild = paths.security = tool;
    if (check == QLatin1String("runner"))
        QCOMPARE(EnvironmentChecks::checkRunner(QStringLiteral("~/") + QFileInfo(tool).fileName()), expected);
    else if (check == QLatin1String("xcode"))
        QCOMPARE(EnvironmentChecks::checkXcode(paths), expected);
    else // the team as typed, with spaces
        QCOMPARE(EnvironmentChecks::checkSigning(paths, QStringLiteral(" K7QX2M9R4T ")), expected);
}

void TestSetupChecks::passes_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("shown"); // every row ends with that pass's results; "": still loading
    QTest::newRow("two quick passes end with the second") << QStringLiteral("twice") << QStringLiteral("second");
    QTest::newRow("closed sheet drops late results") << QStringLiteral("discard") << QString();
    QTest::newRow("model gone before results") << QStringLiteral("delete") << QString();
}

void TestSetupChecks::passes()
{
    QFETCH(QString, scenario);
    QFETCH(QString, shown);
    auto model = std::make_unique<EnvironmentCheckViewModel>(QStringLiteral("~/r"), QStringLiteral("K7QX2M9R4T"));
    QSemaphore gate; // holds the first pass's first check
    for (const QString &label : { QStringLiteral("first"), QStringLiteral("second") }) {
        if (label == QLatin1String("second") && scenario != QLatin1String("twice"))
            break;
        QList<EnvironmentCheckViewModel::Check> checks;
        for (int row = 0; row < EnvironmentChecks::RowCount; ++row) {
            checks.append([&gate, label, row] {
                if (row == 0 && label == QLatin1String("first"))
                    gate.acquire();
                return CheckStatus::success(label + QString::number(row));
            });
        }
        model->setChecks(checks);
        model->runChecks();
    }
    QVERIFY(model->isRunning());
    if (scenario == QLatin1String("discard"))
        model->discardPendingResults();
    if (scenario == QLatin1String("delete"))
        model.reset();
    gate.release();
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    QCoreApplication::processEvents();
    for (int row = 0; model && row < EnvironmentChecks::RowCount; ++row) {
        QCOMPARE(model->checks().at(row).status,
            shown.isEmpty() ? CheckStatus::loading() : CheckStatus::success(shown + QString::number(row)));
    }
}

void TestSetupChecks::fieldIndicator_data()
{
    QTest::addColumn<QString>("field"); // folder, file or team
    QTest::addColumn<QString>("value"); // "~" is the scratch folder, which holds reports/
    QTest::addColumn<int>("kind");
    using K = FieldIndicator::Kind;
    const auto row = [](const char *tag, const char *field, const char *value, K kind) {
        QTest::newRow(tag) << QString::fromLatin1(field) << QString::fromLatin1(value) << int(kind);
    };
    row("empty path", "folder", "", K::Invalid);
    row("folder as folder, tilde expanded", "folder", "~/reports", K::Valid);
    row("folder as file", "file", "~/reports", K::Invalid);
    row("team of spaces only: a warning", "team", "   ", K::Warning);
    row("team surrounded by spaces", "team", "  K7QX2M9R4T \t", K::Valid);
    row("eleven-character team", "team", "K7QX2M9R4TX", K::Invalid);
    row("team with a lower-case letter", "team", "k7QX2M9R4T", K::Invalid);
}

void TestSetupChecks::fieldIndicator()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, kind);
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("reports"))));
    const ScopedEnv home("HOME", QFile::encodeName(m_dir.path()));
    const FieldIndicator indicator = field == QLatin1String("team")
        ? FieldIndicator::forTeamId(value)
        : FieldIndicator::forPath(value, field == QLatin1String("folder"));
    QCOMPARE(int(indicator.kind), kind);
}

void TestSetupChecks::formIsCheckedAndStoredTrimmed()
{
    const SettingsForm typed { QStringLiteral(" ~/Reports "), QStringLiteral("K7QX2M9R4T "), QStringLiteral("~/m\n") };
    const SettingsForm trimmed { QStringLiteral("~/Reports"), QStringLiteral("K7QX2M9R4T"), QStringLiteral("~/m") };
    QVERIFY(typed.isFormValid() && typed.hasChanges(trimmed)); // valid once trimmed; changes compared as typed
    QVERIFY(!SettingsForm({ QStringLiteral("/r"), QStringLiteral("K7QX2M9R4T"), QStringLiteral(" ") }).isFormValid());
    const QString file = m_dir.filePath(QStringLiteral("trim.ini"));
    SettingsStore store(file);
    QCOMPARE(SettingsForm::store(store, typed), trimmed);
    QCOMPARE(SettingsForm::load(SettingsStore(file)), trimmed);
}

void TestSetupChecks::wdaCache_data()
{
    // Names in the cache folder: a trailing "/" makes a folder, a trailing
    // ">" a link to a folder outside the cache.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("builds, an archive, others")
        << QStringList { "device-ios-17.5/", "device-ios-stale.zip", "simulator-ios-18.6/", "notes.txt" } << 2
        << QStringList { "notes.txt", "simulator-ios-18.6" };
    QTest::newRow("a linked build: the link goes, the folder it names stays")
        << QStringList { "device-ios-linked>" } << 1 << QStringList();
}

void TestSetupChecks::wdaCache()
{
    QFETCH(QStringList, entries);
    QFETCH(int, count);
    QFETCH(QStringList, left);
    const QString folder = rowPath("cache-");
    const QString outside = rowPath("outside-");
    QVERIFY(writeFile(outside + QStringLiteral("/Build/Products/keep"), "x"));
    for (const QString &entry : entries) {
        if (entry.endsWith(u'/'))
            QVERIFY(QDir().mkpath(folder + u'/' + entry + QStringLiteral("Build/Products")));
        else if (entry.endsWith(u'>'))
            QVERIFY(QDir().mkpath(folder) && QFile::link(outside, folder + u'/' + entry.chopped(1)));
        else
            QVERIFY(writeFile(folder + u'/' + entry, "x"));
    }
    QCOMPARE(WdaCache::count(folder), count);
    QVERIFY(WdaCache::clear(folder));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), left);
    QVERIFY(QFile::exists(outside + QStringLiteral("/Build/Products/keep")));
}

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setupchecks.moc"
