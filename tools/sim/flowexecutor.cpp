#include "flowexecutor.h"

#include "consoleprinter.h"
#include "hierarchyprinter.h"
#include "netfoxwriter.h"
#include "pngwriter.h"
#include "simclock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool isCompound(const QString &type)
{
    return type == QLatin1String("runFlow") || type == QLatin1String("repeat") || type == QLatin1String("retry");
}

bool quotesArgument(const QString &type)
{
    static const QStringList types { QStringLiteral("tapOn"), QStringLiteral("doubleTapOn"), QStringLiteral("longPressOn"),
        QStringLiteral("assertVisible"), QStringLiteral("assertNotVisible"), QStringLiteral("inputText"),
        QStringLiteral("copyTextFrom") };
    return types.contains(type);
}

QString fileSafe(const QString &name)
{
    QString out;
    for (const QChar c : name)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' || c == u'.' ? c : QChar(u'_');
    return out.isEmpty() ? QStringLiteral("screenshot") : out;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// Base virtual durations of the runner's commands on a real device.
qint64 baseDuration(const QString &type)
{
    static const QHash<QString, qint64> table {
        { QStringLiteral("launchApp"), 1850 },
        { QStringLiteral("stopApp"), 420 },
        { QStringLiteral("clearState"), 930 },
        { QStringLiteral("tapOn"), 480 },
        { QStringLiteral("doubleTapOn"), 640 },
        { QStringLiteral("longPressOn"), 1300 },
        { QStringLiteral("eraseText"), 520 },
        { QStringLiteral("assertVisible"), 260 },
        { QStringLiteral("assertNotVisible"), 310 },
        { QStringLiteral("takeScreenshot"), 720 },
        { QStringLiteral("scroll"), 940 },
        { QStringLiteral("swipe"), 710 },
        { QStringLiteral("back"), 380 },
        { QStringLiteral("hideKeyboard"), 290 },
        { QStringLiteral("pressKey"), 210 },
        { QStringLiteral("waitForAnimationToEnd"), 1240 },
        { QStringLiteral("openLink"), 1530 },
        { QStringLiteral("evalScript"), 40 },
        { QStringLiteral("runScript"), 160 },
        { QStringLiteral("scrollUntilVisible"), 1650 },
    };
    return table.value(type, 300);
}

} // namespace

FlowExecutor::FlowExecutor(SimClock &clock, SimScreen &screen, const ConsolePrinter &console, const Options &options)
    : m_clock(clock)
    , m_screen(screen)
    , m_console(console)
    , m_options(options)
{ }

FlowRecord FlowExecutor::run(const FlowFile &flow, int index)
{
    FlowRecord record;
    record.index = index;
    record.id = QStringLiteral("flow-%1").arg(index, 3, 10, QLatin1Char('0'));
    record.name = flow.name;
    record.sourceFile = flow.path;
    record.tags = flow.tags;
    record.status = QStringLiteral("running");
    QDir(m_options.reportDir).mkpath(record.assetsDir());

    Scope scope;
    for (const auto &[key, value] : flow.env)
        scope.variables.insert(key, value);
    for (auto it = m_options.variables.begin(); it != m_options.variables.end(); ++it)
        scope.variables.insert(it.key(), it.value());
    scope.appId = expand(flow.appId, scope);
    scope.flowDir = QFileInfo(flow.path).absolutePath();
    m_flowKey = QFileInfo(flow.path).fileName();

    if (m_firstCommand) {
        // The first flow waits for the driver's next tick: it starts on a whole second.
        m_clock.alignToNextSecond();
        m_firstCommand = false;
    }
    record.startNs = m_clock.nowNs();
    const bool ok = runList(flow.commands, &record.commands, 0, 0, scope, &record);
    record.endNs = m_clock.nowNs();
    record.durationMs = (record.endNs - record.startNs) / 1000000;
    record.status = ok ? QStringLiteral("passed") : QStringLiteral("failed");
    if (!ok) {
        // The flow's error is the message of the command that failed first, however deep.
        const std::function<QString(const QList<CommandRecord> &)> firstError = [&](const QList<CommandRecord> &list) {
            for (const CommandRecord &c : list) {
                if (c.status != QLatin1String("failed"))
                    continue;
                const QString inner = firstError(c.subCommands);
                return inner.isEmpty() ? c.errorMessage : inner;
            }
            return QString();
        };
        record.error = firstError(record.commands);
    }
    return record;
}

bool FlowExecutor::runList(
    const QList<YamlNode> &commands, QList<CommandRecord> *records, int depth, int topIndex, const Scope &scope, FlowRecord *flow)
{
    const int indexBase = depth == 0 ? 0 : int(records->size());
    for (qsizetype i = 0; i < commands.size(); ++i) {
        CommandRecord record;
        record.index = indexBase + int(i);
        record.id = depth == 0 ? QStringLiteral("cmd-%1").arg(record.index, 3, 10, QLatin1Char('0'))
                               : QStringLiteral("sub-%1").arg(record.index);
        const int top = depth == 0 ? int(i) : topIndex;
        const bool ok = runCommand(commands[i], &record, depth, top, scope, flow);
        records->append(record);
        if (depth == 0 && m_progress)
            m_progress(*flow);
        if (!ok) {
            skipRest(commands, i + 1, records, depth, indexBase, scope);
            return false;
        }
    }
    return true;
}

void FlowExecutor::skipRest(
    const QList<YamlNode> &commands, qsizetype from, QList<CommandRecord> *records, int depth, int indexBase, const Scope &)
{
    for (qsizetype i = from; i < commands.size(); ++i) {
        const auto [type, arg] = FlowReader::commandParts(commands[i]);
        CommandRecord record;
        record.index = indexBase + int(i);
        record.id = depth == 0 ? QStringLiteral("cmd-%1").arg(record.index, 3, 10, QLatin1Char('0'))
                               : QStringLiteral("sub-%1").arg(record.index);
        record.type = type;
        record.yaml = describe(type, arg);
        record.label = arg.isMap() ? arg.scalar(QStringLiteral("label")) : QString();
        record.status = QStringLiteral("skipped");
        records->append(record);
    }
}

QString FlowExecutor::expand(const QString &text, const Scope &scope) const
{
    static const QRegularExpression variable(QStringLiteral(R"(\$\{([A-Za-z_][A-Za-z0-9_]*)\})"));
    QString out;
    qsizetype last = 0;
    auto it = variable.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        out += scope.variables.contains(name) ? scope.variables.value(name) : m.captured(0);
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

QString FlowExecutor::describe(const QString &type, const YamlNode &arg) const
{
    if (arg.isNull())
        return type;
    if (arg.isScalar())
        return quotesArgument(type) ? QStringLiteral("%1: \"%2\"").arg(type, arg.text)
                                    : QStringLiteral("%1: %2").arg(type, arg.text);
    if (arg.isList())
        return type;
    QStringList parts;
    for (const auto &[key, value] : arg.entries) {
        if (key == QLatin1String("label") || key == QLatin1String("commands") || !value.isScalar())
            continue;
        if (key == QLatin1String("id") || key == QLatin1String("text"))
            parts << QStringLiteral("%1=\"%2\"").arg(key, value.text);
        else if (key == QLatin1String("file") || key == QLatin1String("path"))
            parts << value.text;
        else
            parts << key + u'=' + value.text;
    }
    return parts.isEmpty() ? type : type + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

SimSelector FlowExecutor::selectorOf(const YamlNode &arg, const Scope &scope, CommandRecord *record) const
{
    SimSelector selector;
    if (arg.isScalar()) {
        selector = { QStringLiteral("text"), expand(arg.text, scope) };
    } else if (arg.isMap() && arg.value(QStringLiteral("id"))) {
        selector = { QStringLiteral("id"), expand(arg.scalar(QStringLiteral("id")), scope) };
    } else if (arg.isMap()) {
        selector = { QStringLiteral("text"), expand(arg.scalar(QStringLiteral("text")), scope) };
    }
    record->selectorType = selector.kind;
    record->selectorValue = selector.value;
    return selector;
}

bool FlowExecutor::conditionHolds(const YamlNode &arg, const Scope &scope, CommandRecord *record) const
{
    const YamlNode *when = arg.isMap() ? arg.value(QStringLiteral("when")) : nullptr;
    if (!when)
        return true;
    if (const YamlNode *visible = when->value(QStringLiteral("visible"))) {
        if (!m_screen.isVisible(selectorOf(*visible, scope, record)))
            return false;
    }
    if (const YamlNode *notVisible = when->value(QStringLiteral("notVisible"))) {
        if (m_screen.isVisible(selectorOf(*notVisible, scope, record)))
            return false;
    }
    return true;
}

qint64 FlowExecutor::jitter(qint64 baseMs, const QString &salt)
{
    const QByteArray hash = QCryptographicHash::hash((m_flowKey + u'|' + salt).toUtf8(), QCryptographicHash::Md5);
    const quint32 a = quint8(hash[0]) | quint32(quint8(hash[1])) << 8;
    // +/- 18 % around the base, deterministic for the same flow and command.
    return std::max<qint64>(1, baseMs + qint64(baseMs * ((double(a) / 65535.0) * 0.36 - 0.18)));
}

bool FlowExecutor::spend(qint64 ms, const QStringList &events, const QString &appId)
{
    if (m_screenShown)
        m_screenShown(m_screen);
    const QByteArray hash
        = QCryptographicHash::hash(QByteArray(QByteArray::number(ms) + m_flowKey.toUtf8()), QCryptographicHash::Md5);
    // The sub-millisecond part; every so often it is zero at some digits, as real clocks are.
    int subNs = int((quint8(hash[2]) | quint32(quint8(hash[3])) << 8 | quint32(quint8(hash[4])) << 16) % 1000000);
    if (quint8(hash[5]) % 3 == 0)
        subNs -= subNs % 100;
    if (events.isEmpty())
        return m_clock.advance(ms, subNs);
    const qint64 before = ms * 2 / 5;
    if (!m_clock.advance(before, subNs))
        return false;
    qint64 network = 0;
    if (NetfoxWriter *writer = m_logger ? m_logger(appId) : nullptr) {
        qint64 at = m_clock.nowNs();
        for (const QString &event : events) {
            const qint64 took = writer->writeEvent(event, at);
            network = std::max(network, took);
            at += 50000000;
        }
    }
    return m_clock.advance(std::max(ms - before, network));
}

bool FlowExecutor::waitFor(const SimSelector &selector, qint64 timeoutMs, bool wantVisible, qint64 *waited)
{
    // Nothing on the simulated screen changes by itself: what is not there
    // now is not there at the end of the timeout either.
    *waited = m_screen.isVisible(selector) == wantVisible ? 0 : timeoutMs;
    return *waited == 0;
}

void FlowExecutor::fail(
    CommandRecord *record, const QString &type, const QString &message, const QString &details, const QString &suggestion) const
{
    record->status = QStringLiteral("failed");
    record->errorType = type;
    record->errorMessage = message;
    record->errorDetails = details;
    record->errorSuggestion = suggestion;
}

void FlowExecutor::saveFailureArtifacts(CommandRecord *record, int topIndex, const FlowRecord &flow) const
{
    const QString stem = flow.assetsDir() + QStringLiteral("/cmd-%1-").arg(topIndex, 3, 10, QLatin1Char('0'));
    const SimElement tree = m_screen.tree();
    if (writeFile(m_options.reportDir + u'/' + stem + QStringLiteral("after.png"), PngWriter::screenshot(tree)))
        record->artifacts.append({ QStringLiteral("screenshotAfter"), stem + QStringLiteral("after.png") });
    if (writeFile(m_options.reportDir + u'/' + stem + QStringLiteral("hierarchy.xml"), HierarchyPrinter::xml(tree).toUtf8()))
        record->artifacts.append({ QStringLiteral("viewHierarchy"), stem + QStringLiteral("hierarchy.xml") });
}

bool FlowExecutor::runCommand(
    const YamlNode &item, CommandRecord *r, int depth, int topIndex, const Scope &scope, FlowRecord *flow)
{
    const auto [type, arg] = FlowReader::commandParts(item);
    r->type = type;
    r->yaml = describe(type, arg);
    r->label = arg.isMap() ? arg.scalar(QStringLiteral("label")) : QString();
    r->startNs = m_clock.nowNs();
    const QString salt = r->id + u'/' + QString::number(topIndex) + u'/' + type;
    const QString appId = arg.isScalar() && type == QLatin1String("launchApp") ? expand(arg.text, scope)
        : arg.isMap() && arg.value(QStringLiteral("appId")) ? expand(arg.scalar(QStringLiteral("appId")), scope)
                                                            : scope.appId;
    bool ok = true;
    bool alive = true;
    QStringList events;

    if (type == QLatin1String("launchApp")) {
        const bool clear = arg.isMap() && arg.scalar(QStringLiteral("clearState")) == QLatin1String("true");
        QString error;
        if (!m_screen.launch(appId, clear, &events, &error)) {
            alive = m_clock.advance(jitter(900, salt));
            fail(r, QStringLiteral("app_crash"), error, QStringLiteral("The app must be installed on the device before the run"),
                QStringLiteral("Install the app or check the bundle identifier (appId)"));
            ok = false;
        } else {
            alive = spend(jitter(clear ? 5400 : baseDuration(type), salt), events, appId);
        }
    } else if (type == QLatin1String("stopApp")) {
        m_screen.stopApp(appId);
        alive = spend(jitter(baseDuration(type), salt), {}, appId);
    } else if (type == QLatin1String("clearState")) {
        m_screen.clearState(appId);
        alive = spend(jitter(baseDuration(type), salt), {}, appId);
    } else if (type == QLatin1String("tapOn") || type == QLatin1String("doubleTapOn") || type == QLatin1String("longPressOn")) {
        const SimSelector selector = selectorOf(arg, scope, r);
        SimElement element;
        qint64 waited = 0;
        if (!waitFor(selector, 4000, true, &waited) || !m_screen.find(selector, &element)) {
            alive = m_clock.advance(jitter(waited, salt));
            r->hasElement = true;
            fail(r, QStringLiteral("element_not_found"), QStringLiteral("Element not found: ") + selector.describe(),
                QStringLiteral("No element matched on screen \"%1\" within %2ms").arg(m_screen.screen()).arg(waited),
                QStringLiteral("Check the selector, or wait for the screen to load before this step"));
            ok = false;
        } else {
            r->hasElement = r->elementFound = true;
            r->element = element;
            m_screen.tap(element, &events);
            alive = spend(jitter(baseDuration(type), salt), events, appId);
        }
    } else if (type == QLatin1String("inputText")) {
        r->paramText = expand(arg.isScalar() ? arg.text : arg.scalar(QStringLiteral("text")), scope);
        m_screen.inputText(r->paramText);
        alive = spend(jitter(380 + 45 * r->paramText.size(), salt), {}, appId);
    } else if (type == QLatin1String("eraseText")) {
        m_screen.eraseText();
        alive = spend(jitter(baseDuration(type), salt), {}, appId);
    } else if (type == QLatin1String("assertVisible") || type == QLatin1String("assertNotVisible")
        || type == QLatin1String("extendedWaitUntil") || type == QLatin1String("scrollUntilVisible")) {
        bool wantVisible = type != QLatin1String("assertNotVisible");
        YamlNode target = arg;
        qint64 timeout = type.startsWith(QLatin1String("assert")) ? 5000 : 10000;
        if (type == QLatin1String("extendedWaitUntil")) {
            const YamlNode *visible = arg.value(QStringLiteral("visible"));
            const YamlNode *notVisible = arg.value(QStringLiteral("notVisible"));
            wantVisible = visible != nullptr;
            target = visible ? *visible : notVisible ? *notVisible : YamlNode {};
        } else if (type == QLatin1String("scrollUntilVisible") && arg.value(QStringLiteral("element"))) {
            target = *arg.value(QStringLiteral("element"));
        }
        if (arg.isMap() && arg.value(QStringLiteral("timeout")))
            timeout = arg.scalar(QStringLiteral("timeout")).toLongLong();
        const SimSelector selector = selectorOf(target, scope, r);
        qint64 waited = 0;
        if (!waitFor(selector, timeout, wantVisible, &waited)) {
            alive = m_clock.advance(jitter(waited, salt));
            const QString what = wantVisible ? QStringLiteral("is visible") : QStringLiteral("is not visible");
            fail(r, QStringLiteral("assertion"), QStringLiteral("Assertion is false: \"%1\" %2").arg(selector.describe(), what),
                QStringLiteral("Screen \"%1\" did not change within %2ms").arg(m_screen.screen()).arg(waited),
                QStringLiteral("Check the expected text against the screen's element tree"));
            ok = false;
        } else {
            SimElement element;
            if (wantVisible && m_screen.find(selector, &element)) {
                r->hasElement = r->elementFound = true;
                r->element = element;
            }
            alive = spend(jitter(baseDuration(type), salt), {}, appId);
        }
    } else if (type == QLatin1String("takeScreenshot")) {
        const QString name = arg.isScalar() ? expand(arg.text, scope) : expand(arg.scalar(QStringLiteral("path")), scope);
        const QString file
            = flow->assetsDir() + QStringLiteral("/cmd-%1-%2.png").arg(topIndex, 3, 10, QLatin1Char('0')).arg(fileSafe(name));
        const bool written = writeFile(m_options.reportDir + u'/' + file, PngWriter::screenshot(m_screen.tree()));
        // Top-level screenshots are not linked from the report (the runner's
        // older behaviour); those taken inside sub-flows are.
        if (written && depth > 0)
            r->artifacts.append({ QStringLiteral("screenshotAfter"), file });
        alive = spend(jitter(baseDuration(type), salt), {}, appId);
    } else if (type == QLatin1String("back")) {
        m_screen.back(&events);
        alive = spend(jitter(baseDuration(type), salt), events, appId);
    } else if (type == QLatin1String("runFlow") && !conditionHolds(arg, scope, r)) {
        // "when:" not met: the sub-flow is skipped, which does not fail the flow.
        r->status = QStringLiteral("skipped");
        r->startNs = 0;
        return true;
    } else if (type == QLatin1String("runFlow")) {
        const QString file = arg.isScalar() ? arg.text : arg.scalar(QStringLiteral("file"));
        Scope child = scope;
        if (const YamlNode *env = arg.value(QStringLiteral("env"))) {
            for (const auto &[key, value] : env->entries)
                child.variables.insert(key, expand(value.text, scope));
        }
        QList<YamlNode> commands;
        if (!file.isEmpty()) {
            m_console.nestedStarted(depth, QStringLiteral("Run ") + file);
            FlowFile sub;
            QString error;
            if (!FlowReader::read(QDir(scope.flowDir).filePath(expand(file, scope)), &sub, &error)) {
                fail(r, QStringLiteral("unknown"), error, QString(), QStringLiteral("Check the path of the sub-flow"));
                ok = false;
            } else {
                for (const auto &[key, value] : sub.env) {
                    if (!child.variables.contains(key))
                        child.variables.insert(key, expand(value, child));
                }
                child.flowDir = QFileInfo(sub.path).absolutePath();
                commands = sub.commands;
            }
        } else if (const YamlNode *inlineCommands = arg.value(QStringLiteral("commands"))) {
            m_console.nestedStarted(depth, QStringLiteral("Run inline commands"));
            commands = inlineCommands->items;
        }
        if (ok)
            ok = runList(commands, &r->subCommands, depth + 1, topIndex, child, flow);
    } else if (type == QLatin1String("repeat") || type == QLatin1String("retry")) {
        const bool isRepeat = type == QLatin1String("repeat");
        const int times = std::max(1,
            (isRepeat ? arg.scalar(QStringLiteral("times"), QStringLiteral("1"))
                      : arg.scalar(QStringLiteral("maxRetries"), QStringLiteral("1")))
                .toInt());
        const YamlNode *body = arg.value(QStringLiteral("commands"));
        m_console.nestedStarted(
            depth, isRepeat ? QStringLiteral("Repeat %1 times").arg(times) : QStringLiteral("Retry up to %1 times").arg(times));
        for (int n = 0; n < times && body; ++n) {
            ok = runList(body->items, &r->subCommands, depth + 1, topIndex, scope, flow);
            if (m_interrupted || (isRepeat ? !ok : ok))
                break;
        }
    } else {
        if (arg.isMap() && arg.value(QStringLiteral("id")))
            selectorOf(arg, scope, r);
        alive = spend(jitter(baseDuration(type), salt), {}, appId);
    }

    if (!alive || m_interrupted) {
        m_interrupted = true;
        if (ok)
            fail(r, QStringLiteral("unknown"), QStringLiteral("Execution interrupted"),
                QStringLiteral("The runner received a stop signal"), QString());
        ok = false;
    }
    r->endNs = m_clock.nowNs();
    r->durationMs = (r->endNs - r->startNs) / 1000000;
    if (ok)
        r->status = QStringLiteral("passed");
    else
        r->status = QStringLiteral("failed");
    if (!ok && !isCompound(type) && m_options.artifactsOnFailure && !m_interrupted)
        saveFailureArtifacts(r, topIndex, *flow);
    if (!isCompound(type))
        m_console.step(depth, *r);
    else if (!ok && r->subCommands.isEmpty())
        m_console.step(depth, *r); // a sub-flow that could not even start
    return ok;
}
