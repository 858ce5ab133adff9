#pragma once

#include "console/consolemirror.h"
#include "console/consolestyle.h"
#include "runner/runmode.h"

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTimer>

#include <array>

// The realtime console: read-only, selectable, monospaced text with one
// block per console line, coloured by the console rules of the current run
// mode. Lines arrive as edits (drop shown lines from the front, append new
// ones, or show a list in full); only appended lines are styled, a few
// hundred per turn of the event loop, through one cursor at the end. With
// auto-scroll on, new lines scroll into view while the user is at the last
// line; scrolling up to read stops that until they are back at the end.
// Main thread.
class ConsoleView final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConsoleView)

public:
    explicit ConsoleView(QWidget *parent = nullptr);

    RunMode runMode() const { return m_runMode; }
    // Takes effect with the next full render.
    void setRunMode(RunMode mode);
    bool autoScroll() const { return m_autoScroll; }
    void setAutoScroll(bool on);

    void applyEdit(const ConsoleMirror::Edit &edit);
    // Shows `lines` in full.
    void setLines(const QStringList &lines);

    // Lines shown or waiting to be inserted.
    qsizetype lineCount() const { return m_lineCount + m_queued.size(); }
    // Those lines, each with its line break, as the controller holds them.
    QString consoleText() const;
    // Inserts every waiting line now.
    void flush();

    // Lines inserted per turn of the event loop, so a flood never blocks it
    // for long.
    static constexpr qsizetype kLinesPerTurn = 300;

private:
    // `follow`: the view was at its last line before the change.
    void insertQueued(bool follow);
    void appendLines(const QStringList &lines);
    void removeFirstLines(qsizetype count);
    void clearLines();
    void updateFormats();
    bool isAtEnd() const;
    void scrollToEndIfFollowing(bool wasAtEnd);

    RunMode m_runMode = RunMode::Test;
    bool m_autoScroll = true;
    qsizetype m_lineCount = 0; // lines in the document
    // Lines to insert after the document's, a chunk per turn of the loop.
    QStringList m_queued;
    QTimer m_insertTimer;
    QTextCharFormat m_base;
    // One format per colour role, plain and bold, built once per palette.
    std::array<QTextCharFormat, 7> m_roleFormats;
    std::array<QTextCharFormat, 7> m_boldRoleFormats;
};
