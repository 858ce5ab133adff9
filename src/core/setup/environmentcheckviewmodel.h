#pragma once

#include "environmentcheckitem.h"
#include "process/toolpaths.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// The state of one environment check sheet (or onboarding's prerequisites
// page): the rows and the checks behind them. runChecks() runs the checks one
// after the other on a worker; each result comes back through updateStatus()
// on the main thread. Results of a pass that was superseded by a newer one,
// or that arrive after discardPendingResults() or after the model is gone,
// are dropped. Owned by the screen that shows it; lives on the main thread.
class EnvironmentCheckViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EnvironmentCheckViewModel)

public:
    // The checks a pass runs, in row order; replaceable so that tests can
    // stand in for the tools. Each runs on the worker.
    using Check = std::function<CheckStatus()>;

    EnvironmentCheckViewModel(const QString &maestroPath, const QString &teamId,
        const ToolPaths &paths = ToolPaths::fromEnvironment(), QObject *parent = nullptr);

    const QList<EnvironmentCheckItem> &checks() const { return m_checks; }
    const QString &maestroPath() const { return m_maestroPath; }

    void setChecks(QList<Check> checks) { m_runners = std::move(checks); }

    // Every row to loading, then the checks on a worker.
    void runChecks();
    // Sets one row's status (main thread).
    void updateStatus(int index, const CheckStatus &status);
    // Results still under way are dropped (the sheet was closed).
    void discardPendingResults() { ++m_pass; }

    bool isRunning() const;

Q_SIGNALS:
    void checkChanged(int index);

private:
    QString m_maestroPath;
    QList<EnvironmentCheckItem> m_checks;
    QList<Check> m_runners;
    quint64 m_pass = 0;
};
