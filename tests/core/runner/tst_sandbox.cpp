#include "runner/runfolder.h"
#include "runner/sandboxcopier.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestSandbox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyLeavesOutWhatRunsDoNotNeed();
    void sizeLimit_data();
    void sizeLimit();
    void copyOntoExistingFilesGoesOn();
    void pipesAreNotOpened();
    void singleFileItem();
    void sandboxInsideTheWorkspace_data();
    void sandboxInsideTheWorkspace();
    void outputFolderIsTheWorkspace_data();
    void outputFolderIsTheWorkspace();
    void runFolderName_data();
    void runFolderName();
    void claimTakesNextFreeSecond();
    void claimReportsUncreatableFolderLater();
    void outputDirectory();

private:
    static void write(const QString &path, const QByteArray &content = "x");
    static QStringList tree(const QString &root);
};

void TestSandbox::write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList TestSandbox::tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

void TestSandbox::copyLeavesOutWhatRunsDoNotNeed()
{
    QTemporaryDir source;
    QTemporaryDir target;
    write(source.filePath(QStringLiteral("flows/login.yaml")), "appId: x\n");
    write(source.filePath(QStringLiteral(".env.uat")), "A=1\n");
    write(source.filePath(QStringLiteral(".git/HEAD")));
    write(source.filePath(QStringLiteral("flows/node_modules/m.js")));
    write(source.filePath(QStringLiteral("flows/.DS_Store")));
    QDir().mkpath(source.filePath(QStringLiteral("empty")));
    QVERIFY(QFile::link(source.filePath(QStringLiteral("flows")), source.filePath(QStringLiteral("flows/loop"))));
    QVERIFY(QFile::link(source.filePath(QStringLiteral(".env.uat")), source.filePath(QStringLiteral("env-link"))));
    QVERIFY(QFile::link(source.filePath(QStringLiteral("nowhere")), source.filePath(QStringLiteral("dangling"))));
    QFile::setPermissions(source.filePath(QStringLiteral("flows/login.yaml")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QStringList skipped;
    SandboxCopier copier(WorkspaceFiles::blacklist(), [&](const QString &name) { skipped << name; });
    const QString sandbox = target.filePath(QStringLiteral("sandbox"));
    QDir().mkpath(sandbox);
    copier.copyWorkspaceItem(source.path(), sandbox);

    QCOMPARE(tree(sandbox),
        (QStringList {
            QStringLiteral(".env.uat"), QStringLiteral("empty"), QStringLiteral("flows"), QStringLiteral("flows/login.yaml") }));
    skipped.sort();
    // A dangling link does not exist when links are followed: left out silently.
    QCOMPARE(skipped, (QStringList { QStringLiteral("env-link"), QStringLiteral("loop") }));
    QFile copied(sandbox + QStringLiteral("/flows/login.yaml"));
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("appId: x\n"));
    QVERIFY(copied.permissions() & QFileDevice::ExeOwner);
    QCOMPARE(copier.copiedFiles(), 2);
}

void TestSandbox::sizeLimit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("copied");
    QTest::newRow("50,000,000 bytes are copied") << qint64(50'000'000) << true;
    QTest::newRow("50,000,001 bytes are not") << qint64(50'000'001) << false;
    QTest::newRow("60 MB video is not") << qint64(60'000'000) << false;
}

void TestSandbox::sizeLimit()
{
    QFETCH(qint64, size);
    QFETCH(bool, copied);
    QTemporaryDir source;
    QTemporaryDir target;
    {
        QFile big(source.filePath(QStringLiteral("video.mp4")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(size)); // sparse: no real 50 MB written
    }
    QStringList skipped;
    QStringList large;
    SandboxCopier copier(
        WorkspaceFiles::blacklist(), [&](const QString &name) { skipped << name; }, [&](const QString &path) { large << path; });
    copier.copyWorkspaceItem(source.path(), target.path());
    QCOMPARE(QFileInfo::exists(target.filePath(QStringLiteral("video.mp4"))), copied);
    QVERIFY(skipped.isEmpty());
    QCOMPARE(large, copied ? QStringList {} : QStringList { QStringLiteral("video.mp4") });
}

void TestSandbox::copyOntoExistingFilesGoesOn()
{
    QTemporaryDir source;
    QTemporaryDir target;
    write(source.filePath(QStringLiteral("a.yaml")), "new");
    write(source.filePath(QStringLiteral("b.yaml")), "new");
    write(target.filePath(QStringLiteral("a.yaml")), "old");
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(source.path(), target.path());
    QFile a(target.filePath(QStringLiteral("a.yaml")));
    QVERIFY(a.open(QIODevice::ReadOnly));
    QCOMPARE(a.readAll(), QByteArray("old")); // never overwritten
    QVERIFY(QFileInfo::exists(target.filePath(QStringLiteral("b.yaml"))));
}

void TestSandbox::pipesAreNotOpened()
{
    QTemporaryDir source;
    QTemporaryDir target;
    write(source.filePath(QStringLiteral("a.yaml")));
    // Opening a pipe for reading would wait for a writer forever.
    QCOMPARE(::mkfifo(QFile::encodeName(source.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(source.path(), target.path());
    QCOMPARE(tree(target.path()), QStringList { QStringLiteral("a.yaml") });
}

void TestSandbox::singleFileItem()
{
    QTemporaryDir source;
    QTemporaryDir target;
    write(source.filePath(QStringLiteral("flow.yaml")), "one");
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(source.filePath(QStringLiteral("flow.yaml")), target.filePath(QStringLiteral("copy.yaml")));
    QFile copy(target.filePath(QStringLiteral("copy.yaml")));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("one"));
    // Onto an existing folder (a single-file workspace onto its sandbox):
    // nothing is overwritten.
    copier.copyWorkspaceItem(source.filePath(QStringLiteral("flow.yaml")), target.path());
    QCOMPARE(tree(target.path()), QStringList { QStringLiteral("copy.yaml") });
}

void TestSandbox::sandboxInsideTheWorkspace_data()
{
    QTest::addColumn<bool>("reportsFolderLeftOut");
    QTest::newRow("the sandbox alone") << false;
    QTest::newRow("the reports folder left out") << true;
}

void TestSandbox::sandboxInsideTheWorkspace()
{
    // The reports folder lies inside the workspace (a workspace of
    // ~/Documents with the default output folder under it): the copy must
    // not copy the sandbox into itself, deeper at every level, and the run
    // leaves the whole reports folder out, or every run would copy all
    // earlier ones, sandboxes and all.
    QFETCH(bool, reportsFolderLeftOut);
    QTemporaryDir workspace;
    write(workspace.filePath(QStringLiteral("flows/login.yaml")), "appId: x\n");
    write(workspace.filePath(QStringLiteral("reports/UAT_20261206_093000/report.json")), "{}");
    write(workspace.filePath(QStringLiteral("reports/UAT_20261206_093000/sandbox/flows/login.yaml")), "appId: x\n");
    const QString sandbox = workspace.filePath(QStringLiteral("reports/UAT_20261206_093644/sandbox"));
    QDir().mkpath(sandbox);
    SandboxCopier copier(WorkspaceFiles::blacklist());
    if (reportsFolderLeftOut)
        copier.leaveOut(workspace.filePath(QStringLiteral("reports")));
    copier.copyWorkspaceItem(workspace.path(), sandbox);
    QStringList expected { QStringLiteral("flows"), QStringLiteral("flows/login.yaml") };
    if (!reportsFolderLeftOut) {
        expected += QStringList { QStringLiteral("reports"), QStringLiteral("reports/UAT_20261206_093000"),
            QStringLiteral("reports/UAT_20261206_093000/report.json"), QStringLiteral("reports/UAT_20261206_093000/sandbox"),
            QStringLiteral("reports/UAT_20261206_093000/sandbox/flows"),
            QStringLiteral("reports/UAT_20261206_093000/sandbox/flows/login.yaml"), QStringLiteral("reports/UAT_20261206_093644") };
    }
    QCOMPARE(tree(sandbox), expected);
    QCOMPARE(copier.failedItems(), 0);
    QCOMPARE(copier.copiedFiles(), reportsFolderLeftOut ? 1 : 3);
}

void TestSandbox::outputFolderIsTheWorkspace_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("copied");
    QTest::newRow("an earlier run") << QStringLiteral("UAT_20261206_093000") << true << false;
    QTest::newRow("a same-second run") << QStringLiteral("CUSTOM_20261206_093000_2") << true << false;
    QTest::newRow("an environment name with underscores") << QStringLiteral("my_env_20261206_093000") << true << false;
    QTest::newRow("a file named like a run") << QStringLiteral("UAT_20261206_093000") << false << true;
    QTest::newRow("a folder that only looks dated") << QStringLiteral("UAT_2026120_093000") << true << true;
    QTest::newRow("no environment") << QStringLiteral("_20261206_093000x") << true << true;
    QTest::newRow("a run folder deeper down") << QStringLiteral("flows/UAT_20261206_093000") << true << true;
}

void TestSandbox::outputFolderIsTheWorkspace()
{
    // Reports written into the workspace itself: each run would copy all
    // earlier runs, sandboxes and all, doubling every time.
    QFETCH(QString, entry);
    QFETCH(bool, folder);
    QFETCH(bool, copied);
    QTemporaryDir workspace;
    write(workspace.filePath(QStringLiteral("flows/login.yaml")), "appId: x\n");
    if (folder)
        write(workspace.filePath(entry + QStringLiteral("/report.json")), "{}");
    else
        write(workspace.filePath(entry), "{}");
    const QString sandbox = workspace.filePath(QStringLiteral("UAT_20261206_093644/sandbox"));
    QDir().mkpath(sandbox);
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.leaveOut(workspace.path());
    copier.copyWorkspaceItem(workspace.path(), sandbox);
    const QString copy = QDir(sandbox).filePath(entry);
    QCOMPARE(QFileInfo::exists(copy), copied);
    QVERIFY(QFileInfo::exists(QDir(sandbox).filePath(QStringLiteral("flows/login.yaml"))));
    QVERIFY(!QFileInfo::exists(QDir(sandbox).filePath(QStringLiteral("UAT_20261206_093644"))));
    QCOMPARE(copier.failedItems(), 0);
}

void TestSandbox::runFolderName_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QString>("expected");
    QTest::newRow("UAT") << QStringLiteral("UAT") << QDateTime(QDate(2026, 12, 6), QTime(9, 36, 44, 900))
                         << QStringLiteral("UAT_20261206_093644");
    QTest::newRow("CUSTOM at midnight") << QStringLiteral("CUSTOM") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0))
                                        << QStringLiteral("CUSTOM_20270101_000000");
}

void TestSandbox::runFolderName()
{
    QFETCH(QString, environment);
    QFETCH(QDateTime, start);
    QFETCH(QString, expected);
    QCOMPARE(RunFolder::name(environment, start), expected);
}

void TestSandbox::claimTakesNextFreeSecond()
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("reports/deeper"));
    const QDateTime start(QDate(2026, 12, 6), QTime(9, 36, 44));
    const QString first = RunFolder::claim(output, QStringLiteral("SIT"), start);
    const QString second = RunFolder::claim(output, QStringLiteral("SIT"), start);
    QDir().mkpath(output + QStringLiteral("/SIT_20261206_093647"));
    const QString third = RunFolder::claim(output, QStringLiteral("SIT"), start.addSecs(1));
    const QString other = RunFolder::claim(output, QStringLiteral("UAT"), start);
    QCOMPARE(first, output + QStringLiteral("/SIT_20261206_093644"));
    QCOMPARE(second, output + QStringLiteral("/SIT_20261206_093645"));
    QCOMPARE(third, output + QStringLiteral("/SIT_20261206_093646"));
    QCOMPARE(other, output + QStringLiteral("/UAT_20261206_093644"));
    for (const QString &path : { first, second, third, other })
        QVERIFY(QFileInfo(path).isDir());
}

void TestSandbox::claimReportsUncreatableFolderLater()
{
    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("file")));
    // The output "directory" is a file: nothing can be created under it.
    const QString path = RunFolder::claim(
        dir.filePath(QStringLiteral("file")), QStringLiteral("SIT"), QDateTime(QDate(2026, 12, 6), QTime(9, 0, 0)));
    QCOMPARE(path, dir.filePath(QStringLiteral("file/SIT_20261206_090000")));
    QVERIFY(!QFileInfo::exists(path));
}

void TestSandbox::outputDirectory()
{
    QCOMPARE(RunFolder::outputDirectory(QStringLiteral("~/Documents/ZovarodUdaviza")),
        QDir::homePath() + QStringLiteral("/Documents/ZovarodUdaviza"));
    QCOMPARE(RunFolder::outputDirectory(QStringLiteral("/abs/out")), QStringLiteral("/abs/out"));
    QCOMPARE(RunFolder::outputDirectory(QString()), QDir::currentPath());
}

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
