// A test run meeting what the field throws at it, through the real executor,
// the real login shell and a stand-in runner script: the runner floods the
// console, prints bytes that are not UTF-8, is killed by a signal; the output
// folder cannot be created or fills up during the sandbox copy. Each case
// checks what the console tells the user and that nothing is lost (earlier
// runs' files, the lines around bad bytes, the window's event loop).

#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "process/commandexecutor.h"
#include "runner/consolelines.h"
#include "runner/runnerviewmodel.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace {

#ifndef KESTRUNE_FLOOD_BYTES
#define KESTRUNE_FLOOD_BYTES (1024LL * 1024 * 1024)
#endif

void writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser));
}

// The resident set of this process in KiB, from /proc.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Every file under `folder` with a digest of its content.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(path, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return files;
}

} // namespace

class TestRunFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void runnerEnds_data();
    void runnerEnds();
    void runnerFloodsAGigabyte();
    void outputFolderCannotBeCreated();
    void diskFullDuringTheSandboxCopy();

private:
    // Starts a run with `script` as the runner and waits for its end.
    void runWith(const QByteArray &script, int timeoutMs = 60'000);
    QStringList consoleTexts() const;
    QString consoleText() const { return consoleTexts().join(u'\n'); }

    QTemporaryDir m_dir;
    QByteArray m_originalHome;
    QString m_base;
    QString m_workspace;
    RunnerSettings m_settings;
    std::shared_ptr<FakeDeviceDetector> m_detector;
    std::unique_ptr<CommandExecutor> m_executor;
    std::unique_ptr<RunnerViewModel> m_vm;
    int m_case = 0;
};

void TestRunFaults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(QStringLiteral("/bin/zsh")), "the suite needs zsh at /bin/zsh (scripts/setup.sh installs it)");
    // The runner starts through the login shell, which reads the profile of
    // whatever HOME the application has: an empty one here.
    const QString home = m_dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    writeFile(home + QStringLiteral("/.zshrc"), "");
    m_originalHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("KESTRUNE_SETTINGS_FILE", QFile::encodeName(m_dir.filePath(QStringLiteral("settings.ini"))));
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
}

void TestRunFaults::cleanupTestCase()
{
    qputenv("HOME", m_originalHome);
}

void TestRunFaults::init()
{
    m_base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    m_workspace = m_base + QStringLiteral("/workspace");
    writeFile(m_workspace + QStringLiteral("/flows/login.yaml"), "appId: ${BUNDLE_ID}\n---\n- launchApp\n");
    writeFile(m_workspace + QStringLiteral("/README.md"), "notes\n");
    m_settings = { m_base + QStringLiteral("/reports"), QStringLiteral("TEAM123456"), m_base + QStringLiteral("/bin/maestro-runner") };

    m_detector = std::make_shared<FakeDeviceDetector>();
    m_detector->setDevices({ DeviceInfo { QStringLiteral("AAAA"), QStringLiteral("Phone A"), false } });
    m_detector->setApps(QStringLiteral("AAAA"), { QStringLiteral("com.example.shop.uat") });
    m_executor = std::make_unique<CommandExecutor>();
    m_vm = std::make_unique<RunnerViewModel>(m_detector, m_executor.get(), std::make_shared<FakeReportManager>());
    m_vm->setSettingsProvider([this] { return m_settings; });
    QTRY_VERIFY(!m_vm->isRefreshingDevices() && !m_vm->isRefreshingApps());
    m_vm->selectWorkspace(m_workspace);
    QTRY_VERIFY(!m_vm->fileTree().isEmpty());
    m_vm->setSelectedFlowRelativePath(QStringLiteral("flows/login.yaml"));
    QTRY_COMPARE(m_vm->selectedAppId(), QStringLiteral("com.example.shop.uat"));
}

void TestRunFaults::cleanup()
{
    QThreadPool::globalInstance()->waitForDone();
    m_vm.reset();
    CommandExecutor::terminateAll();
    m_executor.reset();
}

void TestRunFaults::runWith(const QByteArray &script, int timeoutMs)
{
    writeFile(m_settings.maestroRunnerPath, "#!/bin/sh\n" + script, true);
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    m_vm->runTest();
    QTRY_VERIFY_WITH_TIMEOUT(ended.size() == 1, timeoutMs);
    QTRY_VERIFY(!m_vm->isRunning());
    // The result message is appended from the event loop.
    QTRY_VERIFY(consoleText().contains(QStringLiteral("Pulling Network Logs")));
}

QStringList TestRunFaults::consoleTexts() const
{
    QStringList texts;
    for (const QString &line : m_vm->consoleLogs())
        texts.append(line.mid(11).chopped(1)); // "[HH:mm:ss] " and the line feed
    return texts;
}

void TestRunFaults::runnerEnds_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("expectedLines"); // as printed, decoded like the whole output at once
    QTest::addColumn<QString>("expectedResult");

    QTest::newRow("killed by SIGKILL mid-run")
        << QByteArray("echo 'Running flow login'\nkill -KILL $$\necho 'never printed'\n")
        << QStringList { QStringLiteral("Running flow login") } << QStringLiteral("❌ Test Failed or Terminated (Exit code: ");
    QTest::newRow("killed by SIGSEGV mid-run")
        << QByteArray("echo 'Running flow login'\nkill -SEGV $$\n") << QStringList { QStringLiteral("Running flow login") }
        << QStringLiteral("❌ Test Failed or Terminated (Exit code: ");
    // Bytes that are not UTF-8 become U+FFFD; the text around them stays, a
    // character cut by the end of the output too.
    QTest::newRow("invalid UTF-8 in the output")
        << QByteArray("printf 'step \\377\\376 done\\n'\nprintf 'caf\\303\\251 \\355\\240\\200 ok\\n'\nprintf 'cut \\342\\234'\n")
        << QStringList { QString::fromUtf8("step \xFF\xFE done"), QString::fromUtf8("caf\xC3\xA9 \xED\xA0\x80 ok"),
                         QString::fromUtf8("cut \xE2\x9C") }
        << QStringLiteral("✅ Test Completed Successfully!");
}

void TestRunFaults::runnerEnds()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, expectedLines);
    QFETCH(QString, expectedResult);
    runWith(script);
    const QStringList texts = consoleTexts();
    for (const QString &line : expectedLines)
        QVERIFY2(texts.contains(line), qPrintable(consoleText()));
    QVERIFY2(!consoleText().contains(QStringLiteral("never printed")), qPrintable(consoleText()));
    QVERIFY2(consoleText().contains(expectedResult), qPrintable(consoleText()));
    // The report is still generated after a failed run ("✅ Report
    // Generated."); what must never appear is the run's success line.
    if (!expectedResult.startsWith(u'✅'))
        QVERIFY2(!consoleText().contains(QStringLiteral("✅ Test Completed Successfully!")), qPrintable(consoleText()));
}

// A gigabyte of output: the console keeps its bound, memory stays bounded,
// the event loop keeps turning (a timer fires all along) and the last line
// and the result still arrive.
void TestRunFaults::runnerFloodsAGigabyte()
{
    const qint64 bytes = KESTRUNE_FLOOD_BYTES;
    const qint64 lines = bytes / 64;
    // 63 characters and a line feed per line, as fast as the shell can write.
    const QByteArray script = "yes 'flood-line-0123456789012345678901234567890123456789012345678901' | head -n "
        + QByteArray::number(lines) + "\necho 'last line after the flood'\n";

    const qint64 before = residentKiB();
    qint64 peak = before;
    int ticks = 0;
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer sampler;
    sampler.setInterval(50);
    connect(&sampler, &QTimer::timeout, this, [&] {
        ++ticks;
        longestGapMs = qMax(longestGapMs, sinceTick.restart());
        peak = qMax(peak, residentKiB());
    });
    sampler.start();
    QElapsedTimer clock;
    clock.start();
    runWith(script, 600'000);
    const qint64 elapsedMs = clock.elapsed();
    sampler.stop();

    qInfo("flooded %lld bytes in %lld ms; resident set %lld KiB before, %lld KiB at most; %d timer ticks, longest gap %lld ms",
          bytes, elapsedMs, before, peak, ticks, longestGapMs);
    QVERIFY2(m_vm->consoleLogs().size() <= ConsoleLines::kMaxLines, qPrintable(QString::number(m_vm->consoleLogs().size())));
    QVERIFY2(consoleTexts().contains(QStringLiteral("last line after the flood")), qPrintable(consoleText().right(500)));
    QVERIFY2(consoleText().contains(QStringLiteral("✅ Test Completed Successfully!")), qPrintable(consoleText().right(500)));
    // Bounded: far below the flood itself (a gigabyte of UTF-16 would be two).
    QVERIFY2(peak - before < 512 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(peak - before)));
    // The event loop turned throughout: at least one tick per two seconds.
    QVERIFY2(ticks >= elapsedMs / 2000, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(elapsedMs)));
}

// The output directory lies under a regular file, so the run folder cannot
// be created (root ignores permission bits; this cannot be ignored).
void TestRunFaults::outputFolderCannotBeCreated()
{
    writeFile(m_base + QStringLiteral("/blocker"), "a file, not a folder\n");
    m_settings.reportsOutputDirectory = m_base + QStringLiteral("/blocker/reports");
    writeFile(m_settings.maestroRunnerPath, "#!/bin/sh\necho 'runner started'\n", true);
    m_vm->runTest();
    QTRY_VERIFY2(consoleText().contains(QStringLiteral("❌ Sandbox creation failed: ")),
                 qPrintable(consoleText() + QStringLiteral(" | running: ") + QString::number(m_vm->isRunning())
                            + QStringLiteral(" | folder: ") + m_vm->currentEvidencePath()));
    QTRY_VERIFY(!m_vm->isRunning());
    QVERIFY(!consoleText().contains(QStringLiteral("runner started")));
}

// The disk fills up while the workspace is copied into the sandbox (a file
// size limit stands in for the full disk: writes past it fail with EFBIG as
// they would with ENOSPC). The console must say that the sandbox is
// incomplete, and the folders of earlier runs must be untouched.
void TestRunFaults::diskFullDuringTheSandboxCopy()
{
    // An earlier run's folder with its report.
    const QString earlier = m_settings.reportsOutputDirectory + QStringLiteral("/UAT_20261205_101010");
    writeFile(earlier + QStringLiteral("/report/report.json"), "{\"status\":\"PASSED\"}\n");
    writeFile(earlier + QStringLiteral("/sandbox/flows/login.yaml"), "appId: old\n");
    const QMap<QString, QByteArray> before = snapshot(m_settings.reportsOutputDirectory);

    writeFile(m_workspace + QStringLiteral("/media/big.bin"), QByteArray(2 * 1024 * 1024, 'b'));
    writeFile(m_settings.maestroRunnerPath, "#!/bin/sh\necho 'runner started'\n", true);

    struct rlimit original {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = original;
    limited.rlim_cur = 1024 * 1024;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    QSignalSpy ended(m_vm.get(), &RunnerViewModel::runEnded);
    m_vm->runTest();
    // The limit holds until the copy is over and the runner is launched.
    QTRY_VERIFY_WITH_TIMEOUT(consoleText().contains(QStringLiteral("runner started")) || !m_vm->isRunning(), 60'000);
    ::setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);
    QTRY_VERIFY_WITH_TIMEOUT(!m_vm->isRunning(), 60'000);

    QVERIFY2(consoleText().contains(QStringLiteral("media/big.bin")), qPrintable(consoleText()));
    QVERIFY2(consoleText().contains(QStringLiteral("⚠️")), qPrintable(consoleText()));
    const QMap<QString, QByteArray> after = snapshot(m_settings.reportsOutputDirectory);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
}

QTEST_GUILESS_MAIN(TestRunFaults)
#include "tst_runfaults.moc"
