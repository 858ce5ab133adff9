#pragma once

// The run controller with fake services, a workspace and runner settings of
// its own per test: the shared set-up of the controller suites.

#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakenetworktools.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

namespace runnertest {

inline DeviceInfo phone(const char *id, const char *name = "Phone", bool simulator = false)
{
    return DeviceInfo { QString::fromLatin1(id), QString::fromLatin1(name), simulator };
}

inline FileNode nodeAt(const QString &workspace, const QString &relative)
{
    FileNode node;
    node.path = workspace + u'/' + relative;
    node.name = QFileInfo(node.path).fileName();
    return node;
}

inline void write(const QString &path, const QByteArray &content = "x")
{
    QVERIFY2(testsupport::writeFile(path, content), qPrintable(path));
}

} // namespace runnertest

class RunnerFixture : public QObject
{
    Q_OBJECT

protected:
    void setUpTestCase();
    void setUp();
    void tearDown();

    void makeViewModel();
    // Console texts without the "[HH:mm:ss] " prefix and the line break.
    QStringList texts() const;
    // Lets workers finish and their posted results apply.
    void waitIdle();
    // Workspace chosen, flow and .env.uat selected.
    void selectReadyRun();
    QString makeRunner();

    QTemporaryDir m_dir;
    std::shared_ptr<FakeDeviceDetector> m_detector;
    std::unique_ptr<FakeCommandExecutor> m_executor;
    std::shared_ptr<FakeReportManager> m_reports;
    std::shared_ptr<FakeNetworkTools> m_tools;
    std::unique_ptr<RunnerViewModel> m_vm;
    RunnerSettings m_settings;
    QString m_workspace;
    int m_case = 0;
};

using namespace runnertest;

inline void RunnerFixture::setUpTestCase()
{
    qputenv("KESTRUNE_SETTINGS_FILE", m_dir.filePath(QStringLiteral("settings.ini")).toUtf8());
    qputenv("KESTRUNE_SHELL", "/bin/zsh");
}

inline void RunnerFixture::setUp()
{
    m_detector = std::make_shared<FakeDeviceDetector>();
    m_detector->setDevices({ phone("AAAA", "Phone A"), phone("BBBB", "Phone B") });
    m_detector->setApps(QStringLiteral("AAAA"), { QStringLiteral("com.example.a"), QStringLiteral("com.example.shop.uat") });
    m_detector->setApps(QStringLiteral("BBBB"), { QStringLiteral("com.example.b") });
    m_executor = std::make_unique<FakeCommandExecutor>();
    m_reports = std::make_shared<FakeReportManager>();
    m_tools = std::make_shared<FakeNetworkTools>();

    const QString base = m_dir.filePath(QStringLiteral("case%1").arg(++m_case));
    m_workspace = base + QStringLiteral("/workspace");
    write(m_workspace + QStringLiteral("/flows/login.yaml"), "appId: ${BUNDLE_ID}\n");
    write(m_workspace + QStringLiteral("/.env.uat"), "USER = \"qa\"\nPASS: secret\n");
    write(m_workspace + QStringLiteral("/env_sit.yaml"), "USER: sit\n");
    write(m_workspace + QStringLiteral("/README.md"));
    m_settings = { base + QStringLiteral("/reports"), QStringLiteral("TEAM123456"), makeRunner() };
}

inline void RunnerFixture::tearDown()
{
    if (m_detector)
        m_detector->openGate();
    waitIdle();
    m_vm.reset();
    m_executor.reset();
}

inline QString RunnerFixture::makeRunner()
{
    const QString path = m_dir.filePath(QStringLiteral("bin/maestro-runner"));
    if (!QFileInfo::exists(path))
        write(path, "#!/bin/sh\n");
    return path;
}

inline void RunnerFixture::makeViewModel()
{
    m_vm = std::make_unique<RunnerViewModel>(m_detector, m_executor.get(), m_reports);
    m_vm->setSettingsProvider([this] { return m_settings; });
    m_vm->setToolRunner(m_tools->runner(m_tools));
    // Long enough that a suite's steps never meet a second pull by chance.
    m_vm->setNetworkPollInterval(std::chrono::milliseconds(60'000));
    waitIdle();
}

inline void RunnerFixture::waitIdle()
{
    // Workers may post results that start further workers (device, then apps).
    for (int round = 0; round < 10; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (QThreadPool::globalInstance()->waitForDone(0) && QThreadPool::globalInstance()->activeThreadCount() == 0)
            break;
    }
    QCoreApplication::sendPostedEvents();
}

inline QStringList RunnerFixture::texts() const
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList result;
    for (const QString &line : m_vm->consoleLogs()) {
        if (!line.contains(prefix) || !line.endsWith(u'\n'))
            return { QStringLiteral("malformed console line: ") + line };
        result << line.mid(11).chopped(1);
    }
    return result;
}

inline void RunnerFixture::selectReadyRun()
{
    m_vm->selectWorkspace(m_workspace);
    waitIdle();
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral("flows/login.yaml")));
    m_vm->toggleFileSelection(nodeAt(m_workspace, QStringLiteral(".env.uat")));
    waitIdle();
}
