// The history screen over real run folders in a temporary directory: each
// control reaches its slot, and deleting goes through the confirmation with
// the selection rules a person relies on.
#include "reporttestsupport.h"

#include "history/historydelegate.h"
#include "history/historytableview.h"
#include "history/historyview.h"
#include "mainwindow.h"
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"
#include "runner/runnerviewmodel.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

using namespace ReportTestSupport;
using HistoryCells::Action;
using HistoryCells::Column;

class TestHistoryView final : public QObject
{
    Q_OBJECT

public:
    using Step = std::function<void(TestHistoryView *)>;

    HistoryView *view() const { return m_view.get(); }
    QString run(const QString &name) const { return m_dir->filePath(name); }
    QList<QUrl> opened;
    QList<QUrl> revealed;

    // The view's row (top to bottom) of a run folder name.
    int rowOf(const QString &name) const;
    void select(const QStringList &names);
    void clickAction(const QString &name, Action action);
    void confirm(const QString &button);
    QStringList listed() const;

private Q_SLOTS:
    void init();
    void cleanup();
    void wiring_data();
    void wiring();
    void threeSelectedRowsDeletedThroughConfirmation();
    void trashButtonKeepsTheOtherSelection();
    void runWithoutPage();
    void loadingThenEmpty();
    void windowReloads_data();
    void windowReloads();

private:
    void makeRun(const QString &name, bool withPage);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HistoryView> m_view;
};

Q_DECLARE_METATYPE(TestHistoryView::Step)

void TestHistoryView::makeRun(const QString &name, bool withPage)
{
    const QString report = run(name) + QStringLiteral("/report");
    QDir().mkpath(run(name) + QStringLiteral("/sandbox"));
    writeAll(report + QStringLiteral("/report.json"),
        QByteArray(R"({"status":"passed","device":{"name":"Lab Phone"},"flows":[{"name":")") + name.left(3).toUtf8()
            + R"( flow","commands":{"total":3,"passed":3}}]})");
    if (withPage)
        writeAll(report + QStringLiteral("/report.html"), "<html></html>");
}

void TestHistoryView::init()
{
    opened.clear();
    revealed.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    for (const char *name : { "SIT_20261206_100000", "UAT_20261206_090000", "SIT_20261206_080000", "PREPROD_20261206_070000" })
        makeRun(QLatin1String(name), true);
    makeRun(QStringLiteral("UAT_20261206_060000"), false);
    const QString path = m_dir->path();
    auto model = std::make_unique<HistoryViewModel>([path] { return path; });
    model->setUrlOpener([this](const QUrl &url) { opened.append(url); });
    m_view = std::make_unique<HistoryView>(std::move(model));
    m_view->setFolderOpener([this](const QUrl &url) { revealed.append(url); });
    m_view->resize(1000, 500);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_view->reload();
    QTRY_COMPARE(m_view->filterModel()->rowCount(), 5);
}

void TestHistoryView::cleanup()
{
    m_view.reset();
    QThreadPool::globalInstance()->waitForDone();
    m_dir.reset();
}

int TestHistoryView::rowOf(const QString &name) const
{
    const QAbstractItemModel *model = m_view->table()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(HistoryTableModel::IdRole).toString() == run(name))
            return row;
    }
    return -1;
}

QStringList TestHistoryView::listed() const
{
    QStringList names;
    const QAbstractItemModel *model = m_view->table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(QFileInfo(model->index(row, 0).data(HistoryTableModel::IdRole).toString()).fileName());
    return names;
}

void TestHistoryView::select(const QStringList &names)
{
    HistoryTableView *table = m_view->table();
    table->clearSelection();
    for (const QString &name : names) {
        const QRect rect = table->visualRect(table->model()->index(rowOf(name), int(Column::FlowName)));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
    }
}

void TestHistoryView::clickAction(const QString &name, Action action)
{
    HistoryTableView *table = m_view->table();
    const QRect cell = table->visualRect(table->model()->index(rowOf(name), int(Column::Actions)));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, HistoryDelegate::actionRect(cell, action).center());
}

void TestHistoryView::confirm(const QString &button)
{
    QTRY_VERIFY(m_view->confirmation());
    for (QAbstractButton *candidate : m_view->confirmation()->buttons()) {
        if (candidate->text() == button) {
            candidate->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button ") + button));
}

void TestHistoryView::wiring_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");

    QTest::newRow("refresh button rescans the folder") << Step([](TestHistoryView *t) {
        QDir(t->run(QStringLiteral("SIT_20261206_080000"))).removeRecursively();
        t->view()->refreshButton()->click();
    }) << Step([](TestHistoryView *t) { QTRY_COMPARE(t->view()->filterModel()->rowCount(), 4); });

    QTest::newRow("filter field narrows the rows")
        << Step([](TestHistoryView *t) { t->view()->filterField()->setText(QStringLiteral("preprod")); })
        << Step([](TestHistoryView *t) { QCOMPARE(t->listed(), QStringList { "PREPROD_20261206_070000" }); });

    QTest::newRow("header delete button asks about the selection") << Step([](TestHistoryView *t) {
        t->select({ QStringLiteral("SIT_20261206_100000"), QStringLiteral("UAT_20261206_090000") });
        QCOMPARE(t->view()->deleteButton()->text(), QStringLiteral("Delete 2 selected"));
        t->view()->deleteButton()->click();
    }) << Step([](TestHistoryView *t) {
        QTRY_VERIFY(t->view()->confirmation());
        QCOMPARE(t->view()->confirmation()->text(), QStringLiteral("Are you sure you want to delete 2 report(s)?"));
        QCOMPARE(t->view()->reportsToDelete(),
            (QSet<QString> { t->run(QStringLiteral("SIT_20261206_100000")), t->run(QStringLiteral("UAT_20261206_090000")) }));
    });

    QTest::newRow("safari action opens the page")
        << Step([](TestHistoryView *t) { t->clickAction(QStringLiteral("UAT_20261206_090000"), Action::OpenReport); })
        << Step([](TestHistoryView *t) {
               QCOMPARE(t->opened,
                   QList<QUrl> { QUrl::fromLocalFile(t->run(QStringLiteral("UAT_20261206_090000/report/report.html"))) });
           });

    QTest::newRow("folder action reveals the run folder")
        << Step([](TestHistoryView *t) { t->clickAction(QStringLiteral("SIT_20261206_080000"), Action::ShowEvidence); })
        << Step([](TestHistoryView *t) {
               QCOMPARE(t->revealed, QList<QUrl> { QUrl::fromLocalFile(t->run(QStringLiteral("SIT_20261206_080000"))) });
               QVERIFY(t->view()->selectedIds().isEmpty());
           });

    QTest::newRow("trash action asks about its row alone")
        << Step([](TestHistoryView *t) { t->clickAction(QStringLiteral("PREPROD_20261206_070000"), Action::Delete); })
        << Step([](TestHistoryView *t) {
               QTRY_VERIFY(t->view()->confirmation());
               QCOMPARE(t->view()->reportsToDelete(), QSet<QString> { t->run(QStringLiteral("PREPROD_20261206_070000")) });
           });

    QTest::newRow("Return opens the selected row's page") << Step([](TestHistoryView *t) {
        t->select({ QStringLiteral("SIT_20261206_080000") });
        QTest::keyClick(t->view()->table(), Qt::Key_Return);
    }) << Step([](TestHistoryView *t) {
        QCOMPARE(
            t->opened, QList<QUrl> { QUrl::fromLocalFile(t->run(QStringLiteral("SIT_20261206_080000/report/report.html"))) });
    });

    QTest::newRow("context menu on an unselected row deletes that row") << Step([](TestHistoryView *t) {
        t->select({ QStringLiteral("SIT_20261206_100000") });
        HistoryTableView *table = t->view()->table();
        const QRect rect = table->visualRect(table->model()->index(t->rowOf(QStringLiteral("UAT_20261206_090000")), 2));
        Q_EMIT table->customContextMenuRequested(rect.center());
        QMenu *menu = t->view()->findChild<QMenu *>();
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Delete 1 selected reports"));
        menu->actions().first()->trigger();
    }) << Step([](TestHistoryView *t) {
        QCOMPARE(t->view()->reportsToDelete(), QSet<QString> { t->run(QStringLiteral("UAT_20261206_090000")) });
    });

    QTest::newRow("cancel deletes nothing") << Step([](TestHistoryView *t) {
        t->clickAction(QStringLiteral("SIT_20261206_100000"), Action::Delete);
        t->confirm(QStringLiteral("Cancel"));
    }) << Step([](TestHistoryView *t) {
        QVERIFY(t->view()->reportsToDelete().isEmpty());
        QVERIFY(QFileInfo::exists(t->run(QStringLiteral("SIT_20261206_100000"))));
        QCOMPARE(t->view()->filterModel()->rowCount(), 5);
    });
}

void TestHistoryView::wiring()
{
    QFETCH(Step, act);
    QFETCH(Step, check);
    act(this);
    if (QTest::currentTestFailed())
        return;
    check(this);
}

void TestHistoryView::threeSelectedRowsDeletedThroughConfirmation()
{
    const QStringList doomed { "SIT_20261206_100000", "SIT_20261206_080000", "UAT_20261206_060000" };
    select(doomed);
    QVERIFY(m_view->deleteButton()->isVisible());
    QCOMPARE(m_view->deleteButton()->text(), QStringLiteral("Delete 3 selected"));
    m_view->deleteButton()->click();
    QTRY_VERIFY(m_view->confirmation());
    QCOMPARE(m_view->confirmation()->text(), QStringLiteral("Are you sure you want to delete 3 report(s)?"));
    confirm(QStringLiteral("Delete"));
    for (const QString &name : doomed)
        QVERIFY(!QFileInfo::exists(run(name)));
    QVERIFY(m_view->selectedIds().isEmpty());
    QTRY_COMPARE(listed(), (QStringList { "UAT_20261206_090000", "PREPROD_20261206_070000" }));
    QVERIFY(!m_view->deleteButton()->isVisible());
}

void TestHistoryView::trashButtonKeepsTheOtherSelection()
{
    select({ QStringLiteral("SIT_20261206_100000"), QStringLiteral("PREPROD_20261206_070000") });
    clickAction(QStringLiteral("SIT_20261206_080000"), Action::Delete);
    // The press on the button did not select its row.
    QCOMPARE(m_view->selectedIds().size(), 2);
    confirm(QStringLiteral("Delete"));
    QVERIFY(!QFileInfo::exists(run(QStringLiteral("SIT_20261206_080000"))));
    QTRY_COMPARE(m_view->filterModel()->rowCount(), 4);
    QCOMPARE(m_view->selectedIds(),
        (QSet<QString> { run(QStringLiteral("SIT_20261206_100000")), run(QStringLiteral("PREPROD_20261206_070000")) }));
    QCOMPARE(m_view->deleteButton()->text(), QStringLiteral("Delete 2 selected"));
}

void TestHistoryView::runWithoutPage()
{
    const QString name = QStringLiteral("UAT_20261206_060000");
    HistoryTableView *table = m_view->table();
    const QModelIndex actions = table->model()->index(rowOf(name), int(Column::Actions));
    // The open action is drawn dimmed.
    const QVariantList colours = actions.data(HistoryTableModel::ActionColoursRole).toList();
    const QColor drawn = HistoryDelegate::colour(HistoryCells::ColourRole(colours.value(0).toInt()), table->palette());
    const QColor withPage = HistoryDelegate::colour(HistoryCells::ColourRole::Accent, table->palette());
    QVERIFY(drawn.alphaF() < withPage.alphaF() * 0.5);
    // Double-clicking the row and clicking its open action do nothing.
    const QRect rect = table->visualRect(table->model()->index(rowOf(name), int(Column::FlowName)));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    clickAction(name, Action::OpenReport);
    QVERIFY(opened.isEmpty());
    // The same double-click on a row with a page opens it.
    const QRect other = table->visualRect(table->model()->index(rowOf(QStringLiteral("UAT_20261206_090000")), 2));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, other.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, other.center());
    QCOMPARE(opened.size(), 1);
}

void TestHistoryView::loadingThenEmpty()
{
    const QString missing = m_dir->filePath(QStringLiteral("nowhere"));
    HistoryView empty(std::make_unique<HistoryViewModel>([missing] { return missing; }));
    empty.show();
    empty.reload();
    QCOMPARE(empty.content(), HistoryView::Content::Loading);
    QTRY_COMPARE(empty.content(), HistoryView::Content::Empty);
    // A later scan over rows already shown keeps the table (no spinner).
    m_view->reload();
    QCOMPARE(m_view->content(), HistoryView::Content::Table);
    QThreadPool::globalInstance()->waitForDone();
}

void TestHistoryView::windowReloads_data()
{
    QTest::addColumn<bool>("onHistoryTab");
    QTest::addColumn<bool>("reportsGenerated");
    QTest::addColumn<bool>("reloads");
    QTest::newRow("the tab comes on screen") << true << false << true;
    QTest::newRow("a run's reports are written while it is shown") << true << true << true;
    QTest::newRow("a run's reports are written behind another tab") << false << true << false;
}

void TestHistoryView::windowReloads()
{
    QFETCH(bool, onHistoryTab);
    QFETCH(bool, reportsGenerated);
    QFETCH(bool, reloads);
    MainWindow window;
    HistoryViewModel *history = window.history()->viewModel();
    if (onHistoryTab) {
        window.tabs()->setCurrentIndex(MainWindow::HistoryTab);
        if (reportsGenerated) {
            QTRY_VERIFY(!history->isRefreshing());
            Q_EMIT window.runner()->reportGenerated();
        }
    } else if (reportsGenerated) {
        Q_EMIT window.runner()->reportGenerated();
    }
    QCOMPARE(history->isRefreshing(), reloads);
    QTRY_VERIFY(!history->isRefreshing());
}

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
