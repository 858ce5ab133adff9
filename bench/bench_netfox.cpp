// Netfox parser benchmark. Writes a session log of the given size from a seed
// (plain style: paired, interleaved and unanswered exchanges, the last block
// cut off as in a live copy), then prints the parser's time next to `wc -l`
// on the same file, their ratio (goal: at most 10x), and the peak resident
// memory of the parse against the file size (goal: at most 4x). The two
// take turns, round after round, so that both see the same state of a
// shared machine; the ratio of each round is printed too. Then it
// shows that logs with many unfinished blocks cost linear time, as text and
// as files, and how the
// pattern-based reference compares on smaller logs.
//
// Usage: bench_netfox [--size MB] [--seed N] [--rounds N] [--keep PATH]
#include "netfoxloggenerator.h"
#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"
#include "network/netfoxworkers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <ctime>
#include <sys/resource.h>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// A field of /proc/self/status in kB ("VmHWM", "VmRSS"), or -1.
qint64 procStatusKb(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lets VmHWM measure from here on (Linux: writing 5 to clear_refs resets it).
bool resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

qint64 writeLog(const QString &path, qint64 targetBytes, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    NetfoxLogGenerator generator(seed, NetfoxLogGenerator::Style::Plain);
    qint64 written = 0;
    QByteArray buffer;
    while (written + buffer.size() < targetBytes) {
        buffer += generator.nextChunk().toUtf8();
        if (buffer.size() > (1 << 20)) {
            written += file.write(buffer);
            buffer.clear();
        }
    }
    // The app was still writing when the copy was taken: the last block
    // stops in the middle, inside a multi-byte character.
    const QByteArray last = generator.nextChunk().toUtf8();
    buffer += last.left(last.size() / 2) + QByteArray("\xF0\x9F", 2);
    written += file.write(buffer);
    return written;
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing
{
    double wall = 1e9; // best of the runs
    double cpu = 1e9; // user + system time of the best run by CPU
};

// Best of 3: the time to allocate and fill, on the parser's thread count,
// strings of the sizes of every text field of `hits`, with nothing parsed.
// A fresh heap page costs what it costs whoever asks for it; this shows how
// much of the parse that is on the machine at hand.
Timing resultStringsTiming(const NetworkHitList &hits)
{
    std::vector<qsizetype> sizes;
    sizes.reserve(size_t(hits.size()) * 7);
    for (const NetworkHit &hit : hits) {
        for (const QString *field : { &hit.id, &hit.url, &hit.reqMethod, &hit.reqHeaders, &hit.reqBody, &hit.resHeaders,
                 &hit.resBody })
            sizes.push_back(field->size());
    }
    const int threads = NetfoxWorkers::defaultThreadCount();
    Timing best;
    for (int run = 0; run < 3; ++run) {
        std::vector<QString> made(sizes.size());
        best.wall = std::min(best.wall, secondsOf([&] {
            NetfoxWorkers::forEachRange<int>(qsizetype(sizes.size()), 448, threads, [&](int &, qsizetype begin, qsizetype end) {
                for (qsizetype i = begin; i < end; ++i)
                    made[size_t(i)] = QString(sizes[size_t(i)], u'x');
            });
        }));
    }
    return best;
}

// One run of `wc -l` over the file, into `best`; its wall time.
double timeWc(const QString &path, Timing &best)
{
    const double cpuBefore = childrenCpuSeconds();
    const double wall = secondsOf([&] {
        QProcess wc;
        wc.setStandardOutputFile(QProcess::nullDevice());
        wc.start(QStringLiteral("wc"), { QStringLiteral("-l"), path });
        wc.waitForFinished(-1);
    });
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, childrenCpuSeconds() - cpuBefore);
    return wall;
}

QString unfinishedBlocks(int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral("-------START REQUEST -  https://api.example.com/v1/poll -------\n"
                               "[Request Method] GET\n[Request Date] 2026-12-06 08:36:44 +0000\n"
                               "[Request Headers]\n[AnyHashable(\"Accept\"): \"*/*\"]\n[Request Body]\n {}\n");
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 sizeMb = 100;
    quint64 seed = 42;
    QString keep;
    int rounds = 5;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--size"))
            sizeMb = args.at(i + 1).toLongLong();
        else if (args.at(i) == QLatin1String("--seed"))
            seed = args.at(i + 1).toULongLong();
        else if (args.at(i) == QLatin1String("--keep"))
            keep = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = std::max(1, args.at(i + 1).toInt());
    }

    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("session.log")) : keep;
    out() << "Writing a " << sizeMb << " MB session log (seed " << seed << ") to " << path << "\n" << Qt::flush;
    const qint64 bytes = writeLog(path, sizeMb * 1024 * 1024, seed);
    if (bytes < 0) {
        out() << "cannot write " << path << "\n";
        return 1;
    }

    Timing wc;
    timeWc(path, wc); // warms the page cache
    wc = Timing();
    const qint64 rssBefore = procStatusKb("VmRSS");
    const bool peakReset = resetPeakMemory();
    NetworkHitList hits;
    Timing parse;
    qint64 peakKb = -1;
    std::vector<double> ratios; // parse against wc -l, round by round
    for (int round = 0; round < rounds; ++round) {
        const double wcWall = timeWc(path, wc);
        hits.clear();
        const double cpuBefore = processCpuSeconds();
        const double parseWall = secondsOf([&] { hits = Netfox::parseNetworkLog(path); });
        parse.wall = std::min(parse.wall, parseWall);
        parse.cpu = std::min(parse.cpu, processCpuSeconds() - cpuBefore);
        if (round == 0)
            peakKb = procStatusKb("VmHWM"); // the first parse, on a fresh heap
        ratios.push_back(parseWall / wcWall);
    }
    std::vector<double> sortedRatios = ratios;
    std::sort(sortedRatios.begin(), sortedRatios.end());
    const double medianRatio = sortedRatios[sortedRatios.size() / 2];
    qsizetype timeouts = 0;
    for (const NetworkHit &hit : std::as_const(hits))
        timeouts += hit.resStatus == QLatin1String("TIMEOUT");
    const Timing floor = resultStringsTiming(hits);

    out() << QStringLiteral("file size          %1 bytes\n").arg(bytes);
    out() << QStringLiteral("exchanges          %1 (%2 without a response)\n").arg(hits.size()).arg(timeouts);
    out()
        << QStringLiteral("wc -l              %1 s wall, %2 s CPU (best of %3)\n")
               .arg(wc.wall, 0, 'f', 3)
               .arg(wc.cpu, 0, 'f', 3)
               .arg(rounds);
    out() << QStringLiteral("parseNetworkLog    %1 s wall, %2 s CPU (best of %3)\n")
                 .arg(parse.wall, 0, 'f', 3)
                 .arg(parse.cpu, 0, 'f', 3)
                 .arg(rounds);
    out() << QStringLiteral("ratio              %1x wc -l by wall time, %2x by CPU time (goal <= 10x)\n")
                 .arg(parse.wall / wc.wall, 0, 'f', 1)
                 .arg(wc.cpu > 0 ? parse.cpu / wc.cpu : 0.0, 0, 'f', 1);
    QStringList roundTexts;
    for (const double ratio : ratios)
        roundTexts.append(QString::number(ratio, 'f', 1));
    out() << QStringLiteral("by round           %1 (wall, each parse against the wc -l just before it; median %2x; "
                            "the first parse is on a fresh heap)\n")
                 .arg(roundTexts.join(u' '))
                 .arg(medianRatio, 0, 'f', 1);
    out() << QStringLiteral("result alone       %1 s wall (%2x wc -l): only allocating and filling strings of the "
                            "result's sizes on as many threads, the least any parser returning them pays\n")
                 .arg(floor.wall, 0, 'f', 3)
                 .arg(floor.wall / wc.wall, 0, 'f', 1);
    if (peakReset) {
        out() << QStringLiteral("peak memory        %1 MB VmHWM during the first parse (%2 MB resident before), "
                                "%3x the file size (goal <= 4x)\n")
                     .arg(peakKb / 1024)
                     .arg(rssBefore / 1024)
                     .arg(double(peakKb) * 1024 / double(bytes), 0, 'f', 2);
    } else {
        out() << QStringLiteral("peak memory        %1 MB VmHWM of the whole process (could not reset the peak)\n")
                     .arg(peakKb / 1024);
    }
    hits.clear();
    out() << Qt::flush;

    // Unfinished blocks: every start marker without an end marker after it.
    // As a file, the first of them keeps the whole rest of the log in the
    // reader's window, which then grows by doubling.
    const QString hardPath = dir.filePath(QStringLiteral("unfinished.log"));
    auto writeText = [&](const QString &text) {
        QFile file(hardPath);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
    };
    out() << "\nLogs of unfinished request blocks only (text; file):\n";
    for (const int count : { 50000, 100000, 200000 }) {
        const QString text = unfinishedBlocks(count);
        const double seconds = secondsOf([&] { Netfox::parseNetworkLogText(text); });
        const double fileSeconds = writeText(text) ? secondsOf([&] { Netfox::parseNetworkLog(hardPath); }) : -1;
        out() << QStringLiteral("  %1 blocks, %2 MB of text: %3 s; %4 MB file: %5 s\n")
                     .arg(count, 7)
                     .arg(text.size() * 2 / (1024.0 * 1024.0), 5, 'f', 1)
                     .arg(seconds, 0, 'f', 4)
                     .arg(text.size() / (1024.0 * 1024.0), 4, 'f', 1)
                     .arg(fileSeconds, 0, 'f', 4)
              << Qt::flush;
    }
    // The worst case for the file's windows: a request block that never
    // ends, so that the whole log stays in the window, while the responses
    // after it complete.
    out() << "One unfinished request block, then only responses (file):\n";
    for (const qint64 megabytes : { 25, 50, 100 }) {
        QString text = unfinishedBlocks(1);
        const QString response = QStringLiteral("-------START RESPONSE -  https://api.example.com/v1/poll -------\n"
                                                "[Response Status] 200\n[Response Headers]\n[AnyHashable(\"Server\"): \"x\"]\n"
                                                "[Response Body]\n {\"items\": [1, 2, 3], \"next\": null}\n-------END RESPONSE\n");
        while (text.size() < megabytes * 1024 * 1024)
            text += response;
        if (!writeText(text))
            continue;
        text.clear();
        const double seconds = secondsOf([&] { Netfox::parseNetworkLog(hardPath); });
        out() << QStringLiteral("  %1 MB: %2 s\n").arg(megabytes, 4).arg(seconds, 0, 'f', 4) << Qt::flush;
    }

    out() << "\nPattern-based reference against the scanner:\n";
    {
        NetfoxLogGenerator generator(seed, NetfoxLogGenerator::Style::Plain);
        QString text;
        while (text.size() < 1024 * 1024)
            text += generator.nextChunk();
        double scanner = 0;
        double reference = 0;
        scanner = secondsOf([&] { Netfox::parseNetworkLogText(text); });
        reference = secondsOf([&] { NetfoxReference::parseNetworkLogText(text); });
        out() << QStringLiteral("  complete blocks, %1 MB: scanner %2 s, reference %3 s (%4x)\n")
                     .arg(text.size() * 2 / (1024.0 * 1024.0), 0, 'f', 1)
                     .arg(scanner, 0, 'f', 4)
                     .arg(reference, 0, 'f', 4)
                     .arg(reference / scanner, 0, 'f', 0)
              << Qt::flush;
    }
    for (const int count : { 1000, 2000, 4000 }) {
        const QString text = unfinishedBlocks(count);
        const double scanner = secondsOf([&] { Netfox::parseNetworkLogText(text); });
        const double reference = secondsOf([&] { NetfoxReference::parseNetworkLogText(text); });
        out() << QStringLiteral("  %1 unfinished blocks: scanner %2 s, reference %3 s (%4x)\n")
                     .arg(count)
                     .arg(scanner, 0, 'f', 4)
                     .arg(reference, 0, 'f', 3)
                     .arg(reference / scanner, 0, 'f', 0)
              << Qt::flush;
    }
    return 0;
}
