#pragma once

#include <QDialog>
#include <QList>

class EnvironmentCheckRow;
class EnvironmentCheckViewModel;
class QPushButton;

// The environment check as a sheet over its window: one row per
// prerequisite, "Close" and "Run Checks". The checks run as soon as the sheet
// is shown and again on "Run Checks"; closing it drops results still under
// way. Owns its view model. Main thread.
class EnvironmentCheckView final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnvironmentCheckView)

public:
    EnvironmentCheckView(EnvironmentCheckViewModel *viewModel, QWidget *parent = nullptr);

    EnvironmentCheckViewModel *viewModel() const { return m_viewModel; }
    EnvironmentCheckRow *row(int index) const { return m_rows.value(index); }
    QPushButton *closeButton() const { return m_close; }
    QPushButton *runButton() const { return m_run; }

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void refreshRow(int index);

    EnvironmentCheckViewModel *m_viewModel;
    QList<EnvironmentCheckRow *> m_rows;
    QPushButton *m_close = nullptr;
    QPushButton *m_run = nullptr;
};
