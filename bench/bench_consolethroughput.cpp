// Feeds runner output through the run controller the way a run does: one
// text per 100 ms batch, cut anywhere (batches end mid-line), with the
// runner's noise lines mixed in. Prints lines per second and the process's
// peak memory after 1,000,000 lines and again after ten times as many; the
// console is bounded, so the second figure should not grow.
//
// Usage: bench_consolethroughput [lines] [lines per batch]

#include "benchmemory.h"
#include "benchrunnerlines.h"
#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>

#include <cstdio>

namespace {

struct Phase
{
    double seconds;
    qint64 peakKiB;
    qint64 rssKiB;
};

Phase feed(RunnerViewModel &vm, qint64 lines, int linesPerBatch, qint64 &nextLine)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 end = nextLine + lines;
    QString carry;
    while (nextLine < end) {
        QString batch = std::exchange(carry, QString());
        for (int i = 0; i < linesPerBatch && nextLine < end; ++i, ++nextLine)
            batch += runnerLine(nextLine) + u'\n';
        // Cut the batch in the middle of its last line; the rest comes with
        // the next batch, as real pipe reads do.
        const qsizetype cut = batch.size() - 17;
        if (nextLine < end && cut > 0) {
            carry = batch.mid(cut);
            batch.truncate(cut);
        }
        vm.processOutput(batch);
        QCoreApplication::sendPostedEvents(); // the console appends
    }
    if (!carry.isEmpty())
        vm.processOutput(carry);
    QCoreApplication::sendPostedEvents();
    return { timer.nsecsElapsed() / 1e9, peakResidentKiB(), residentKiB() };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 lines = args.size() > 1 ? args.at(1).toLongLong() : 1'000'000;
    const int linesPerBatch = args.size() > 2 ? args.at(2).toInt() : 2'000;

    auto detector = std::make_shared<FakeDeviceDetector>();
    FakeCommandExecutor executor;
    RunnerViewModel vm(detector, &executor, std::make_shared<FakeReportManager>());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();

    std::printf("console throughput: %lld lines in batches of %d lines (one batch = one 100 ms window)\n",
        static_cast<long long>(lines), linesPerBatch);
    qint64 next = 0;
    const Phase first = feed(vm, lines, linesPerBatch, next);
    std::printf("  %12lld lines: %8.2f s  %12.0f lines/s  peak %7lld KiB  rss %7lld KiB  console %lld lines\n",
        static_cast<long long>(lines), first.seconds, lines / first.seconds, static_cast<long long>(first.peakKiB),
        static_cast<long long>(first.rssKiB), static_cast<long long>(vm.consoleLogs().size()));
    const Phase second = feed(vm, 9 * lines, linesPerBatch, next);
    std::printf("  %12lld lines: %8.2f s  %12.0f lines/s  peak %7lld KiB  rss %7lld KiB  console %lld lines\n",
        static_cast<long long>(10 * lines), first.seconds + second.seconds, 9 * lines / second.seconds,
        static_cast<long long>(second.peakKiB), static_cast<long long>(second.rssKiB),
        static_cast<long long>(vm.consoleLogs().size()));
    std::printf("  peak memory growth over 10x the lines: %+lld KiB (%.1f%%)\n",
        static_cast<long long>(second.peakKiB - first.peakKiB),
        first.peakKiB > 0 ? 100.0 * double(second.peakKiB - first.peakKiB) / double(first.peakKiB) : 0.0);
    return 0;
}
