#include "consoleprinter.h"

#include "runrecord.h"
#include "simoutput.h"

namespace {

constexpr qint64 kSlowStepMs = 5000;

QString rule(int width, const QString &glyph = QStringLiteral("\u2500"))
{
    return glyph.repeated(width);
}

QString fit(const QString &text, int width)
{
    return text.size() > width ? text.left(width - 3) + QStringLiteral("...") : text;
}

} // namespace

QString ConsolePrinter::formatDuration(qint64 ms)
{
    if (ms < 1000)
        return QStringLiteral("%1ms").arg(ms);
    if (ms < 60000)
        return QStringLiteral("%1s").arg(double(ms) / 1000.0, 0, 'f', 1);
    return QStringLiteral("%1m %2s").arg(ms / 60000).arg((ms % 60000) / 1000);
}

void ConsolePrinter::banner(const QString &version) const
{
    SimOutput::out(QStringLiteral("\n  maestro-runner %1 - by DeviceLab.dev\n").arg(version));
}

void ConsolePrinter::title(const QString &text) const
{
    SimOutput::out(u'\n' + text + u'\n' + rule(40) + u'\n');
}

void ConsolePrinter::setup(const QString &symbol, const QString &text) const
{
    SimOutput::out(QStringLiteral("  ") + symbol + u' ' + text + u'\n');
}

void ConsolePrinter::plain(const QString &text) const
{
    SimOutput::out(text + u'\n');
}

void ConsolePrinter::flowStarted(int position, int total, const QString &name, const QString &file) const
{
    SimOutput::out(QStringLiteral("\n  [%1/%2] %3 (%4)\n  ").arg(position).arg(total).arg(name, file) + rule(60) + u'\n');
}

void ConsolePrinter::nestedStarted(int depth, const QString &text) const
{
    SimOutput::out(QString(6 + 4 * depth, u' ') + QStringLiteral("\u25b8 ") + text + u'\n');
}

void ConsolePrinter::step(int depth, const CommandRecord &command) const
{
    const QString indent(4 + 4 * depth, u' ');
    const QString duration = formatDuration(std::max<qint64>(0, command.durationMs));
    if (command.status == QLatin1String("passed")) {
        const bool slow = command.durationMs >= kSlowStepMs && command.subCommands.isEmpty();
        SimOutput::out(indent + (slow ? QStringLiteral("\u26a0 ") : QStringLiteral("\u2713 ")) + command.displayText()
            + QStringLiteral(" (") + duration + QStringLiteral(")\n"));
    } else if (command.status == QLatin1String("failed")) {
        QString text = indent + QStringLiteral("\u2717 ") + command.displayText() + QStringLiteral(" (") + duration
            + QStringLiteral(")\n");
        if (!command.errorMessage.isEmpty())
            text += indent + QStringLiteral("  \u2570\u2500 ") + command.errorMessage + u'\n';
        SimOutput::out(text);
    }
}

void ConsolePrinter::flowFinished(const FlowRecord &flow) const
{
    const QString mark = flow.status == QLatin1String("passed") ? QStringLiteral("\u2713 ") : QStringLiteral("\u2717 ");
    SimOutput::out(mark + flow.name + u' ' + formatDuration(std::max<qint64>(0, flow.durationMs)) + u'\n');
}

void ConsolePrinter::summary(const QList<FlowRecord> &flows, qint64 totalMs, const QString &deviceLabel) const
{
    int total = 0, passed = 0, failed = 0, skipped = 0, passedFlows = 0;
    for (const FlowRecord &f : flows) {
        total += int(f.commands.size());
        passed += f.count(QStringLiteral("passed"));
        failed += f.count(QStringLiteral("failed"));
        skipped += f.count(QStringLiteral("skipped"));
        passedFlows += f.status == QLatin1String("passed");
    }
    QString text = QStringLiteral("\n");
    if (passed > 0)
        text += QStringLiteral("  %1 steps passing (%2)\n").arg(passed).arg(formatDuration(totalMs));
    if (failed > 0)
        text += QStringLiteral("  %1 steps failing\n").arg(failed);
    if (skipped > 0)
        text += QStringLiteral("  %1 steps skipped\n").arg(skipped);
    text += u'\n' + rule(116, QStringLiteral("\u2550")) + u'\n';
    const auto row = [](const QString &name, const QString &status, int steps, int pass, int fail, int skip,
                         const QString &duration, const QString &device) -> QString {
        return QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8")
                   .arg(fit(name, 30), -30)
                   .arg(status, 6)
                   .arg(steps, 7)
                   .arg(pass, 6)
                   .arg(fail, 6)
                   .arg(skip, 6)
                   .arg(duration, 10)
                   .arg(device)
                   .trimmed()
                   .prepend(QStringLiteral("  "))
            + u'\n';
    };
    text += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7  %8\n")
                .arg(QStringLiteral("Flow"), -30)
                .arg(QStringLiteral("Status"), 6)
                .arg(QStringLiteral("Steps"), 7)
                .arg(QStringLiteral("Pass"), 6)
                .arg(QStringLiteral("Fail"), 6)
                .arg(QStringLiteral("Skip"), 6)
                .arg(QStringLiteral("Duration"), 10)
                .arg(QStringLiteral("Device"));
    text += rule(116) + u'\n';
    for (const FlowRecord &f : flows) {
        const QString status = f.status == QLatin1String("passed") ? QStringLiteral("\u2713 PASS")
            : f.status == QLatin1String("failed")                  ? QStringLiteral("\u2717 FAIL")
                                                                   : QStringLiteral("- SKIP");
        text += row(f.name, status, int(f.commands.size()), f.count(QStringLiteral("passed")), f.count(QStringLiteral("failed")),
            f.count(QStringLiteral("skipped")), formatDuration(std::max<qint64>(0, f.durationMs)), fit(deviceLabel, 30));
    }
    text += rule(116) + u'\n';
    text += row(QStringLiteral("TOTAL"), QStringLiteral("%1/%2").arg(passedFlows).arg(flows.size()), total, passed, failed,
        skipped, formatDuration(totalMs), QString());
    text += rule(116, QStringLiteral("\u2550")) + u'\n';
    SimOutput::out(text);
}
