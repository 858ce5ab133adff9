// Pictures from the simulated lab's capture into the mirror panel, offscreen,
// inside a running event loop: a writer thread stands in for the lab and
// replaces the phone's screen picture 30 times a second (atomically, as the
// lab does); the panel's session picks each one up, decodes it on a worker
// and paints it in the phone frame. A 1 ms timer measures how long the event
// loop was blocked at most. Prints the pictures written and shown, the
// longest block (goal: under 50 ms) and the application's CPU time per
// picture shown (the process's CPU time less the writer's).
//
// Usage: QT_QPA_PLATFORM=offscreen bench_mirror [--seconds N] [--fps N]

#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "mirror/devicemirrorview.h"
#include "mirror/devicemirrorviewmodel.h"
#include "mirror/labcapturebackend.h"
#include "mirror/phoneframeview.h"
#include "runner/runnerviewmodel.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

const QString kUdid = QStringLiteral("00008130-001E39811A12001C");

double cpuSeconds(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// Pictures the size of the lab's (half the phone's points), each different,
// stored uncompressed as the lab writes them.
QList<QByteArray> pictures(int count)
{
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i) {
        QImage image(196, 426, QImage::Format_RGB888);
        image.fill(QColor::fromHsv((i * 37) % 360, 60, 250));
        QPainter p(&image);
        p.fillRect(0, (i * 7) % 400, 196, 24, QColor(0x1e, 0x88, 0xe5));
        p.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG", 0);
        out.append(png);
    }
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    auto option = [&](const char *name, int fallback) {
        const qsizetype at = args.indexOf(QString::fromLatin1(name));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
    };
    const int seconds = option("--seconds", 60);
    const int fps = option("--fps", 30);

    QTemporaryDir lab;
    write(lab.filePath(QStringLiteral("lab.json")),
        "{\"devices\":[{\"udid\":\"" + kUdid.toUtf8() + "\",\"name\":\"Bench iPhone\",\"kind\":\"device\"}]}");
    write(lab.filePath(QStringLiteral("usb.json")), "{\"attached\":[\"" + kUdid.toUtf8() + "\"]}");
    const QString picturePath = lab.filePath(QStringLiteral("usb/") + kUdid + QStringLiteral(".png"));
    const QList<QByteArray> frames = pictures(64);
    write(picturePath, frames.first());

    qputenv("KESTRUNE_SETTINGS_FILE", lab.filePath(QStringLiteral("settings.ini")).toUtf8());
    auto detector = std::make_shared<FakeDeviceDetector>();
    detector->setDevices({ { kUdid, QStringLiteral("Bench iPhone"), false } });
    FakeCommandExecutor executor;
    RunnerViewModel vm(detector, &executor, std::make_shared<FakeReportManager>());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    vm.setSelectedDeviceId(kUdid);
    LabCaptureBackend backend(lab.path());
    DeviceMirrorView panel(&vm, &backend);
    panel.resize(300, 760);
    panel.show();

    QElapsedTimer connecting;
    connecting.start();
    while (!panel.viewModel()->isConnected() && connecting.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!panel.viewModel()->isConnected()) {
        std::fprintf(stderr, "bench_mirror: the lab's phone did not connect\n");
        return 1;
    }
    QCoreApplication::processEvents();
    const int shownBefore = panel.phoneFrame()->framesShown();

    std::atomic<bool> done { false };
    std::atomic<int> written { 0 };
    double writerCpu = 0;
    const double processCpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread writer([&] {
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto period = std::chrono::nanoseconds(1'000'000'000 / fps);
        auto next = std::chrono::steady_clock::now();
        const auto end = next + std::chrono::seconds(seconds);
        for (int i = 1; next < end; ++i) {
            write(picturePath, frames.at(i % frames.size()));
            ++written;
            next += period;
            std::this_thread::sleep_until(next);
        }
        writerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        done = true;
    });

    qint64 longestBlockMs = 0;
    int blocksOver16 = 0, blocksOver50 = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 block = sinceTick.restart();
        longestBlockMs = qMax(longestBlockMs, block);
        blocksOver16 += block > 16;
        blocksOver50 += block > 50;
        if (done) {
            probe.stop();
            // The last picture's decode and paint.
            QTimer::singleShot(200, &app, &QCoreApplication::quit);
        }
    });
    probe.start();
    app.exec();
    writer.join();
    const double appCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart - writerCpu;
    const int shown = panel.phoneFrame()->framesShown() - shownBefore;

    std::printf("pictures written:        %d in %d s (%d per second)\n", written.load(), seconds, fps);
    std::printf("pictures shown:          %d (%.1f%%)\n", shown, 100.0 * shown / qMax(1, written.load()));
    std::printf("longest event-loop block: %lld ms (goal: under 50 ms); blocks over 16 ms: %d, over 50 ms: %d\n",
        longestBlockMs, blocksOver16, blocksOver50);
    std::printf("CPU per picture shown:   %.2f ms (application %.2f s, the lab's writer %.2f s)\n",
        1000.0 * appCpu / qMax(1, shown), appCpu, writerCpu);
    return 0;
}
