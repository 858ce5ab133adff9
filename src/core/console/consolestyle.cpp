#include "consolestyle.h"

#include <QRegularExpression>
#include <QStringList>

#include <vector>

namespace ConsoleStyle {
namespace {

struct Rule
{
    QRegularExpression pattern;
    Role role;
    bool bold;
};

QString alternatives(const QStringList &words)
{
    return QStringLiteral("\\b(?:") + words.join(u'|') + QStringLiteral(")\\b");
}

const std::vector<Rule> &testRules()
{
    static const std::vector<Rule> rules = [] {
        const QStringList keywords { QStringLiteral("launchApp"), QStringLiteral("tapOn"), QStringLiteral("assertVisible"),
            QStringLiteral("extendedWaitUntil"), QStringLiteral("takeScreenshot"), QStringLiteral("inputText"),
            QStringLiteral("hideKeyboard"), QStringLiteral("runFlow"), QStringLiteral("waitForAnimationToEnd"),
            QStringLiteral("swipe"), QStringLiteral("scrollUntilVisible"), QStringLiteral("Run"), QStringLiteral("clearState"),
            QStringLiteral("stopApp"), QStringLiteral("clearKeychain"), QStringLiteral("openLink"), QStringLiteral("pressKey"),
            QStringLiteral("eraseText"), QStringLiteral("assertTrue"), QStringLiteral("assertNotVisible") };
        std::vector<Rule> list;
        list.push_back({ QRegularExpression(QStringLiteral("^\\[\\d{2}:\\d{2}:\\d{2}\\]")), Role::Grey, false });
        list.push_back({ QRegularExpression(QStringLiteral("[\u2713\u2705]")), Role::Green, false });
        list.push_back({ QRegularExpression(QStringLiteral("[\u26A0]")), Role::Yellow, false });
        // The runner marks failed steps with U+2717 (U+2718 in some builds).
        list.push_back({ QRegularExpression(QStringLiteral("[\u2716\u274C\u2717\u2718]")), Role::Red, false });
        list.push_back({ QRegularExpression(alternatives(keywords)), Role::Purple, true });
        list.push_back({ QRegularExpression(QStringLiteral("\\(\\d+(\\.\\d+)?[ms]+\\)")), Role::Grey, false });
        list.push_back({ QRegularExpression(QStringLiteral("id=\"[^\"]*\"")), Role::Blue, false });
        list.push_back({ QRegularExpression(QStringLiteral("text=\"[^\"]*\"")), Role::Green, false });
        for (Rule &rule : list)
            rule.pattern.optimize();
        return list;
    }();
    return rules;
}

const std::vector<Rule> &hierarchyRules()
{
    static const std::vector<Rule> rules = [] {
        const QStringList types { QStringLiteral("Application"), QStringLiteral("Window"), QStringLiteral("Other"),
            QStringLiteral("Image"), QStringLiteral("Button"), QStringLiteral("StaticText"), QStringLiteral("WebView"),
            QStringLiteral("TextField"), QStringLiteral("SecureTextField"), QStringLiteral("ScrollView"),
            QStringLiteral("Switch"), QStringLiteral("Cell") };
        std::vector<Rule> list;
        list.push_back({ QRegularExpression(alternatives(types)), Role::Purple, true });
        list.push_back({ QRegularExpression(QStringLiteral("^\\[\\d{2}:\\d{2}:\\d{2}\\]")), Role::Grey, false });
        list.push_back({ QRegularExpression(QStringLiteral("\\(\\d+,\\d+ \\d+x\\d+\\)")), Role::Grey, false });
        list.push_back({ QRegularExpression(QStringLiteral("id=(.*?)(?=  |$)")), Role::Blue, false });
        list.push_back({ QRegularExpression(QStringLiteral("text=\"[^\"]*\"")), Role::Green, false });
        for (Rule &rule : list)
            rule.pattern.optimize();
        return list;
    }();
    return rules;
}

// A line's last line break is not part of what the patterns see ("$" is
// the end of the line's text).
qsizetype textLength(const QString &line)
{
    qsizetype n = line.size();
    while (n > 0 && (line.at(n - 1) == u'\n' || line.at(n - 1) == u'\r'))
        --n;
    return n;
}

} // namespace

QList<Span> styleLine(const QString &line, RunMode mode)
{
    const std::vector<Rule> &rules = mode == RunMode::Hierarchy ? hierarchyRules() : testRules();
    const qsizetype length = textLength(line);
    const QStringView text = QStringView(line).first(length);
    struct Cell
    {
        Role role = Role::Base;
        bool bold = false;
    };
    std::vector<Cell> cells;
    for (const Rule &rule : rules) {
        if (!rule.pattern.isValid())
            continue; // a broken pattern leaves the line to the other rules
        QRegularExpressionMatchIterator it = rule.pattern.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            if (match.capturedLength() == 0)
                continue;
            if (cells.empty())
                cells.resize(static_cast<size_t>(length));
            for (qsizetype i = match.capturedStart(); i < match.capturedEnd(); ++i) {
                cells[static_cast<size_t>(i)].role = rule.role;
                cells[static_cast<size_t>(i)].bold = cells[static_cast<size_t>(i)].bold || rule.bold;
            }
        }
    }
    QList<Span> spans;
    for (qsizetype i = 0; i < qsizetype(cells.size());) {
        const Cell cell = cells[static_cast<size_t>(i)];
        qsizetype end = i + 1;
        while (end < qsizetype(cells.size()) && cells[static_cast<size_t>(end)].role == cell.role
            && cells[static_cast<size_t>(end)].bold == cell.bold)
            ++end;
        if (cell.role != Role::Base || cell.bold)
            spans.append({ i, end - i, cell.role, cell.bold });
        i = end;
    }
    return spans;
}

} // namespace ConsoleStyle
