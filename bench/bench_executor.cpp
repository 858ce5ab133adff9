// Figures for the command executor: how fast merged output flows from a
// child to the subscriber, how long a run takes to start (login shell
// included) and to be stopped, and the decoder's throughput.
//
//   bench_executor [megabytes]        (default 64)
#include "process/commandexecutor.h"
#include "process/utf8streamdecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>

namespace {

const QString kFakeChild = QStringLiteral(KESTRUNE_FAKECHILD);

struct Result
{
    qint64 bytes = 0;
    qint64 chunks = 0;
    qint64 msToFirstChunk = -1;
    qint64 msTotal = 0;
    int status = 0;
};

Result runOnce(const QStringList &arguments, bool stopAfterFirstChunk = false)
{
    CommandExecutor executor;
    Result result;
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(&executor, &CommandExecuting::outputReceived, &loop, [&](const QString &chunk) {
        if (result.msToFirstChunk < 0) {
            result.msToFirstChunk = clock.elapsed();
            if (stopAfterFirstChunk) {
                clock.restart();
                executor.stop();
            }
        }
        result.bytes += chunk.size();
        ++result.chunks;
    });
    QObject::connect(&executor, &CommandExecuting::terminated, &loop, [&](int status) {
        result.status = status;
        result.msTotal = clock.elapsed();
        loop.quit();
    });
    clock.start();
    executor.run(kFakeChild, arguments);
    loop.exec();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 64;

    // Start-up: run() to the status of a child that exits at once.
    QList<qint64> startTimes;
    for (int i = 0; i < 10; ++i)
        startTimes << runOnce({ QStringLiteral("exit"), QStringLiteral("0") }).msTotal;
    std::sort(startTimes.begin(), startTimes.end());
    out << "start to status, login shell included: median " << startTimes.at(5) << " ms, max " << startTimes.last()
        << " ms (10 runs)\n";

    const Result flood = runOnce({ QStringLiteral("flood"), QString::number(megabytes << 20) });
    const double seconds = (flood.msTotal - flood.msToFirstChunk) / 1000.0;
    out << "output: " << (flood.bytes >> 20) << " MiB in " << flood.chunks << " chunks (mean "
        << (flood.chunks ? flood.bytes / flood.chunks : 0) << " characters), "
        << QString::number(seconds > 0 ? (flood.bytes / 1048576.0) / seconds : 0, 'f', 1) << " MiB/s\n";

    const Result stopped = runOnce({ QStringLiteral("tree"), QStringLiteral("3"), QStringLiteral("ignore-term") }, true);
    out << "stop of a 3-level tree that ignores SIGTERM: status " << stopped.status << " after " << stopped.msTotal << " ms\n";

    // Decoder alone: mixed text cut at random read sizes.
    const QByteArray line = QStringLiteral("[12:00:01] \u2713 Tap on \"Login\" \u26A0 retry \u2717 failed \U0001F680\n").toUtf8();
    QByteArray text;
    while (text.size() < (megabytes << 20))
        text += line;
    QRandomGenerator random(42);
    Utf8StreamDecoder decoder;
    QElapsedTimer clock;
    clock.start();
    qint64 characters = 0;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype size = qMin<qsizetype>(1 + random.bounded(65536), text.size() - at);
        characters += decoder.decode(QByteArrayView(text.constData() + at, size)).size();
        at += size;
    }
    characters += decoder.finish().size();
    const double decodeSeconds = clock.nsecsElapsed() / 1e9;
    out << "decoder: " << (text.size() >> 20) << " MiB in random reads of 1 B to 64 KiB, "
        << QString::number((text.size() / 1048576.0) / decodeSeconds, 'f', 1) << " MiB/s (" << characters << " characters)\n";
    return 0;
}
