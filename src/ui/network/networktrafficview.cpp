#include "networktrafficview.h"

#include "network/curlcommand.h"
#include "network/harexport.h"
#include "network/netfoxparser.h"
#include "networkcolors.h"
#include "networkfilterproxy.h"
#include "networkhitdetailview.h"
#include "networktrafficdelegate.h"
#include "networktrafficmodel.h"
#include "reports/atomicfile.h"
#include "runner/runnerviewmodel.h"
#include "settings/logging.h"
#include "symbolicons.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QStringList kMethods { QStringLiteral("GET"), QStringLiteral("POST"), QStringLiteral("PUT"), QStringLiteral("PATCH"),
    QStringLiteral("DELETE"), QStringLiteral("HEAD"), QStringLiteral("OPTIONS") };

QString withShortcut(const QString &text, const QKeySequence &keys)
{
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}

QWidget *statePage(const QString &objectName, const QString &headline, const QString &line, QWidget *extra, QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(objectName);
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    auto *symbol = new QLabel(page);
    symbol->setPixmap(SymbolIcons::icon(u"network").pixmap(48, 48, QIcon::Disabled));
    symbol->setAlignment(Qt::AlignCenter);
    layout->addWidget(symbol);
    layout->addSpacing(8);
    auto *title = new QLabel(headline, page);
    title->setAlignment(Qt::AlignCenter);
    title->setForegroundRole(QPalette::PlaceholderText);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto *text = new QLabel(line, page);
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setForegroundRole(QPalette::PlaceholderText);
    QFont small = text->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    text->setFont(small);
    layout->addWidget(text);
    if (extra) {
        layout->addSpacing(8);
        layout->addWidget(extra, 0, Qt::AlignHCenter);
    }
    layout->addStretch();
    return page;
}

} // namespace

NetworkTrafficView::NetworkTrafficView(RunnerViewModel *runner, QWidget *parent)
    : QWidget(parent)
    , m_runner(runner)
{
    setObjectName(QStringLiteral("networkTrafficView"));
    m_model = new NetworkTrafficModel(this);
    m_proxy = new NetworkFilterProxy(m_model, this);

    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("networkBar"));
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 5, 8, 5);
    barLayout->setSpacing(6);

    const QKeySequence searchKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_F);
    m_search = new QLineEdit(bar);
    m_search->setObjectName(QStringLiteral("networkSearch"));
    m_search->setPlaceholderText(tr("Search requests..."));
    m_search->setAccessibleName(tr("Search requests"));
    m_search->setToolTip(withShortcut(tr("Search URL, method, status, headers and bodies"), searchKeys));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(SymbolIcons::icon(u"magnifyingglass"), QLineEdit::LeadingPosition);
    for (QToolButton *button : m_search->findChildren<QToolButton *>()) {
        button->setToolTip(tr("Clear Search"));
        button->setAccessibleName(tr("Clear Search"));
    }
    m_search->setMinimumWidth(140);
    barLayout->addWidget(m_search, 1);

    m_quick = new QButtonGroup(this);
    m_allButton = new QPushButton(tr("All"), bar);
    m_failedButton = new QPushButton(tr("Failed"), bar);
    m_allButton->setToolTip(tr("Show every request"));
    m_failedButton->setToolTip(tr("Show only 4xx, 5xx and unanswered requests"));
    auto *quickBox = new QHBoxLayout;
    quickBox->setSpacing(0);
    for (QPushButton *button : { m_allButton, m_failedButton }) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setAccessibleName(button->text());
        quickBox->addWidget(button);
    }
    m_allButton->setChecked(true);
    NetworkColors::boldWhenChecked(m_allButton);
    NetworkColors::boldWhenChecked(m_failedButton);
    m_quick->addButton(m_allButton, 0);
    m_quick->addButton(m_failedButton, 1);
    barLayout->addLayout(quickBox);

    m_method = new QComboBox(bar);
    m_method->setObjectName(QStringLiteral("networkMethod"));
    m_method->addItem(tr("All Methods"), QString());
    for (const QString &method : kMethods)
        m_method->addItem(method, method);
    m_method->setAccessibleName(tr("Method filter"));
    m_method->setToolTip(tr("Show only requests with this method"));
    barLayout->addWidget(m_method);

    m_count = new QLabel(bar);
    m_count->setObjectName(QStringLiteral("networkCount"));
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_count->setAccessibleName(tr("Shown requests"));
    barLayout->addWidget(m_count);
    m_status = new QLabel(bar);
    m_status->setObjectName(QStringLiteral("networkStatus"));
    m_status->setAccessibleName(tr("Export status"));
    m_status->hide();
    barLayout->addWidget(m_status);

    const QKeySequence curlKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    const QKeySequence harKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    m_curlButton = new QToolButton(bar);
    m_curlButton->setText(tr("Copy as cURL"));
    m_curlButton->setIcon(SymbolIcons::icon(u"terminal"));
    m_curlButton->setToolTip(withShortcut(tr("Copy as cURL"), curlKeys));
    m_harButton = new QToolButton(bar);
    m_harButton->setText(tr("Export HAR..."));
    m_harButton->setIcon(SymbolIcons::icon(u"square.and.arrow.up"));
    m_harButton->setToolTip(withShortcut(tr("Export the shown requests as a HAR file"), harKeys));
    for (QToolButton *button : { m_curlButton, m_harButton }) {
        button->setAccessibleName(button->text());
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        barLayout->addWidget(button);
    }

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("networkList"));
    m_list->setAccessibleName(tr("Network requests"));
    m_list->setModel(m_proxy);
    m_list->setItemDelegate(new NetworkTrafficDelegate(m_list));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setTextElideMode(Qt::ElideRight);
    QHeaderView *header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(NetworkTrafficModel::UrlColumn, QHeaderView::Stretch);
    const int sideWidth = NetworkTrafficDelegate::kBadgeWidth + 2 * NetworkTrafficDelegate::kHorizontalPadding;
    header->resizeSection(NetworkTrafficModel::MethodColumn, sideWidth);
    header->resizeSection(NetworkTrafficModel::StatusColumn, 60 + NetworkTrafficDelegate::kHorizontalPadding);
    header->resizeSection(NetworkTrafficModel::TimeColumn,
        QFontMetrics(NetworkTrafficDelegate::smallMonospace(font(), false)).horizontalAdvance(QStringLiteral("00:00:00"))
            + 2 * NetworkTrafficDelegate::kHorizontalPadding);
    m_list->installEventFilter(this);

    auto *clearFilters = new QPushButton(tr("Clear Filters"), this);
    clearFilters->setAccessibleName(tr("Clear Filters"));
    clearFilters->setAutoDefault(false);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(statePage(QStringLiteral("networkEmptyState"), tr("No Network Traffic"),
        tr("Traffic will appear here when the test runs on a physical device."), nullptr, m_stack));
    m_stack->addWidget(m_list);
    m_stack->addWidget(statePage(QStringLiteral("networkNoMatch"), tr("No Matching Requests"),
        tr("No request matches the search and filters."), clearFilters, m_stack));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setForegroundRole(QPalette::Mid);
    layout->addWidget(rule);
    layout->addWidget(m_stack, 1);

    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(kSearchDelayMs);
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusMs);

    connect(m_search, &QLineEdit::textEdited, m_searchTimer, qOverload<>(&QTimer::start));
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty()) // the clear button
            applyFilter();
    });
    connect(m_search, &QLineEdit::returnPressed, this, &NetworkTrafficView::applyFilter);
    connect(m_searchTimer, &QTimer::timeout, this, &NetworkTrafficView::applyFilter);
    connect(m_quick, &QButtonGroup::idClicked, this, &NetworkTrafficView::applyFilter);
    connect(m_method, &QComboBox::activated, this, &NetworkTrafficView::applyFilter);
    connect(clearFilters, &QPushButton::clicked, this, [this] { setFilter({}); });
    connect(m_statusTimer, &QTimer::timeout, m_status, &QLabel::hide);
    connect(m_curlButton, &QToolButton::clicked, this, &NetworkTrafficView::copyCurrentAsCurl);
    connect(m_harButton, &QToolButton::clicked, this, &NetworkTrafficView::chooseHarFile);
    connect(m_list, &QTreeView::activated, this, [this](const QModelIndex &) { openCurrentDetail(); });
    connect(m_list, &QTreeView::customContextMenuRequested, this, &NetworkTrafficView::showContextMenu);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &NetworkTrafficView::updateActions);

    // The tail is followed while the user is at the end of the list.
    connect(m_proxy, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_list->verticalScrollBar();
        m_followTail = bar->value() >= bar->maximum();
    });
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int, int last) {
        if (m_followTail && last == m_proxy->rowCount() - 1)
            QTimer::singleShot(0, m_list, &QTreeView::scrollToBottom);
    });
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_proxy, signal, this, &NetworkTrafficView::updatePage);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &NetworkTrafficView::updatePage);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &NetworkTrafficView::updatePage);

    auto shortcut = [this](const QKeySequence &keys, void (NetworkTrafficView::*slot)(), QWidget *scope) {
        auto *action = new QShortcut(keys, scope);
        action->setContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Copy, &NetworkTrafficView::copyCurrent, m_list);
    shortcut(curlKeys, &NetworkTrafficView::copyCurrentAsCurl, this);
    shortcut(harKeys, &NetworkTrafficView::chooseHarFile, this);
    shortcut(searchKeys, &NetworkTrafficView::focusSearch, this);

    if (m_runner) {
        connect(m_runner, &RunnerViewModel::networkHitsChanged, this, [this] { setHits(m_runner->networkHits()); });
        m_model->setHits(m_runner->networkHits());
    }
    updatePage();
}

void NetworkTrafficView::setHits(const NetworkHitList &hits)
{
    m_model->setHits(hits);
    updatePage();
}

NetworkHitFilter NetworkTrafficView::filter() const
{
    NetworkHitFilter filter;
    filter.search = m_search->text();
    filter.failedOnly = m_failedButton->isChecked();
    filter.method = m_method->currentData().toString();
    return filter;
}

void NetworkTrafficView::setFilter(const NetworkHitFilter &filter)
{
    m_search->setText(filter.search);
    (filter.failedOnly ? m_failedButton : m_allButton)->setChecked(true);
    const int methodIndex = m_method->findData(filter.method.toUpper());
    m_method->setCurrentIndex(qMax(0, methodIndex));
    applyFilter();
}

void NetworkTrafficView::applyFilter()
{
    m_searchTimer->stop();
    const QString current = currentHitId();
    m_proxy->setFilter(filter());
    // The chosen exchange stays chosen while it is still shown.
    if (!current.isEmpty())
        selectHit(current);
    updatePage();
}

NetworkTrafficView::Page NetworkTrafficView::page() const
{
    return Page(m_stack->currentIndex());
}

QString NetworkTrafficView::countText() const
{
    return m_count->text();
}

void NetworkTrafficView::updatePage()
{
    const int total = m_model->rowCount();
    const int shown = m_proxy->rowCount();
    const Page page = total == 0 ? EmptyPage : shown == 0 ? NoMatchPage : ListPage;
    if (m_stack->currentIndex() != page)
        m_stack->setCurrentIndex(page);
    m_count->setText(m_proxy->filter().isActive() && total > 0 ? tr("%1 of %2").arg(shown).arg(total) : QString());
    m_count->setVisible(!m_count->text().isEmpty());
    updateActions();
}

void NetworkTrafficView::updateActions()
{
    // Nothing to search or filter before the first exchange arrives.
    const bool any = m_model->rowCount() > 0;
    for (QWidget *control : std::initializer_list<QWidget *> { m_search, m_allButton, m_failedButton, m_method })
        control->setEnabled(any || m_proxy->filter().isActive());
    m_curlButton->setEnabled(!currentHitId().isEmpty());
    m_harButton->setEnabled(m_proxy->rowCount() > 0);
}

QString NetworkTrafficView::currentHitId() const
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || !m_list->selectionModel()->isRowSelected(current.row(), current.parent()))
        return QString();
    return current.data(NetworkTrafficModel::HitIdRole).toString();
}

void NetworkTrafficView::selectHit(const QString &id)
{
    const int sourceRow = m_model->rowOf(id);
    if (sourceRow < 0)
        return;
    const QModelIndex index = m_proxy->mapFromSource(m_model->index(sourceRow, 0));
    if (!index.isValid())
        return;
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

void NetworkTrafficView::openDetail(const QString &id)
{
    if (!m_model->hit(id))
        return;
    if (m_detail) {
        if (m_detail->hitId() == id) {
            m_detail->raise();
            m_detail->activateWindow();
            return;
        }
        m_detail->close();
    }
    m_detail = new NetworkHitDetailView(m_model, id, this);
    m_detail->setWindowFlag(Qt::Dialog);
    // Centred on the window, so a short window keeps it in view.
    const QWidget *host = window();
    const QPoint centre = host->mapToGlobal(host->rect().center());
    m_detail->move(centre - QPoint(m_detail->width() / 2, m_detail->height() / 2));
    m_detail->show();
}

void NetworkTrafficView::openCurrentDetail()
{
    const QString id = currentHitId();
    if (!id.isEmpty())
        openDetail(id);
}

void NetworkTrafficView::copyCurrent()
{
    const NetworkHit *hit = m_model->hit(currentHitId());
    if (!hit)
        return;
    QApplication::clipboard()->setText(Netfox::formatHitAsText(*hit, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void NetworkTrafficView::copyCurrentAsCurl()
{
    const NetworkHit *hit = m_model->hit(currentHitId());
    if (!hit)
        return;
    QApplication::clipboard()->setText(CurlCommand::command(*hit));
    showStatus(tr("Copied as cURL"), false);
}

void NetworkTrafficView::chooseHarFile()
{
    if (m_proxy->rowCount() == 0)
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export HAR"), QDir(folder).filePath(QStringLiteral("network.har")), tr("HTTP Archive (*.har)"));
    if (path.isEmpty())
        return;
    QString error;
    if (exportHar(path, &error))
        showStatus(tr("Exported %n request(s)", nullptr, m_proxy->rowCount()), false);
    else
        showStatus(tr("Export failed: %1").arg(error), true);
}

bool NetworkTrafficView::exportHar(const QString &path, QString *error)
{
    const QJsonObject document
        = HarExport::document(m_proxy->shownHits(), QString::fromLatin1(kestrune::kProductName), kestrune::appVersion());
    return AtomicFile::writeWhole(path, QJsonDocument(document).toJson(QJsonDocument::Indented), error);
}

void NetworkTrafficView::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void NetworkTrafficView::showStatus(const QString &text, bool failure)
{
    m_status->setText(text);
    m_status->setToolTip(text);
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, failure ? QColor(0xd1, 0x2f, 0x25) : palette.color(QPalette::PlaceholderText));
    m_status->setPalette(palette);
    m_status->show();
    // Failures stay until the next message; confirmations go after 2 s.
    if (failure)
        m_statusTimer->stop();
    else
        m_statusTimer->start();
}

void NetworkTrafficView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu menu(this);
    menu.addAction(tr("Show Details"), this, &NetworkTrafficView::openCurrentDetail);
    menu.addSeparator();
    menu.addAction(tr("Copy"), this, &NetworkTrafficView::copyCurrent)->setShortcut(QKeySequence::Copy);
    menu.addAction(tr("Copy URL"), this, [this] {
        if (const NetworkHit *hit = m_model->hit(currentHitId()))
            QApplication::clipboard()->setText(hit->url);
    });
    menu.addAction(tr("Copy as cURL"), this, &NetworkTrafficView::copyCurrentAsCurl)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    menu.exec(m_list->viewport()->mapToGlobal(position));
}

void NetworkTrafficView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const auto style = width() < kCompactWidth ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon;
    for (QToolButton *button : { m_curlButton, m_harButton })
        button->setToolButtonStyle(style);
}

bool NetworkTrafficView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space)) {
            openCurrentDetail();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
