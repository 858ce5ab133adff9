#pragma once

#include "toolcommand.h"
#include "toolpaths.h"

#include <QList>
#include <QPair>

// Every command line the application hands to an outside tool, one function
// each, so that no caller assembles an argument list by hand. The programs
// come from the ToolPaths given at construction. A plain value, usable on any
// thread.
class ToolCommands final
{
public:
    // A run variable passed to the runner as "-e" key=value.
    using Variable = QPair<QString, QString>;

    // What a test run needs besides the tool locations.
    struct TestRun
    {
        QString runnerPath;      // tilde already expanded
        QString teamId;
        QString deviceId;        // UDID
        QString bundleId;
        QList<Variable> variables;
        QString outputFolder;    // the run's evidence folder
        QString flowFile;        // the flow inside the sandbox
    };

    // The app's Netfox log inside its data container.
    static constexpr auto kNetfoxLogInContainer = "tmp/NFX/session.log";

    explicit ToolCommands(ToolPaths paths = ToolPaths::fromEnvironment());

    const ToolPaths &paths() const { return m_paths; }

    // The runner through a login shell: `shell -l -c "$@" -- runner ...`. The
    // shell takes "--" as its own name and runs the runner with exactly the
    // arguments that follow, unquoted and unexpanded.
    ToolCommand runnerTestRun(const TestRun &run) const;
    ToolCommand runnerHierarchy(const QString &runnerPath, const QString &teamId, const QString &deviceId) const;

    // The user's login environment as name=value lines.
    ToolCommand loginEnvironment() const;
    // Where the login shell finds the runner (or the older `maestro`).
    ToolCommand whichRunner() const;

    ToolCommand xctraceListDevices() const;
    ToolCommand devicectlListApps(const QString &deviceId) const;
    ToolCommand devicectlCopyFrom(const QString &deviceId, const QString &bundleId, const QString &source,
                                  const QString &destination) const;
    ToolCommand simctlListApps(const QString &deviceId) const;
    ToolCommand simctlAppDataContainer(const QString &deviceId, const QString &bundleId) const;
    ToolCommand xcodebuildVersion() const;
    // The keychain's valid code-signing identities, one numbered line each.
    ToolCommand securityFindCodesigningIdentities() const;

    enum class Signal { Terminate, Kill };
    // Signals the direct children of `parentPid`.
    ToolCommand pkillChildren(Signal signal, qint64 parentPid) const;
    ToolCommand copyFile(const QString &source, const QString &destination) const;

private:
    QStringList runnerPrefix(const QString &runnerPath, const QString &teamId, const QString &deviceId) const;

    ToolPaths m_paths;
};
