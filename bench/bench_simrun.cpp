// Times a fast-mode run of the demo workspace's three flows on the simulated
// lab, end to end (process start, run, report folder), and prints the figures.
// Usage: bench_simrun [runs] [speed]   (defaults: 5 runs, "fast")

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int runs = std::max(1, args.value(1, QStringLiteral("5")).toInt());
    const QString speed = args.value(2, QStringLiteral("fast"));
    const QString sim = QStringLiteral(KESTRUNE_BINARY_DIR "/tools/sim/kestrune-sim");
    const QString workspace = QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace");
    QTextStream out(stdout);

    QList<qint64> times;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUNE_SIM_HOME"), dir.filePath(QStringLiteral("lab")));
        env.insert(QStringLiteral("KESTRUNE_SIM_SPEED"), speed);
        QProcess process;
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(sim,
            { QStringLiteral("--platform"), QStringLiteral("ios"), QStringLiteral("--team-id"), QStringLiteral("K7QX2M9R4T"),
                QStringLiteral("--device"), QStringLiteral("00008130-001E39811A12001C"), QStringLiteral("-e"),
                QStringLiteral("BUNDLE_ID=com.lumenfold.pasar"), QStringLiteral("--artifacts"), QStringLiteral("on-failure"),
                QStringLiteral("--output"), dir.filePath(QStringLiteral("out")), workspace + QStringLiteral("/login.yaml"),
                workspace + QStringLiteral("/checkout/cart_and_checkout.yaml"),
                workspace + QStringLiteral("/checkout/payment.yaml") });
        if (!process.waitForFinished(600000)) {
            out << "run " << i << " did not finish\n";
            return 1;
        }
        times << timer.elapsed();
        out << "run " << i + 1 << ": " << times.last() << " ms (exit " << process.exitCode() << ")\n";
    }
    std::sort(times.begin(), times.end());
    out << "three-flow run, speed " << speed << ": min " << times.first() << " ms, median " << times.at(times.size() / 2)
        << " ms, max " << times.last() << " ms over " << runs << " runs\n";
    return 0;
}
