#pragma once

#include "testreport.h"

#include <QSet>
#include <QString>
#include <QVariant>

// What each cell of the history table says and in which colour, the texts of
// the row actions, the delete confirmation and the selection it leaves. The
// colours are roles: the widgets turn them into palette colours (light or
// dark). Stateless functions, safe on any thread.
namespace HistoryCells {

enum class Column { Status, Env, FlowName, Date, Duration, Device, Steps, Actions, Count };

enum class ColourRole {
    Text, // the platform's text colour
    Secondary, // the text colour, dimmed
    Accent,
    Success, // green
    Failure, // red
    Warning, // orange
    Faded, // the secondary colour at 30 % opacity
    Destructive, // red at 80 % opacity
};

enum class Weight { Regular, Medium, Bold };

struct Cell
{
    QString text;
    ColourRole colour = ColourRole::Text;
    Weight weight = Weight::Regular;
};

enum class Action { OpenReport, ShowEvidence, Delete, Count };

QString columnTitle(Column column);
// The column's width in points; 0 for the flexible one.
int columnWidth(Column column);

// The cell's text and colour. The status cell's text is the status name
// (read out by screen readers), shown as an icon; the actions cell's text
// names the three actions.
Cell cell(const TestReport &row, Column column);
// The same cell's colour and weight without its text (cheaper: no date
// formatting).
Cell cellStyle(const TestReport &row, Column column);
// The icon of the status cell.
QString statusSymbol(TestStatus status);
// The raw value the column sorts by: dates as dates, durations and counts as
// numbers, texts folded to lower case. Absent values sort first.
QVariant sortKey(const TestReport &row, Column column);

// A filter text matches a row when its flow name, environment or device name
// contains it, ignoring case. An empty (or blank) text matches every row.
bool matchesFilter(const TestReport &row, const QString &text);

QString actionSymbol(Action action);
QString actionToolTip(Action action);
ColourRole actionColour(const TestReport &row, Action action);

// "Delete 3 selected": the header button.
QString deleteSelectedLabel(qsizetype count);
// "Delete 3 selected reports": the context menu item.
QString deleteMenuLabel(qsizetype count);
QString confirmationTitle(qsizetype count);
QString confirmationMessage();

// The selection once the rows `deleted` have gone: when every one of them
// was selected they leave the selection; otherwise it stays as it was.
QSet<QString> selectionAfterDelete(const QSet<QString> &selection, const QSet<QString> &deleted);

// The row the primary action (double-click, Return) opens: the one row
// involved when it has a page; nullopt for several rows or none, or a row
// without a page.
std::optional<TestReport> primaryActionTarget(const QList<TestReport> &rows);

} // namespace HistoryCells
