#pragma once

// The report suites' sample run folder, golden pages and fixed time zone.
#include "scratchfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <ctime>

namespace ReportTestSupport {

using namespace testsupport;

inline void useUtc()
{
    qputenv("TZ", "UTC");
    tzset();
}

inline QString dataDir()
{
    return QStringLiteral(KESTRUNE_TEST_DATA_DIR "/reports");
}

// The sample run "SIT_20261206_093640" copied under `root`; returns its path.
inline QString copyBasicRun(const QString &root)
{
    const QString target = root + QStringLiteral("/SIT_20261206_093640");
    return copyTree(dataDir() + QStringLiteral("/runs/SIT_20261206_093640"), target) ? target : QString();
}

inline QString basicReportFolder(const QString &run)
{
    return run + QStringLiteral("/2026-12-06_09-36-40");
}

// Compares `actual` with the golden file; KESTRUNE_UPDATE_GOLDEN=1 rewrites it.
inline bool matchesGolden(const QString &goldenPath, const QByteArray &actual)
{
    if (qEnvironmentVariableIntValue("KESTRUNE_UPDATE_GOLDEN") == 1)
        return writeFile(goldenPath, actual);
    if (readFile(goldenPath) == actual)
        return true;
    const QString actualPath = QDir::temp().filePath(QFileInfo(goldenPath).fileName() + QStringLiteral(".actual"));
    writeFile(actualPath, actual);
    qWarning("Golden mismatch: diff %s %s", qPrintable(goldenPath), qPrintable(actualPath));
    return false;
}

} // namespace ReportTestSupport
