#include "reportwriter.h"

#include "reportpage.h"
#include "simclock.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

GoJson time(qint64 ns)
{
    return GoJson::string(SimClock::formatRfc3339(ns));
}

GoJson counts(const FlowRecord &flow)
{
    GoJson c = GoJson::object();
    const int total = int(flow.commands.size());
    const int passed = flow.count(QStringLiteral("passed"));
    const int failed = flow.count(QStringLiteral("failed"));
    const int skipped = flow.count(QStringLiteral("skipped"));
    const int running = flow.count(QStringLiteral("running"));
    c.add(QStringLiteral("total"), total)
        .add(QStringLiteral("passed"), passed)
        .add(QStringLiteral("failed"), failed)
        .add(QStringLiteral("skipped"), skipped)
        .add(QStringLiteral("running"), running)
        .add(QStringLiteral("pending"), total - passed - failed - skipped - running);
    return c;
}

bool writeAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace

ReportWriter::ReportWriter(const QString &dir, const RunInfo &info)
    : m_dir(dir)
    , m_info(info)
{ }

bool ReportWriter::prepare(QString *error)
{
    QDir dir(m_dir);
    if (!dir.mkpath(QStringLiteral("flows")) || !dir.mkpath(QStringLiteral("assets"))) {
        *error = QStringLiteral("cannot create report directory %1").arg(m_dir);
        return false;
    }
    return true;
}

GoJson ReportWriter::deviceJson() const
{
    GoJson d = GoJson::object();
    d.add(QStringLiteral("id"), m_info.deviceId)
        .add(QStringLiteral("name"), m_info.deviceName)
        .add(QStringLiteral("platform"), "ios")
        .add(QStringLiteral("osVersion"), m_info.osVersion);
    if (!m_info.model.isEmpty())
        d.add(QStringLiteral("model"), m_info.model);
    d.add(QStringLiteral("isSimulator"), m_info.isSimulator);
    return d;
}

GoJson ReportWriter::indexJson(const QList<FlowRecord> &flows, qint64 nowNs) const
{
    GoJson root = GoJson::object();
    root.add(QStringLiteral("version"), "1.0.0")
        .add(QStringLiteral("updateSeq"), qint64(m_updateSeq))
        .add(QStringLiteral("status"), m_info.status)
        .add(QStringLiteral("startTime"), time(m_info.startNs));
    if (m_info.endNs)
        root.add(QStringLiteral("endTime"), time(m_info.endNs));
    root.add(QStringLiteral("lastUpdated"), time(nowNs));
    root.add(QStringLiteral("device"), deviceJson());
    GoJson app = GoJson::object();
    app.add(QStringLiteral("id"), m_info.appId);
    if (!m_info.appName.isEmpty())
        app.add(QStringLiteral("name"), m_info.appName);
    if (!m_info.appVersion.isEmpty())
        app.add(QStringLiteral("version"), m_info.appVersion);
    if (!m_info.appBuild.isEmpty())
        app.add(QStringLiteral("build"), m_info.appBuild);
    root.add(QStringLiteral("app"), app);
    GoJson runner = GoJson::object();
    runner.add(QStringLiteral("version"), m_info.runnerVersion).add(QStringLiteral("driver"), "wda");
    root.add(QStringLiteral("maestroRunner"), runner);

    int passed = 0, failed = 0, skipped = 0, running = 0;
    GoJson list = GoJson::array();
    for (const FlowRecord &f : flows) {
        passed += f.status == QLatin1String("passed");
        failed += f.status == QLatin1String("failed");
        skipped += f.status == QLatin1String("skipped");
        running += f.status == QLatin1String("running");
        GoJson e = GoJson::object();
        e.add(QStringLiteral("index"), f.index)
            .add(QStringLiteral("id"), f.id)
            .add(QStringLiteral("name"), f.name)
            .add(QStringLiteral("sourceFile"), f.sourceFile);
        if (!f.tags.isEmpty()) {
            GoJson tags = GoJson::array();
            for (const QString &t : f.tags)
                tags.append(GoJson::string(t));
            e.add(QStringLiteral("tags"), tags);
        }
        e.add(QStringLiteral("dataFile"), f.dataFile())
            .add(QStringLiteral("assetsDir"), f.assetsDir())
            .add(QStringLiteral("status"), f.status)
            .add(QStringLiteral("updateSeq"), qint64(m_updateSeq));
        // Entries carry an end time and a duration once the flow is over, but
        // no start time (the detail file has it).
        if (f.endNs)
            e.add(QStringLiteral("endTime"), time(f.endNs));
        if (f.durationMs >= 0)
            e.add(QStringLiteral("duration"), f.durationMs);
        e.add(QStringLiteral("commands"), counts(f))
            .add(QStringLiteral("attempts"), f.status == QLatin1String("pending") ? 0 : 1);
        if (!f.error.isEmpty())
            e.add(QStringLiteral("error"), f.error);
        list.append(e);
    }
    GoJson summary = GoJson::object();
    summary.add(QStringLiteral("total"), int(flows.size()))
        .add(QStringLiteral("passed"), passed)
        .add(QStringLiteral("failed"), failed)
        .add(QStringLiteral("skipped"), skipped)
        .add(QStringLiteral("running"), running)
        .add(QStringLiteral("pending"), int(flows.size()) - passed - failed - skipped - running);
    root.add(QStringLiteral("summary"), summary);
    root.add(QStringLiteral("flows"), list);
    return root;
}

GoJson ReportWriter::commandJson(const CommandRecord &c)
{
    GoJson j = GoJson::object();
    j.add(QStringLiteral("id"), c.id).add(QStringLiteral("index"), c.index).add(QStringLiteral("type"), c.type);
    if (!c.label.isEmpty())
        j.add(QStringLiteral("label"), c.label);
    if (!c.yaml.isEmpty())
        j.add(QStringLiteral("yaml"), c.yaml);
    j.add(QStringLiteral("status"), c.status);
    if (c.startNs) {
        j.add(QStringLiteral("startTime"), time(c.startNs)).add(QStringLiteral("endTime"), time(c.endNs));
        j.add(QStringLiteral("duration"), c.durationMs);
    }
    if (!c.selectorType.isEmpty() || !c.paramText.isEmpty()) {
        GoJson params = GoJson::object();
        if (!c.selectorType.isEmpty()) {
            GoJson selector = GoJson::object();
            selector.add(QStringLiteral("type"), c.selectorType).add(QStringLiteral("value"), c.selectorValue);
            params.add(QStringLiteral("selector"), selector);
        }
        if (!c.paramText.isEmpty())
            params.add(QStringLiteral("text"), c.paramText);
        j.add(QStringLiteral("params"), params);
    }
    if (c.hasElement) {
        GoJson element = GoJson::object();
        element.add(QStringLiteral("found"), c.elementFound);
        if (c.elementFound) {
            if (!c.element.id.isEmpty())
                element.add(QStringLiteral("id"), c.element.id);
            if (!c.element.text.isEmpty())
                element.add(QStringLiteral("text"), c.element.text);
            element.add(QStringLiteral("class"), QStringLiteral("XCUIElementType") + c.element.type);
            GoJson bounds = GoJson::object();
            bounds.add(QStringLiteral("x"), c.element.x)
                .add(QStringLiteral("y"), c.element.y)
                .add(QStringLiteral("width"), c.element.width)
                .add(QStringLiteral("height"), c.element.height);
            element.add(QStringLiteral("bounds"), bounds);
        }
        j.add(QStringLiteral("element"), element);
    }
    if (!c.errorMessage.isEmpty()) {
        GoJson error = GoJson::object();
        error.add(QStringLiteral("type"), c.errorType).add(QStringLiteral("message"), c.errorMessage);
        if (!c.errorDetails.isEmpty())
            error.add(QStringLiteral("details"), c.errorDetails);
        if (!c.errorSuggestion.isEmpty())
            error.add(QStringLiteral("suggestion"), c.errorSuggestion);
        j.add(QStringLiteral("error"), error);
    }
    GoJson artifacts = GoJson::object();
    for (const auto &[key, value] : c.artifacts)
        artifacts.add(key, value);
    j.add(QStringLiteral("artifacts"), artifacts);
    if (!c.subCommands.isEmpty()) {
        GoJson subs = GoJson::array();
        for (const CommandRecord &s : c.subCommands)
            subs.append(commandJson(s));
        j.add(QStringLiteral("subCommands"), subs);
    }
    return j;
}

GoJson ReportWriter::flowJson(const FlowRecord &f) const
{
    GoJson j = GoJson::object();
    j.add(QStringLiteral("id"), f.id).add(QStringLiteral("name"), f.name).add(QStringLiteral("sourceFile"), f.sourceFile);
    if (!f.tags.isEmpty()) {
        GoJson tags = GoJson::array();
        for (const QString &t : f.tags)
            tags.append(GoJson::string(t));
        j.add(QStringLiteral("tags"), tags);
    }
    j.add(QStringLiteral("device"), deviceJson());
    j.add(QStringLiteral("startTime"), time(f.startNs ? f.startNs : m_info.startNs));
    if (f.endNs)
        j.add(QStringLiteral("endTime"), time(f.endNs));
    if (f.durationMs >= 0)
        j.add(QStringLiteral("duration"), f.durationMs);
    GoJson commands = GoJson::array();
    qint64 longest = 0;
    QList<qint64> durations;
    for (const CommandRecord &c : f.commands) {
        commands.append(commandJson(c));
        if (c.durationMs >= 0)
            durations << c.durationMs;
        longest = std::max(longest, c.durationMs);
    }
    j.add(QStringLiteral("commands"), commands);
    if (!durations.isEmpty()) {
        std::sort(durations.begin(), durations.end());
        const auto at
            = [&](double q) { return durations.at(std::min<qsizetype>(durations.size() - 1, qsizetype(q * durations.size()))); };
        GoJson latency = GoJson::object();
        latency.add(QStringLiteral("p50"), at(0.5)).add(QStringLiteral("p95"), at(0.95)).add(QStringLiteral("max"), longest);
        j.add(QStringLiteral("stepLatency"), latency);
    }
    j.add(QStringLiteral("artifacts"), GoJson::object());
    return j;
}

void ReportWriter::writeIndex(const QList<FlowRecord> &flows, qint64 nowNs)
{
    ++m_updateSeq;
    const QString path = m_dir + QStringLiteral("/report.json");
    QFile tmp(path + QStringLiteral(".tmp"));
    if (!tmp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    tmp.write(indexJson(flows, nowNs).toIndented());
    tmp.close();
    // rename(2) replaces the old file in one step: a reader sees the old or the new report, never half of one.
    std::rename(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(path).constData());
}

void ReportWriter::writeFlow(const FlowRecord &flow)
{
    writeAtomically(m_dir + u'/' + flow.dataFile(), flowJson(flow).toIndented());
}

void ReportWriter::writeHtml(const QList<FlowRecord> &flows, qint64 nowNs)
{
    GoJson data = GoJson::object();
    GoJson details = GoJson::array();
    for (const FlowRecord &f : flows)
        details.append(flowJson(f));
    data.add(QStringLiteral("flows"), details).add(QStringLiteral("index"), indexJson(flows, nowNs));
    writeAtomically(m_dir + QStringLiteral("/report.html"), ReportPage::build(QString::fromUtf8(data.toCompact())).toUtf8());
}
