#pragma once

#include <QString>

// Where the outside tools live. The defaults are the macOS locations; each can
// be overridden from the environment so that tests and the simulated lab can
// stand in for Apple's tools and the login shell:
//
//   KESTRUNE_XCRUN       /usr/bin/xcrun
//   KESTRUNE_XCODEBUILD  /usr/bin/xcodebuild
//   KESTRUNE_SHELL       /bin/zsh
//   KESTRUNE_PKILL       /usr/bin/pkill
//   KESTRUNE_CP          /bin/cp
//   KESTRUNE_SECURITY    /usr/bin/security
//
// A plain value, cheap to copy; read it once where it is needed.
struct ToolPaths
{
    QString xcrun = QStringLiteral("/usr/bin/xcrun");
    QString xcodebuild = QStringLiteral("/usr/bin/xcodebuild");
    QString shell = QStringLiteral("/bin/zsh");
    QString pkill = QStringLiteral("/usr/bin/pkill");
    QString cp = QStringLiteral("/bin/cp");
    QString security = QStringLiteral("/usr/bin/security");

    // The defaults with every override from the process environment applied.
    static ToolPaths fromEnvironment();

    // The search path of child processes that do not get the login environment.
    static QString defaultSearchPath();

    bool operator==(const ToolPaths &) const = default;
};
