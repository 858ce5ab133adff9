#include "consoleview.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The console's palette, all on the platform's text background.
QColor roleColour(ConsoleStyle::Role role)
{
    switch (role) {
    case ConsoleStyle::Role::Purple:
        return QColor::fromRgbF(0.77f, 0.47f, 0.88f);
    case ConsoleStyle::Role::Blue:
        return QColor::fromRgbF(0.38f, 0.69f, 0.94f);
    case ConsoleStyle::Role::Green:
        return QColor::fromRgbF(0.6f, 0.76f, 0.47f);
    case ConsoleStyle::Role::Yellow:
        return QColor::fromRgbF(0.89f, 0.76f, 0.47f);
    case ConsoleStyle::Role::Red:
        return QColor::fromRgbF(0.88f, 0.42f, 0.45f);
    case ConsoleStyle::Role::Grey:
        return QColor::fromRgbF(0.55f, 0.55f, 0.55f);
    case ConsoleStyle::Role::Base:
        break;
    }
    return {};
}

// One console line is one block: the trailing break goes, and a break
// inside the line stays inside its block.
QString blockText(const QString &line)
{
    QString text = line;
    while (text.endsWith(u'\n'))
        text.chop(1);
    text.replace(u'\n', QChar::LineSeparator);
    return text;
}

} // namespace

ConsoleView::ConsoleView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("consoleView"));
    setAccessibleName(tr("Console"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    setFont(font);
    document()->setDefaultFont(font);
    updateFormats();
    m_insertTimer.setSingleShot(true);
    m_insertTimer.setInterval(0);
    connect(&m_insertTimer, &QTimer::timeout, this, [this] { insertQueued(isAtEnd()); });
}

void ConsoleView::setRunMode(RunMode mode)
{
    m_runMode = mode;
}

void ConsoleView::setAutoScroll(bool on)
{
    m_autoScroll = on;
    scrollToEndIfFollowing(true);
}

void ConsoleView::applyEdit(const ConsoleMirror::Edit &edit)
{
    if (edit.reset) {
        setLines(edit.append);
        return;
    }
    const bool follow = isAtEnd();
    qsizetype remove = edit.removeFront;
    if (remove > 0) {
        const qsizetype fromDocument = qMin(remove, m_lineCount);
        removeFirstLines(fromDocument);
        remove -= fromDocument;
        // The rest went before it was ever inserted.
        m_queued.remove(0, qMin(remove, m_queued.size()));
    }
    if (!edit.append.isEmpty()) {
        m_queued.append(edit.append);
        // The first chunk goes in now, the rest on the next turns.
        insertQueued(follow);
        return;
    }
    scrollToEndIfFollowing(follow);
}

void ConsoleView::flush()
{
    m_insertTimer.stop();
    const bool follow = isAtEnd();
    appendLines(std::exchange(m_queued, QStringList()));
    scrollToEndIfFollowing(follow);
}

void ConsoleView::insertQueued(bool follow)
{
    const qsizetype count = qMin(kLinesPerTurn, m_queued.size());
    appendLines(m_queued.first(count));
    m_queued.remove(0, count);
    if (!m_queued.isEmpty())
        m_insertTimer.start();
    scrollToEndIfFollowing(follow);
}

void ConsoleView::setLines(const QStringList &lines)
{
    clearLines();
    if (lines.isEmpty())
        return; // an empty console leaves the scroll position alone
    m_queued = lines;
    insertQueued(true);
}

QString ConsoleView::consoleText() const
{
    QString text;
    if (m_lineCount > 0) {
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            text += block.text().replace(QChar::LineSeparator, u'\n');
            text += u'\n';
        }
    }
    for (const QString &line : m_queued)
        text += line.endsWith(u'\n') ? line : line + u'\n';
    return text;
}

void ConsoleView::appendLines(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const QString &line : lines) {
        if (m_lineCount > 0)
            cursor.insertBlock(QTextBlockFormat(), m_base);
        const QString text = blockText(line);
        qsizetype at = 0;
        for (const ConsoleStyle::Span &span : ConsoleStyle::styleLine(text, m_runMode)) {
            if (span.start > at)
                cursor.insertText(text.mid(at, span.start - at), m_base);
            const auto index = static_cast<size_t>(span.role);
            cursor.insertText(text.mid(span.start, span.length), span.bold ? m_boldRoleFormats[index] : m_roleFormats[index]);
            at = span.start + span.length;
        }
        if (at < text.size())
            cursor.insertText(text.mid(at), m_base);
        ++m_lineCount;
    }
    cursor.endEditBlock();
}

void ConsoleView::removeFirstLines(qsizetype count)
{
    if (count <= 0)
        return;
    if (count >= m_lineCount) {
        document()->clear(); // the waiting lines stay
        m_lineCount = 0;
        return;
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::Start);
    const QTextBlock keep = document()->findBlockByNumber(int(count));
    cursor.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
    m_lineCount -= count;
}

void ConsoleView::clearLines()
{
    m_insertTimer.stop();
    m_queued.clear();
    document()->clear();
    m_lineCount = 0;
}

void ConsoleView::updateFormats()
{
    // The base format names no colour, so plain text follows the palette
    // (light or dark) also after it changes.
    m_base = QTextCharFormat();
    for (size_t i = 0; i < m_roleFormats.size(); ++i) {
        QTextCharFormat format = m_base;
        if (const auto role = static_cast<ConsoleStyle::Role>(i); role != ConsoleStyle::Role::Base)
            format.setForeground(roleColour(role));
        m_roleFormats[i] = format;
        format.setFontWeight(QFont::Bold);
        m_boldRoleFormats[i] = format;
    }
}

bool ConsoleView::isAtEnd() const
{
    const QScrollBar *bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void ConsoleView::scrollToEndIfFollowing(bool wasAtEnd)
{
    // A user who scrolled up to read stays where they are; back at the end,
    // the view follows again, as a terminal does.
    if (!m_autoScroll || !wasAtEnd)
        return;
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}
