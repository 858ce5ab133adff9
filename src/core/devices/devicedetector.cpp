#include "devicedetector.h"

#include "oneshotprocess.h"
#include "process/toolcommands.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace {

// Any newline character ends a line: LF, CR, and the other Unicode line and
// paragraph separators. A CR LF pair gives an empty line in between.
QStringList splitLines(const QString &text)
{
    static const QRegularExpression newline(QStringLiteral("[\\n\\r\\x{000B}\\x{000C}\\x{0085}\\x{2028}\\x{2029}]"));
    return text.split(newline);
}

// Spaces and tabs only; the tool's names may carry other white space (no-break
// spaces) that belongs to the name.
QString trimSpacesAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

bool hasLetter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

} // namespace

DeviceDetector::DeviceDetector()
    : DeviceDetector(ToolPaths::fromEnvironment().xcrun)
{ }

DeviceDetector::DeviceDetector(const QString &xcrunPath)
    : m_xcrunPath(xcrunPath)
{ }

DeviceList DeviceDetector::listDevices()
{
    const auto text = runTool(commands().xctraceListDevices());
    return text ? parseDeviceList(*text) : DeviceList {};
}

QStringList DeviceDetector::listApps(const QString &deviceId)
{
    const auto text = runTool(commands().devicectlListApps(deviceId));
    return text ? parseAppList(*text) : QStringList {};
}

ToolCommands DeviceDetector::commands() const
{
    ToolPaths paths;
    paths.xcrun = m_xcrunPath;
    return ToolCommands(paths);
}

std::optional<QString> DeviceDetector::runTool(const ToolCommand &command) const
{
    const auto output = OneShotProcess::run(command.program, command.arguments);
    if (!output)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(*output);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

DeviceList DeviceDetector::parseDeviceList(const QString &text)
{
    static const QRegularExpression entry(QStringLiteral("^(.*?) \\(.*?\\) \\((.*?)\\)$"));
    static const QString devicesHeader = QStringLiteral("== Devices ==");
    static const QString simulatorsHeader = QStringLiteral("== Simulators ==");

    DeviceList devices;
    std::optional<QString> section;
    for (const QString &line : splitLines(text)) {
        if (line.startsWith(QLatin1String("== ")) && line.endsWith(QLatin1String(" =="))) {
            section = trimSpacesAndTabs(line);
            continue;
        }
        // Only attached physical devices are offered; simulators and offline
        // devices are listed by the tool but cannot run a flow here.
        if (!section || *section != devicesHeader)
            continue;
        const QRegularExpressionMatch match = entry.match(line);
        if (!match.hasMatch())
            continue;
        DeviceInfo device;
        device.name = trimSpacesAndTabs(match.capturedView(1));
        device.id = match.captured(2);
        device.isSimulator = *section == simulatorsHeader;
        if (device.id.contains(u':'))
            continue;
        if (device.name.toLower().contains(QLatin1String("mac")))
            continue;
        devices.append(device);
    }
    return devices;
}

QStringList DeviceDetector::parseAppList(const QString &text)
{
    static const QRegularExpression identifier(QStringLiteral("([a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\.]+)"));
    if (!identifier.isValid())
        return {};

    QStringList apps;
    QSet<QString> seen;
    for (const QString &line : splitLines(text)) {
        if (line.contains(QLatin1String("/System/")) || line.contains(QLatin1String("com.apple.")))
            continue;
        QRegularExpressionMatchIterator it = identifier.globalMatch(line);
        while (it.hasNext()) {
            const QString candidate = it.next().captured(1);
            if (!hasLetter(candidate) || seen.contains(candidate))
                continue;
            seen.insert(candidate);
            apps.append(candidate);
        }
    }
    // QString's operator< orders by UTF-16 code unit, which is character code
    // order for the ASCII identifiers the pattern admits.
    std::sort(apps.begin(), apps.end());
    return apps;
}
