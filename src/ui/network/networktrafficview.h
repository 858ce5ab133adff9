#pragma once

#include "network/networkhit.h"
#include "network/networkhitdetailview.h"
#include "network/networkhitfilter.h"

#include <QPointer>
#include <QWidget>

class NetworkFilterProxy;
class NetworkTrafficModel;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class QTreeView;
class RunnerViewModel;

// The network page of the workspace screen: the run's HTTP exchanges, one
// compact row each, with a search over URL, method, status, headers and
// bodies, the "All" / "Failed" quick filters and a method filter, "Copy as
// cURL", "Export HAR..." and the detail of the chosen exchange. It follows
// the controller's `networkHits` (or what setHits() gives it); the rows
// update by exchange id, so the selection, the scroll position and an open
// detail survive live pulls. Owns only view state. Main thread.
class NetworkTrafficView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkTrafficView)

public:
    enum Page { EmptyPage = 0, ListPage = 1, NoMatchPage = 2 };
    static constexpr int kSearchDelayMs = 150;
    static constexpr int kStatusMs = 2000;
    // Narrower than this, the bar's buttons show only their icons.
    static constexpr int kCompactWidth = 760;

    // `runner` may be null: the view then shows what setHits() hands it.
    explicit NetworkTrafficView(RunnerViewModel *runner, QWidget *parent = nullptr);

    void setHits(const NetworkHitList &hits);
    void setFilter(const NetworkHitFilter &filter); // as if typed and clicked
    NetworkHitFilter filter() const;

    NetworkTrafficModel *model() const { return m_model; }
    NetworkFilterProxy *proxy() const { return m_proxy; }
    QTreeView *list() const { return m_list; }
    Page page() const;
    // "M of N" while a filter hides rows, else empty.
    QString countText() const;

    QString currentHitId() const;
    void selectHit(const QString &id);
    NetworkHitDetailView *detailView() const { return m_detail; }
    void openDetail(const QString &id);
    void openCurrentDetail();

    void copyCurrent(); // the text form of the exchange
    void copyCurrentAsCurl(); // a command line that replays the request
    void chooseHarFile(); // "Export HAR..." with a file chooser
    // Writes the shown exchanges as HAR 1.2 in one step; false (with the
    // reason) when the file was not written.
    bool exportHar(const QString &path, QString *error = nullptr);

    void focusSearch();

private:
    void applyFilter();
    void updatePage();
    void updateActions();
    void showStatus(const QString &text, bool failure);
    void showContextMenu(const QPoint &position);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    RunnerViewModel *m_runner;
    NetworkTrafficModel *m_model = nullptr;
    NetworkFilterProxy *m_proxy = nullptr;
    QLineEdit *m_search = nullptr;
    QButtonGroup *m_quick = nullptr;
    QPushButton *m_allButton = nullptr;
    QPushButton *m_failedButton = nullptr;
    QComboBox *m_method = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_status = nullptr;
    QToolButton *m_curlButton = nullptr;
    QToolButton *m_harButton = nullptr;
    QStackedWidget *m_stack = nullptr;
    QTreeView *m_list = nullptr;
    QTimer *m_searchTimer = nullptr;
    QTimer *m_statusTimer = nullptr;
    QPointer<NetworkHitDetailView> m_detail;
    bool m_followTail = true;
};
