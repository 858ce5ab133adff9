// Times the run's sandbox copy of a generated 20,000-file workspace against
// `cp -a` of the same tree, alternating the two over several rounds in one
// run (the tree is read once first so both start from a warm cache), and
// prints the median times and their ratio. Goal: within 1.3x of cp -a.
//
// Usage: bench_sandboxcopy [files] [rounds]

#include "process/toolpaths.h"
#include "runner/sandboxcopier.h"
#include "workspace/workspacefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// Folders of 50 files, three levels deep, sizes 200 B to 16 KiB: the shape
// of a flows repository with its screenshots and test data.
void makeWorkspace(const QString &root, int files)
{
    QRandomGenerator random(42);
    const QByteArray block(16 * 1024, 'y');
    for (int i = 0; i < files; ++i) {
        const int folder = i / 50;
        const QString dir
            = QStringLiteral("%1/area%2/feature%3/case%4").arg(root).arg(folder / 40).arg(folder / 8 % 5).arg(folder % 8);
        if (i % 50 == 0)
            QDir().mkpath(dir);
        QFile file(QStringLiteral("%1/file%2.yaml").arg(dir).arg(i));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.write(block.left(200 + int(random.bounded(16 * 1024 - 200))));
    }
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double timeSandboxCopy(const QString &source, const QString &destination)
{
    QElapsedTimer timer;
    timer.start();
    QDir().mkpath(destination);
    SandboxCopier copier(WorkspaceFiles::blacklist());
    copier.copyWorkspaceItem(source, destination);
    return timer.nsecsElapsed() / 1e9;
}

double timeCp(const QString &source, const QString &destination)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cp;
    cp.start(ToolPaths::fromEnvironment().cp, { QStringLiteral("-a"), source, destination });
    if (!cp.waitForFinished(-1) || cp.exitCode() != 0)
        qFatal("cp -a failed");
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args.at(1).toInt() : 20'000;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 5;

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("workspace"));
    makeWorkspace(source, files);
    timeCp(source, dir.filePath(QStringLiteral("warm-up"))); // read everything once

    QList<double> sandbox;
    QList<double> cp;
    for (int round = 0; round < rounds; ++round) {
        const QString a = dir.filePath(QStringLiteral("sandbox%1").arg(round));
        const QString b = dir.filePath(QStringLiteral("cp%1").arg(round));
        if (round % 2 == 0) {
            sandbox << timeSandboxCopy(source, a);
            cp << timeCp(source, b);
        } else {
            cp << timeCp(source, b);
            sandbox << timeSandboxCopy(source, a);
        }
        QDir(a).removeRecursively();
        QDir(b).removeRecursively();
    }
    const double s = median(sandbox);
    const double c = median(cp);
    std::printf("sandbox copy of %d files, median of %d rounds: sandbox %.3f s, cp -a %.3f s, ratio %.2fx (goal <= 1.30x)\n",
        files, rounds, s, c, s / c);
    return 0;
}
