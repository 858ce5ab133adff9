#pragma once

#include "historycells.h"
#include "testreport.h"

#include <QAbstractTableModel>
#include <QHash>

#include <vector>

// The history rows as a table: one row per run, the columns of
// HistoryCells. A new list of rows is merged in by run id (rows removed,
// inserted and changed, never a reset once rows are shown), so the view's
// selection and scroll survive a reload. Lives on the main thread.
class HistoryTableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryTableModel)

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // the run folder path
        SortRole, // HistoryCells::sortKey
        ColourRole, // int(HistoryCells::ColourRole) of the cell's text or icon
        WeightRole, // int(HistoryCells::Weight)
        SymbolRole, // the status cell's icon
        HasPageRole, // the run has a page to open
        ActionColoursRole, // int(HistoryCells::ColourRole) of each HistoryCells::Action, in order
    };

    explicit HistoryTableModel(QObject *parent = nullptr);

    void setReports(const TestReportList &rows);
    const TestReport &report(int row) const { return m_rows.at(std::size_t(row)); }
    // The row of a run id; -1 when it is not listed.
    int rowOf(const QString &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // What a row's cells show, worked out on the row's first read.
    struct Shown
    {
        bool ready = false;
        QString text[int(HistoryCells::Column::Count)];
        quint8 colour[int(HistoryCells::Column::Count)] = {};
        quint8 weight[int(HistoryCells::Column::Count)] = {};
    };

    void reindex();
    const Shown &shown(std::size_t row) const;

    std::vector<TestReport> m_rows;
    mutable std::vector<Shown> m_shown;
    QHash<QString, int> m_rowOfId;
};
