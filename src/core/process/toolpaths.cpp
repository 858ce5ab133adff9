#include "toolpaths.h"

#include <QtGlobal>

namespace {

void override(QString &field, const char *variable)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty())
        field = value;
}

} // namespace

ToolPaths ToolPaths::fromEnvironment()
{
    ToolPaths paths;
    override(paths.xcrun, "KESTRUNE_XCRUN");
    override(paths.xcodebuild, "KESTRUNE_XCODEBUILD");
    override(paths.shell, "KESTRUNE_SHELL");
    override(paths.pkill, "KESTRUNE_PKILL");
    override(paths.cp, "KESTRUNE_CP");
    override(paths.security, "KESTRUNE_SECURITY");
    return paths;
}

QString ToolPaths::defaultSearchPath()
{
    return QStringLiteral("/usr/bin:/bin:/usr/sbin:/sbin:/usr/local/bin:/opt/homebrew/bin");
}
