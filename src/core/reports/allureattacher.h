#pragma once

#include <QString>

// Attaches the run's network log to every Allure result of the runner: copies
// the log into the results folder under a name taken from its contents and
// gives each "*-result.json" one attachment record for it (an earlier record
// of the log, and its file, are replaced), so attaching twice equals attaching
// once. Stateless; runs on the report worker.
namespace AllureAttacher {

// False with `error` when copying the log or writing a result file fails
// (result files before it keep their new record). Missing folders or logs,
// and unreadable result files, are logged and are not errors.
bool attach(const QString &allureResultsDir, const QString &networkLogFile, QString *error);

} // namespace AllureAttacher
