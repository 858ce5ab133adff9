#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

// The date formats shared by the report and history code: run folder names,
// the history's display column, and the runner's RFC 3339 times. Stateless
// functions, safe on any thread.
namespace ReportFormatters {

// "yyyyMMdd_HHmmss": run folder names, in local time.
inline constexpr auto kRunFolderPattern = "yyyyMMdd_HHmmss";

QString formatRunFolderTime(const QDateTime &time);
// The whole text must be a valid local time in the run folder pattern.
std::optional<QDateTime> parseRunFolderTime(QStringView text);

// Medium date and short time in the user's locale ("Dec 6, 2026, 09:36").
QString formatDisplay(const QDateTime &time);

// Internet date-time: date, "T", time with 0 to 9 fraction digits (the runner
// cuts trailing zeros, so a time on the second has none), then "Z" or an
// offset. Fractions past the millisecond are cut.
std::optional<QDateTime> parseInternetDateTime(QStringView text);

} // namespace ReportFormatters
