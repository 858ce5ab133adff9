#pragma once

#include <QLoggingCategory>

// Diagnostic log categories, one per area, named under the application's
// bundle identifier ("io.kestrune.Kestrune.Runner"). Lines are written at info
// level and never reach the user.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcRunner)
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
Q_DECLARE_LOGGING_CATEGORY(lcReport)
Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace kestrune {

// The bundle identifier used as the log subsystem and settings domain.
inline constexpr auto kBundleIdentifier = "io.kestrune.Kestrune";
inline constexpr auto kProductName = "Kestrune";

// The application's short version string ("0.1.0").
QString appVersion();

} // namespace kestrune
