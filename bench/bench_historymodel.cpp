// The history table over 5,000 runs: the time of data() for 1,000 visible
// rows (every role the table's delegate reads, first with the dates still
// to format and then again), of merging a rescan that removed one run and
// added one, and of sorting by duration. Goal: data() under 1 ms per 1,000
// rows. Prints figures; asserts nothing.
//
// Run: ./build/bench/bench_historymodel
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace {

constexpr int kRows = 5000;
constexpr int kVisible = 1000;

TestReportList makeRows(int count, int offset)
{
    const QDateTime base(QDate(2026, 12, 7), QTime(9, 0));
    const QStringList environments { "SIT", "UAT", "PREPROD", "CUSTOM" };
    TestReportList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int n = i + offset;
        TestReport row;
        row.environment = environments.at(qAbs(n) % environments.size());
        row.timestamp = base.addSecs(-qint64(n) * 97);
        row.id = QStringLiteral("/reports/") + row.environment + QLatin1Char('_')
            + row.timestamp.toString(QStringLiteral("yyyyMMdd_HHmmss"));
        row.status = n % 7 == 0 ? TestStatus::Failed : n % 11 == 0 ? TestStatus::Unknown : TestStatus::Passed;
        if (row.status != TestStatus::Unknown) {
            row.yamlName = QStringLiteral("Flow %1").arg(n % 40);
            row.durationSeconds = 10 + n % 90;
            row.deviceName = QStringLiteral("QA Lab iPhone %1").arg(n % 5);
            row.totalCommands = 20;
            row.passedCommands = row.status == TestStatus::Passed ? 20 : 17;
            row.reportHtmlUrl = QUrl::fromLocalFile(row.id + QStringLiteral("/report/report-custom.html"));
        }
        row.evidenceDirUrl = QUrl::fromLocalFile(row.id);
        rows.append(row);
    }
    return rows;
}

// Reads what the delegate reads for `count` rows from `first`; returns a
// checksum so nothing is optimised away.
qsizetype readVisible(const QAbstractItemModel &model, int first, int count, bool displayOnly = false)
{
    static const int allRoles[] = { Qt::DisplayRole, HistoryTableModel::ColourRole, HistoryTableModel::WeightRole,
        HistoryTableModel::SymbolRole, HistoryTableModel::HasPageRole, HistoryTableModel::ActionColoursRole };
    const auto roles = displayOnly ? QList<int> { Qt::DisplayRole } : QList<int>(std::begin(allRoles), std::end(allRoles));
    qsizetype sum = 0;
    for (int row = first; row < first + count; ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            for (int role : roles) {
                sum += index.data(role).isValid() ? 1 : 0;
            }
        }
    }
    return sum;
}

double microseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    HistoryTableModel model;
    HistoryFilterModel view(&model);
    view.sort(3, Qt::DescendingOrder);
    const TestReportList rows = makeRows(kRows, 0);

    QElapsedTimer timer;
    timer.start();
    model.setReports(rows);
    out << "first load of " << kRows << " rows: " << microseconds(timer) / 1000.0 << " ms\n";

    timer.restart();
    qsizetype sum = readVisible(view, 0, kVisible);
    out << "data() for " << kVisible << " visible rows, dates not yet formatted: " << microseconds(timer) / 1000.0 << " ms\n";
    double best = -1;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        sum += readVisible(view, 2000, kVisible);
        const double once = microseconds(timer);
        if (round > 0)
            best = best < 0 ? once : std::min(best, once);
        else
            out << "data() for " << kVisible << " other rows, first read: " << once / 1000.0 << " ms\n";
    }
    out << "data() for " << kVisible << " visible rows through the sort/filter proxy, read again: " << best / 1000.0
        << " ms (best of 4)\n";
    best = -1;
    for (int round = 0; round < 4; ++round) {
        timer.restart();
        sum += readVisible(model, 2000, kVisible);
        const double once = microseconds(timer);
        best = best < 0 ? once : std::min(best, once);
    }
    out << "data() of the table model for " << kVisible
        << " visible rows, every role the delegate reads, read again: " << best / 1000.0 << " ms (best of 4)\n";
    best = -1;
    for (int round = 0; round < 4; ++round) {
        timer.restart();
        sum += readVisible(model, 2000, kVisible, true);
        const double once = microseconds(timer);
        best = best < 0 ? once : std::min(best, once);
    }
    out << "data() of the table model for " << kVisible << " visible rows, display texts of the 8 columns: " << best / 1000.0
        << " ms (best of 4; goal < 1 ms)\n";

    TestReportList rescan = makeRows(kRows, 1); // the oldest run gone...
    rescan.prepend(makeRows(1, -1).first()); // ...and a new one on top
    timer.restart();
    model.setReports(rescan);
    out << "rescan merged by id (one removed, one added) into " << kRows << " rows: " << microseconds(timer) / 1000.0 << " ms\n";

    timer.restart();
    view.sort(4, Qt::AscendingOrder);
    out << "sort " << view.rowCount() << " rows by duration: " << microseconds(timer) / 1000.0 << " ms\n";

    timer.restart();
    view.setFilterText(QStringLiteral("flow 3"));
    out << "filter to " << view.rowCount() << " rows: " << microseconds(timer) / 1000.0 << " ms\n";
    out << "(checksum " << sum << ")\n";
    return 0;
}
