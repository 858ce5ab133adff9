#include "scratchfiles.h"
#include "workspace/envfileparser.h"
#include "workspace/workspacefiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

using EnvEntries = QList<EnvFileParser::Entry>;

class TestWorkspaceFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void treeLeavesOutBlacklistAndLinks();
    void treeOrder_data();
    void treeOrder();
    void unreadableFolderShowsEmpty();
    void relativePath_data();
    void relativePath();
    void fileKinds_data();
    void fileKinds();
    void parseEnvText_data();
    void parseEnvText();
    void parseEnvFile_data();
    void parseEnvFile();
    void envFileThatIsAPipe_data();
    void envFileThatIsAPipe();

private:
    static void touch(const QString &path, const QByteArray &content = {})
    {
        QVERIFY2(testsupport::writeFile(path, content), qPrintable(path));
    }
};

namespace {

QStringList names(const FileNode &node)
{
    QStringList result;
    for (const FileNode &child : node.children)
        result << child.name;
    return result;
}

const FileNode *child(const FileNode &node, const QString &name)
{
    for (const FileNode &c : node.children) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

} // namespace

void TestWorkspaceFiles::treeLeavesOutBlacklistAndLinks()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    touch(root + QStringLiteral("/flows/login.yaml"));
    touch(root + QStringLiteral("/.env.uat"));
    touch(root + QStringLiteral("/.git/HEAD"));
    touch(root + QStringLiteral("/node_modules/x/index.js"));
    touch(root + QStringLiteral("/only-blacklisted/.DS_Store"));
    touch(root + QStringLiteral("/only-blacklisted/Pods/Podfile"));
    touch(root + QStringLiteral("/GIT/kept.txt")); // blacklist is case-sensitive
    QVERIFY(QDir().mkpath(root + QStringLiteral("/empty")));
    QVERIFY(QFile::link(root + QStringLiteral("/flows"), root + QStringLiteral("/flows-link")));
    QVERIFY(QFile::link(root + QStringLiteral("/flows/login.yaml"), root + QStringLiteral("/flows/login-link.yaml")));
    QVERIFY(QFile::link(root + QStringLiteral("/gone"), root + QStringLiteral("/dangling")));
    // Links that loop: to their own folder, its parent, the root, each other.
    QVERIFY(QFile::link(QStringLiteral("."), root + QStringLiteral("/flows/here")));
    QVERIFY(QFile::link(QStringLiteral(".."), root + QStringLiteral("/empty/up")));
    QVERIFY(QFile::link(root, root + QStringLiteral("/empty/root")));
    QVERIFY(QFile::link(root + QStringLiteral("/ping"), root + QStringLiteral("/pong")));
    QVERIFY(QFile::link(root + QStringLiteral("/pong"), root + QStringLiteral("/ping")));

    const auto tree = WorkspaceFiles::buildFileNode(root);
    QVERIFY(tree);
    QVERIFY(tree->isDirectory);
    QCOMPARE(names(*tree), (QStringList { ".env.uat", "GIT", "empty", "flows", "only-blacklisted" }));
    const FileNode *flows = child(*tree, QStringLiteral("flows"));
    QVERIFY(flows);
    QCOMPARE(names(*flows), QStringList { QStringLiteral("login.yaml") });
    QCOMPARE(flows->children.first().path, root + QStringLiteral("/flows/login.yaml"));
    QVERIFY(!flows->children.first().isDirectory);
    for (const char *folder : { "empty", "only-blacklisted" }) {
        const FileNode *node = child(*tree, QString::fromLatin1(folder));
        QVERIFY2(node && node->isDirectory && node->children.isEmpty(), folder);
    }

    // Each build gives new identities.
    const auto again = WorkspaceFiles::buildFileNode(root);
    QVERIFY(again && again->id != tree->id);
    QVERIFY(!WorkspaceFiles::buildFileNode(root + QStringLiteral("/.git")));
    QVERIFY(!WorkspaceFiles::buildFileNode(root + QStringLiteral("/missing")));
    // A single file as the workspace: a node without children.
    const auto file = WorkspaceFiles::buildFileNode(root + QStringLiteral("/.env.uat"));
    QVERIFY(file && !file->isDirectory && file->children.isEmpty());
}

void TestWorkspaceFiles::treeOrder_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("upper case before every lower case")
        << QStringList { "alpha.yaml", "Zeta.yaml", "beta" } << QStringList { "Zeta.yaml", "alpha.yaml", "beta" };
    QTest::newRow("no folders-first rule, dots and digits by code")
        << QStringList { "b/x", "a.yaml", ".env", "10", "9" } << QStringList { ".env", "10", "9", "a.yaml", "b" };
    // U+FF21 sorts before U+1F600 by code point (and in UTF-8 bytes), while
    // UTF-16 code units would put the emoji's surrogates first.
    QTest::newRow("characters beyond U+FFFF by code point")
        << QStringList { QString::fromUtf8("\U0001F600.yaml"), QString::fromUtf8("\uFF21.yaml") }
        << QStringList { QString::fromUtf8("\uFF21.yaml"), QString::fromUtf8("\U0001F600.yaml") };
}

void TestWorkspaceFiles::treeOrder()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    for (const QString &file : files)
        touch(dir.filePath(file));
    const auto tree = WorkspaceFiles::buildFileNode(dir.path());
    QVERIFY(tree);
    QCOMPARE(names(*tree), expected);
}

void TestWorkspaceFiles::unreadableFolderShowsEmpty()
{
    if (QFileInfo(QDir::rootPath()).isWritable())
        QSKIP("running as root: permissions do not apply");
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("locked/secret.yaml")));
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFileDevice::WriteOwner);
    const auto tree = WorkspaceFiles::buildFileNode(dir.path());
    QFile::setPermissions(
        dir.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(tree);
    const FileNode *locked = child(*tree, QStringLiteral("locked"));
    QVERIFY(locked && locked->isDirectory && locked->children.isEmpty());
}

void TestWorkspaceFiles::relativePath_data()
{
    QTest::addColumn<QString>("workspace");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nested") << "/ws" << QStringLiteral("/ws/flows/login.yaml") << "flows/login.yaml";
    QTest::newRow("workspace with trailing slash") << "/ws/" << QStringLiteral("/ws/a.yaml") << "a.yaml";
    QTest::newRow("outside the workspace: the name") << "/ws" << QStringLiteral("/other/a.yaml") << "a.yaml";
    QTest::newRow("no workspace: the name") << QString() << "/ws/flows/a.yaml" << QStringLiteral("a.yaml");
    // A node of the previous workspace's tree, tapped before the new tree
    // has arrived: a folder whose name merely starts like the workspace's is
    // not inside it.
    QTest::newRow("sibling folder with a longer name: the name") << "/ws" << QStringLiteral("/ws-old/flows/a.yaml") << "a.yaml";
}

void TestWorkspaceFiles::relativePath()
{
    QFETCH(QString, workspace);
    QFETCH(QString, path);
    FileNode node;
    node.path = path;
    node.name = QFileInfo(path).fileName();
    QTEST(WorkspaceFiles::workspaceRelativePath(workspace, node), "expected");
}

void TestWorkspaceFiles::fileKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("icon");

    const int folder = int(WorkspaceFiles::FileKind::Folder);
    const int flow = int(WorkspaceFiles::FileKind::Flow);
    const int env = int(WorkspaceFiles::FileKind::Environment);
    const int other = int(WorkspaceFiles::FileKind::Other);
    QTest::newRow("folder named like a flow") << "login.yaml" << true << folder << "folder";
    QTest::newRow(".env") << ".env" << false << env << "gearshape";
    QTest::newRow(".ENV.SIT upper") << ".ENV.SIT" << false << env << "gearshape";
    QTest::newRow("env_ yaml is an environment") << "env_uat.yaml" << false << env << "gearshape";
    QTest::newRow("ENV_ yml upper") << "ENV_UAT.YML" << false << env << "gearshape";
    QTest::newRow("env_ txt is a doc") << "env_notes.txt" << false << other << "doc";
    QTest::newRow("ends in .env is a doc") << "staging.env" << false << other << "doc";
    QTest::newRow("flow") << "login.yaml" << false << flow << "doc.text";
    QTest::newRow("yaml mentioning env") << "my_env_flow.yml" << false << flow << "doc.text";
    QTest::newRow("yaml in the middle") << "flow.yaml.bak" << false << other << "doc";
}

void TestWorkspaceFiles::fileKinds()
{
    QFETCH(QString, name);
    QFETCH(bool, isDirectory);
    QFETCH(int, kind);
    QCOMPARE(int(WorkspaceFiles::fileKind(name, isDirectory)), kind);
    QTEST(WorkspaceFiles::iconName(name, isDirectory), "icon");
    if (!isDirectory) {
        QCOMPARE(WorkspaceFiles::isEnvironmentFileName(name), kind == int(WorkspaceFiles::FileKind::Environment));
        QCOMPARE(WorkspaceFiles::isFlowFileName(name), kind == int(WorkspaceFiles::FileKind::Flow));
    }
}

void TestWorkspaceFiles::parseEnvText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<EnvEntries>("expected");

    auto e = [](const char *k, const char *v) { return EnvFileParser::Entry { QString::fromUtf8(k), QString::fromUtf8(v) }; };
    QTest::newRow("equals with spaces and double quotes")
        << QStringLiteral("USER_NAME = \"qa@example.com\"") << EnvEntries { e("USER_NAME", "qa@example.com") };
    QTest::newRow("yaml style") << QStringLiteral("PASSWORD: secret") << EnvEntries { e("PASSWORD", "secret") };
    QTest::newRow("equals wins over colon") << QStringLiteral("URL=https://api.example.com:8443/x")
                                            << EnvEntries { e("URL", "https://api.example.com:8443/x") };
    QTest::newRow("value keeps later equals signs") << QStringLiteral("Q=a=b") << EnvEntries { e("Q", "a=b") };
    QTest::newRow("nothing after equals") << QStringLiteral("EMPTY=") << EnvEntries {};
    QTest::newRow("starts with equals: one piece") << QStringLiteral("=value") << EnvEntries {};
    QTest::newRow("leading equals passed over") << QStringLiteral("=a=b") << EnvEntries { e("a", "b") };
    QTest::newRow("colon after equals is the value") << QStringLiteral("KEY=:") << EnvEntries { e("KEY", ":") };
    QTest::newRow("colon fallback when equals gives one piece") << QStringLiteral("=KEY: v") << EnvEntries { e("=KEY", "v") };
    QTest::newRow("nothing after colon") << QStringLiteral("KEY:") << EnvEntries {};
    QTest::newRow("comments and blanks") << QStringLiteral("# comment\n\n   \n  # indented comment\nA=1")
                                         << EnvEntries { e("A", "1") };
    QTest::newRow("CRLF") << QStringLiteral("A=1\r\nB=2\r\n") << EnvEntries { e("A", "1"), e("B", "2") };
    QTest::newRow("quotes of both kinds and spaces trimmed, tabs stay")
        << QStringLiteral("A= ' \"x y\" ' \nB=\"\tz\t\"") << EnvEntries { e("A", "x y"), e("B", "\tz\t") };
    QTest::newRow("no separator") << QStringLiteral("JUSTTEXT") << EnvEntries {};
    QTest::newRow("shell export prefix dropped")
        << QStringLiteral("export A=1\nexport\t B: 2") << EnvEntries { e("A", "1"), e("B", "2") };
    QTest::newRow("export alone or glued stays")
        << QStringLiteral("export=1\nexporter=2") << EnvEntries { e("export", "1"), e("exporter", "2") };
}

void TestWorkspaceFiles::parseEnvText()
{
    QFETCH(QString, text);
    QFETCH(EnvEntries, expected);
    QCOMPARE(EnvFileParser::parseEnvText(text), expected);
}

void TestWorkspaceFiles::parseEnvFile_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: nothing at the path
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<EnvEntries>("expected");
    QTest::newRow("missing") << QByteArray() << false << false << EnvEntries {};
    QTest::newRow("ISO Latin-1") << QByteArray("A=1\nB=\xe9t\xe9\n") << false << false << EnvEntries {};
    QTest::newRow("a folder") << QByteArray() << true << false << EnvEntries {};
    QTest::newRow("UTF-8") << QByteArray("A=\xc3\xa9t\xc3\xa9\n") << false << true
                           << EnvEntries { { QStringLiteral("A"), QString::fromUtf8("\u00e9t\u00e9") } };
    QTest::newRow("UTF-8 without pairs") << QByteArray("# nothing\n") << false << true << EnvEntries {};
    // Editors on Windows start the file with a byte-order mark: not part of the first key.
    QTest::newRow("UTF-8 with a byte-order mark") << QByteArray("\xef\xbb\xbf"
                                                                "A=1\n")
                                                  << false << true << EnvEntries { { QStringLiteral("A"), QStringLiteral("1") } };
}

void TestWorkspaceFiles::parseEnvFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    QFETCH(bool, readable);
    QFETCH(EnvEntries, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral(".env"));
    if (folder)
        QVERIFY(QDir().mkdir(path));
    else if (!content.isEmpty())
        touch(path, content);
    bool wasReadable = !readable;
    QCOMPARE(EnvFileParser::parseEnvFile(path, &wasReadable), expected);
    QCOMPARE(wasReadable, readable);
}

void TestWorkspaceFiles::envFileThatIsAPipe_data()
{
    QTest::addColumn<bool>("writer");
    QTest::addColumn<EnvEntries>("expected");
    // Secret managers serve .env files as named pipes; with nothing serving
    // it, opening such a pipe for reading would wait forever and hold up the
    // worker (and the command line waiting for it). A writer that connects
    // only once the reader is there must still be heard.
    QTest::newRow("nobody writes") << false << EnvEntries {};
    QTest::newRow("a writer serves it") << true << EnvEntries { { QStringLiteral("A"), QStringLiteral("1") } };
}

void TestWorkspaceFiles::envFileThatIsAPipe()
{
    QFETCH(bool, writer);
    QFETCH(EnvEntries, expected);
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral(".env"));
    QVERIFY(testsupport::makeFifo(pipe));
    std::thread serving;
    if (writer) {
        serving = std::thread([name = QFile::encodeName(pipe)] {
            // Connects once the reader is there, however late that is, and
            // gives up after ten seconds rather than wait forever.
            for (int attempt = 0; attempt < 1000; ++attempt) {
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    [[maybe_unused]] const ssize_t written = ::write(fd, "A=1\n", 4);
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    EnvEntries entries;
    const bool finished = testsupport::finishesBesidePipe(pipe, [&] { entries = EnvFileParser::parseEnvFile(pipe); });
    if (serving.joinable())
        serving.join();
    QVERIFY2(finished, "reading a named pipe nobody writes to did not return");
    QCOMPARE(entries, expected);
}

QTEST_GUILESS_MAIN(TestWorkspaceFiles)
#include "tst_workspacefiles.moc"
