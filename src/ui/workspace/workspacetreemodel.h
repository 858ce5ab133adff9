#pragma once

#include "workspace/filenode.h"

#include <QAbstractItemModel>

#include <vector>

class RunnerViewModel;

// The controller's `fileTree` as an item model: one row per node, folders
// with their entries as children. A rebuilt tree resets the model (its nodes
// have new identities, so folders start collapsed again); a changed flow or
// environment selection only repaints the rows whose marker changed.
// Main thread.
class WorkspaceTreeModel final : public QAbstractItemModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorkspaceTreeModel)

public:
    enum Role {
        RelativePathRole = Qt::UserRole + 1, // the path the selections use
        KindRole, // WorkspaceFiles::FileKind as int
        MarkerRole, // Marker as int
        UrlRole, // QUrl of the file
    };
    enum Marker { NoMarker, FlowMarker, EnvironmentMarker };

    explicit WorkspaceTreeModel(RunnerViewModel *runner, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The node behind a row; nullptr for an invalid index.
    const FileNode *node(const QModelIndex &index) const;

private:
    struct Item
    {
        const FileNode *node = nullptr;
        qsizetype parent = -1; // index into m_items; -1 for top level
        int row = 0;
        QList<qsizetype> children;
        QString relativePath;
    };

    void rebuild();
    void updateMarkers();
    void addItems(const FileNodeList &nodes, qsizetype parent, QList<qsizetype> *into);
    Marker markerOf(const Item &item) const;

    RunnerViewModel *m_runner;
    FileNodeList m_tree; // the copy the items point into
    std::vector<Item> m_items;
    QList<qsizetype> m_topLevel;
    std::vector<Marker> m_markers;
};
