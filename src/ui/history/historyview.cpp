#include "historyview.h"

#include "historydelegate.h"
#include "historytableview.h"
#include "reports/desktopopeners.h"
#include "reports/historyfiltermodel.h"
#include "reports/historytablemodel.h"
#include "reports/historyviewmodel.h"
#include "symbolicons.h"
#include "workspace/busyspinner.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using HistoryCells::Column;

QString withShortcut(const QString &text, const QKeySequence &shortcut)
{
    return QStringLiteral("%1 (%2)").arg(text, shortcut.toString(QKeySequence::NativeText));
}

QLabel *secondaryLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

HistoryView::HistoryView(std::unique_ptr<HistoryViewModel> viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(std::move(viewModel))
    , m_openFolder(DesktopOpeners::revealFolder)
{
    setObjectName(QStringLiteral("historyView"));
    if (!m_viewModel) {
        m_viewModel = std::make_unique<HistoryViewModel>();
        DesktopOpeners::wire(*m_viewModel);
    }

    m_model = new HistoryTableModel(this);
    m_proxy = new HistoryFilterModel(m_model, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_stack = new QStackedWidget(this);
    m_loadingPage = new QWidget(m_stack);
    {
        auto *pageLayout = new QVBoxLayout(m_loadingPage);
        pageLayout->addStretch(1);
        auto *row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(new BusySpinner(m_loadingPage));
        row->addSpacing(8);
        auto *text = secondaryLabel(tr("Loading History..."), m_loadingPage);
        row->addWidget(text);
        row->addStretch(1);
        pageLayout->addLayout(row);
        pageLayout->addStretch(1);
    }
    QLabel *icon = nullptr;
    QLabel *emptyText = nullptr;
    m_emptyPage = buildStatePage(&icon, &emptyText);
    emptyText->setText(tr("No test history found."));
    m_noMatchPage = buildStatePage(&icon, &m_noMatchText);
    applyPalette();

    m_table = new HistoryTableView(m_stack);
    m_delegate = new HistoryDelegate(m_table);
    m_table->setItemDelegate(m_delegate);
    m_table->setModel(m_proxy);
    m_table->setMouseTracking(true);
    m_table->sortByColumn(int(Column::Date), Qt::DescendingOrder);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    fitColumns();

    for (QWidget *page : { m_loadingPage, m_emptyPage, m_noMatchPage, static_cast<QWidget *>(m_table) })
        m_stack->addWidget(page);
    layout->addWidget(m_stack, 1);

    auto *deleteKey = new QAction(tr("Delete Selected Reports"), m_table);
    deleteKey->setShortcuts({ QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace) });
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(deleteKey);
    m_deleteButton->setToolTip(withShortcut(tr("Delete the selected reports"), deleteKey->shortcut()));
    connect(deleteKey, &QAction::triggered, this, [this] {
        const QSet<QString> ids = selectedIds();
        if (!ids.isEmpty())
            askToDelete(ids);
    });

    connect(m_viewModel.get(), &HistoryViewModel::reportsChanged, this, &HistoryView::showReports);
    connect(m_viewModel.get(), &HistoryViewModel::isRefreshingChanged, this, &HistoryView::updateContent);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryView::updateDeleteButton);
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, this, &HistoryView::updateDeleteButton);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &HistoryView::updateDeleteButton);
    connect(m_delegate, &HistoryDelegate::actionTriggered, this, &HistoryView::runAction);
    connect(m_table, &HistoryTableView::primaryActionRequested, this, &HistoryView::openPrimary);
    connect(m_table, &QWidget::customContextMenuRequested, this, &HistoryView::showContextMenu);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_proxy->setFilterText(text);
        updateContent();
    });

    showReports();
}

HistoryView::~HistoryView() = default;

QWidget *HistoryView::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("historyHeader"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(16, 10, 12, 10);
    row->setSpacing(8);

    auto *title = new QLabel(tr("Test History"), header);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    row->addWidget(title);
    row->addStretch(1);

    m_deleteButton = new QPushButton(header);
    m_deleteButton->setObjectName(QStringLiteral("historyDeleteButton"));
    m_deleteButton->setAutoDefault(false);
    m_deleteButton->hide();
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { askToDelete(selectedIds()); });
    row->addWidget(m_deleteButton);
    row->addSpacing(4);

    m_filter = new QLineEdit(header);
    m_filter->setObjectName(QStringLiteral("historyFilter"));
    m_filter->setPlaceholderText(tr("Filter history..."));
    m_filter->setToolTip(tr("Shows the runs whose flow name, environment or device contains the text"));
    m_filter->setAccessibleName(tr("Filter History"));
    m_filter->setClearButtonEnabled(true);
    for (QToolButton *button : m_filter->findChildren<QToolButton *>()) {
        button->setToolTip(tr("Clear Filter"));
        button->setAccessibleName(tr("Clear Filter"));
    }
    m_filter->setMinimumWidth(160);
    m_filter->setMaximumWidth(280);
    m_filterIcon = m_filter->addAction(QIcon(), QLineEdit::LeadingPosition);
    row->addWidget(m_filter, 1);

    m_refreshButton = new QToolButton(header);
    m_refreshButton->setObjectName(QStringLiteral("historyRefreshButton"));
    m_refreshButton->setAutoRaise(true);
    m_refreshButton->setShortcut(QKeySequence(Qt::Key_F5));
    m_refreshButton->setToolTip(withShortcut(tr("Refresh History"), m_refreshButton->shortcut()));
    m_refreshButton->setAccessibleName(tr("Refresh History"));
    connect(m_refreshButton, &QToolButton::clicked, this, &HistoryView::reload);
    row->addWidget(m_refreshButton);
    return header;
}

QWidget *HistoryView::buildStatePage(QLabel **icon, QLabel **text)
{
    auto *page = new QWidget(m_stack);
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->addStretch(1);
    *icon = new QLabel(page);
    (*icon)->setAlignment(Qt::AlignCenter);
    m_stateIcons.append(*icon);
    pageLayout->addWidget(*icon);
    pageLayout->addSpacing(8);
    *text = secondaryLabel(QString(), page);
    pageLayout->addWidget(*text);
    pageLayout->addStretch(1);
    return page;
}

void HistoryView::applyPalette()
{
    // Our symbols in this palette's colours, so they read in light and dark.
    const qreal ratio = devicePixelRatioF();
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    for (QLabel *icon : std::as_const(m_stateIcons))
        icon->setPixmap(HistoryDelegate::tintedSymbol(QStringLiteral("tray"), secondary, 40, ratio));
    m_refreshButton->setIcon(QIcon(
        HistoryDelegate::tintedSymbol(QStringLiteral("arrow.clockwise"), palette().color(QPalette::ButtonText), 16, ratio)));
    m_filterIcon->setIcon(QIcon(HistoryDelegate::tintedSymbol(QStringLiteral("magnifyingglass"), secondary, 16, ratio)));
    const QColor red = HistoryDelegate::colour(HistoryCells::ColourRole::Failure, palette());
    QPalette destructive = palette();
    destructive.setColor(QPalette::ButtonText, red);
    m_deleteButton->setPalette(destructive);
    m_deleteButton->setIcon(QIcon(HistoryDelegate::tintedSymbol(QStringLiteral("trash"), red, 16, ratio)));
}

void HistoryView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && m_deleteButton)
        applyPalette();
    QWidget::changeEvent(event);
}

void HistoryView::fitColumns()
{
    QHeaderView *header = m_table->horizontalHeader();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(20);
    const QFontMetrics metrics(header->font());
    // The sort indicator and the header's margins beside the title.
    const int chrome = 28;
    for (int column = 0; column < int(Column::Count); ++column) {
        const Column which = Column(column);
        if (which == Column::FlowName) {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
            continue;
        }
        int width = HistoryCells::columnWidth(which);
        if (which != Column::Status)
            width = qMax(width, metrics.horizontalAdvance(HistoryCells::columnTitle(which)) + chrome);
        if (which == Column::Env)
            width = qMax(width, HistoryDelegate::badgeWidth(QStringLiteral("PREPROD"), m_table->font()) + 8);
        header->setSectionResizeMode(column, which == Column::Status ? QHeaderView::Fixed : QHeaderView::Interactive);
        header->resizeSection(column, width);
    }
}

void HistoryView::reload()
{
    m_viewModel->loadReports();
}

void HistoryView::showReports()
{
    m_model->setReports(m_viewModel->reports());
    updateContent();
    updateDeleteButton();
}

HistoryView::Content HistoryView::content() const
{
    if (m_stack->currentWidget() == m_loadingPage)
        return Content::Loading;
    if (m_stack->currentWidget() == m_emptyPage)
        return Content::Empty;
    if (m_stack->currentWidget() == m_noMatchPage)
        return Content::NoMatch;
    return Content::Table;
}

void HistoryView::updateContent()
{
    QWidget *page = m_table;
    if (m_model->rowCount() == 0)
        page = m_viewModel->isRefreshing() ? m_loadingPage : m_emptyPage;
    else if (m_proxy->rowCount() == 0) {
        m_noMatchText->setText(tr("No runs match \u201c%1\u201d.").arg(m_filter->text().trimmed()));
        page = m_noMatchPage;
    }
    if (m_stack->currentWidget() != page)
        m_stack->setCurrentWidget(page);
    // Nothing to filter before the first run.
    m_filter->setVisible(m_model->rowCount() > 0 || !m_filter->text().isEmpty());
}

QSet<QString> HistoryView::selectedIds() const
{
    QSet<QString> ids;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        ids.insert(index.data(HistoryTableModel::IdRole).toString());
    return ids;
}

void HistoryView::updateDeleteButton()
{
    const qsizetype count = m_table->selectionModel()->selectedRows().size();
    m_deleteButton->setText(HistoryCells::deleteSelectedLabel(count));
    m_deleteButton->setAccessibleName(m_deleteButton->text());
    m_deleteButton->setVisible(count > 0);
}

void HistoryView::askToDelete(const QSet<QString> &ids)
{
    if (ids.isEmpty())
        return;
    if (m_confirmation)
        m_confirmation->close();
    m_reportsToDelete = ids;
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("historyDeleteConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(tr("Delete Reports"));
    box->setText(HistoryCells::confirmationTitle(ids.size()));
    box->setInformativeText(HistoryCells::confirmationMessage());
    QPushButton *remove = box->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(tr("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, remove](QAbstractButton *button) {
        if (button == remove)
            confirmDelete();
        else
            m_reportsToDelete.clear();
    });
    m_confirmation = box;
    box->open();
}

void HistoryView::confirmDelete()
{
    const QSet<QString> ids = m_reportsToDelete;
    const QSet<QString> kept = HistoryCells::selectionAfterDelete(selectedIds(), ids);
    m_reportsToDelete.clear();
    // Rows that leave the selection now, before the rescan removes them.
    QItemSelectionModel *selection = m_table->selectionModel();
    for (const QModelIndex &index : selection->selectedRows()) {
        if (!kept.contains(index.data(HistoryTableModel::IdRole).toString()))
            selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    m_viewModel->deleteReports(ids);
}

void HistoryView::runAction(const QModelIndex &index, HistoryCells::Action action)
{
    const int row = m_model->rowOf(index.data(HistoryTableModel::IdRole).toString());
    if (row < 0)
        return;
    const TestReport report = m_model->report(row);
    switch (action) {
    case HistoryCells::Action::OpenReport:
        m_viewModel->openReportInBrowser(report);
        break;
    case HistoryCells::Action::ShowEvidence:
        if (m_openFolder)
            m_openFolder(report.evidenceDirUrl);
        break;
    case HistoryCells::Action::Delete:
        askToDelete({ report.id });
        break;
    case HistoryCells::Action::Count:
        break;
    }
}

void HistoryView::openPrimary()
{
    QList<TestReport> rows;
    for (const QString &id : selectedIds()) {
        const int row = m_model->rowOf(id);
        if (row >= 0)
            rows.append(m_model->report(row));
    }
    if (const std::optional<TestReport> target = HistoryCells::primaryActionTarget(rows))
        m_viewModel->openReportInBrowser(*target);
}

void HistoryView::showContextMenu(const QPoint &pos)
{
    const QModelIndex index = m_table->indexAt(pos);
    if (!index.isValid())
        return;
    const QString id = index.data(HistoryTableModel::IdRole).toString();
    QSet<QString> ids = selectedIds();
    if (!ids.contains(id))
        ids = { id };
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *remove = menu->addAction(SymbolIcons::ownIcon(u"trash"), HistoryCells::deleteMenuLabel(ids.size()));
    connect(remove, &QAction::triggered, this, [this, ids] { askToDelete(ids); });
    menu->popup(m_table->viewport()->mapToGlobal(pos));
}
