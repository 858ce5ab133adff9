#include "historytablemodel.h"

#include <QSet>

namespace {

using HistoryCells::Column;

bool sameRow(const TestReport &a, const TestReport &b)
{
    return a.id == b.id && a.environment == b.environment && a.timestamp == b.timestamp && a.status == b.status
        && a.yamlName == b.yamlName && a.durationSeconds == b.durationSeconds && a.deviceName == b.deviceName
        && a.totalCommands == b.totalCommands && a.passedCommands == b.passedCommands && a.reportHtmlUrl == b.reportHtmlUrl
        && a.evidenceDirUrl == b.evidenceDirUrl;
}

} // namespace

HistoryTableModel::HistoryTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

void HistoryTableModel::setReports(const TestReportList &rows)
{
    if (m_rows.empty() || rows.isEmpty()) {
        if (m_rows.empty() && rows.isEmpty())
            return;
        beginResetModel();
        m_rows.assign(rows.begin(), rows.end());
        m_shown.assign(m_rows.size(), Shown());
        reindex();
        endResetModel();
        return;
    }

    QSet<QString> incoming;
    incoming.reserve(rows.size());
    for (const TestReport &row : rows)
        incoming.insert(row.id);

    // Rows that are gone, in contiguous runs from the end.
    for (int last = int(m_rows.size()) - 1; last >= 0;) {
        if (incoming.contains(m_rows[std::size_t(last)].id)) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !incoming.contains(m_rows[std::size_t(first - 1)].id))
            --first;
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        m_shown.erase(m_shown.begin() + first, m_shown.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }

    QSet<QString> present;
    present.reserve(qsizetype(m_rows.size()));
    for (const TestReport &row : m_rows)
        present.insert(row.id);

    // Walk the new list; the first `at` rows already match it.
    int at = 0;
    while (at < rows.size()) {
        const TestReport &wanted = rows.at(at);
        if (at < int(m_rows.size()) && m_rows[std::size_t(at)].id == wanted.id) {
            if (!sameRow(m_rows[std::size_t(at)], wanted)) {
                m_rows[std::size_t(at)] = wanted;
                m_shown[std::size_t(at)] = Shown();
                Q_EMIT dataChanged(index(at, 0), index(at, columnCount() - 1));
            }
            ++at;
            continue;
        }
        if (present.contains(wanted.id)) {
            // A kept row moved (equal times listed in another order): it
            // leaves here and comes back where the new list has it.
            const QString misplaced = m_rows[std::size_t(at)].id;
            beginRemoveRows({}, at, at);
            m_rows.erase(m_rows.begin() + at);
            m_shown.erase(m_shown.begin() + at);
            endRemoveRows();
            present.remove(misplaced);
            continue;
        }
        int end = at + 1;
        while (end < rows.size() && !present.contains(rows.at(end).id))
            ++end;
        beginInsertRows({}, at, end - 1);
        m_rows.insert(m_rows.begin() + at, rows.begin() + at, rows.begin() + end);
        m_shown.insert(m_shown.begin() + at, std::size_t(end - at), Shown());
        endInsertRows();
        for (int i = at; i < end; ++i)
            present.insert(rows.at(i).id);
        at = end;
    }
    if (int(m_rows.size()) > rows.size()) {
        // Only when the new list repeats an id: drop what is left over.
        beginRemoveRows({}, int(rows.size()), int(m_rows.size()) - 1);
        m_rows.resize(std::size_t(rows.size()));
        m_shown.resize(std::size_t(rows.size()));
        endRemoveRows();
    }
    reindex();
}

void HistoryTableModel::reindex()
{
    m_rowOfId.clear();
    m_rowOfId.reserve(qsizetype(m_rows.size()));
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rowOfId.insert(m_rows[i].id, int(i));
}

const HistoryTableModel::Shown &HistoryTableModel::shown(std::size_t row) const
{
    Shown &cells = m_shown[row];
    if (!cells.ready) {
        for (int column = 0; column < int(Column::Count); ++column) {
            const HistoryCells::Cell cell = HistoryCells::cell(m_rows[row], Column(column));
            cells.text[column] = cell.text;
            cells.colour[column] = quint8(cell.colour);
            cells.weight[column] = quint8(cell.weight);
        }
        cells.ready = true;
    }
    return cells;
}

int HistoryTableModel::rowOf(const QString &id) const
{
    return m_rowOfId.value(id, -1);
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Column::Count);
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this || std::size_t(index.row()) >= m_rows.size()
        || index.column() >= int(Column::Count))
        return QVariant();
    const std::size_t row = std::size_t(index.row());
    const TestReport &report = m_rows[row];
    const Column column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole:
        // The status and actions cells are drawn as icons.
        if (column == Column::Status || column == Column::Actions)
            return QVariant();
        return shown(row).text[index.column()];
    case Qt::AccessibleTextRole:
        // Screen readers read the status and actions cells by name.
        return shown(row).text[index.column()];
    case Qt::ToolTipRole:
        if (column == Column::Status || column == Column::Env || column == Column::FlowName || column == Column::Device)
            return shown(row).text[index.column()];
        return QVariant();
    case IdRole:
        return report.id;
    case SortRole:
        return HistoryCells::sortKey(report, column);
    case ColourRole:
        return int(shown(row).colour[index.column()]);
    case WeightRole:
        return int(shown(row).weight[index.column()]);
    case SymbolRole:
        return column == Column::Status ? HistoryCells::statusSymbol(report.status) : QVariant();
    case HasPageRole:
        return report.reportHtmlUrl.has_value();
    case ActionColoursRole: {
        if (column != Column::Actions)
            return QVariant();
        QVariantList colours;
        for (int action = 0; action < int(HistoryCells::Action::Count); ++action)
            colours.append(int(HistoryCells::actionColour(report, HistoryCells::Action(action))));
        return colours;
    }
    default:
        break;
    }
    return QVariant();
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(Column::Count))
        return QVariant();
    if (role == Qt::DisplayRole)
        return HistoryCells::columnTitle(Column(section));
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return Column(section) == Column::Status ? tr("Status") : HistoryCells::columnTitle(Column(section));
    return QVariant();
}

Qt::ItemFlags HistoryTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
