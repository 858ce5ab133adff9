#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

// The outcome of one run as the history shows it.
enum class TestStatus { Passed, Failed, Unknown };

// One history row: a run folder of the reports output directory and what its
// report says. A plain value built by a history scan on a worker.
struct TestReport
{
    QString id; // the run folder path; unique key of the row
    QString environment;
    QDateTime timestamp;
    TestStatus status = TestStatus::Unknown;
    std::optional<QString> yamlName;
    std::optional<qint64> durationSeconds;
    std::optional<QString> deviceName;
    std::optional<qint64> totalCommands;
    std::optional<qint64> passedCommands;
    std::optional<QUrl> reportHtmlUrl;
    QUrl evidenceDirUrl;
};

using TestReportList = QList<TestReport>;

QString testStatusName(TestStatus status); // "passed", "failed", "unknown"

Q_DECLARE_METATYPE(TestReport)
