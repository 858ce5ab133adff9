#include "scratchfiles.h"
#include "setup/environmentchecks.h"
#include "setup/environmentcheckviewmodel.h"
#include "setup/runnerpathdetection.h"

#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

using testsupport::ScopedEnv;
using testsupport::writeFile;

namespace {

// Creates `entry` under `root`: "path:kind" with kind exec (a runnable
// script), empty (executable, no content), plain (not executable) or dir.
bool plant(const QString &root, const QString &entry)
{
    const QString relative = entry.section(u':', 0, 0);
    const QString kind = entry.section(u':', 1);
    const QString path = root + u'/' + relative;
    if (kind == QLatin1String("dir"))
        return QDir().mkpath(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (kind == QLatin1String("empty"))
        return writeFile(path, {}, true);
    return writeFile(path, "#!/bin/sh\nexit 0\n", kind == QLatin1String("exec"));
}

} // namespace

class TestSetupChecks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detection_data();
    void detection();
    void runnerAndXcode_data();
    void runnerAndXcode();
    void signing_data();
    void signing();
    void passes_data();
    void passes();

private:
    QTemporaryDir m_dir;
};

void TestSetupChecks::detection_data()
{
    QTest::addColumn<QByteArray>("shellOutput"); // "@ROOT@" is the scratch folder; null: no shell at all
    QTest::addColumn<QStringList>("files"); // under the scratch folder; "home/" is "~"
    QTest::addColumn<QString>("expected"); // empty: nothing found

    const QString runner = QStringLiteral("home/.maestro-runner/bin/maestro-runner");
    const QString maestro = QStringLiteral("home/.maestro/bin/maestro");
    QTest::newRow("shell result wins over a candidate")
        << QByteArray("@ROOT@/brew/bin/maestro-runner\n") << QStringList { "brew/bin/maestro-runner:exec", runner + ":exec" }
        << QStringLiteral("@ROOT@/brew/bin/maestro-runner");
    QTest::newRow("second shell line when the first is a message")
        << QByteArray("maestro-runner not found\n@ROOT@/brew/bin/maestro\n") << QStringList { "brew/bin/maestro:exec" }
        << QStringLiteral("@ROOT@/brew/bin/maestro");
    QTest::newRow("shell prints nothing: candidate with tilde kept")
        << QByteArray("") << QStringList { runner + ":exec" } << QStringLiteral("~/.maestro-runner/bin/maestro-runner");
    QTest::newRow("candidates in order") << QByteArray("") << QStringList { runner + ":exec", maestro + ":exec" }
                                         << QStringLiteral("~/.maestro-runner/bin/maestro-runner");
    QTest::newRow("empty file skipped") << QByteArray("") << QStringList { runner + ":empty", maestro + ":exec" }
                                        << QStringLiteral("~/.maestro/bin/maestro");
    QTest::newRow("folder skipped") << QByteArray("") << QStringList { runner + ":dir", maestro + ":exec" }
                                    << QStringLiteral("~/.maestro/bin/maestro");
    QTest::newRow("non-executable skipped") << QByteArray("") << QStringList { runner + ":plain", maestro + ":exec" }
                                            << QStringLiteral("~/.maestro/bin/maestro");
    QTest::newRow("relative shell line never returned")
        << QByteArray("brew/bin/maestro-runner\n") << QStringList { "brew/bin/maestro-runner:exec" } << QString();
    QTest::newRow("shell path of a plain file skipped")
        << QByteArray("@ROOT@/brew/bin/maestro-runner\n") << QStringList { "brew/bin/maestro-runner:plain", maestro + ":exec" }
        << QStringLiteral("~/.maestro/bin/maestro");
    QTest::newRow("shell cannot start: candidates")
        << QByteArray() << QStringList { maestro + ":exec" } << QStringLiteral("~/.maestro/bin/maestro");
    QTest::newRow("nothing anywhere") << QByteArray("") << QStringList() << QString();
}

void TestSetupChecks::detection()
{
    QFETCH(QByteArray, shellOutput);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);

    const QString root = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/home")));
    for (const QString &file : files)
        QVERIFY(plant(root, file));
    ToolPaths paths;
    paths.shell = root + QStringLiteral("/zsh");
    if (!shellOutput.isNull()) {
        QVERIFY(writeFile(root + QStringLiteral("/which.out"), shellOutput.replace("@ROOT@", QFile::encodeName(root))));
        QVERIFY(writeFile(paths.shell, "#!/bin/sh\ncat \"$(dirname \"$0\")/which.out\"\n", true));
    }

    const auto found = RunnerPathDetection::detectRunnerPath(paths, root + QStringLiteral("/home"));
    QCOMPARE(found.value_or(QString()), QString(expected).replace(QLatin1String("@ROOT@"), root));
}

void TestSetupChecks::runnerAndXcode_data()
{
    QTest::addColumn<QString>("runnerFile"); // kind of the file at ~/bin/runner: none, plain, exec
    QTest::addColumn<QByteArray>("xcodebuild"); // null: no xcodebuild
    QTest::addColumn<CheckStatus>("runner");
    QTest::addColumn<CheckStatus>("xcode");

    const CheckStatus installed = CheckStatus::success(QStringLiteral("Installed & Executable"));
    const CheckStatus notFound = CheckStatus::failed(QStringLiteral("Not found or not executable"));
    QTest::newRow("missing runner, missing xcodebuild")
        << "none" << QByteArray() << notFound << CheckStatus::failed(QStringLiteral("Xcode not found"));
    QTest::newRow("non-executable runner") << "plain" << QByteArray("printf 'Xcode 16.4\\nBuild version 16F6\\n'") << notFound
                                           << CheckStatus::success(QStringLiteral("Xcode 16.4"));
    QTest::newRow("working runner, version line trimmed")
        << "exec" << QByteArray("printf '  Xcode 15.2  \\nBuild version 15C500b\\n'") << installed
        << CheckStatus::success(QStringLiteral("Xcode 15.2"));
    QTest::newRow("xcodebuild prints nothing") << "exec" << QByteArray("exit 1") << installed << CheckStatus::success({});
}

void TestSetupChecks::runnerAndXcode()
{
    QFETCH(QString, runnerFile);
    QFETCH(QByteArray, xcodebuild);
    QFETCH(CheckStatus, runner);
    QFETCH(CheckStatus, xcode);

    const QString home
        = m_dir.filePath(QStringLiteral("checks-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(home + QStringLiteral("/bin")));
    if (runnerFile != QLatin1String("none"))
        QVERIFY(plant(home, QStringLiteral("bin/runner:") + runnerFile));
    ToolPaths paths;
    paths.xcodebuild = home + QStringLiteral("/xcodebuild");
    if (!xcodebuild.isNull())
        QVERIFY(writeFile(paths.xcodebuild, "#!/bin/sh\n" + xcodebuild + "\n", true));

    const ScopedEnv homeVariable("HOME", QFile::encodeName(home));
    QCOMPARE(EnvironmentChecks::checkRunner(QStringLiteral("~/bin/runner")), runner);
    QCOMPARE(EnvironmentChecks::checkXcode(paths), xcode);
}

void TestSetupChecks::signing_data()
{
    QTest::addColumn<QByteArray>("output"); // what security prints; null: no security at all
    QTest::addColumn<QString>("team");
    QTest::addColumn<CheckStatus>("expected");

    const QByteArray dana = "  1) 3F2A9C0D1E2B3A4C5D6E7F8091A2B3C4D5E6F708 \"Apple Development: Dana Kim (K7QX2M9R4T)\"\n";
    const QByteArray other = "  1) 0123456789ABCDEF0123456789ABCDEF01234567 \"Apple Development: Rina Putri (Z9Y8X7W6V5)\"\n";
    const QByteArray distribution
        = "  2) 89ABCDEF0123456789ABCDEF0123456789ABCDEF \"Apple Distribution: Lumenfold (K7QX2M9R4T)\"\n";
    QTest::newRow("one match") << dana + "     1 valid identities found\n"
                               << QStringLiteral("K7QX2M9R4T")
                               << CheckStatus::success(QStringLiteral("Apple Development: Dana Kim (K7QX2M9R4T)"));
    QTest::newRow("team typed with spaces") << dana << QStringLiteral(" K7QX2M9R4T ")
                                            << CheckStatus::success(QStringLiteral("Apple Development: Dana Kim (K7QX2M9R4T)"));
    QTest::newRow("older developer name") << QByteArray("  1) ABCDEF \"iPhone Developer: Dana Kim (K7QX2M9R4T)\"\n")
                                          << QStringLiteral("K7QX2M9R4T")
                                          << CheckStatus::success(QStringLiteral("iPhone Developer: Dana Kim (K7QX2M9R4T)"));
    QTest::newRow("another team only, distribution of ours")
        << other + distribution + "     2 valid identities found\n"
        << QStringLiteral("K7QX2M9R4T")
        << CheckStatus::failed(
               QStringLiteral("No Apple Development certificate for team K7QX2M9R4T; found: Apple "
                              "Development: Rina Putri (Z9Y8X7W6V5), Apple Distribution: Lumenfold (K7QX2M9R4T)"));
    QTest::newRow("none") << QByteArray("     0 valid identities found\n") << QStringLiteral("K7QX2M9R4T")
                          << CheckStatus::failed(
                                 QStringLiteral("No Apple Development certificate for team K7QX2M9R4T; found: none"));
    QTest::newRow("security missing") << QByteArray() << QStringLiteral("K7QX2M9R4T")
                                      << CheckStatus::failed(
                                             QStringLiteral("Signing identities cannot be listed (security not found)"));
}

void TestSetupChecks::signing()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, team);
    QFETCH(CheckStatus, expected);

    ToolPaths paths;
    paths.security
        = m_dir.filePath(QStringLiteral("security-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (!output.isNull()) {
        QVERIFY(writeFile(paths.security + QStringLiteral(".out"), output));
        // Answers only the command line the check is meant to use.
        QVERIFY(
            writeFile(paths.security, "#!/bin/sh\n[ \"$*\" = \"find-identity -v -p codesigning\" ] && cat \"$0.out\"\n", true));
    }
    QCOMPARE(EnvironmentChecks::checkSigning(paths, team), expected);
}

void TestSetupChecks::passes_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("final"); // the rows end in the second pass's results

    QTest::newRow("one pass publishes every row") << "once" << true;
    QTest::newRow("two quick passes end final") << "twice" << true;
    QTest::newRow("closed sheet drops late results") << "discard" << false;
    QTest::newRow("model gone before results") << "delete" << false;
}

void TestSetupChecks::passes()
{
    QFETCH(QString, scenario);
    QFETCH(bool, final);

    auto model = std::make_unique<EnvironmentCheckViewModel>(QStringLiteral("~/r"), QStringLiteral("K7QX2M9R4T"));
    QSemaphore gate;
    int pass = 0;
    QList<EnvironmentCheckViewModel::Check> checks;
    for (int row = 0; row < EnvironmentChecks::RowCount; ++row) {
        const int tag = ++pass;
        checks.append([&gate, tag, row] {
            if (row == 0)
                gate.acquire();
            return CheckStatus::success(QString::number(tag));
        });
    }
    model->setChecks(checks);
    model->runChecks();
    if (scenario == QLatin1String("twice")) {
        QList<EnvironmentCheckViewModel::Check> second;
        for (int row = 0; row < EnvironmentChecks::RowCount; ++row)
            second.append([row] { return CheckStatus::success(QStringLiteral("second %1").arg(row)); });
        model->setChecks(second);
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
    if (!model)
        return;

    for (int row = 0; row < EnvironmentChecks::RowCount; ++row) {
        const CheckStatus status = model->checks().at(row).status;
        if (!final)
            QCOMPARE(status, CheckStatus::loading());
        else if (scenario == QLatin1String("twice"))
            QCOMPARE(status, CheckStatus::success(QStringLiteral("second %1").arg(row)));
        else
            QCOMPARE(status, CheckStatus::success(QString::number(row + 1)));
    }
}

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setupchecks.moc"
