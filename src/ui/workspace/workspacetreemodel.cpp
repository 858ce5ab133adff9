#include "workspacetreemodel.h"

#include "runner/runnerviewmodel.h"
#include "symbolicons.h"
#include "workspace/workspacefiles.h"

WorkspaceTreeModel::WorkspaceTreeModel(RunnerViewModel *runner, QObject *parent)
    : QAbstractItemModel(parent)
    , m_runner(runner)
{
    connect(runner, &RunnerViewModel::fileTreeChanged, this, &WorkspaceTreeModel::rebuild);
    connect(runner, &RunnerViewModel::workspaceURLChanged, this, &WorkspaceTreeModel::rebuild);
    connect(runner, &RunnerViewModel::selectedFlowRelativePathChanged, this, &WorkspaceTreeModel::updateMarkers);
    connect(runner, &RunnerViewModel::selectedEnvRelativePathChanged, this, &WorkspaceTreeModel::updateMarkers);
    rebuild();
}

void WorkspaceTreeModel::rebuild()
{
    beginResetModel();
    m_tree = m_runner->fileTree();
    m_items.clear();
    m_topLevel.clear();
    addItems(m_tree, -1, &m_topLevel);
    m_markers.assign(m_items.size(), NoMarker);
    for (size_t i = 0; i < m_items.size(); ++i)
        m_markers[i] = markerOf(m_items[i]);
    endResetModel();
}

void WorkspaceTreeModel::addItems(const FileNodeList &nodes, qsizetype parent, QList<qsizetype> *into)
{
    const QString workspace = m_runner->workspacePath();
    for (qsizetype row = 0; row < nodes.size(); ++row) {
        const FileNode &node = nodes.at(row);
        const auto at = qsizetype(m_items.size());
        Item item;
        item.node = &node;
        item.parent = parent;
        item.row = int(row);
        item.relativePath = WorkspaceFiles::workspaceRelativePath(workspace, node);
        m_items.push_back(item);
        into->append(at);
        // Children are added after the parent's entry exists; the vector may
        // grow, so the list is filled through the index, not a reference.
        QList<qsizetype> children;
        addItems(node.children, at, &children);
        m_items[size_t(at)].children = children;
    }
}

WorkspaceTreeModel::Marker WorkspaceTreeModel::markerOf(const Item &item) const
{
    if (item.node->isDirectory)
        return NoMarker;
    if (item.relativePath == m_runner->selectedFlowRelativePath())
        return FlowMarker;
    if (item.relativePath == m_runner->selectedEnvRelativePath())
        return EnvironmentMarker;
    return NoMarker;
}

void WorkspaceTreeModel::updateMarkers()
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        const Marker marker = markerOf(m_items[i]);
        if (marker == m_markers[i])
            continue;
        m_markers[i] = marker;
        const Item &item = m_items[i];
        const QModelIndex changed = createIndex(item.row, 0, quintptr(i));
        Q_EMIT dataChanged(changed, changed, { MarkerRole, Qt::ToolTipRole });
    }
}

QModelIndex WorkspaceTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const QList<qsizetype> &rows = parent.isValid() ? m_items[size_t(parent.internalId())].children : m_topLevel;
    if (row >= rows.size())
        return {};
    return createIndex(row, 0, quintptr(rows.at(row)));
}

QModelIndex WorkspaceTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    const qsizetype parent = m_items[size_t(child.internalId())].parent;
    if (parent < 0)
        return {};
    return createIndex(m_items[size_t(parent)].row, 0, quintptr(parent));
}

int WorkspaceTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(parent.isValid() ? m_items[size_t(parent.internalId())].children.size() : m_topLevel.size());
}

int WorkspaceTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

const FileNode *WorkspaceTreeModel::node(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return m_items[size_t(index.internalId())].node;
}

Qt::ItemFlags WorkspaceTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant WorkspaceTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const size_t at = size_t(index.internalId());
    const Item &item = m_items[at];
    const FileNode &node = *item.node;
    switch (role) {
    case Qt::DisplayRole:
        return node.name;
    case Qt::DecorationRole:
        return SymbolIcons::icon(WorkspaceFiles::iconName(node.name, node.isDirectory));
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        switch (m_markers[at]) {
        case FlowMarker:
            return tr("Target Flow");
        case EnvironmentMarker:
            return tr("Target Environment");
        case NoMarker:
            break;
        }
        return item.relativePath;
    case RelativePathRole:
        return item.relativePath;
    case KindRole:
        return int(WorkspaceFiles::fileKind(node.name, node.isDirectory));
    case MarkerRole:
        return int(m_markers[at]);
    case UrlRole:
        return node.url();
    default:
        return {};
    }
}
