#include "runnerrole.h"

#include "allurewriter.h"
#include "consoleprinter.h"
#include "flowexecutor.h"
#include "flowreader.h"
#include "helperprocess.h"
#include "hierarchyprinter.h"
#include "labstate.h"
#include "netfoxwriter.h"
#include "reportwriter.h"
#include "runnerarguments.h"
#include "simclock.h"
#include "simoutput.h"
#include "usbcable.h"
#include "simscreen.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <map>
#include <memory>

namespace {

constexpr qint64 kCacheCheckMs = 850;
constexpr qint64 kDriverStartMs = 2400;
constexpr qint64 kSetupMs = kCacheCheckMs + kDriverStartMs;

int error(const QString &message)
{
    SimOutput::err(QStringLiteral("Error: ") + message + u'\n');
    return 1;
}

// The device library's structured lines, as they appear on stderr with real devices.
QString structured(qint64 ns, const QString &level, const QString &message, const QString &extra = QString())
{
    QString time = SimClock::formatRfc3339(ns - ns % 1000000000);
    return QStringLiteral("time=\"%1\" level=%2 msg=\"%3\"").arg(time, level, message)
        + (extra.isEmpty() ? QString() : u' ' + extra) + u'\n';
}

const SimDevice *pickDevice(LabState &lab, const QString &udid, QString *message)
{
    if (udid.isEmpty()) {
        for (const SimDevice &d : lab.devices()) {
            if (d.kind == SimDevice::Kind::Device)
                return &d;
        }
        *message = QStringLiteral("no device connected");
        return nullptr;
    }
    const SimDevice *d = lab.device(udid);
    if (!d || d->kind == SimDevice::Kind::Host) {
        *message = QStringLiteral("device %1 not found").arg(udid);
        return nullptr;
    }
    if (d->kind == SimDevice::Kind::Offline) {
        *message = QStringLiteral("device %1 (%2) is offline").arg(udid, d->name);
        return nullptr;
    }
    return d;
}

// Flow paths as given, folders expanded to the flow files directly inside them.
bool collectFlows(const QStringList &paths, QList<FlowFile> *flows, QString *message)
{
    for (const QString &path : paths) {
        QFileInfo info(path);
        QStringList files;
        if (info.isDir()) {
            const QDir dir(path);
            for (const QString &name :
                dir.entryList({ QStringLiteral("*.yaml"), QStringLiteral("*.yml") }, QDir::Files, QDir::Name))
                files << dir.filePath(name);
        } else {
            files << path;
        }
        for (const QString &file : files) {
            FlowFile flow;
            if (!FlowReader::read(file, &flow, message))
                return false;
            // In a folder only files with a flow header count (env files and config have none).
            if (info.isDir() && flow.appId.isEmpty())
                continue;
            flows->append(flow);
        }
    }
    if (flows->isEmpty()) {
        *message = QStringLiteral("no flows found in %1").arg(paths.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

QString newReportDir(const QString &output, qint64 startNs)
{
    const QString stamp = SimClock::toDateTime(startNs).toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString dir = QDir(output).absoluteFilePath(stamp);
    // Two runs started in the same second into the same folder must not mix their files.
    for (int n = 2; QFileInfo::exists(dir); ++n)
        dir = QDir(output).absoluteFilePath(stamp + u'-' + QString::number(n));
    return dir;
}

void writeLog(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(lines.join(u'\n').toUtf8() + '\n');
        file.commit();
    }
}

int hierarchy(const RunnerArguments &args, LabState &lab)
{
    QString message;
    const SimDevice *device = pickDevice(lab, args.device, &message);
    if (!device)
        return error(message);
    SimClock clock(SimClock::speedFromEnvironment());
    // Setup goes to stderr; stdout carries the tree only.
    SimOutput::err(SimOutput::headerLine());
    SimOutput::err(QStringLiteral("\n  maestro-runner 1.1.25 - by DeviceLab.dev\n\nStarting WebDriverAgent...\n"));
    if (!clock.advance(2300))
        return 143;
    SimOutput::err(QStringLiteral("  \u2713 WebDriverAgent ready (port 8100)\n"));
    SimScreen screen(*device);
    SimOutput::out(HierarchyPrinter::compact(screen.tree()));
    return 0;
}

} // namespace

int RunnerRole::run(const QStringList &arguments, LabState &lab)
{
    RunnerArguments args;
    QString message;
    if (!RunnerArguments::parse(arguments, &args, &message))
        return error(message);
    if (args.platform != QLatin1String("ios"))
        return error(QStringLiteral("the simulated lab has iOS devices only"));
    if (args.hierarchy)
        return hierarchy(args, lab);

    QList<FlowFile> flows;
    if (!collectFlows(args.flowPaths, &flows, &message))
        return error(message);
    SimDevice *device = const_cast<SimDevice *>(pickDevice(lab, args.device, &message));
    if (!device)
        return error(message);

    SimClock::installStopHandler();
    SimClock clock(SimClock::speedFromEnvironment());
    const ConsolePrinter console;
    QStringList log;
    const auto note = [&](const QString &level, const QString &text) {
        log << SimClock::formatRfc3339(clock.nowNs()) + QStringLiteral(" [") + level + QStringLiteral("] ") + text;
    };

    HelperProcess helper;
    helper.start(QCoreApplication::applicationFilePath(), 120);

    QHash<QString, QString> variables;
    for (const char *name : { "APP_ENV", "MAESTRO_APPLE_TEAM_ID" }) {
        if (qEnvironmentVariableIsSet(name))
            variables.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    for (const auto &[key, value] : args.env)
        variables.insert(key, value);

    RunInfo info;
    info.deviceId = device->udid;
    info.deviceName = device->name;
    info.osVersion = device->osVersion;
    info.model = device->model;
    info.isSimulator = device->isSimulator();
    info.startNs = clock.nowNs();
    QString appId = flows.first().appId;
    for (auto it = variables.begin(); it != variables.end(); ++it)
        appId.replace(QStringLiteral("${") + it.key() + u'}', it.value());
    info.appId = appId;
    if (const SimAppInfo *app = device->app(appId)) {
        info.appName = app->name;
        info.appVersion = app->version;
        info.appBuild = app->build;
    }

    SimOutput::out(SimOutput::headerLine());
    console.banner(info.runnerVersion);
    console.title(QStringLiteral("Setup"));
    note(QStringLiteral("INFO"), QStringLiteral("maestro-runner %1, %2 flow(s)").arg(info.runnerVersion).arg(flows.size()));
    console.setup(QStringLiteral("\u2713"), QStringLiteral("Platform: ios"));
    console.setup(QStringLiteral("\u2713"),
        QStringLiteral("Device: %1 (iOS %2%3)")
            .arg(device->name, device->osVersion, device->isSimulator() ? QStringLiteral(", simulator") : QString()));
    console.setup(QStringLiteral("\u23f3"), QStringLiteral("Checking WebDriverAgent build..."));
    bool alive = clock.advance(kCacheCheckMs);
    console.setup(QStringLiteral("\u2713"),
        QStringLiteral("WebDriverAgent build found in cache (device-ios%1-%2)").arg(device->osVersion, device->model));
    if (!args.teamId.isEmpty() && !device->isSimulator())
        console.setup(QStringLiteral("\u26a0"),
            QStringLiteral("Team ID %1: using the cached signed build, not re-signing").arg(args.teamId));
    console.plain(QStringLiteral("Starting WebDriverAgent..."));
    if (!device->isSimulator())
        SimOutput::err(structured(clock.nowNs(), QStringLiteral("info"), QStringLiteral("forwarding port 8100 to device"),
            QStringLiteral("udid=%1").arg(device->udid)));
    alive = alive && clock.advance(kDriverStartMs);
    console.setup(QStringLiteral("\u2713"), QStringLiteral("WebDriverAgent ready (port 8100)"));
    note(QStringLiteral("INFO"), QStringLiteral("WebDriverAgent started on %1").arg(device->udid));

    const QString reportDir = newReportDir(args.output, info.startNs);
    ReportWriter report(reportDir, info);
    if (!report.prepare(&message))
        return error(message);

    QList<FlowRecord> records;
    for (int i = 0; i < flows.size(); ++i) {
        FlowRecord pending;
        pending.index = i;
        pending.id = QStringLiteral("flow-%1").arg(i, 3, 10, QLatin1Char('0'));
        pending.name = flows[i].name;
        pending.sourceFile = flows[i].path;
        pending.tags = flows[i].tags;
        records << pending;
        report.writeFlow(pending);
    }
    report.writeIndex(records, clock.nowNs());

    std::map<QString, std::unique_ptr<NetfoxWriter>> writers;
    SimScreen screen(*device);
    FlowExecutor::Options options;
    options.variables = variables;
    options.artifactsOnFailure = args.artifacts != QLatin1String("never");
    options.reportDir = reportDir;
    FlowExecutor executor(clock, screen, console, options);
    executor.setNetworkLogger([&](const QString &bundleId) -> NetfoxWriter * {
        const SimAppInfo *app = device->app(bundleId);
        if (!app || !app->writesNetfoxLog)
            return nullptr;
        auto &writer = writers[bundleId];
        if (!writer)
            writer = std::make_unique<NetfoxWriter>(
                lab.containerPath(*device, bundleId) + u'/' + QLatin1String(LabState::kNetfoxLog), bundleId, lab.runCount() + 1);
        return writer.get();
    });
    // A phone on the lab's USB cable shows each new screen to the mirror.
    UsbCable usb(lab.home());
    QString usbError;
    if (!device->isSimulator() && usb.load(&usbError) && usb.isAttached(device->udid))
        executor.setScreenCallback([&usb, device](const SimScreen &shown) { usb.showScreen(device->udid, shown.tree()); });

    console.title(QStringLiteral("Execution"));
    for (int i = 0; i < flows.size() && alive; ++i) {
        records[i].status = QStringLiteral("running");
        report.writeIndex(records, clock.nowNs());
        console.flowStarted(i + 1, int(flows.size()), flows[i].name, QFileInfo(flows[i].path).fileName());
        note(QStringLiteral("INFO"), QStringLiteral("flow %1 started: %2").arg(records[i].id, flows[i].path));
        executor.setProgressCallback([&, i](const FlowRecord &partial) {
            FlowRecord snapshot = partial;
            snapshot.status = QStringLiteral("running");
            records[i] = snapshot;
            report.writeIndex(records, clock.nowNs());
        });
        records[i] = executor.run(flows[i], i);
        report.writeFlow(records[i]);
        report.writeIndex(records, clock.nowNs());
        console.flowFinished(records[i]);
        note(records[i].status == QLatin1String("passed") ? QStringLiteral("INFO") : QStringLiteral("ERROR"),
            QStringLiteral("flow %1 %2 in %3ms%4")
                .arg(records[i].id, records[i].status)
                .arg(records[i].durationMs)
                .arg(records[i].error.isEmpty() ? QString() : QStringLiteral(": ") + records[i].error));
        alive = !executor.interrupted();
    }
    bool passed = alive;
    for (FlowRecord &r : records) {
        if (r.status == QLatin1String("pending")) {
            r.status = QStringLiteral("skipped");
            report.writeFlow(r);
        }
        passed = passed && r.status == QLatin1String("passed");
    }

    if (!device->isSimulator() && alive) {
        clock.advance(120);
        SimOutput::err(structured(clock.nowNs(), QStringLiteral("error"),
            QStringLiteral("Error accepting new connection accept tcp [::]:8138: use of closed network connection")));
        SimOutput::err(structured(clock.nowNs(), QStringLiteral("info"), QStringLiteral("closed listener successfully"),
            QStringLiteral("phonePort=8138")));
    }
    info.endNs = clock.nowNs();
    report.info().endNs = info.endNs;
    report.info().status = passed ? QStringLiteral("passed") : QStringLiteral("failed");
    info.status = report.info().status;
    report.writeIndex(records, info.endNs);
    report.writeHtml(records, info.endNs);
    AllureWriter::writeAllure(reportDir, records, info);
    AllureWriter::writeJunit(reportDir, records, info);
    note(QStringLiteral("INFO"), QStringLiteral("run %1, report written to %2").arg(info.status, reportDir));
    writeLog(reportDir + QStringLiteral("/maestro-runner.log"), log);

    device->foregroundApp = screen.foregroundApp();
    device->screen = screen.screen();
    lab.setRunCount(lab.runCount() + 1);
    QString saveError;
    lab.save(&saveError);

    if (!alive) {
        // Stopped: the helper is left to the group stop that the caller owes it.
        SimOutput::out(QStringLiteral("\nExecution interrupted\n"));
        SimClock::dieBySignal();
    }
    // The total is the setup plus the flows, not the wall clock, so that it
    // reads the same for the same run.
    qint64 totalMs = kSetupMs;
    for (const FlowRecord &r : records)
        totalMs += std::max<qint64>(0, r.durationMs);
    console.summary(records, totalMs, device->name);
    SimOutput::out(QStringLiteral("\nReport: %1/report.html\n").arg(reportDir));
    helper.stop();
    return passed ? 0 : 1;
}
