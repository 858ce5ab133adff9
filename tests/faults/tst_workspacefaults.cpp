// Workspaces the user did not build with care: symbolic links that loop back
// up the tree, and a hundred thousand files. The tree must come back (links
// left out, never followed), the sandbox copy must end and copy every real
// file, and the workspace itself must be untouched.

#include "runner/sandboxcopier.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

int countFiles(const FileNode &node)
{
    if (!node.isDirectory)
        return 1;
    int count = 0;
    for (const FileNode &child : node.children)
        count += countFiles(child);
    return count;
}

bool anyNodeNamed(const FileNode &node, const QString &name)
{
    if (node.name == name)
        return true;
    return std::any_of(node.children.cbegin(), node.children.cend(),
                       [&name](const FileNode &child) { return anyNodeNamed(child, name); });
}

int countFilesOnDisk(const QString &folder)
{
    int count = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

} // namespace

class TestWorkspaceFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void symbolicLinkLoops();
    void hundredThousandFiles();
};

void TestWorkspaceFaults::symbolicLinkLoops()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString workspace = dir.filePath(QStringLiteral("workspace"));
    QVERIFY(QDir().mkpath(workspace + QStringLiteral("/flows/deeper")));
    QFile flow(workspace + QStringLiteral("/flows/login.yaml"));
    QVERIFY(flow.open(QIODevice::WriteOnly));
    flow.write("appId: x\n");
    flow.close();
    // To itself, to its parent, to the root, and a pair pointing at each other.
    QVERIFY(QFile::link(QStringLiteral("."), workspace + QStringLiteral("/flows/here")));
    QVERIFY(QFile::link(QStringLiteral(".."), workspace + QStringLiteral("/flows/deeper/up")));
    QVERIFY(QFile::link(workspace, workspace + QStringLiteral("/flows/deeper/root")));
    QVERIFY(QFile::link(workspace + QStringLiteral("/ping"), workspace + QStringLiteral("/pong")));
    QVERIFY(QFile::link(workspace + QStringLiteral("/pong"), workspace + QStringLiteral("/ping")));
    QVERIFY(QFile::link(QStringLiteral("self"), workspace + QStringLiteral("/self")));

    const std::optional<FileNode> root = WorkspaceFiles::buildFileNode(workspace);
    QVERIFY(root.has_value());
    QCOMPARE(countFiles(*root), 1);
    for (const char *link : { "here", "up", "root", "ping", "pong", "self" })
        QVERIFY2(!anyNodeNamed(*root, QString::fromLatin1(link)), link);

    const QString sandbox = dir.filePath(QStringLiteral("run/sandbox"));
    QVERIFY(QDir().mkpath(sandbox));
    QStringList skipped;
    SandboxCopier copier(WorkspaceFiles::blacklist(), [&skipped](const QString &name) { skipped.append(name); });
    copier.copyWorkspaceItem(workspace, sandbox);
    QCOMPARE(copier.copiedFiles(), 1);
    QVERIFY(QFile::exists(sandbox + QStringLiteral("/flows/login.yaml")));
    // Live links are reported by name; links that loop among themselves
    // lead nowhere and are left out like dangling ones.
    skipped.sort();
    QCOMPARE(skipped, (QStringList { QStringLiteral("here"), QStringLiteral("root"), QStringLiteral("up") }));
    // The links stay where they were, in the workspace only.
    QVERIFY(QFileInfo(workspace + QStringLiteral("/flows/here")).isSymLink());
    QVERIFY(!QFileInfo::exists(sandbox + QStringLiteral("/flows/here")));
}

void TestWorkspaceFaults::hundredThousandFiles()
{
    constexpr int kFolders = 100;
    constexpr int kPerFolder = 1000;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString workspace = dir.filePath(QStringLiteral("workspace"));
    for (int f = 0; f < kFolders; ++f) {
        const QString folder = workspace + QStringLiteral("/suite%1").arg(f, 3, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(folder));
        for (int i = 0; i < kPerFolder; ++i) {
            QFile file(folder + QStringLiteral("/flow%1.yaml").arg(i, 4, 10, QLatin1Char('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::number(f * kPerFolder + i));
        }
    }

    const std::optional<FileNode> root = WorkspaceFiles::buildFileNode(workspace);
    QVERIFY(root.has_value());
    QCOMPARE(countFiles(*root), kFolders * kPerFolder);
    QCOMPARE(root->children.size(), kFolders);
    // Display order: by name.
    QCOMPARE(root->children.first().children.first().name, QStringLiteral("flow0000.yaml"));
    QCOMPARE(root->children.last().children.last().name, QStringLiteral("flow0999.yaml"));

    const QString sandbox = dir.filePath(QStringLiteral("run/sandbox"));
    QVERIFY(QDir().mkpath(sandbox));
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(workspace, sandbox);
    QCOMPARE(copier.copiedFiles(), kFolders * kPerFolder);
    QCOMPARE(countFilesOnDisk(sandbox), kFolders * kPerFolder);
    QFile last(sandbox + QStringLiteral("/suite099/flow0999.yaml"));
    QVERIFY(last.open(QIODevice::ReadOnly));
    QCOMPARE(last.readAll(), QByteArray::number(kFolders * kPerFolder - 1));
    QCOMPARE(countFilesOnDisk(workspace), kFolders * kPerFolder);
}

QTEST_GUILESS_MAIN(TestWorkspaceFaults)
#include "tst_workspacefaults.moc"
