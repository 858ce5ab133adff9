#pragma once

#include <QWidget>

class QLabel;
class QTimer;
class QToolButton;

// "Install:" and the command that installs a missing prerequisite, in a
// selectable monospaced box, with a button that copies it to the clipboard
// (its symbol turns into a check for a moment). Main thread.
class CommandBox final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandBox)

public:
    explicit CommandBox(QWidget *parent = nullptr);

    void setCommand(const QString &command);
    QString command() const;
    QToolButton *copyButton() const { return m_copy; }

public Q_SLOTS:
    void copy();

private:
    QLabel *m_text = nullptr;
    QToolButton *m_copy = nullptr;
    QTimer *m_copiedMark = nullptr;
};
