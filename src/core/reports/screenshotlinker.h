#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// Links the screenshots that the runner saved for "takeScreenshot" commands
// but did not reference to their commands in the data embedded in
// report.html. Stateless; runs on the report worker.
namespace ScreenshotLinker {

// "cmd-%03d-": the command index as at least three zero-filled digits.
QString screenshotPrefix(qint64 index);

// The first name in `pngFiles` that starts with the prefix of `index` and is
// not in `used`.
std::optional<QString> pickScreenshot(const QStringList &pngFiles, qint64 index, const QSet<QString> &used);

// Changes the embedded object of `html` in place; true when it changed.
bool patchScreenshots(QString &html, const QString &reportFolder);

} // namespace ScreenshotLinker
