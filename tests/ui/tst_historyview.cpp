// The history screen over real run folders in a temporary directory: each
// control reaches its slot, and deleting goes through the confirmation with
// the selection rules a person relies on.
#include "history/historydelegate.h"
#include "history/historytableview.h"
#include "history/historyview.h"
#include "mainwindow.h"
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"
#include "runner/runnerviewmodel.h"
#include "scratchfiles.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

using HistoryCells::Action;
using HistoryCells::Column;

namespace {
const QString kSit10 = QStringLiteral("SIT_20261206_100000");
const QString kUat09 = QStringLiteral("UAT_20261206_090000");
const QString kSit08 = QStringLiteral("SIT_20261206_080000");
const QString kPreprod = QStringLiteral("PREPROD_20261206_070000");
const QString kNoPage = QStringLiteral("UAT_20261206_060000"); // a run without report.html
} // namespace

class TestHistoryView final : public QObject
{
    Q_OBJECT

public:
    using Step = std::function<void(TestHistoryView *)>;

    HistoryView *view() const { return m_view.get(); }
    HistoryTableView *table() const { return m_view->table(); }
    QString run(const QString &name) const { return m_dir->filePath(name); }
    QUrl page(const QString &name) const { return QUrl::fromLocalFile(run(name) + QStringLiteral("/report/report.html")); }
    // The centre of a run's cell, or of one of its row actions.
    QPoint at(const QString &name, Column column, Action action = Action::Count) const;
    void select(const QStringList &names);
    void confirm(const QString &button);
    QStringList listed() const;
    QList<QUrl> opened;
    QList<QUrl> revealed;
    QImage shot;

private Q_SLOTS:
    void init();
    void cleanup();
    void wiring_data();
    void wiring();
    void deletingThroughConfirmation();
    void loadingThenEmpty();
    void windowReloads_data();
    void windowReloads();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HistoryView> m_view;
};

Q_DECLARE_METATYPE(TestHistoryView::Step)

void TestHistoryView::init()
{
    opened.clear();
    revealed.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    for (const QString &name : { kSit10, kUat09, kSit08, kPreprod, kNoPage }) {
        const QString report = run(name) + QStringLiteral("/report");
        QVERIFY(QDir().mkpath(run(name) + QStringLiteral("/sandbox")));
        QVERIFY(testsupport::writeFile(report + QStringLiteral("/report.json"),
            R"({"status":"passed","device":{"name":"Lab Phone"},"flows":[{"name":")" + name.left(3).toUtf8()
                + R"( flow","commands":{"total":3,"passed":3}}]})"));
        if (name != kNoPage)
            QVERIFY(testsupport::writeFile(report + QStringLiteral("/report.html"), "<html></html>"));
    }
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

QPoint TestHistoryView::at(const QString &name, Column column, Action action) const
{
    const QAbstractItemModel *model = table()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(HistoryTableModel::IdRole).toString() != run(name))
            continue;
        const QRect cell = table()->visualRect(model->index(row, int(column)));
        return action == Action::Count ? cell.center() : HistoryDelegate::actionRect(cell, action).center();
    }
    return {};
}

QStringList TestHistoryView::listed() const
{
    QStringList names;
    const QAbstractItemModel *model = table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(QFileInfo(model->index(row, 0).data(HistoryTableModel::IdRole).toString()).fileName());
    return names;
}

void TestHistoryView::select(const QStringList &names)
{
    table()->clearSelection();
    for (const QString &name : names)
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::ControlModifier, at(name, Column::FlowName));
}

void TestHistoryView::confirm(const QString &button)
{
    QTRY_VERIFY(m_view->confirmation());
    for (QAbstractButton *candidate : m_view->confirmation()->buttons()) {
        if (candidate->text() == button)
            return candidate->click();
    }
    QFAIL(qPrintable(QStringLiteral("no button ") + button));
}

void TestHistoryView::wiring_data()
{
    QTest::addColumn<Step>("act");
    QTest::addColumn<Step>("check");
    const auto click = [](TestHistoryView *t, const QString &name, Action action) {
        QTest::mouseClick(t->table()->viewport(), Qt::LeftButton, {}, t->at(name, Column::Actions, action));
    };

    QTest::newRow("refresh button rescans the folder") << Step([](TestHistoryView *t) {
        QDir(t->run(kSit08)).removeRecursively();
        t->view()->refreshButton()->click();
    }) << Step([](TestHistoryView *t) { QTRY_COMPARE(t->view()->filterModel()->rowCount(), 4); });
    QTest::newRow("filter field narrows the rows")
        << Step([](TestHistoryView *t) { t->view()->filterField()->setText(QStringLiteral("preprod")); })
        << Step([](TestHistoryView *t) { QCOMPARE(t->listed(), QStringList { kPreprod }); });
    QTest::newRow("safari action opens the page")
        << Step([click](TestHistoryView *t) { click(t, kUat09, Action::OpenReport); })
        << Step([](TestHistoryView *t) { QCOMPARE(t->opened, QList { t->page(kUat09) }); });
    QTest::newRow("folder action reveals the run folder, selecting nothing")
        << Step([click](TestHistoryView *t) { click(t, kSit08, Action::ShowEvidence); }) << Step([](TestHistoryView *t) {
               QCOMPARE(t->revealed, QList { QUrl::fromLocalFile(t->run(kSit08)) });
               QVERIFY(t->view()->selectedIds().isEmpty());
           });
    QTest::newRow("Return opens the selected row's page") << Step([](TestHistoryView *t) {
        t->select({ kSit08 });
        QTest::keyClick(t->table(), Qt::Key_Return);
    }) << Step([](TestHistoryView *t) { QCOMPARE(t->opened, QList { t->page(kSit08) }); });
    QTest::newRow("a run without a page opens nothing, by double-click or its action") << Step([click](TestHistoryView *t) {
        QTest::mouseDClick(t->table()->viewport(), Qt::LeftButton, {}, t->at(kNoPage, Column::FlowName));
        click(t, kNoPage, Action::OpenReport);
        QVERIFY(t->opened.isEmpty());
        QTest::mouseDClick(t->table()->viewport(), Qt::LeftButton, {}, t->at(kUat09, Column::Date));
    }) << Step([](TestHistoryView *t) { QCOMPARE(t->opened, QList { t->page(kUat09) }); });
    QTest::newRow("context menu on an unselected row deletes that row") << Step([](TestHistoryView *t) {
        t->select({ kSit10 });
        Q_EMIT t->table()->customContextMenuRequested(t->at(kUat09, Column::Date));
        QMenu *menu = t->view()->findChild<QMenu *>();
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Delete 1 selected reports"));
        menu->actions().first()->trigger();
    }) << Step([](TestHistoryView *t) { QCOMPARE(t->view()->reportsToDelete(), QSet { t->run(kUat09) }); });
    // Only a click on one cell reaches the delegate: one that follows on another
    // row must let go of the action pressed before.
    QTest::newRow("a press on an action let go elsewhere leaves it drawn unpressed") << Step([](TestHistoryView *t) {
        const QPoint action = t->at(kSit08, Column::Actions, Action::OpenReport);
        const QRect symbol(action - QPoint(8, 8), QSize(16, 16));
        t->shot = t->table()->viewport()->grab(symbol).toImage();
        QTest::mousePress(t->table()->viewport(), Qt::LeftButton, {}, action);
        QTest::mouseRelease(t->table()->viewport(), Qt::LeftButton, {}, t->at(kUat09, Column::Steps), 10);
        QTest::mouseClick(t->table()->viewport(), Qt::LeftButton, {}, t->at(kUat09, Column::Steps), 400);
        QCOMPARE(t->table()->viewport()->grab(symbol).toImage(), t->shot);
    }) << Step([](TestHistoryView *t) { QVERIFY(t->opened.isEmpty()); });
    QTest::newRow("cancel deletes nothing") << Step([click](TestHistoryView *t) {
        click(t, kSit10, Action::Delete);
        t->confirm(QStringLiteral("Cancel"));
    }) << Step([](TestHistoryView *t) {
        QVERIFY(t->view()->reportsToDelete().isEmpty());
        QVERIFY(QFileInfo::exists(t->run(kSit10)));
        QCOMPARE(t->view()->filterModel()->rowCount(), 5);
    });
}

void TestHistoryView::wiring()
{
    QFETCH(Step, act);
    QFETCH(Step, check);
    act(this);
    if (!QTest::currentTestFailed())
        check(this);
}

void TestHistoryView::deletingThroughConfirmation()
{
    // The trash of another row asks about that row alone; its press does not
    // touch the selection.
    select({ kSit10, kPreprod });
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at(kSit08, Column::Actions, Action::Delete));
    QCOMPARE(m_view->selectedIds().size(), 2);
    QTRY_COMPARE(m_view->reportsToDelete(), QSet { run(kSit08) });
    confirm(QStringLiteral("Delete"));
    QVERIFY(!QFileInfo::exists(run(kSit08)));
    QTRY_COMPARE(m_view->filterModel()->rowCount(), 4);
    QCOMPARE(m_view->selectedIds(), (QSet { run(kSit10), run(kPreprod) }));
    // The header's button deletes the selection.
    QCOMPARE(m_view->deleteButton()->text(), QStringLiteral("Delete 2 selected"));
    m_view->deleteButton()->click();
    QTRY_VERIFY(m_view->confirmation());
    QCOMPARE(m_view->confirmation()->text(), QStringLiteral("Are you sure you want to delete 2 report(s)?"));
    confirm(QStringLiteral("Delete"));
    QVERIFY(!QFileInfo::exists(run(kSit10)) && !QFileInfo::exists(run(kPreprod)));
    QVERIFY(m_view->selectedIds().isEmpty());
    QTRY_COMPARE(listed(), (QStringList { kUat09, kNoPage }));
    QVERIFY(!m_view->deleteButton()->isVisible());
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
    QTest::addColumn<bool>("reloads");
    QTest::newRow("a run's reports are written while the tab is shown") << true << true;
    QTest::newRow("a run's reports are written behind another tab") << false << false;
}

void TestHistoryView::windowReloads()
{
    QFETCH(bool, onHistoryTab);
    QFETCH(bool, reloads);
    MainWindow window;
    HistoryViewModel *history = window.history()->viewModel();
    if (onHistoryTab) {
        window.tabs()->setCurrentIndex(MainWindow::HistoryTab);
        // The tab coming on screen reloads.
        QVERIFY(history->isRefreshing());
        QTRY_VERIFY(!history->isRefreshing());
    }
    Q_EMIT window.runner()->reportGenerated();
    QCOMPARE(history->isRefreshing(), reloads);
    QTRY_VERIFY(!history->isRefreshing());
}

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
