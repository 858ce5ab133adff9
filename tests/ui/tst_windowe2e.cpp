#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "e2esupport.h"
#include "mainwindow.h"
#include "runner/runconfigurationstate.h"
#include "runner/runnerviewmodel.h"
#include "workspace/configheaderview.h"
#include "workspace/stretchablepicker.h"
#include "workspace/workspacetreemodel.h"
#include "workspace/workspacetreeview.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace E2e;

// The window on the simulated lab, driven as a user would: open the demo
// workspace, click a flow and an env file, choose device and app, run, and
// watch the result, the traffic and the report button arrive.
class TestWindowE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void openChooseRunAndReport();

private:
    static void clickRow(WorkspaceFileTree *tree, const QString &name);

    QTemporaryDir m_dir;
    QString m_workspace;
};

void TestWindowE2e::initTestCase()
{
    const QString sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    QVERIFY2(QFileInfo(sim).isExecutable(), qPrintable(sim));
    if (!QFileInfo(QStringLiteral("/bin/zsh")).isExecutable())
        QSKIP("the runner is started through /bin/zsh, which is not installed");
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString lab = home + QStringLiteral("/lab");
    QVERIFY(writeFile(home + QStringLiteral("/.zshenv"),
        "export KESTRUNE_SIM_HOME='" + lab.toUtf8() + "'\nexport KESTRUNE_SIM_SPEED=human\n"));
    const QString runner = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    QVERIFY(writeFile(runner, "#!/bin/sh\nexec '" + sim.toUtf8() + "' \"$@\"\n", true));
    const QString settings = home + QStringLiteral("/settings.ini");
    QVERIFY(writeFile(settings,
        "[General]\nhasCompletedSetup=true\nappleTeamID=QA12345678\nmaestroRunnerPath=" + runner.toUtf8()
            + "\nreportsOutputDirectory=" + m_dir.filePath(QStringLiteral("reports")).toUtf8() + "\n"));
    qputenv("HOME", home.toUtf8());
    qputenv("KESTRUNE_SIM_HOME", lab.toUtf8());
    qputenv("KESTRUNE_SIM_SPEED", "human");
    qputenv("KESTRUNE_XCRUN", sim.toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
    qputenv("KESTRUNE_SETTINGS_FILE", settings.toUtf8());
    m_workspace = m_dir.filePath(QStringLiteral("workspace"));
    QVERIFY(copyTree(QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace"), m_workspace));
}

void TestWindowE2e::clickRow(WorkspaceFileTree *tree, const QString &name)
{
    const QModelIndexList found = tree->model()->match(
        tree->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(found.first()).center());
}

void TestWindowE2e::openChooseRunAndReport()
{
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    RunnerViewModel *vm = window.runner();
    ConfigHeaderView *header = window.header();
    window.openWorkspace(m_workspace);
    WorkspaceFileTree *tree = window.workspaceTree()->tree();
    QTRY_COMPARE(window.workspaceTree()->content(), WorkspaceTreeView::TreePage);

    clickRow(tree, QStringLiteral("login.yaml"));
    clickRow(tree, QStringLiteral(".env"));
    QTRY_VERIFY(!header->variableFields().isEmpty());
    const QString logs = vm->consoleLogs().join(QString());
    QVERIFY2(logs.contains(QStringLiteral("◉ Target Flow selected: login.yaml")), qPrintable(logs));
    QVERIFY2(logs.contains(QStringLiteral("⚙︎ Target Environment selected: .env")), qPrintable(logs));
    const QModelIndexList flowRow
        = tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("login.yaml"));
    QCOMPARE(flowRow.first().data(WorkspaceTreeModel::MarkerRole).toInt(), int(WorkspaceTreeModel::FlowMarker));

    // The lab's phone and its app, chosen from the lists.
    StretchablePicker *devices = header->devicePicker();
    QTRY_VERIFY(devices->isEnabled());
    const int device = RunConfigurationState::pickerIndex(devices->options(), kDevice);
    QVERIFY(device >= 0);
    Q_EMIT devices->activated(device);
    StretchablePicker *apps = header->appPicker();
    QTRY_VERIFY(RunConfigurationState::pickerIndex(apps->options(), kApp) >= 0);
    Q_EMIT apps->activated(RunConfigurationState::pickerIndex(apps->options(), kApp));
    QCOMPARE(vm->selectedAppId(), kApp);

    QVERIFY(header->runButton()->isEnabled());
    QTest::mouseClick(header->runButton(), Qt::LeftButton);
    QVERIFY(vm->isRunning());
    QVERIFY(header->stopButton()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isRunning(), 150'000);
    const QString result = vm->consoleLogs().join(QString());
    QVERIFY2(result.contains(QStringLiteral("steps passing")), qPrintable(result.right(600)));
    QTRY_VERIFY_WITH_TIMEOUT(header->reportButton()->isVisible(), 60'000);
    QVERIFY2(!vm->networkHits().isEmpty(), qPrintable(result.right(600)));

    // The flow's result line, coloured, in the console view.
    ConsoleView *console = window.consoleArea()->consoleView();
    QCOMPARE(console->consoleText(), vm->consoleLogs().join(QString()));
    bool coloured = false;
    for (QTextBlock block = console->document()->begin(); block.isValid(); block = block.next()) {
        if (!block.text().contains(QStringLiteral("\u2713 ")))
            continue;
        for (const QTextLayout::FormatRange &range : block.textFormats())
            coloured = coloured || range.format.hasProperty(QTextFormat::ForegroundBrush);
    }
    QVERIFY2(coloured, "the passed flow's line has a colour");

    // "Network (N)" counts the captured exchanges.
    QPushButton *network = nullptr;
    for (QPushButton *button : window.consoleArea()->findChildren<QPushButton *>()) {
        if (button->text().startsWith(QStringLiteral("Network (")))
            network = button;
    }
    QVERIFY(network);
    static const QRegularExpression count(QStringLiteral("^Network \\((\\d+)\\)$"));
    const QRegularExpressionMatch match = count.match(network->text());
    QVERIFY2(match.hasMatch(), qPrintable(network->text()));
    QCOMPARE(match.captured(1).toLongLong(), qlonglong(vm->networkHits().size()));
}

QTEST_MAIN(TestWindowE2e)
#include "tst_windowe2e.moc"
