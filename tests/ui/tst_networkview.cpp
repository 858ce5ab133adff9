// The network page: the traffic model's updates by exchange id, the view's
// wiring (controls to filter, the HAR export of what they leave), the
// selection and the open detail across a live pull, and the keyboard.
#include "network/harexport.h"
#include "network/networkfilterproxy.h"
#include "network/networkhitdetailview.h"
#include "network/networktrafficmodel.h"
#include "network/networktrafficview.h"
#include "scratchfiles.h"
#include "settings/logging.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// "ab*c": exchanges a, b (its status changed to 500) and c, each with its
// own time, URL and a JSON body naming it.
NetworkHitList hits(const QString &letters)
{
    NetworkHitList list;
    for (const QChar c : letters) {
        if (c == u'*') {
            list.last().resStatus = QStringLiteral("500");
            continue;
        }
        NetworkHit hit;
        hit.id = c;
        hit.time = QDateTime::fromSecsSinceEpoch(1'765'000'000 + c.unicode(), Qt::UTC);
        hit.url = QStringLiteral("https://api.example.com/") + c;
        hit.reqMethod = QStringLiteral("GET");
        hit.reqHeaders = QStringLiteral("Accept: \"application/json\"");
        hit.reqBody = QStringLiteral("No Request Body");
        hit.resStatus = QStringLiteral("200");
        hit.resHeaders = QStringLiteral("Content-Type: application/json");
        hit.resBody = QStringLiteral("{\"id\":\"") + c + QStringLiteral("\"}");
        list.append(hit);
    }
    return list;
}

} // namespace

class TestNetworkView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modelUpdatesById_data();
    void modelUpdatesById();
    void wiring_data();
    void wiring();
    void selectionAndDetailSurviveALivePull();
    void detailCentredAndClosedWhenItsExchangeLeaves();
    void largeBodyFormatsOffTheMainThread();
    void keyboard();
};

void TestNetworkView::modelUpdatesById_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("signals"); // i<first>-<last>, r<first>-<last>, c<first>-<last> in order
    // clang-format off
    QTest::newRow("first fill is one insert") << "" << "abc" << "i0-2";
    QTest::newRow("append is one insert") << "abc" << "abcde" << "i3-4";
    QTest::newRow("same list says nothing") << "abc" << "abc" << "";
    QTest::newRow("a late request lands before the rows") << "cd" << "abcd" << "i0-1";
    QTest::newRow("inserts in two places") << "bd" << "abcde" << "i0-0 i2-2 i4-4";
    QTest::newRow("changed rows are one run") << "abcd" << "ab*c*d" << "c1-2";
    QTest::newRow("change and insert") << "abc" << "xa*bcy" << "i0-0 c1-1 i4-4";
    QTest::newRow("removed rows from the end") << "abcde" << "ae" << "r1-3";
    QTest::newRow("cleared") << "abc" << "" << "r0-2";
    QTest::newRow("moved row removed then inserted") << "abc" << "acb" << "r2-2 i1-1";
    // clang-format on
}

void TestNetworkView::modelUpdatesById()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, signals);
    NetworkTrafficModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHits(hits(before));
    QStringList seen;
    const auto record = [&](const char *kind) {
        return [&seen, kind](const QModelIndex &, int first, int last) {
            seen << QStringLiteral("%1%2-%3").arg(kind).arg(first).arg(last);
        };
    };
    connect(&model, &QAbstractItemModel::rowsInserted, this, record("i"));
    connect(&model, &QAbstractItemModel::rowsRemoved, this, record("r"));
    connect(&model, &QAbstractItemModel::dataChanged, this,
        [&](const QModelIndex &from, const QModelIndex &to) { seen << QStringLiteral("c%1-%2").arg(from.row()).arg(to.row()); });
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setHits(hits(after));
    QCOMPARE(seen.join(u' '), signals);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(model.hits(), hits(after));
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.rowOf(model.hits().at(row).id), row);
}

void TestNetworkView::wiring_data()
{
    QTest::addColumn<QString>("control"); // object to act on, by accessible name
    QTest::addColumn<QString>("action"); // "type:<text>", "click", "pick:<text>"
    QTest::addColumn<QString>("shown"); // ids of the rows shown after it
    QTest::addColumn<QString>("count");
    // clang-format off
    QTest::newRow("search field") << "Search requests" << "type:API.EXAMPLE.COM/b" << "b" << "1 of 5";
    QTest::newRow("failed quick filter, drawn bold") << "Failed" << "click" << "bd" << "2 of 5";
    QTest::newRow("method filter") << "Method filter" << "pick:POST" << "c" << "1 of 5";
    QTest::newRow("no match page") << "Search requests" << "type:nowhere" << "" << "0 of 5";
    // clang-format on
}

void TestNetworkView::wiring()
{
    QFETCH(QString, control);
    QFETCH(QString, action);
    QFETCH(QString, shown);
    QFETCH(QString, count);
    NetworkTrafficView view(nullptr);
    view.resize(900, 400);
    view.show();
    NetworkHitList list = hits(QStringLiteral("abcde"));
    list[1].resStatus = QStringLiteral("404");
    list[2].reqMethod = QStringLiteral("POST");
    list[3].resStatus = QStringLiteral("TIMEOUT");
    view.setHits(list);
    QCOMPARE(view.countText(), QString());

    QWidget *target = nullptr;
    for (QWidget *widget : view.findChildren<QWidget *>()) {
        if (widget->accessibleName() == control)
            target = widget;
    }
    QVERIFY2(target, qPrintable(control));
    if (auto *edit = qobject_cast<QLineEdit *>(target)) {
        QTest::keyClicks(edit, action.mid(5));
        QTRY_COMPARE(view.proxy()->filter().search, action.mid(5));
    } else if (auto *combo = qobject_cast<QComboBox *>(target)) {
        combo->setCurrentIndex(combo->findText(action.mid(5)));
        Q_EMIT combo->activated(combo->currentIndex());
    } else {
        QTest::mouseClick(target, Qt::LeftButton);
        // The checked segment reads in a dark theme by its weight.
        QVERIFY(qobject_cast<QAbstractButton *>(target)->isChecked() && target->font().bold());
    }
    QString rows;
    for (int row = 0; row < view.proxy()->rowCount(); ++row)
        rows += view.proxy()->index(row, 0).data(NetworkTrafficModel::HitIdRole).toString();
    QCOMPARE(rows, shown);
    QCOMPARE(view.countText(), count);
    QCOMPARE(view.page(), shown.isEmpty() ? NetworkTrafficView::NoMatchPage : NetworkTrafficView::ListPage);
    // Export HAR writes the rows shown, or says why it could not.
    NetworkHitList expected;
    std::copy_if(
        list.begin(), list.end(), std::back_inserter(expected), [&](const NetworkHit &hit) { return shown.contains(hit.id); });
    QTemporaryDir dir;
    QString error;
    QVERIFY2(view.exportHar(dir.filePath(QStringLiteral("run.har")), &error), qPrintable(error));
    QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(dir.filePath(QStringLiteral("run.har")))).object(),
        HarExport::document(expected, QString::fromLatin1(kestrune::kProductName), kestrune::appVersion()));
    QVERIFY(!view.exportHar(dir.filePath(QStringLiteral("missing/run.har")), &error) && !error.isEmpty());
}

void TestNetworkView::selectionAndDetailSurviveALivePull()
{
    NetworkTrafficView view(nullptr);
    view.resize(900, 400);
    view.show();
    NetworkHitList list = hits(QStringLiteral("cde"));
    list[1].resStatus = QStringLiteral("TIMEOUT");
    view.setHits(list);
    view.selectHit(QStringLiteral("d"));
    view.openCurrentDetail();
    QPointer<NetworkHitDetailView> detail = view.detailView();
    QVERIFY(detail);
    detail->setSide(NetworkHitDisplay::Side::Response);
    QVERIFY(detail->shownContent().contains(QStringLiteral("{\n    \"id\": \"d\"\n}")));
    detail->copyContent();
    QCOMPARE(QApplication::clipboard()->text(), detail->shownContent());
    QVERIFY(detail->isCopied());

    // The next pull has two earlier requests and the answer to d.
    NetworkHitList pulled = hits(QStringLiteral("abcdef"));
    pulled[3].resStatus = QStringLiteral("201");
    pulled[3].resBody = QStringLiteral("{\"answered\":true}");
    QSignalSpy resets(view.proxy(), &QAbstractItemModel::modelReset);
    view.setHits(pulled);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(view.currentHitId(), QStringLiteral("d"));
    QCOMPARE(view.list()->currentIndex().row(), 3);
    QVERIFY(detail);
    QCOMPARE(detail->side(), NetworkHitDisplay::Side::Response);
    QVERIFY(detail->isCopied()); // a pull does not reset the mark
    QVERIFY2(detail->shownContent().endsWith(QStringLiteral("{\n    \"answered\": true\n}")), qPrintable(detail->shownContent()));
}

void TestNetworkView::detailCentredAndClosedWhenItsExchangeLeaves()
{
    // The page low in a tall window: the detail is centred on the window.
    QWidget window;
    window.resize(900, 1000);
    auto *layout = new QVBoxLayout(&window);
    layout->addStretch(1);
    auto *view = new NetworkTrafficView(nullptr, &window);
    view->setFixedHeight(200);
    layout->addWidget(view);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->setHits(hits(QStringLiteral("ab")));
    view->openDetail(QStringLiteral("b"));
    QPointer<NetworkHitDetailView> detail = view->detailView();
    QVERIFY(detail && detail->isVisible());
    // (The page's own centre is 400 pixels lower.)
    const QPoint offset = detail->geometry().center() - window.mapToGlobal(window.rect().center());
    QVERIFY2(offset.manhattanLength() < 100, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    view->setHits(hits(QStringLiteral("a")));
    QTRY_VERIFY(!detail);
}

void TestNetworkView::largeBodyFormatsOffTheMainThread()
{
    NetworkHitList big = hits(QStringLiteral("a"));
    QString body = QStringLiteral("[");
    while (body.size() < NetworkHitDetailView::kBackgroundFormatSize * 2)
        body += QStringLiteral("{\"k\":\"v\\/w\"},");
    big[0].resBody = body + QStringLiteral("1]");
    NetworkTrafficView view(nullptr);
    view.setHits(big);
    view.openDetail(QStringLiteral("a"));
    NetworkHitDetailView *detail = view.detailView();
    QVERIFY(detail);
    QSignalSpy shown(detail, &NetworkHitDetailView::bodyShown);
    detail->setSide(NetworkHitDisplay::Side::Response);
    QVERIFY(detail->isFormatting());
    QVERIFY(shown.wait(10'000));
    QVERIFY(!detail->isFormatting());
    QVERIFY(detail->shownContent().contains(QStringLiteral("\"k\": \"v/w\"")));
}

void TestNetworkView::keyboard()
{
    NetworkTrafficView view(nullptr);
    view.resize(900, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setHits(hits(QStringLiteral("abc")));
    view.selectHit(QStringLiteral("a"));
    view.list()->setFocus();
    QTest::keyClick(view.list(), Qt::Key_Down);
    QCOMPARE(view.currentHitId(), QStringLiteral("b"));
    QApplication::clipboard()->clear();
    QTest::keyClick(view.list(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY2(QApplication::clipboard()->text().contains(QStringLiteral("https://api.example.com/b")),
        qPrintable(QApplication::clipboard()->text()));
    QTest::keyClick(view.list(), Qt::Key_Return);
    QVERIFY(view.detailView());
    QCOMPARE(view.detailView()->hitId(), QStringLiteral("b"));
    view.detailView()->close();
    QTest::keyClick(view.list(), Qt::Key_Down);
    QTest::keyClick(view.list(), Qt::Key_Space);
    QTRY_VERIFY(view.detailView());
    QCOMPARE(view.detailView()->hitId(), QStringLiteral("c"));
}

QTEST_MAIN(TestNetworkView)
#include "tst_networkview.moc"
