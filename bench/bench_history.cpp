// Scans a history of 5,000 run folders (each with a report folder, a
// report.json, a detail file and a page) and prints the time.
//
// Run: ./build/bench/bench_history
#include "reports/reporthistorystore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    constexpr int kRuns = 5000;
    QTemporaryDir dir;
    const QDateTime base(QDate(2026, 1, 1), QTime(8, 0));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRuns; ++i) {
        const QString run
            = dir.filePath(QStringLiteral("SIT_") + base.addSecs(i * 97).toString(QStringLiteral("yyyyMMdd_HHmmss")));
        const QString report = run + QStringLiteral("/2026-01-01_08-00-00");
        QDir().mkpath(run + QStringLiteral("/sandbox"));
        QDir().mkpath(report + QStringLiteral("/flows"));
        write(report + QStringLiteral("/report.json"),
            R"({"status":"passed","startTime":"2026-01-01T08:00:00.5+01:00","endTime":"2026-01-01T08:01:10+01:00",)"
            R"("device":{"name":"iPhone"},"flows":[{"name":"Login","dataFile":"flows/flow-000.json","commands":{"total":20,"passed":20}}]})");
        QByteArray details = "{\"commands\":[";
        for (int c = 0; c < 20; ++c)
            details += QByteArray(c ? "," : "") + "{\"status\":\"passed\",\"subCommands\":[{\"status\":\"passed\"}]}";
        write(report + QStringLiteral("/flows/flow-000.json"), details + "]}");
        write(report + QStringLiteral("/report.html"), "<html></html>");
    }
    out << "prepared " << kRuns << " run folders in " << timer.elapsed() << " ms\n";
    out.flush();

    qint64 best = -1;
    qsizetype rows = 0;
    for (int round = 0; round < 3; ++round) {
        timer.restart();
        rows = ReportHistoryStore::scanReportFolders(dir.path()).size();
        const qint64 elapsed = timer.elapsed();
        best = best < 0 ? elapsed : std::min(best, elapsed);
    }
    out << "history scan of " << rows << " run folders: " << best << " ms (best of 3)\n";
    return 0;
}
