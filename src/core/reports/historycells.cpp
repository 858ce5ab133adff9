#include "historycells.h"

#include "reportformatters.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HistoryCells", text);
}

const QString kHyphen = QStringLiteral("-");

QString textOr(const std::optional<QString> &value, const QString &absent)
{
    return value ? *value : absent;
}

} // namespace

QString HistoryCells::columnTitle(Column column)
{
    switch (column) {
    case Column::Env:
        return tr("Env");
    case Column::FlowName:
        return tr("Flow Name");
    case Column::Date:
        return tr("Date");
    case Column::Duration:
        return tr("Duration");
    case Column::Device:
        return tr("Device");
    case Column::Steps:
        return tr("Steps");
    case Column::Actions:
        return tr("Actions");
    case Column::Status:
    case Column::Count:
        break;
    }
    return QString();
}

int HistoryCells::columnWidth(Column column)
{
    switch (column) {
    case Column::Status:
        return 20;
    case Column::Env:
        return 40;
    case Column::Date:
        return 130;
    case Column::Duration:
        return 50;
    case Column::Device:
        return 100;
    case Column::Steps:
        return 60;
    case Column::Actions:
        return 80;
    case Column::FlowName:
    case Column::Count:
        break;
    }
    return 0;
}

QString HistoryCells::statusSymbol(TestStatus status)
{
    switch (status) {
    case TestStatus::Passed:
        return QStringLiteral("checkmark.circle.fill");
    case TestStatus::Failed:
        return QStringLiteral("xmark.circle.fill");
    case TestStatus::Unknown:
        break;
    }
    return QStringLiteral("questionmark.circle.fill");
}

HistoryCells::Cell HistoryCells::cell(const TestReport &row, Column column)
{
    switch (column) {
    case Column::Status: {
        const ColourRole colour = row.status == TestStatus::Passed ? ColourRole::Success
            : row.status == TestStatus::Failed                     ? ColourRole::Failure
                                                                   : ColourRole::Warning;
        const QString name = row.status == TestStatus::Passed ? tr("Passed")
            : row.status == TestStatus::Failed                ? tr("Failed")
                                                              : tr("Unknown");
        return { name, colour, Weight::Regular };
    }
    case Column::Env:
        return { row.environment, ColourRole::Accent, Weight::Bold };
    case Column::FlowName:
        return { textOr(row.yamlName, tr("Unknown Flow")), ColourRole::Text, Weight::Medium };
    case Column::Date:
        return { ReportFormatters::formatDisplay(row.timestamp), ColourRole::Secondary, Weight::Regular };
    case Column::Duration:
        return { row.durationSeconds ? QString::number(*row.durationSeconds) + QLatin1Char('s') : kHyphen, ColourRole::Secondary,
            Weight::Regular };
    case Column::Device:
        return { textOr(row.deviceName, kHyphen), ColourRole::Secondary, Weight::Regular };
    case Column::Steps: {
        if (!row.passedCommands || !row.totalCommands)
            return { kHyphen, ColourRole::Secondary, Weight::Regular };
        const qint64 passed = *row.passedCommands;
        const qint64 total = *row.totalCommands;
        const ColourRole colour = total >= 1 && passed == total ? ColourRole::Success
            : passed < total                                    ? ColourRole::Failure
                                                                : ColourRole::Secondary;
        return { QString::number(passed) + QLatin1Char('/') + QString::number(total), colour, Weight::Medium };
    }
    case Column::Actions: {
        QStringList names;
        for (int action = 0; action < int(Action::Count); ++action)
            names.append(actionToolTip(Action(action)));
        return { names.join(QStringLiteral(", ")), ColourRole::Secondary, Weight::Regular };
    }
    case Column::Count:
        break;
    }
    return {};
}

QVariant HistoryCells::sortKey(const TestReport &row, Column column)
{
    const auto number = [](const std::optional<qint64> &value) { return value ? *value : qint64(-1); };
    switch (column) {
    case Column::Status:
        return int(row.status);
    case Column::Env:
        return row.environment.toLower();
    case Column::FlowName:
        return textOr(row.yamlName, QString()).toLower();
    case Column::Date:
        return row.timestamp;
    case Column::Duration:
        return number(row.durationSeconds);
    case Column::Device:
        return textOr(row.deviceName, QString()).toLower();
    case Column::Steps:
        // By the share of passed steps, then by how many ran.
        if (!row.passedCommands || !row.totalCommands || *row.totalCommands <= 0)
            return -1.0;
        return double(*row.passedCommands) / double(*row.totalCommands) + double(*row.totalCommands) * 1e-9;
    case Column::Actions:
    case Column::Count:
        break;
    }
    return QVariant();
}

HistoryCells::Cell HistoryCells::cellStyle(const TestReport &row, Column column)
{
    if (column == Column::Date || column == Column::Actions)
        return { QString(), ColourRole::Secondary, Weight::Regular };
    return cell(row, column);
}

bool HistoryCells::matchesFilter(const TestReport &row, const QString &text)
{
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return true;
    const auto has = [&needle](const QString &value) { return value.contains(needle, Qt::CaseInsensitive); };
    return has(row.environment) || (row.yamlName && has(*row.yamlName)) || (row.deviceName && has(*row.deviceName));
}

QString HistoryCells::actionSymbol(Action action)
{
    switch (action) {
    case Action::OpenReport:
        return QStringLiteral("safari");
    case Action::ShowEvidence:
        return QStringLiteral("folder");
    case Action::Delete:
    case Action::Count:
        break;
    }
    return QStringLiteral("trash");
}

QString HistoryCells::actionToolTip(Action action)
{
    switch (action) {
    case Action::OpenReport:
        return tr("Open Report in Browser");
    case Action::ShowEvidence:
        return tr("Show Evidence in Finder");
    case Action::Delete:
    case Action::Count:
        break;
    }
    return tr("Delete Report");
}

HistoryCells::ColourRole HistoryCells::actionColour(const TestReport &row, Action action)
{
    switch (action) {
    case Action::OpenReport:
        return row.reportHtmlUrl ? ColourRole::Accent : ColourRole::Faded;
    case Action::ShowEvidence:
        return ColourRole::Secondary;
    case Action::Delete:
    case Action::Count:
        break;
    }
    return ColourRole::Destructive;
}

QString HistoryCells::deleteSelectedLabel(qsizetype count)
{
    return tr("Delete %1 selected").arg(count);
}

QString HistoryCells::deleteMenuLabel(qsizetype count)
{
    return tr("Delete %1 selected reports").arg(count);
}

QString HistoryCells::confirmationTitle(qsizetype count)
{
    return tr("Are you sure you want to delete %1 report(s)?").arg(count);
}

QString HistoryCells::confirmationMessage()
{
    return tr("This action will permanently delete the report folders from your disk. You cannot undo this action.");
}

QSet<QString> HistoryCells::selectionAfterDelete(const QSet<QString> &selection, const QSet<QString> &deleted)
{
    if (!selection.contains(deleted))
        return selection;
    return QSet<QString>(selection).subtract(deleted);
}

std::optional<TestReport> HistoryCells::primaryActionTarget(const QList<TestReport> &rows)
{
    if (rows.size() != 1 || !rows.first().reportHtmlUrl)
        return std::nullopt;
    return rows.first();
}
