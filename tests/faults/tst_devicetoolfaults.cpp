// The one-shot device tools (xcrun xctrace, devicectl) hanging: a tool that
// does not finish within the time-out is given up on, counts as having
// printed nothing (no device, no app listed), and leaves no process behind,
// not even the children it started (xcrun runs the real tool as its child).
// The same holds for the network log pulls of a run (devicectl copy from a
// device that went away).

#include "devices/oneshotprocess.h"
#include "runner/runnerviewmodel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool isAlive(qint64 pid)
{
    // A zombie has exited; only a process that still runs counts.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && text.mid(close + 2, 1) != "Z";
}

QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class TestDeviceToolFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hangingToolIsGivenUp_data();
    void hangingToolIsGivenUp();
};

void TestDeviceToolFaults::hangingToolIsGivenUp_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("networkPull");
    // The tool prints its pid, or its child's, so the test can look for it.
    const QByteArray itself("echo $$ > \"$1\"\nexec sleep 600\n");
    const QByteArray child("sleep 600 &\necho $! > \"$1\"\necho partial\nwait\n");
    const QByteArray ignoresTerm("trap '' TERM\necho $$ > \"$1\"\nwhile :; do sleep 1; done\n");
    QTest::newRow("the tool itself hangs") << itself << false;
    QTest::newRow("the tool's child hangs, holding the output open") << child << false;
    QTest::newRow("the tool ignores SIGTERM") << ignoresTerm << false;
    QTest::newRow("network pull: the tool itself hangs") << itself << true;
    QTest::newRow("network pull: the tool's child hangs, holding the output open") << child << true;
    QTest::newRow("network pull: the tool ignores SIGTERM") << ignoresTerm << true;
}

void TestDeviceToolFaults::hangingToolIsGivenUp()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, networkPull);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tool = writeScript(dir, QStringLiteral("tool"), body);
    const QString pidFile = dir.filePath(QStringLiteral("pid"));

    if (networkPull) {
        const RunnerViewModel::ToolResult result
            = RunnerViewModel::runToolWithin({ tool, { pidFile } }, std::chrono::milliseconds(500));
        QVERIFY(result.started);
        QCOMPARE(result.exitCode, -1);
    } else {
        const std::optional<QByteArray> output = OneShotProcess::run(tool, { pidFile }, OneShotProcess::toolEnvironment(), 500);
        QVERIFY2(!output.has_value(), output ? output->constData() : "");
    }

    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const qint64 pid = file.readAll().trimmed().toLongLong();
    QVERIFY(pid > 1);
    QTRY_VERIFY2_WITH_TIMEOUT(!isAlive(pid), qPrintable(QStringLiteral("process %1 survived the time-out").arg(pid)), 10'000);
}

QTEST_GUILESS_MAIN(TestDeviceToolFaults)
#include "tst_devicetoolfaults.moc"
