#include "devicedetector.h"

#include "oneshotprocess.h"
#include "process/toolcommands.h"

#include <QFileInfo>
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

DeviceScan DeviceDetector::scanDevices()
{
    return scanDevices(nullptr);
}

DeviceScan DeviceDetector::scanDevices(QString *failure)
{
    const auto text = runTool(commands().xctraceListDevices(), failure);
    return text ? scanDeviceList(*text) : DeviceScan {};
}

QStringList DeviceDetector::listApps(const DeviceInfo &device)
{
    return listApps(device, nullptr);
}

QStringList DeviceDetector::listApps(const DeviceInfo &device, QString *failure)
{
    if (device.isSimulator) {
        const auto text = runTool(commands().simctlListApps(device.id), failure);
        return text ? parseSimulatorAppList(*text) : QStringList {};
    }
    const auto text = runTool(commands().devicectlListApps(device.id), failure);
    return text ? parseAppList(*text) : QStringList {};
}

ToolCommands DeviceDetector::commands() const
{
    ToolPaths paths;
    paths.xcrun = m_xcrunPath;
    return ToolCommands(paths);
}

std::optional<QString> DeviceDetector::runTool(const ToolCommand &command, QString *failure) const
{
    // "xcrun xctrace", as a person would name what failed.
    const QString name = QFileInfo(command.program).fileName()
        + (command.arguments.isEmpty() ? QString() : u' ' + command.arguments.first());
    const auto fail = [failure](const QString &why) {
        if (failure)
            *failure = why;
    };
    const OneShotProcess::Completion run = OneShotProcess::complete(
        command.program, command.arguments, OneShotProcess::toolEnvironment(), OneShotProcess::kDefaultTimeoutMs);
    if (!run.started) {
        fail(QStringLiteral("could not start %1 (%2)").arg(command.program, run.startError));
        return std::nullopt;
    }
    if (!run.finished) {
        fail(QStringLiteral("%1 did not finish within %2 s").arg(name).arg(OneShotProcess::kDefaultTimeoutMs / 1000));
        return std::nullopt;
    }
    if (run.exitCode < 0)
        fail(QStringLiteral("%1 ended abnormally").arg(name));
    else if (run.exitCode != 0)
        fail(QStringLiteral("%1 failed (exit status %2)").arg(name).arg(run.exitCode));
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(run.output);
    if (decoder.hasError()) {
        fail(QStringLiteral("%1 printed text that is not UTF-8").arg(name));
        return std::nullopt;
    }
    return text;
}

bool DeviceDetector::isMacName(const QString &name)
{
    // "Mac", "Mac mini", "MacBook Air", "iMac": the word or a model name at
    // the start of a word. "iPhone de Macarena" and "Jamaica's iPhone" are
    // phones.
    static const QRegularExpression mac(QStringLiteral("(?<![\\p{L}\\p{N}_])(?:mac|macbook|imac)(?![\\p{L}\\p{N}_])"),
        QRegularExpression::CaseInsensitiveOption);
    return mac.match(name).hasMatch();
}

DeviceScan DeviceDetector::scanDeviceList(const QString &text)
{
    // A name, the OS version in parentheses and the identifier in
    // parentheses at the very end. The last two parts hold no parentheses, so
    // a name with its own ("iPad (A16) Simulator", "iPhone (Work)") stays
    // whole and the identifier is only the identifier.
    static const QRegularExpression entry(QStringLiteral("^(.*) \\([^()]*\\) \\(([^()]*)\\)$"));
    static const QString devicesHeader = QStringLiteral("== Devices ==");
    static const QString simulatorsHeader = QStringLiteral("== Simulators ==");
    static const QString offlineHeader = QStringLiteral("== Devices Offline ==");
    static const QRegularExpression watch(QStringLiteral("\\bApple Watch\\b"), QRegularExpression::CaseInsensitiveOption);

    DeviceScan scan;
    DeviceList simulators;
    std::optional<QString> section;
    for (const QString &line : splitLines(text)) {
        if (line.startsWith(QLatin1String("== ")) && line.endsWith(QLatin1String(" =="))) {
            section = trimSpacesAndTabs(line);
            continue;
        }
        DeviceList *target = nullptr;
        if (section == devicesHeader)
            target = &scan.devices;
        else if (section == simulatorsHeader)
            target = &simulators;
        else if (section == offlineHeader)
            target = &scan.offline;
        if (!target)
            continue;
        const QRegularExpressionMatch match = entry.match(line);
        if (!match.hasMatch())
            continue;
        DeviceInfo device;
        device.name = trimSpacesAndTabs(match.capturedView(1));
        device.id = match.captured(2);
        device.isSimulator = target == &simulators;
        if (device.id.contains(u':') || isMacName(device.name))
            continue;
        // A paired watch is always listed offline; it is not what the user
        // is missing.
        if (target == &scan.offline && watch.match(device.name).hasMatch())
            continue;
        target->append(device);
    }
    scan.devices += simulators;
    return scan;
}

QStringList DeviceDetector::parseAppList(const QString &text)
{
    // Hyphens are allowed in every part ("de.example.cafe-finder"), as in
    // any bundle identifier.
    static const QRegularExpression identifier(QStringLiteral("([a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\.\\-]+)"));
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
            // A version ("3.15.0-rc.2") is not an identifier: an
            // identifier's first part is a name, never a number.
            if (!hasLetter(candidate.section(u'.', 0, 0)) || seen.contains(candidate))
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

namespace {

// The property-list text `simctl listapps` prints (the old notation of
// braces, parentheses, "=" and ";"), as tokens: strings, quoted with
// backslash escapes ("\U2019" for non-ASCII) or bare, and punctuation.
class PlistTokens
{
public:
    explicit PlistTokens(QStringView text)
        : m_text(text)
    { }

    struct Token
    {
        enum Kind { End, String, Punctuation } kind = End;
        QString text; // the string, or the punctuation character
    };

    Token next()
    {
        skipBlanks();
        if (m_at >= m_text.size())
            return {};
        const QChar c = m_text[m_at];
        if (isPunctuation(c)) {
            ++m_at;
            return { Token::Punctuation, QString(c) };
        }
        if (c == u'<') { // <data>: not a string anything here needs
            while (m_at < m_text.size() && m_text[m_at] != u'>')
                ++m_at;
            ++m_at;
            return next();
        }
        if (c == u'"')
            return { Token::String, quoted() };
        const qsizetype begin = m_at;
        while (m_at < m_text.size() && !m_text[m_at].isSpace() && !isPunctuation(m_text[m_at]) && m_text[m_at] != u'"'
            && m_text[m_at] != u'<')
            ++m_at;
        return { Token::String, m_text.mid(begin, m_at - begin).toString() };
    }

private:
    static bool isPunctuation(QChar c)
    {
        return c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u'=' || c == u';' || c == u',';
    }

    void skipBlanks()
    {
        while (m_at < m_text.size() && m_text[m_at].isSpace())
            ++m_at;
    }

    static int digitValue(QChar c, int base)
    {
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        return digit < base ? digit : -1;
    }

    // Reads at most `count` digits of the given base; -1 when there are none.
    int number(int base, int count)
    {
        int value = 0;
        int read = 0;
        for (; read < count && m_at < m_text.size(); ++read, ++m_at) {
            const int digit = digitValue(m_text[m_at], base);
            if (digit < 0)
                break;
            value = value * base + digit;
        }
        return read ? value : -1;
    }

    QString quoted()
    {
        QString value;
        ++m_at; // the opening quotation mark
        while (m_at < m_text.size() && m_text[m_at] != u'"') {
            QChar c = m_text[m_at++];
            if (c != u'\\' || m_at >= m_text.size()) {
                value += c;
                continue;
            }
            c = m_text[m_at++];
            switch (c.unicode()) {
            case 'n':
                value += u'\n';
                break;
            case 't':
                value += u'\t';
                break;
            case 'r':
                value += u'\r';
                break;
            case 'U': {
                const int code = number(16, 4);
                value += code < 0 ? QChar(u'U') : QChar(char16_t(code));
                break;
            }
            default:
                if (c >= u'0' && c <= u'7') {
                    --m_at;
                    value += QChar(char16_t(number(8, 3)));
                } else {
                    value += c; // \" \\ and the rest stand for themselves
                }
            }
        }
        ++m_at; // the closing quotation mark
        return value;
    }

    QStringView m_text;
    qsizetype m_at = 0;
};

} // namespace

QStringList DeviceDetector::parseSimulatorAppList(const QString &text)
{
    // The top level is a dictionary from bundle identifier to the app's
    // dictionary; only the app dictionaries' own string values matter.
    PlistTokens tokens(text);
    QStringList apps;
    QSet<QString> seen;
    int depth = 0;
    QString entryKey, key, applicationType, bundleIdentifier;
    bool afterEquals = false;
    for (auto token = tokens.next(); token.kind != PlistTokens::Token::End; token = tokens.next()) {
        if (token.kind == PlistTokens::Token::String) {
            if (!afterEquals) {
                key = token.text;
                if (depth == 1)
                    entryKey = token.text;
            } else if (depth == 2 && key == QLatin1String("ApplicationType")) {
                applicationType = token.text;
            } else if (depth == 2 && key == QLatin1String("CFBundleIdentifier")) {
                bundleIdentifier = token.text;
            }
            afterEquals = false;
            continue;
        }
        const QChar c = token.text.front();
        if (c == u'=') {
            afterEquals = true;
            continue;
        }
        afterEquals = false;
        if (c == u'{' || c == u'(') {
            if (++depth == 2) {
                applicationType.clear();
                bundleIdentifier.clear();
            }
        } else if (c == u'}' || c == u')') {
            if (depth == 2 && applicationType == QLatin1String("User")) {
                const QString app = bundleIdentifier.isEmpty() ? entryKey : bundleIdentifier;
                if (hasLetter(app) && !seen.contains(app)) {
                    seen.insert(app);
                    apps.append(app);
                }
            }
            depth = std::max(0, depth - 1);
        }
    }
    std::sort(apps.begin(), apps.end());
    return apps;
}
