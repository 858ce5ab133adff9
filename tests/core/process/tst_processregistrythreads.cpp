// The process registry used from several threads at once, as it is when the
// main thread launches and reaps children while a worker empties the registry
// at quit. Built under ThreadSanitizer by scripts/test.sh (label "threads").
// The pids are made up: nothing here signals a process.

#include "process/processregistry.h"

#include <QSet>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class TestProcessRegistryThreads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void everyProcessTakenExactlyOnce_data();
    void everyProcessTakenExactlyOnce();
};

void TestProcessRegistryThreads::init()
{
    // Whatever another case left (launches still without a pid included).
    ProcessRegistry::takeAll();
    const QList<qint64> left = ProcessRegistry::processIds();
    QVERIFY(left.isEmpty());
}

void TestProcessRegistryThreads::everyProcessTakenExactlyOnce_data()
{
    QTest::addColumn<int>("launchers");
    QTest::addColumn<bool>("reapSome");
    QTest::newRow("one launcher, a taker") << 1 << false;
    QTest::newRow("four launchers, a taker") << 4 << false;
    QTest::newRow("four launchers reaping half, a taker") << 4 << true;
}

// Launcher threads add entries, give them a pid a moment later and (when
// reaping) remove every second one, while a taker empties the registry over
// and over. No pid may be handed out twice, none may be lost: each pid that
// was not reaped is taken by the taker or by the final takeAll.
void TestProcessRegistryThreads::everyProcessTakenExactlyOnce()
{
    QFETCH(int, launchers);
    QFETCH(bool, reapSome);
    constexpr int kPerLauncher = 2000;

    std::atomic<bool> launching { true };
    std::mutex takenMutex;
    QList<qint64> taken;
    std::vector<QSet<qint64>> reaped;
    reaped.resize(size_t(launchers));

    std::thread taker([&] {
        while (launching.load()) {
            const QList<qint64> pids = ProcessRegistry::takeAll();
            std::lock_guard lock(takenMutex);
            taken += pids;
        }
    });
    std::vector<std::thread> threads;
    for (int l = 0; l < launchers; ++l) {
        threads.emplace_back([&, l] {
            for (int i = 0; i < kPerLauncher; ++i) {
                const qint64 pid = 100000 + qint64(l) * kPerLauncher + i;
                const quint64 token = ProcessRegistry::add();
                ProcessRegistry::setProcessId(token, pid);
                if (reapSome && i % 2 == 0) {
                    // Reaped: gone unless the taker was quicker.
                    ProcessRegistry::remove(token);
                    reaped[size_t(l)].insert(pid);
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    launching = false;
    taker.join();
    taken += ProcessRegistry::takeAll();

    QCOMPARE(ProcessRegistry::count(), 0);
    QSet<qint64> seen;
    for (const qint64 pid : std::as_const(taken)) {
        QVERIFY2(!seen.contains(pid), qPrintable(QStringLiteral("pid %1 handed out twice").arg(pid)));
        seen.insert(pid);
    }
    for (int l = 0; l < launchers; ++l) {
        for (int i = 0; i < kPerLauncher; ++i) {
            const qint64 pid = 100000 + qint64(l) * kPerLauncher + i;
            if (!reaped[size_t(l)].contains(pid))
                QVERIFY2(seen.contains(pid), qPrintable(QStringLiteral("pid %1 lost").arg(pid)));
        }
    }
}

QTEST_GUILESS_MAIN(TestProcessRegistryThreads)
#include "tst_processregistrythreads.moc"
