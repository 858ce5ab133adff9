// The sandbox copy of a workspace and the run folders it goes into. The
// rules of what a run's copy leaves out live here; the controller's suite
// only checks that it applies them.

#include "runner/runfolder.h"
#include "runner/sandboxcopier.h"
#include "scratchfiles.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using testsupport::readFile;

class TestSandbox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyLeavesOutWhatRunsDoNotNeed();
    void existingFilesNeverOverwritten();
    void sandboxInsideTheWorkspace_data();
    void sandboxInsideTheWorkspace();
    void outputFolderIsTheWorkspace_data();
    void outputFolderIsTheWorkspace();
    void largeWorkspace();
    void claimTakesNextFreeSecond();
    void outputDirectory();

private:
    static void write(const QString &path, const QByteArray &content = "x")
    {
        QVERIFY2(testsupport::writeFile(path, content), qPrintable(path));
    }
    static QStringList tree(const QString &root);
};

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
    const QString ws = source.path();
    write(ws + QStringLiteral("/flows/login.yaml"), "appId: x\n");
    write(ws + QStringLiteral("/.env.uat"), "A=1\n");
    write(ws + QStringLiteral("/.git/HEAD"));
    write(ws + QStringLiteral("/flows/node_modules/m.js"));
    write(ws + QStringLiteral("/flows/.DS_Store"));
    QVERIFY(QDir().mkpath(ws + QStringLiteral("/empty/deeper")));
    QFile::setPermissions(
        ws + QStringLiteral("/flows/login.yaml"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Links to a file, to the folder itself, to its parent, to the root
    // (never followed: the copy would leave the workspace or never end), a
    // dangling one, and links that loop among themselves.
    QVERIFY(QFile::link(ws + QStringLiteral("/.env.uat"), ws + QStringLiteral("/env-link")));
    QVERIFY(QFile::link(QStringLiteral("."), ws + QStringLiteral("/flows/here")));
    QVERIFY(QFile::link(QStringLiteral(".."), ws + QStringLiteral("/empty/deeper/up")));
    QVERIFY(QFile::link(ws, ws + QStringLiteral("/empty/deeper/root")));
    QVERIFY(QFile::link(ws + QStringLiteral("/nowhere"), ws + QStringLiteral("/dangling")));
    QVERIFY(QFile::link(ws + QStringLiteral("/ping"), ws + QStringLiteral("/pong")));
    QVERIFY(QFile::link(ws + QStringLiteral("/pong"), ws + QStringLiteral("/ping")));
    QVERIFY(QFile::link(QStringLiteral("self"), ws + QStringLiteral("/self")));
    // Up to 50,000,000 bytes a file is copied (sparse: nothing real written).
    for (const auto &[name, size] : { std::pair { "/flows/50000000.mp4", 50'000'000 }, { "/flows/50000001.mp4", 50'000'001 } }) {
        QFile big(ws + QLatin1String(name));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(size));
    }
    // Opening a pipe for reading would wait for a writer forever.
    const QString pipe = ws + QStringLiteral("/flows/pipe");
    QVERIFY(testsupport::makeFifo(pipe));

    QStringList skipped;
    QStringList large;
    SandboxCopier copier(
        WorkspaceFiles::blacklist(), [&](const QString &name) { skipped << name; }, [&](const QString &path) { large << path; });
    const QString sandbox = target.filePath(QStringLiteral("sandbox"));
    QVERIFY(testsupport::finishesBesidePipe(pipe, [&] { copier.copyWorkspaceItem(ws, sandbox); }));

    QCOMPARE(
        tree(sandbox), (QStringList { ".env.uat", "empty", "empty/deeper", "flows", "flows/50000000.mp4", "flows/login.yaml" }));
    QCOMPARE(large, QStringList { QStringLiteral("flows/50000001.mp4") }); // by its path in the workspace
    skipped.sort();
    // Live links are reported by name; dangling and looping ones lead
    // nowhere and are left out silently.
    QCOMPARE(skipped, (QStringList { "env-link", "here", "root", "up" }));
    QCOMPARE(readFile(sandbox + QStringLiteral("/flows/login.yaml")), QByteArray("appId: x\n"));
    QVERIFY(QFile::permissions(sandbox + QStringLiteral("/flows/login.yaml")) & QFileDevice::ExeOwner);
    QCOMPARE(copier.copiedFiles(), 3);
    QCOMPARE(copier.failedItems(), 0);
    // The workspace is as it was.
    QVERIFY(QFileInfo(ws + QStringLiteral("/flows/here")).isSymLink());
    QCOMPARE(readFile(ws + QStringLiteral("/.env.uat")), QByteArray("A=1\n"));
}

void TestSandbox::existingFilesNeverOverwritten()
{
    QTemporaryDir source;
    QTemporaryDir target;
    write(source.filePath(QStringLiteral("a.yaml")), "new");
    write(source.filePath(QStringLiteral("b.yaml")), "new");
    write(target.filePath(QStringLiteral("a.yaml")), "old");
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(source.path(), target.path());
    QCOMPARE(readFile(target.filePath(QStringLiteral("a.yaml"))), QByteArray("old"));
    QCOMPARE(readFile(target.filePath(QStringLiteral("b.yaml"))), QByteArray("new")); // the copy goes on

    // A single-file workspace: the file by itself, and onto an existing
    // folder (its sandbox) nothing is overwritten.
    copier.copyWorkspaceItem(source.filePath(QStringLiteral("b.yaml")), target.filePath(QStringLiteral("copy.yaml")));
    QCOMPARE(readFile(target.filePath(QStringLiteral("copy.yaml"))), QByteArray("new"));
    copier.copyWorkspaceItem(source.filePath(QStringLiteral("b.yaml")), target.path());
    QCOMPARE(tree(target.path()), (QStringList { "a.yaml", "b.yaml", "copy.yaml" }));
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
    write(workspace.filePath(QStringLiteral("reports/UAT_20261206_093000/sandbox/flows/login.yaml")), "appId: x\n");
    const QString sandbox = workspace.filePath(QStringLiteral("reports/UAT_20261206_093644/sandbox"));
    QVERIFY(QDir().mkpath(sandbox));
    SandboxCopier copier(WorkspaceFiles::blacklist());
    if (reportsFolderLeftOut)
        copier.leaveOut(workspace.filePath(QStringLiteral("reports")));
    copier.copyWorkspaceItem(workspace.path(), sandbox);
    QStringList expected { "flows", "flows/login.yaml" };
    if (!reportsFolderLeftOut) {
        expected += QStringList { "reports", "reports/UAT_20261206_093000", "reports/UAT_20261206_093000/sandbox",
            "reports/UAT_20261206_093000/sandbox/flows", "reports/UAT_20261206_093000/sandbox/flows/login.yaml",
            "reports/UAT_20261206_093644" };
    }
    QCOMPARE(tree(sandbox), expected);
    QCOMPARE(copier.failedItems(), 0);
}

void TestSandbox::outputFolderIsTheWorkspace_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("copied");
    QTest::newRow("an earlier run") << "UAT_20261206_093000" << true << false;
    QTest::newRow("a same-second run") << "CUSTOM_20261206_093000_2" << true << false;
    QTest::newRow("an environment name with underscores") << "my_env_20261206_093000" << true << false;
    QTest::newRow("a file named like a run") << "UAT_20261206_093000" << false << true;
    QTest::newRow("a folder that only looks dated") << "UAT_2026120_093000" << true << true;
    QTest::newRow("no environment") << "_20261206_093000x" << true << true;
    QTest::newRow("a run folder deeper down") << "flows/UAT_20261206_093000" << true << true;
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
    write(workspace.filePath(folder ? entry + QStringLiteral("/report.json") : entry), "{}");
    const QString sandbox = workspace.filePath(QStringLiteral("UAT_20261206_093644/sandbox"));
    QVERIFY(QDir().mkpath(sandbox));
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.leaveOut(workspace.path());
    copier.copyWorkspaceItem(workspace.path(), sandbox);
    QCOMPARE(QFileInfo::exists(QDir(sandbox).filePath(entry)), copied);
    QVERIFY(QFileInfo::exists(QDir(sandbox).filePath(QStringLiteral("flows/login.yaml"))));
    QVERIFY(!QFileInfo::exists(QDir(sandbox).filePath(QStringLiteral("UAT_20261206_093644"))));
    QCOMPARE(copier.failedItems(), 0);
}

// More files than a common descriptor limit of 1,024: the tree lists them
// all in name order, the copy copies every one and keeps no descriptor open
// past its file.
void TestSandbox::largeWorkspace()
{
    constexpr int kFolders = 11;
    constexpr int kPerFolder = 100;
    QTemporaryDir dir;
    const QString workspace = dir.filePath(QStringLiteral("workspace"));
    for (int f = 0; f < kFolders; ++f) {
        for (int i = 0; i < kPerFolder; ++i) {
            const QString name
                = QStringLiteral("/suite%1/flow%2.yaml").arg(f, 2, 10, QLatin1Char('0')).arg(i, 3, 10, QLatin1Char('0'));
            if (!testsupport::writeFile(workspace + name, QByteArray::number(f * kPerFolder + i)))
                QFAIL(qPrintable(name));
        }
    }
    const std::optional<FileNode> root = WorkspaceFiles::buildFileNode(workspace);
    QVERIFY(root && root->children.size() == kFolders);
    QVERIFY(std::all_of(root->children.cbegin(), root->children.cend(),
        [](const FileNode &folder) { return folder.children.size() == kPerFolder; }));
    QCOMPARE(root->children.last().children.last().name, QStringLiteral("flow099.yaml"));

    const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    const uint descriptorsBefore = openDescriptors();
    const QString sandbox = dir.filePath(QStringLiteral("run/sandbox"));
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(workspace, sandbox);
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QCOMPARE(copier.copiedFiles(), kFolders * kPerFolder);
    QCOMPARE(copier.failedItems(), 0);
    QCOMPARE(readFile(sandbox + QStringLiteral("/suite10/flow099.yaml")), QByteArray::number(kFolders * kPerFolder - 1));
}

void TestSandbox::claimTakesNextFreeSecond()
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("reports/deeper"));
    const QDateTime start(QDate(2026, 12, 6), QTime(9, 36, 44, 900));
    const QString first = RunFolder::claim(output, QStringLiteral("SIT"), start);
    const QString second = RunFolder::claim(output, QStringLiteral("SIT"), start);
    QVERIFY(QDir().mkpath(output + QStringLiteral("/SIT_20261206_093647")));
    const QString third = RunFolder::claim(output, QStringLiteral("SIT"), start.addSecs(1));
    const QString other = RunFolder::claim(output, QStringLiteral("UAT"), start);
    QCOMPARE(first, output + QStringLiteral("/SIT_20261206_093644"));
    QCOMPARE(second, output + QStringLiteral("/SIT_20261206_093645"));
    QCOMPARE(third, output + QStringLiteral("/SIT_20261206_093646"));
    QCOMPARE(other, output + QStringLiteral("/UAT_20261206_093644"));
    for (const QString &path : { first, second, third, other })
        QVERIFY(QFileInfo(path).isDir());
    // Under a file nothing can be created: the path is given, the run fails later.
    write(dir.filePath(QStringLiteral("file")));
    const QString path = RunFolder::claim(dir.filePath(QStringLiteral("file")), QStringLiteral("SIT"), start);
    QCOMPARE(path, dir.filePath(QStringLiteral("file/SIT_20261206_093644")));
    QVERIFY(!QFileInfo::exists(path));
}

void TestSandbox::outputDirectory()
{
    QCOMPARE(RunFolder::outputDirectory(QStringLiteral("~/Documents/Out")), QDir::homePath() + QStringLiteral("/Documents/Out"));
    QCOMPARE(RunFolder::outputDirectory(QStringLiteral("/abs/out")), QStringLiteral("/abs/out"));
    QCOMPARE(RunFolder::outputDirectory(QString()), QDir::currentPath());
}

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
