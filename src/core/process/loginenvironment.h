#pragma once

#include "toolpaths.h"

#include <QMap>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringView>

#include <chrono>
#include <optional>
#include <utility>

class QProcess;
class QTimer;

// Learns the user's login-shell environment (`zsh -lic env`) so that tools
// installed through the user's shell set-up are found. The shell runs
// asynchronously with no terminal and /dev/null as input, so a profile that
// prompts cannot hang it, and is killed after a time-out; whenever the shell
// fails, the minimal environment (HOME, USER, LOGNAME, TMPDIR and the default
// search path) is the answer. Owned by the command executor for one run;
// lives on the main thread and never blocks it.
class LoginEnvironment final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginEnvironment)

public:
    using Environment = QMap<QString, QString>;

    static constexpr std::chrono::milliseconds kDefaultTimeout { 10000 };

    explicit LoginEnvironment(const ToolPaths &paths, std::chrono::milliseconds timeout = kDefaultTimeout,
                              QObject *parent = nullptr);
    // Kills a shell that is still running; loaded() is then never emitted.
    ~LoginEnvironment() override;

    // Starts the shell. loaded() follows exactly once, possibly before this
    // returns when the shell cannot be started.
    void loadUserEnvironment();

    // Starts the shell from this process's whole environment instead of the
    // minimal one (the command line passes what its terminal exported on to
    // the runner; the window keeps the minimal one). Before loadUserEnvironment().
    void setStartsFromOwnEnvironment(bool own) { m_startsFromOwnEnvironment = own; }

    // HOME, USER, LOGNAME and TMPDIR as set in `own`, and PATH set to the
    // default search path.
    static Environment minimalEnvironment(const QProcessEnvironment &own = QProcessEnvironment::systemEnvironment());

    // One line of `env` output: split at the first "=" only; a line without
    // "=", starting with "=" or with nothing after the first "=" is no
    // variable.
    static std::optional<std::pair<QString, QString>> parseLine(QStringView line);

    // `base` with every variable of the shell's output written over it.
    static Environment applyOutput(Environment base, QStringView output);

Q_SIGNALS:
    void loaded(const LoginEnvironment::Environment &environment);

private:
    void onShellFinished();
    void onShellFailedToStart();
    void onTimeout();
    void finish(const Environment &environment);
    void killShell();

    ToolPaths m_paths;
    std::chrono::milliseconds m_timeout;
    Environment m_minimal;
    bool m_startsFromOwnEnvironment = false;
    QProcess *m_shell = nullptr;
    QTimer *m_timer = nullptr;
    bool m_done = false;
};
