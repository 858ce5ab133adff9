#pragma once

#include <QSortFilterProxyModel>

class HistoryTableModel;

// The history table as the screen shows it: sorted by the raw value of the
// chosen column (dates as dates, durations as numbers) and narrowed to the
// rows whose flow, environment or device holds the filter text. Lives on the
// main thread, over a HistoryTableModel.
class HistoryFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryFilterModel)

public:
    explicit HistoryFilterModel(HistoryTableModel *source, QObject *parent = nullptr);

    QString filterText() const { return m_filterText; }
    void setFilterText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    HistoryTableModel *m_source;
    QString m_filterText;
};
