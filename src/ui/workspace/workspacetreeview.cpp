#include "workspacetreeview.h"

#include "runner/runnerviewmodel.h"
#include "symbolicons.h"
#include "workspace/workspacefiles.h"
#include "workspacetreedelegate.h"
#include "workspacetreemodel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QUuid>
#include <QVBoxLayout>

namespace {

const QColor kFlowBlue(0x2f, 0x7c, 0xf6);
const QColor kEnvironmentGreen(0x34, 0xa8, 0x53);

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel *smallLabel(const QString &text, qreal scale, bool bold, bool secondary, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    label->setFont(font);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel *markerLabel(const QString &marker, const QColor &colour, QWidget *parent)
{
    auto *label = new QLabel(marker, parent);
    label->setFixedWidth(14);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// A footer row: a marker slot and a text.
QWidget *markedRow(QLabel *marker, QLabel *text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    marker->setParent(row);
    text->setParent(row);
    layout->addWidget(marker, 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    return row;
}

// A label that shows its text elided in the middle at whatever width it has.
class MiddleElidedLabel final : public QLabel
{
public:
    using QLabel::QLabel;
    void setFullText(const QString &text)
    {
        m_full = text;
        elide();
    }
    QSize minimumSizeHint() const override { return { 20, QLabel::minimumSizeHint().height() }; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { QLabel::setText(fontMetrics().elidedText(m_full, Qt::ElideMiddle, qMax(width(), 20))); }
    QString m_full;
};

} // namespace

WorkspaceFileTree::WorkspaceFileTree(RunnerViewModel *runner, QWidget *parent)
    : QTreeView(parent)
    , m_runner(runner)
    , m_model(new WorkspaceTreeModel(runner, this))
{
    setObjectName(QStringLiteral("workspaceTree"));
    setAccessibleName(tr("Workspace Files"));
    setModel(m_model);
    setItemDelegate(new WorkspaceTreeDelegate(this));
    setHeaderHidden(true);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideMiddle);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    header()->setStretchLastSection(true);
}

void WorkspaceFileTree::preview(const QModelIndex &index)
{
    if (const FileNode *node = m_model->node(index); node && !node->isDirectory)
        m_runner->setPreviewURLItem(IdentifiableUrl { QUuid::createUuid(), node->url() });
}

void WorkspaceFileTree::choose(const QModelIndex &index)
{
    const FileNode *node = m_model->node(index);
    if (!node)
        return;
    if (node->isDirectory) {
        setExpanded(index, !isExpanded(index));
        return;
    }
    // The controller ignores the click while a run is in progress.
    m_runner->toggleFileSelection(*node);
}

void WorkspaceFileTree::clickAt(const QPoint &pos)
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return;
    const FileNode *node = m_model->node(index);
    if (!node->isDirectory && WorkspaceTreeDelegate::eyeRect(visualRect(index)).contains(pos))
        preview(index);
    else
        choose(index);
}

void WorkspaceFileTree::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    // A click on a folder's disclosure arrow is the tree's own.
    const bool onRow = index.isValid() && visualRect(index).contains(pos);
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && onRow)
        clickAt(pos);
}

void WorkspaceFileTree::keyPressEvent(QKeyEvent *event)
{
    if (currentIndex().isValid()) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            choose(currentIndex());
            return;
        }
        // Space previews, as in the platform's file browsers.
        if (event->key() == Qt::Key_Space) {
            preview(currentIndex());
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

WorkspaceTreeView::WorkspaceTreeView(RunnerViewModel *runner, QWidget *parent)
    : QWidget(parent)
    , m_runner(runner)
{
    setObjectName(QStringLiteral("workspaceTreeView"));
    setMinimumWidth(200);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(10, 8, 8, 8);
    m_importButton = new QPushButton(SymbolIcons::icon(u"folder.badge.plus"), tr("Import Workspace"), this);
    m_importButton->setObjectName(QStringLiteral("importWorkspaceButton"));
    m_importButton->setAccessibleName(tr("Import Workspace"));
    connect(m_importButton, &QPushButton::clicked, this, &WorkspaceTreeView::chooseWorkspace);
    headerRow->addWidget(m_importButton);
    headerRow->addStretch(1);
    m_refreshButton = new QToolButton(this);
    m_refreshButton->setObjectName(QStringLiteral("refreshWorkspaceButton"));
    m_refreshButton->setIcon(SymbolIcons::icon(u"arrow.triangle.2.circlepath"));
    m_refreshButton->setToolTip(tr("Refresh Workspace"));
    m_refreshButton->setAccessibleName(tr("Refresh Workspace"));
    m_refreshButton->setAutoRaise(true);
    connect(m_refreshButton, &QToolButton::clicked, runner, &RunnerViewModel::reloadWorkspace);
    headerRow->addWidget(m_refreshButton);
    layout->addLayout(headerRow);
    layout->addWidget(divider(this));

    m_pages = new QStackedWidget(this);
    auto *noWorkspace = new QWidget(m_pages);
    auto *noLayout = new QVBoxLayout(noWorkspace);
    noLayout->addStretch(1);
    auto *noIcon = new QLabel(noWorkspace);
    noIcon->setPixmap(SymbolIcons::icon(u"folder.badge.questionmark").pixmap(40, 40));
    noIcon->setAlignment(Qt::AlignCenter);
    noLayout->addWidget(noIcon);
    noLayout->addSpacing(8);
    QLabel *noText = smallLabel(tr("No Workspace Selected"), 1.0, false, true, noWorkspace);
    noText->setAlignment(Qt::AlignCenter);
    noLayout->addWidget(noText);
    noLayout->addStretch(1);
    m_pages->addWidget(noWorkspace);
    QLabel *empty = smallLabel(tr("Workspace is empty or invalid."), 1.0, false, true, m_pages);
    empty->setAlignment(Qt::AlignCenter);
    empty->setWordWrap(true);
    m_pages->addWidget(empty);
    m_tree = new WorkspaceFileTree(runner, m_pages);
    m_pages->addWidget(m_tree);
    layout->addWidget(m_pages, 1);
    layout->addWidget(divider(this));

    auto *footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("workspaceFooter"));
    footer->setAutoFillBackground(true);
    footer->setBackgroundRole(QPalette::AlternateBase);
    auto *footerLayout = new QVBoxLayout(footer);
    footerLayout->setContentsMargins(12, 12, 12, 12);
    footerLayout->setSpacing(8);

    m_selectionBlock = new QWidget(footer);
    auto *selectionLayout = new QVBoxLayout(m_selectionBlock);
    selectionLayout->setContentsMargins(0, 0, 0, 0);
    selectionLayout->setSpacing(6);
    selectionLayout->addWidget(smallLabel(tr("Current Selection"), 0.92, true, false, m_selectionBlock));
    auto makeSelectionRow = [this](const QString &marker, const QColor &colour, QLabel **name) {
        auto *text = new MiddleElidedLabel;
        QFont font = text->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        font.setWeight(QFont::DemiBold);
        text->setFont(font);
        *name = text;
        return markedRow(markerLabel(marker, colour, nullptr), text, m_selectionBlock);
    };
    m_flowRow = makeSelectionRow(QStringLiteral("◉"), kFlowBlue, &m_flowName);
    m_envRow = makeSelectionRow(QStringLiteral("⚙︎"), kEnvironmentGreen, &m_envName);
    selectionLayout->addWidget(m_flowRow);
    selectionLayout->addWidget(m_envRow);
    auto *selectionDivider = divider(m_selectionBlock);
    selectionLayout->addSpacing(2);
    selectionLayout->addWidget(selectionDivider);
    footerLayout->addWidget(m_selectionBlock);

    footerLayout->addWidget(smallLabel(tr("Guide"), 0.92, true, true, footer));
    auto guideLine = [footer](QLabel *marker, const QString &text) {
        QLabel *label = smallLabel(text, 0.85, false, true, nullptr);
        label->setWordWrap(true);
        QFont markerFont = marker->font();
        markerFont.setPointSizeF(markerFont.pointSizeF() * 0.85);
        marker->setFont(markerFont);
        return markedRow(marker, label, footer);
    };
    footerLayout->addWidget(guideLine(markerLabel(QStringLiteral("◉"), kFlowBlue, nullptr), tr("Click .yaml to set Target Flow")));
    footerLayout->addWidget(
        guideLine(markerLabel(QStringLiteral("⚙︎"), kEnvironmentGreen, nullptr), tr("Click .env to set Environment")));
    auto *eye = new QLabel;
    eye->setFixedWidth(14);
    eye->setPixmap(SymbolIcons::icon(u"eye").pixmap(12, 12));
    footerLayout->addWidget(guideLine(eye, tr("Click eye icon to preview file")));
    layout->addWidget(footer);

    connect(runner, &RunnerViewModel::workspaceURLChanged, this, &WorkspaceTreeView::refresh);
    connect(runner, &RunnerViewModel::fileTreeChanged, this, &WorkspaceTreeView::refresh);
    connect(runner, &RunnerViewModel::isRunningChanged, this, &WorkspaceTreeView::refresh);
    connect(runner, &RunnerViewModel::selectedFlowRelativePathChanged, this, &WorkspaceTreeView::refreshSelection);
    connect(runner, &RunnerViewModel::selectedEnvRelativePathChanged, this, &WorkspaceTreeView::refreshSelection);
    refresh();
    refreshSelection();
}

WorkspaceTreeView::Content WorkspaceTreeView::content() const
{
    return Content(m_pages->currentIndex());
}

void WorkspaceTreeView::chooseWorkspace()
{
    auto *dialog = new QFileDialog(window(), tr("Import Workspace"));
    dialog->setObjectName(QStringLiteral("importWorkspaceDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, tr("Import"));
    if (!m_runner->workspacePath().isEmpty())
        dialog->setDirectory(QFileInfo(m_runner->workspacePath()).absolutePath());
    connect(dialog, &QFileDialog::fileSelected, m_runner, &RunnerViewModel::selectWorkspace);
    dialog->open();
}

void WorkspaceTreeView::refresh()
{
    const bool hasWorkspace = !m_runner->workspaceURL().isEmpty();
    m_refreshButton->setEnabled(hasWorkspace && !m_runner->isRunning());
    if (!hasWorkspace)
        m_pages->setCurrentIndex(NoWorkspacePage);
    else if (m_runner->fileTree().isEmpty())
        m_pages->setCurrentIndex(EmptyWorkspacePage);
    else
        m_pages->setCurrentIndex(TreePage);
}

void WorkspaceTreeView::refreshSelection()
{
    const QString flow = m_runner->selectedFlowRelativePath();
    const QString env = m_runner->selectedEnvRelativePath();
    m_selectionBlock->setVisible(!flow.isEmpty() || !env.isEmpty());
    m_flowRow->setVisible(!flow.isEmpty());
    m_envRow->setVisible(!env.isEmpty());
    static_cast<MiddleElidedLabel *>(m_flowName)->setFullText(QFileInfo(flow).fileName());
    m_flowName->setToolTip(flow);
    m_flowName->setAccessibleName(tr("Target Flow: %1").arg(flow));
    static_cast<MiddleElidedLabel *>(m_envName)->setFullText(QFileInfo(env).fileName());
    m_envName->setToolTip(env);
    m_envName->setAccessibleName(tr("Target Environment: %1").arg(env));
}
