// The traffic list at the size of a long run, offscreen: a model of 50,000
// exchanges behind the view's filter. Prints the time of data() for 1,000
// visible rows (every column and role the row painter asks for, first with
// the time cache cold, then warm), of one live pull that brings 500 new
// exchanges into 50,000 (plain, with a search active, and with 500 new rows
// spread through the list and 50 answered), and of a 5 MB JSON body:
// pretty-printing it, putting it in the detail's text view, and how long
// opening the detail keeps the main thread.
// Goals: under 1 ms per 1,000 rows; a live update under 16 ms.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_networkmodel [--exchanges N]

#include "network/networkfilterproxy.h"
#include "network/networkhitdetailview.h"
#include "network/networkhitdisplay.h"
#include "network/networktrafficmodel.h"
#include "network/networktrafficview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

NetworkHit exchange(qint64 n)
{
    static const char *const kMethods[] = { "GET", "GET", "POST", "PUT", "DELETE", "GET" };
    static const char *const kStatus[] = { "200", "200", "201", "404", "500", "TIMEOUT", "200", "301" };
    NetworkHit hit;
    hit.id = QStringLiteral("exchange-%1").arg(n, 8, 10, QLatin1Char('0'));
    hit.time = QDateTime::fromMSecsSinceEpoch(1'765'000'000'000 + n * 250, Qt::UTC);
    hit.url = QStringLiteral("https://api.lumenfold.id/v2/catalog/items/%1?page=%2&lang=id").arg(n).arg(n % 40);
    hit.reqMethod = QString::fromLatin1(kMethods[n % 6]);
    hit.reqHeaders = QStringLiteral("Accept: \"application/json\"\nX-Request-Id: \"%1\"").arg(n);
    hit.reqBody = n % 3 ? QStringLiteral("No Request Body") : QStringLiteral("{\"sku\":\"A-%1\",\"qty\":2}").arg(n);
    hit.resStatus = QString::fromLatin1(kStatus[n % 8]);
    hit.resHeaders = QStringLiteral("Content-Type: application/json; charset=utf-8\nServer: nginx");
    hit.resBody = QStringLiteral("{\"id\":%1,\"name\":\"Kopi Gayo %1\",\"price\":45000,\"tags\":[\"kopi\",\"aceh\"]}").arg(n);
    return hit;
}

NetworkHitList exchanges(qint64 first, qint64 count)
{
    NetworkHitList hits;
    hits.reserve(count);
    for (qint64 n = first; n < first + count; ++n)
        hits.append(exchange(n));
    return hits;
}

double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

// Every cell and role the row painter reads for `rows` rows from `first`.
qint64 readRows(const QAbstractItemModel &model, int first, int rows)
{
    qint64 chars = 0;
    for (int row = first; row < first + rows; ++row) {
        for (int column = 0; column < NetworkTrafficModel::ColumnCount; ++column) {
            const QModelIndex index = model.index(row, column);
            chars += index.data(Qt::DisplayRole).toString().size();
            chars += index.data(NetworkTrafficModel::ColorRoleRole).toInt();
            chars += index.data(Qt::TextAlignmentRole).toInt() & 1;
        }
    }
    return chars;
}

QString bigJson(qsizetype bytes)
{
    QString text = QStringLiteral("{\"items\":[");
    for (qint64 n = 0; text.size() < bytes; ++n) {
        text += QStringLiteral("{\"id\":%1,\"url\":\"https:\\/\\/cdn.lumenfold.id\\/img\\/%1.jpg\",\"name\":\"Kopi Gayo Ñ %1\"},")
                    .arg(n);
    }
    text.chop(1);
    text += QStringLiteral("]}");
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    qint64 total = 50'000;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--exchanges")); at > 0 && at + 1 < args.size())
        total = args.at(at + 1).toLongLong();
    constexpr qint64 kNew = 500;
    volatile qint64 sink = 0;

    const NetworkHitList base = exchanges(0, total);
    NetworkHitList pulled = base + exchanges(total, kNew);

    NetworkTrafficView view(nullptr);
    view.resize(1000, 600);
    view.show();
    QElapsedTimer fill;
    fill.start();
    view.setHits(base);
    std::printf("first fill of %lld exchanges: %.1f ms\n", total, fill.nsecsElapsed() / 1e6);

    NetworkTrafficModel &model = *view.model();
    const int middle = int(total / 2);
    QElapsedTimer cold;
    cold.start();
    sink = sink + readRows(model, middle, 1000);
    std::printf("data() per 1,000 visible rows, time cache cold: %.3f ms (goal < 1 ms)\n", cold.nsecsElapsed() / 1e6);
    const double warm = medianMs(
        15, [] {}, [&] { sink = sink + readRows(model, middle, 1000); });
    std::printf("data() per 1,000 visible rows, warm: %.3f ms (goal < 1 ms)\n", warm);
    const double throughProxy = medianMs(
        15, [] {}, [&] { sink = sink + readRows(*view.proxy(), middle, 1000); });
    std::printf("data() per 1,000 visible rows through the filter: %.3f ms\n", throughProxy);

    const double append = medianMs(
        7, [&] { view.setHits(base); }, [&] { view.setHits(pulled); });
    std::printf("live update, %lld new exchanges appended to %lld: %.2f ms (goal < 16 ms)\n", kNew, total, append);

    // 500 new rows spread through the list (late completions) and 50
    // timed-out requests answered.
    NetworkHitList spreadBase;
    NetworkHitList spreadPulled;
    for (qint64 n = 0; n < total + kNew; ++n) {
        NetworkHit hit = exchange(n);
        const bool isNew = n % ((total + kNew) / kNew) == 7;
        if (!isNew)
            spreadBase.append(hit);
        if (n % 1000 == 5 && hit.resStatus == QLatin1String("TIMEOUT"))
            hit.resStatus = QStringLiteral("200");
        if (n % 997 == 3)
            hit.resBody += QStringLiteral(" ");
        spreadPulled.append(hit);
    }
    const double spread = medianMs(
        7, [&] { view.setHits(spreadBase); }, [&] { view.setHits(spreadPulled); });
    std::printf("live update, %lld new spread through %lld and ~50 changed: %.2f ms (goal < 16 ms)\n",
        qint64(spreadPulled.size() - spreadBase.size()), qint64(spreadBase.size()), spread);
    NetworkTrafficModel alone;
    const double spreadAlone = medianMs(
        7, [&] { alone.setHits(spreadBase); }, [&] { alone.setHits(spreadPulled); });
    const double appendAlone = medianMs(
        7, [&] { alone.setHits(base); }, [&] { alone.setHits(pulled); });
    std::printf("the same two updates on the model alone (no filter, no view): %.2f ms spread, %.2f ms appended\n", spreadAlone,
        appendAlone);

    NetworkHitFilter search;
    search.search = QStringLiteral("items/4");
    view.setFilter(search);
    const double filtered = medianMs(
        7, [&] { view.setHits(base); }, [&] { view.setHits(pulled); });
    std::printf("live update, %lld new into %lld with a search active (%d shown): %.2f ms (goal < 16 ms)\n", kNew, total,
        view.proxy()->rowCount(), filtered);
    QElapsedTimer typed;
    typed.start();
    NetworkHitFilter other;
    other.search = QStringLiteral("kopi gayo 4999");
    view.setFilter(other);
    std::printf(
        "a new search over %lld exchanges (headers and bodies): %.2f ms\n", qint64(pulled.size()), typed.nsecsElapsed() / 1e6);
    view.setFilter({});

    // A 5 MB JSON body.
    const QString body = bigJson(5 * 1024 * 1024);
    QString pretty;
    const double format = medianMs(
        3, [] {}, [&] { pretty = NetworkHitDisplay::prettyBody(body); });
    std::printf("prettyBody of a %.1f MB JSON body: %.1f ms (off the main thread in the detail)\n",
        body.toUtf8().size() / 1048576.0, format);
    QPlainTextEdit edit;
    edit.resize(480, 300);
    edit.show();
    const double show = medianMs(
        3, [&] { edit.clear(); },
        [&] {
            edit.setPlainText(pretty);
            QCoreApplication::processEvents();
        });
    std::printf("QPlainTextEdit::setPlainText of the pretty body (%.1f MB, %lld lines): %.1f ms\n",
        pretty.toUtf8().size() / 1048576.0, qint64(pretty.count(u'\n')) + 1, show);

    NetworkHit big = exchange(total + kNew);
    big.resBody = body;
    pulled.append(big);
    view.setHits(pulled);
    // The longest time the event loop is kept from a 1 ms timer while the
    // detail opens, formats and fills its text view.
    QElapsedTimer open;
    open.start();
    view.openDetail(big.id);
    NetworkHitDetailView *detail = view.detailView();
    QSignalSpy shown(detail, &NetworkHitDetailView::bodyShown);
    detail->setSide(NetworkHitDisplay::Side::Response);
    const double opened = open.nsecsElapsed() / 1e6;
    double longest = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer probe;
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, tick.nsecsElapsed() / 1e6);
        tick.restart();
    });
    probe.start();
    shown.wait(120'000);
    const double withDetail = longest;
    // The same probe with nothing to do, for the machine's own stalls.
    longest = 0;
    QTest::qWait(1000);
    const double idle = longest;
    longest = withDetail;
    std::printf("opening the detail on it: %.1f ms to open; body complete after %.1f ms; longest event-loop block "
                "meanwhile %.1f ms (%.1f ms idle)\n",
        opened, open.nsecsElapsed() / 1e6, longest, idle);
    return sink < 0 ? 1 : 0;
}
