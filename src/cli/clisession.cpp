#include "clisession.h"

#include "clioptions.h"
#include "devices/devicedetector.h"
#include "devices/oneshotprocess.h"
#include "pinneddevicedetector.h"
#include "process/commandexecutor.h"
#include "reports/reportmanager.h"
#include "runner/runnerviewmodel.h"
#include "stopsignals.h"
#include "terminaltext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstdio>

namespace {

constexpr int kInterruptedTwice = 130;
// "[HH:mm:ss] "
constexpr qsizetype kTimePrefixLength = 11;

} // namespace

CliSession::CliSession(const DeviceInfo &device, const QString &appId, const RunnerSettings &settings, bool printTimes)
    : m_executor(std::make_unique<CommandExecutor>())
    , m_printTimes(printTimes)
{
    // CI variables, proxies and the locale a terminal exported reach the
    // runner; the four run variables still win.
    m_executor->setPassesOwnEnvironment(true);
    // The command line "opens" a report by printing where it is.
    auto reports = std::make_shared<ReportManager>();
    reports->setOpeners(
        [](const QUrl &page) {
            const QByteArray line = "Report page: " + page.toLocalFile().toUtf8() + '\n';
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        },
        [](const QUrl &runFolder) {
            const QByteArray line = "No report page; run folder: " + runFolder.toLocalFile().toUtf8() + '\n';
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        });
    m_viewModel = std::make_unique<RunnerViewModel>(
        std::make_shared<PinnedDeviceDetector>(device, appId), m_executor.get(), std::move(reports));
    m_viewModel->setSettingsProvider([settings] { return settings; });
    connect(m_viewModel.get(), &RunnerViewModel::consoleLinesAppended, this, &CliSession::print);
}

CliSession::~CliSession()
{
    // The controller goes before the executor it listens to.
    m_viewModel.reset();
}

int CliSession::runInterruptibly(const std::function<void()> &work, const QString &progress)
{
    QEventLoop loop;
    int stopSignal = 0;
    std::unique_ptr<QThread> worker(QThread::create(work));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    StopSignals stopSignals;
    connect(&stopSignals, &StopSignals::stopRequested, &loop, [&](int, int signal) {
        stopSignal = signal;
        OneShotProcess::killAll();
        loop.quit();
    });
    QTimer notice;
    notice.setSingleShot(true);
    connect(&notice, &QTimer::timeout, &loop, [&progress] { CliOptions::error(progress + u'\n'); });
    notice.start(1000);
    worker->start();
    loop.exec();
    // A tool that was starting when the signal came is killed on its way up.
    while (!worker->wait(50)) {
        if (stopSignal != 0)
            OneShotProcess::killAll();
    }
    return stopSignal;
}

CliSession::DeviceLookUp CliSession::lookUpDevice(const QString &udid)
{
    DeviceLookUp lookUp { DeviceInfo { udid, udid, false } };
    DeviceList devices;
    lookUp.stopSignal = runInterruptibly([&devices] { devices = DeviceDetector().listDevices(); },
        QStringLiteral("kestrune-cli: waiting for xcrun to list the devices (Ctrl-C stops)..."));
    for (const DeviceInfo &device : std::as_const(devices)) {
        if (device.id == udid)
            lookUp.device = device;
    }
    return lookUp;
}

void CliSession::settle()
{
    QThreadPool *pool = QThreadPool::globalInstance();
    do {
        pool->waitForDone();
        QCoreApplication::sendPostedEvents();
    } while (!pool->waitForDone(0));
    QCoreApplication::sendPostedEvents();
}

void CliSession::print(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += (m_printTimes ? line : line.mid(kTimePrefixLength)).toUtf8();
    // The runner's output carries the app's text (failure messages, element
    // labels): on a terminal its control characters must not drive it.
    bytes = TerminalText::forStandardOutput(bytes);
    if (m_outputClosed)
        return;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if ((std::fflush(stdout) != 0 || !written) && errno == EPIPE) {
        m_outputClosed = true;
        // The tree ends and the report is still written to the run folder.
        m_viewModel->stopRun();
    }
}

int CliSession::runUntilEnded(const std::function<void()> &start)
{
    RunnerViewModel &vm = *m_viewModel;
    QEventLoop loop;
    std::optional<int> status;
    int stopSignal = 0;
    bool interrupted = false;
    connect(&vm, &RunnerViewModel::runEnded, &loop, [&status](RunMode, int exitStatus) { status = exitStatus; });
    // runEnded follows isRunning's change within the same call, so the check
    // is queued behind it.
    connect(&vm, &RunnerViewModel::isRunningChanged, &loop, [&vm, &loop] {
        if (!vm.isRunning())
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    StopSignals stopSignals;
    connect(&stopSignals, &StopSignals::stopRequested, &loop, [&](int count, int signal) {
        if (count == 1) {
            stopSignal = signal;
            vm.stopRun();
            return;
        }
        CommandExecutor::terminateAll();
        interrupted = true;
        loop.quit();
    });

    start();
    if (vm.isRunning())
        loop.exec();
    // A test run goes on with the network log and its reports; the command
    // ends once "✅ Report Generated." is out.
    if (!interrupted && vm.isFinishingRun()) {
        connect(&vm, &RunnerViewModel::reportGenerated, &loop, &QEventLoop::quit);
        loop.exec();
    }
    settle();
    if (interrupted)
        return kInterruptedTwice;
    if (!status)
        return kNotStarted;
    // Interrupted commands exit the shell's way, 128 + the signal.
    if (stopSignal != 0)
        return 128 + stopSignal;
    // The runner could not be started at all ("Argument list too long").
    if (*status < 0)
        return kNotStarted;
    // A runner killed by a signal exits the shell's way too, or SIGSEGV
    // would read as "exit 11".
    if (m_executor->lastRunEndedBySignal() && *status > 0 && *status < 128)
        return 128 + *status;
    return *status <= 255 ? *status : 1;
}
