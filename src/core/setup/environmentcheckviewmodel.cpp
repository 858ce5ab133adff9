#include "environmentcheckviewmodel.h"

#include "environmentchecks.h"
#include "runner/backgroundtask.h"

#include <QPointer>

EnvironmentCheckViewModel::EnvironmentCheckViewModel(
    const QString &maestroPath, const QString &teamId, const ToolPaths &paths, QObject *parent)
    : QObject(parent)
    , m_maestroPath(maestroPath)
    , m_checks(EnvironmentChecks::initialItems(maestroPath, teamId))
{
    const QString team = teamId.trimmed();
    m_runners = {
        [maestroPath] { return EnvironmentChecks::checkRunner(maestroPath); },
        [paths] { return EnvironmentChecks::checkXcode(paths); },
        [paths, team] { return EnvironmentChecks::checkSigning(paths, team); },
    };
}

void EnvironmentCheckViewModel::runChecks()
{
    const quint64 pass = ++m_pass;
    for (int i = 0; i < m_checks.size(); ++i)
        updateStatus(i, CheckStatus::loading());

    // The worker holds the model only weakly and reads nothing of it but
    // the copies made here.
    const QPointer<EnvironmentCheckViewModel> self(this);
    const QList<Check> runners = m_runners;
    BackgroundTask::start([self, runners, pass] {
        for (int i = 0; i < runners.size(); ++i) {
            const CheckStatus status = runners.at(i)();
            BackgroundTask::postToMain(self, [i, status, pass](EnvironmentCheckViewModel *model) {
                if (model->m_pass == pass)
                    model->updateStatus(i, status);
            });
        }
    });
}

void EnvironmentCheckViewModel::updateStatus(int index, const CheckStatus &status)
{
    if (index < 0 || index >= m_checks.size() || m_checks.at(index).status == status)
        return;
    m_checks[index].status = status;
    Q_EMIT checkChanged(index);
}

bool EnvironmentCheckViewModel::isRunning() const
{
    for (const EnvironmentCheckItem &item : m_checks) {
        if (item.status.kind == CheckStatus::Kind::Loading)
            return true;
    }
    return false;
}
