#pragma once

#include "reports/historycells.h"
#include "reports/historyviewmodel.h"

#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class HistoryDelegate;
class HistoryFilterModel;
class HistoryTableModel;
class HistoryTableView;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

// The history tab: the "Test History" header with the delete button (while
// rows are selected), a filter field and refresh; below it the spinner of
// the first scan, the empty state, or the table of runs. Owns its
// HistoryViewModel. Deleting always goes through a confirmation. Lives on
// the main thread.
class HistoryView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryView)

public:
    enum class Content { Loading, Empty, NoMatch, Table };
    using FolderOpener = std::function<void(const QUrl &)>;

    // Without a model: one over the reports output directory of the
    // settings, opening pages and folders on the desktop.
    explicit HistoryView(std::unique_ptr<HistoryViewModel> viewModel = {}, QWidget *parent = nullptr);
    ~HistoryView() override;

    HistoryViewModel *viewModel() const { return m_viewModel.get(); }
    HistoryTableView *table() const { return m_table; }
    HistoryTableModel *tableModel() const { return m_model; }
    HistoryFilterModel *filterModel() const { return m_proxy; }
    HistoryDelegate *delegate() const { return m_delegate; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    QToolButton *refreshButton() const { return m_refreshButton; }
    QLineEdit *filterField() const { return m_filter; }
    // The confirmation while it is shown.
    QMessageBox *confirmation() const { return m_confirmation; }
    Content content() const;

    QSet<QString> selectedIds() const;
    QSet<QString> reportsToDelete() const { return m_reportsToDelete; }
    void setFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }

public Q_SLOTS:
    void reload();
    // Shows the confirmation for those run ids.
    void askToDelete(const QSet<QString> &ids);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyPalette();
    QWidget *buildHeader();
    QWidget *buildStatePage(QLabel **icon, QLabel **text);
    void showReports();
    void updateContent();
    void updateDeleteButton();
    void confirmDelete();
    void runAction(const QModelIndex &index, HistoryCells::Action action);
    void openPrimary();
    void showContextMenu(const QPoint &pos);
    void fitColumns();

    std::unique_ptr<HistoryViewModel> m_viewModel;
    FolderOpener m_openFolder;
    HistoryTableModel *m_model = nullptr;
    HistoryFilterModel *m_proxy = nullptr;
    HistoryDelegate *m_delegate = nullptr;
    HistoryTableView *m_table = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QToolButton *m_refreshButton = nullptr;
    QLineEdit *m_filter = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_loadingPage = nullptr;
    QWidget *m_emptyPage = nullptr;
    QWidget *m_noMatchPage = nullptr;
    QLabel *m_noMatchText = nullptr;
    QList<QLabel *> m_stateIcons;
    QAction *m_filterIcon = nullptr;
    QSet<QString> m_reportsToDelete;
    QPointer<QMessageBox> m_confirmation;
};
