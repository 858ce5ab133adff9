// Runner output through the run controller into the console panel's view,
// offscreen, inside a running event loop: the executor delivers one chunk
// every 10 ms (cut mid-line, as pipe reads are), the
// controller batches and trims, the panel styles only the new lines. A 1 ms
// timer measures how long the event loop was blocked at most. Prints lines
// per second, the longest block, and memory after 1,000,000 lines and, with
// --ten-million, after 10,000,000.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_consoleview [--lines N] [--window-lines N] [--ten-million]

#include "benchrunnerlines.h"
#include "benchmemory.h"
#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

namespace {

struct Feeder
{
    RunnerViewModel *vm = nullptr;
    FakeCommandExecutor *executor = nullptr;
    qint64 next = 0;
    qint64 end = 0;
    int batch = 0;
    QString carry;

    // One window's worth of output; false when the phase is done.
    bool step()
    {
        if (next >= end) {
            if (!carry.isEmpty())
                executor->emitOutput(std::exchange(carry, QString()));
            return false;
        }
        QString text = std::exchange(carry, QString());
        for (int i = 0; i < batch && next < end; ++i, ++next)
            text += runnerLine(next) + u'\n';
        const qsizetype cut = text.size() - 17;
        if (next < end && cut > 0) {
            carry = text.mid(cut);
            text.truncate(cut);
        }
        executor->emitOutput(text);
        return true;
    }
};

struct Phase
{
    double seconds = 0;
    qint64 longestBlockMs = 0;
    qint64 peakKiB = 0;
    qint64 rssKiB = 0;
};

Phase runPhase(Feeder &feeder, qint64 lines)
{
    feeder.end = feeder.next + lines;
    Phase phase;
    QElapsedTimer total;
    total.start();
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        phase.longestBlockMs = qMax(phase.longestBlockMs, sinceTick.restart());
    });
    probe.start();
    QEventLoop loop;
    // A tenth of a window's lines every 10 ms; the controller's own 100 ms
    // timer collects them into one batch.
    QTimer pump;
    pump.setInterval(10);
    QObject::connect(&pump, &QTimer::timeout, [&] {
        if (!feeder.step()) {
            pump.stop();
            // Let the last batch through the controller's window.
            QTimer::singleShot(250, &loop, &QEventLoop::quit);
        }
    });
    pump.start();
    loop.exec();
    phase.seconds = total.nsecsElapsed() / 1e9;
    phase.peakKiB = peakResidentKiB();
    phase.rssKiB = residentKiB();
    return phase;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 lines = 1'000'000;
    int batch = 10'000;
    bool tenMillion = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--lines" && i + 1 < args.size())
            lines = args[++i].toLongLong();
        else if (args[i] == u"--window-lines" && i + 1 < args.size())
            batch = args[++i].toInt();
        else if (args[i] == u"--ten-million")
            tenMillion = true;
    }

    auto detector = std::make_shared<FakeDeviceDetector>();
    FakeCommandExecutor executor;
    RunnerViewModel vm(detector, &executor, std::make_shared<FakeReportManager>());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    ConsolePanel panel(&vm);
    panel.resize(1000, 600);
    panel.show();

    Feeder feeder { &vm, &executor, 0, 0, qMax(1, batch / 10), {} };
    std::printf("console view throughput: runner lines through the controller into the console view (%d lines per 100 ms window)\n",
        batch);
    const auto print = [&](qint64 count, const Phase &phase) {
        std::printf("  %11lld lines: %8.2f s  %10.0f lines/s  longest event-loop block %4lld ms  peak %7lld KiB  rss %7lld KiB"
                    "  view %lld lines\n",
            static_cast<long long>(count), phase.seconds, double(count) / phase.seconds,
            static_cast<long long>(phase.longestBlockMs), static_cast<long long>(phase.peakKiB),
            static_cast<long long>(phase.rssKiB), static_cast<long long>(panel.consoleView()->lineCount()));
    };
    const Phase first = runPhase(feeder, lines);
    print(lines, first);
    if (tenMillion) {
        const Phase second = runPhase(feeder, 9 * lines);
        print(9 * lines, second);
        std::printf("  peak memory growth from %lld to %lld lines: %+lld KiB\n", static_cast<long long>(lines),
            static_cast<long long>(10 * lines), static_cast<long long>(second.peakKiB - first.peakKiB));
    }
    return 0;
}
