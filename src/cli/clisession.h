#pragma once

#include "devices/deviceinfo.h"
#include "runner/runnersettings.h"

#include <QObject>

#include <functional>
#include <memory>

class CommandExecutor;
class RunnerViewModel;

// One headless use of the run controller: the same RunnerViewModel the window
// uses, with the real executor, the device and app pinned to what the command
// line named, and the settings store's values with the command line's
// overrides. Console lines are printed to standard output as they are
// appended. SIGINT/SIGTERM stop the run the way the stop button does; a
// second one kills every process the run started.
//
// Lives on the main thread of a QCoreApplication, for one command.
class CliSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CliSession)

public:
    // Exit status when the run could not start (a precondition, a missing
    // runner, a sandbox that could not be created).
    static constexpr int kNotStarted = 2;
    // Exit status when an outside tool (xcrun) failed.
    static constexpr int kToolFailed = 3;

    CliSession(const DeviceInfo &device, const QString &appId, const RunnerSettings &settings, bool printTimes);
    ~CliSession() override;

    RunnerViewModel &viewModel() { return *m_viewModel; }

    // Lets the controller's background work (lists, tree, env file) finish
    // and apply its results.
    void settle();

    // Calls `start`, then runs the event loop until the run or fetch it began
    // has ended (a test run: its network log pulled and its report generated)
    // and every console line has been printed. Returns the runner's
    // exit status (1 when it has none that fits an exit code), 128 + the
    // signal's number when a signal stopped the run or killed the runner, or
    // kNotStarted (also when the runner could not be launched).
    int runUntilEnded(const std::function<void()> &start);

    // Runs `work` on a worker while this thread waits with the stop signals
    // armed, so that a slow outside tool can be interrupted: Ctrl-C kills the
    // tools it runs at once (with what they started). `progress` goes to
    // standard error when the work takes longer than a second. Returns the
    // stop signal's number, or 0 when the work finished.
    static int runInterruptibly(const std::function<void()> &work, const QString &progress);

    struct DeviceLookUp
    {
        DeviceInfo device;
        int stopSignal = 0; // non-zero: interrupted; exit 128 + it
    };
    // The device as the device tool lists it, or one named by its UDID.
    static DeviceLookUp lookUpDevice(const QString &udid);

private:
    void print(const QStringList &lines);

    std::unique_ptr<CommandExecutor> m_executor;
    std::unique_ptr<RunnerViewModel> m_viewModel;
    bool m_printTimes;
    // Standard output was closed (a pipe's reader went): the run is stopped
    // once, as Ctrl-C stops it.
    bool m_outputClosed = false;
};
