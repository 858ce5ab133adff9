// The history table's rules: what each cell says and in which colour role,
// sorting by raw values, the filter, merging a rescan by run id, the
// selection a deletion leaves and the row the primary action opens.
#include "reporttestsupport.h"

#include "reports/historycells.h"
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using namespace ReportTestSupport;
using HistoryCells::ColourRole;
using HistoryCells::Column;

namespace {

// "ENV_yyyyMMdd_HHmmss|flow|seconds|device|passed/total|page": "-" for an
// absent value, "page" or "-" for the report page.
TestReport row(const QString &line)
{
    const QStringList f = line.split(u'|');
    TestReport r;
    const QString name = f.value(0);
    r.id = QStringLiteral("/runs/") + name;
    r.environment = name.section(u'_', 0, 0);
    r.timestamp = QDateTime::fromString(name.section(u'_', 1), QStringLiteral("yyyyMMdd_HHmmss"));
    const auto text = [](const QString &v) { return v == u"-" ? std::nullopt : std::optional<QString>(v); };
    const auto number = [](const QString &v) { return v == u"-" ? std::nullopt : std::optional<qint64>(v.toLongLong()); };
    r.yamlName = text(f.value(1, QStringLiteral("-")));
    r.durationSeconds = number(f.value(2, QStringLiteral("-")));
    r.deviceName = text(f.value(3, QStringLiteral("-")));
    const QString steps = f.value(4, QStringLiteral("-/-"));
    r.passedCommands = number(steps.section(u'/', 0, 0));
    r.totalCommands = number(steps.section(u'/', 1, 1));
    if (f.value(5) == u"page")
        r.reportHtmlUrl = QUrl::fromLocalFile(r.id + QStringLiteral("/report/report.html"));
    r.evidenceDirUrl = QUrl::fromLocalFile(r.id);
    r.status = r.passedCommands && r.passedCommands == r.totalCommands ? TestStatus::Passed : TestStatus::Unknown;
    return r;
}

TestReportList rows(const QStringList &lines)
{
    TestReportList list;
    for (const QString &line : lines)
        list.append(row(line));
    return list;
}

QStringList idsOf(const QAbstractItemModel &model)
{
    QStringList ids;
    for (int i = 0; i < model.rowCount(); ++i)
        ids.append(model.index(i, 0).data(HistoryTableModel::IdRole).toString().section(u'/', -1));
    return ids;
}

QSet<QString> set(const QString &words)
{
    const QStringList list = words.split(u' ', Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

} // namespace

Q_DECLARE_METATYPE(Column)
Q_DECLARE_METATYPE(ColourRole)

class TestHistoryCells final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useUtc(); }

private Q_SLOTS:
    void cells_data();
    void cells();
    void sorting_data();
    void sorting();
    void filter_data();
    void filter();
    void rescanMerges_data();
    void rescanMerges();
    void selectionAfterDelete_data();
    void selectionAfterDelete();
    void primaryAction_data();
    void primaryAction();
};

void TestHistoryCells::cells_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Column>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ColourRole>("colour");

    const QString run = QStringLiteral("SIT_20261206_093644|");
    QTest::newRow("steps all passed: green") << run + "Login|14|Phone|9/9" << Column::Steps << "9/9" << ColourRole::Success;
    QTest::newRow("steps short by one: red") << run + "Login|14|Phone|8/9" << Column::Steps << "8/9" << ColourRole::Failure;
    QTest::newRow("steps none of none: secondary")
        << run + "Login|14|Phone|0/0" << Column::Steps << "0/0" << ColourRole::Secondary;
    QTest::newRow("steps more passed than ran: secondary")
        << run + "Login|14|Phone|5/4" << Column::Steps << "5/4" << ColourRole::Secondary;
    QTest::newRow("steps without passed count") << run + "Login|14|Phone|-/9" << Column::Steps << "-" << ColourRole::Secondary;
    QTest::newRow("steps without total") << run + "Login|14|Phone|9/-" << Column::Steps << "-" << ColourRole::Secondary;
    QTest::newRow("duration in seconds") << run + "Login|14|Phone|9/9" << Column::Duration << "14s" << ColourRole::Secondary;
    QTest::newRow("no duration: hyphen") << run + "Login|-|Phone|9/9" << Column::Duration << "-" << ColourRole::Secondary;
    QTest::newRow("no flow name") << run + "-|14|Phone|9/9" << Column::FlowName << "Unknown Flow" << ColourRole::Text;
    QTest::newRow("no device: hyphen") << run + "Login|14|-|9/9" << Column::Device << "-" << ColourRole::Secondary;
    QTest::newRow("environment badge") << run + "Login|14|Phone|9/9" << Column::Env << "SIT" << ColourRole::Accent;
    QTest::newRow("passed status") << run + "Login|14|Phone|9/9" << Column::Status << "Passed" << ColourRole::Success;
    QTest::newRow("unknown status") << run + "-|-|-|-/-" << Column::Status << "Unknown" << ColourRole::Warning;
    QTest::newRow("date in display form") << run + "Login|14|Phone|9/9" << Column::Date << "Dec 6, 2026, 09:36"
                                          << ColourRole::Secondary;
}

void TestHistoryCells::cells()
{
    QFETCH(QString, line);
    QFETCH(Column, column);
    QFETCH(QString, text);
    QFETCH(ColourRole, colour);
    const TestReport report = row(line);
    const HistoryCells::Cell cell = HistoryCells::cell(report, column);
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.colour, colour);
    QCOMPARE(HistoryCells::cellStyle(report, column).colour, colour);

    // The table shows the same.
    HistoryTableModel model;
    model.setReports({ report });
    const QModelIndex index = model.index(0, int(column));
    QCOMPARE(index.data(Qt::AccessibleTextRole).toString(), text);
    QCOMPARE(ColourRole(index.data(HistoryTableModel::ColourRole).toInt()), colour);
}

void TestHistoryCells::sorting_data()
{
    QTest::addColumn<Column>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("expected");

    // As texts "100s" < "10s" < "9s" and "Dec …" < "Nov …"; as values not.
    QTest::newRow("duration as numbers, absent first")
        << Column::Duration << Qt::AscendingOrder
        << QStringList { "PREPROD_20261101_120000", "UAT_20261130_230000", "SIT_20261201_080000", "SIT_20261206_093644" };
    QTest::newRow("duration descending, absent last")
        << Column::Duration << Qt::DescendingOrder
        << QStringList { "SIT_20261206_093644", "SIT_20261201_080000", "UAT_20261130_230000", "PREPROD_20261101_120000" };
    QTest::newRow("dates as dates") << Column::Date << Qt::AscendingOrder
                                    << QStringList { "PREPROD_20261101_120000", "UAT_20261130_230000", "SIT_20261201_080000",
                                           "SIT_20261206_093644" };
    QTest::newRow("steps by share passed") << Column::Steps << Qt::AscendingOrder
                                           << QStringList { "PREPROD_20261101_120000", "SIT_20261206_093644",
                                                  "SIT_20261201_080000", "UAT_20261130_230000" };
}

void TestHistoryCells::sorting()
{
    QFETCH(Column, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, expected);
    HistoryTableModel model;
    HistoryFilterModel view(&model);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setReports(rows({ "SIT_20261206_093644|Login|100|Phone|2/10", "SIT_20261201_080000|Pay|10|Phone|9/10",
        "UAT_20261130_230000|Cart|9|Pad|10/10", "PREPROD_20261101_120000|-|-|-|-/-" }));
    view.sort(int(column), order);
    QCOMPARE(idsOf(view), expected);
}

void TestHistoryCells::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("flow name, any case") << "LOGIN" << QStringList { "SIT_20261206_093644" };
    QTest::newRow("environment") << "uat" << QStringList { "UAT_20261130_230000" };
    QTest::newRow("device") << "pad" << QStringList { "UAT_20261130_230000" };
    QTest::newRow("blank shows all") << "  "
                                     << QStringList { "SIT_20261206_093644", "UAT_20261130_230000", "CUSTOM_20261101_120000" };
    QTest::newRow("nothing matches") << "checkout" << QStringList {};
    QTest::newRow("absent fields never match the hyphen") << "-" << QStringList {};
    QTest::newRow("absent flow never matches its placeholder") << "unknown" << QStringList {};
}

void TestHistoryCells::filter()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    HistoryTableModel model;
    HistoryFilterModel view(&model);
    model.setReports(rows({ "SIT_20261206_093644|Login|14|Phone|9/9", "UAT_20261130_230000|Cart|9|Pad|10/10",
        "CUSTOM_20261101_120000|-|-|-|-/-" }));
    view.setFilterText(text);
    QCOMPARE(idsOf(view), expected);
}

void TestHistoryCells::rescanMerges_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    const QString a = QStringLiteral("SIT_20261206_100000|A|1|P|1/1");
    const QString b = QStringLiteral("SIT_20261206_090000|B|1|P|1/1");
    const QString c = QStringLiteral("SIT_20261206_080000|C|1|P|1/1");
    const QString d = QStringLiteral("SIT_20261206_070000|D|1|P|1/1");
    const QString n = QStringLiteral("SIT_20261206_110000|N|1|P|1/1");
    QTest::newRow("new run on top") << QStringList { a, b, c } << QStringList { n, a, b, c };
    QTest::newRow("one run deleted") << QStringList { a, b, c } << QStringList { a, c };
    QTest::newRow("deleted and added") << QStringList { a, b, c, d } << QStringList { n, b, d };
    QTest::newRow("a row changed") << QStringList { a, b, c } << QStringList { a, QString(b).replace("1/1", "0/1"), c };
    QTest::newRow("equal times listed in another order") << QStringList { a, b, c } << QStringList { a, c, b };
    QTest::newRow("all gone") << QStringList { a, b } << QStringList {};
}

void TestHistoryCells::rescanMerges()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    HistoryTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setReports(rows(before));
    // Rows that stay keep their persistent index (the view's selection); a
    // reordered row may leave and come back.
    QHash<QString, QPersistentModelIndex> kept;
    for (int i = 0; i < model.rowCount(); ++i)
        kept.insert(model.report(i).id, QPersistentModelIndex(model.index(i, 1)));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const TestReportList next = rows(after);
    model.setReports(next);

    QStringList expected;
    int lost = 0;
    for (const TestReport &r : next) {
        expected.append(r.id.section(u'/', -1));
        QCOMPARE(model.index(model.rowOf(r.id), int(Column::Steps)).data().toString(), HistoryCells::cell(r, Column::Steps).text);
        if (kept.contains(r.id) && !kept.value(r.id).isValid())
            ++lost;
        else if (kept.contains(r.id))
            QCOMPARE(kept.value(r.id).data(HistoryTableModel::IdRole).toString(), r.id);
    }
    QCOMPARE(idsOf(model), expected);
    QVERIFY(lost <= 1);
    QCOMPARE(resets.count(), next.isEmpty() ? 1 : 0);
}

void TestHistoryCells::selectionAfterDelete_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the three selected rows") << "a b c"
                                             << "a b c"
                                             << "";
    QTest::newRow("one selected row of three") << "a b c"
                                               << "b"
                                               << "a c";
    QTest::newRow("an unselected row's trash button") << "a b"
                                                      << "c"
                                                      << "a b";
    QTest::newRow("partly selected rows: selection stays") << "a b"
                                                           << "b c"
                                                           << "a b";
    QTest::newRow("nothing selected") << ""
                                      << "a"
                                      << "";
}

void TestHistoryCells::selectionAfterDelete()
{
    QFETCH(QString, selection);
    QFETCH(QString, deleted);
    QFETCH(QString, expected);
    QCOMPARE(HistoryCells::selectionAfterDelete(set(selection), set(deleted)), set(expected));
}

void TestHistoryCells::primaryAction_data()
{
    QTest::addColumn<QStringList>("involved");
    QTest::addColumn<bool>("opens");
    QTest::newRow("one row with a page") << QStringList { "SIT_20261206_093644|L|1|P|1/1|page" } << true;
    QTest::newRow("one row without a page") << QStringList { "SIT_20261206_093644|L|1|P|1/1|-" } << false;
    QTest::newRow("two rows") << QStringList { "SIT_20261206_093644|L|1|P|1/1|page", "UAT_20261206_093644|L|1|P|1/1|page" }
                              << false;
    QTest::newRow("no row") << QStringList {} << false;
}

void TestHistoryCells::primaryAction()
{
    QFETCH(QStringList, involved);
    QFETCH(bool, opens);
    const TestReportList list = rows(involved);
    const std::optional<TestReport> target = HistoryCells::primaryActionTarget(list);
    QCOMPARE(target.has_value(), opens);
    if (opens)
        QCOMPARE(target->id, list.first().id);
    // The open action is dimmed exactly when there is no page.
    for (const TestReport &r : list)
        QCOMPARE(HistoryCells::actionColour(r, HistoryCells::Action::OpenReport) == ColourRole::Faded, !r.reportHtmlUrl);
}

QTEST_GUILESS_MAIN(TestHistoryCells)
#include "tst_historycells.moc"
