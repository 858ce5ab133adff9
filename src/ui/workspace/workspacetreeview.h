#pragma once

#include <QTreeView>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;
class RunnerViewModel;
class WorkspaceTreeModel;

// The file tree of the workspace as a tree view. A click on a file row
// chooses or clears it as the flow or environment file (ignored while a run
// is in progress); a click on its eye opens the file in the viewer, always;
// a click on a folder opens or closes it. Return does a click's work on
// the current row, Space previews it.
class WorkspaceFileTree final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorkspaceFileTree)

public:
    WorkspaceFileTree(RunnerViewModel *runner, QWidget *parent = nullptr);
    WorkspaceTreeModel *treeModel() const { return m_model; }

    // What a click at `pos` (viewport coordinates) does.
    void clickAt(const QPoint &pos);
    void preview(const QModelIndex &index);
    void choose(const QModelIndex &index);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    RunnerViewModel *m_runner;
    WorkspaceTreeModel *m_model;
};

// The left pane of the workspace screen: "Import Workspace" and refresh, the
// tree or its empty states, and the footer with the current selection and a
// short guide. Everything shown comes from the controller. Main thread.
class WorkspaceTreeView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorkspaceTreeView)

public:
    enum Content { NoWorkspacePage, EmptyWorkspacePage, TreePage };

    explicit WorkspaceTreeView(RunnerViewModel *runner, QWidget *parent = nullptr);

    QPushButton *importButton() const { return m_importButton; }
    QToolButton *refreshButton() const { return m_refreshButton; }
    WorkspaceFileTree *tree() const { return m_tree; }
    Content content() const;
    QWidget *selectionBlock() const { return m_selectionBlock; }
    QLabel *flowSelectionLabel() const { return m_flowName; }
    QLabel *environmentSelectionLabel() const { return m_envName; }

public Q_SLOTS:
    // The folder chooser (non-modal; a sheet on macOS). Choosing a folder
    // loads it as the workspace.
    void chooseWorkspace();

private:
    void refresh();
    void refreshSelection();

    RunnerViewModel *m_runner;
    QPushButton *m_importButton = nullptr;
    QToolButton *m_refreshButton = nullptr;
    QStackedWidget *m_pages = nullptr;
    WorkspaceFileTree *m_tree = nullptr;
    QWidget *m_selectionBlock = nullptr;
    QWidget *m_flowRow = nullptr;
    QWidget *m_envRow = nullptr;
    QLabel *m_flowName = nullptr;
    QLabel *m_envName = nullptr;
};
