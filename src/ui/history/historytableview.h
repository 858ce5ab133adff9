#pragma once

#include <QTableView>

// The history table: rows selected as a whole, several at once. Return or
// Enter and a double-click on a row (outside its action buttons) ask for
// the primary action; the history view decides what it does.
class HistoryTableView final : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryTableView)

public:
    explicit HistoryTableView(QWidget *parent = nullptr);

Q_SIGNALS:
    void primaryActionRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
