#include "loginenvironment.h"

#include "processtree.h"
#include "settings/logging.h"
#include "toolcommands.h"

#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include <csignal>
#include <unistd.h>

LoginEnvironment::LoginEnvironment(const ToolPaths &paths, std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent)
    , m_paths(paths)
    , m_timeout(timeout)
{
}

LoginEnvironment::~LoginEnvironment()
{
    killShell();
}

LoginEnvironment::Environment LoginEnvironment::minimalEnvironment(const QProcessEnvironment &own)
{
    Environment environment;
    for (const char *name : { "HOME", "USER", "LOGNAME", "TMPDIR" }) {
        const QString key = QString::fromLatin1(name);
        if (own.contains(key))
            environment.insert(key, own.value(key));
    }
    environment.insert(QStringLiteral("PATH"), ToolPaths::defaultSearchPath());
    return environment;
}

std::optional<std::pair<QString, QString>> LoginEnvironment::parseLine(QStringView line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0 || equals == line.size() - 1)
        return std::nullopt;
    return std::make_pair(line.left(equals).toString(), line.mid(equals + 1).toString());
}

LoginEnvironment::Environment LoginEnvironment::applyOutput(Environment base, QStringView output)
{
    for (const QStringView line : output.split(QLatin1Char('\n'))) {
        if (const auto variable = parseLine(line))
            base.insert(variable->first, variable->second);
    }
    return base;
}

void LoginEnvironment::loadUserEnvironment()
{
    m_minimal = minimalEnvironment();
    if (m_startsFromOwnEnvironment) {
        const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
        for (const QString &key : own.keys())
            m_minimal.insert(key, own.value(key));
    }
    QProcessEnvironment shellEnvironment;
    for (auto it = m_minimal.cbegin(); it != m_minimal.cend(); ++it)
        shellEnvironment.insert(it.key(), it.value());

    const ToolCommand command = ToolCommands(m_paths).loginEnvironment();
    m_shell = new QProcess(this);
    m_shell->setProgram(command.program);
    m_shell->setArguments(command.arguments);
    m_shell->setProcessEnvironment(shellEnvironment);
    m_shell->setStandardInputFile(QProcess::nullDevice());
    m_shell->setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_UNIX
    // A session of its own: no controlling terminal, so a profile that asks
    // a question on /dev/tty gets no answer instead of waiting forever, and
    // the shell's group can be killed as a whole on time-out.
    m_shell->setChildProcessModifier([] { ::setsid(); });
#endif
    connect(m_shell, &QProcess::finished, this, &LoginEnvironment::onShellFinished);
    connect(m_shell, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onShellFailedToStart();
    });

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &LoginEnvironment::onTimeout);
    m_timer->start(m_timeout);

    m_shell->start();
}

void LoginEnvironment::onShellFinished()
{
    if (m_done)
        return;
    const QByteArray output = m_shell->readAllStandardOutput();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(output);
    if (decoder.hasError()) {
        qCInfo(lcApp) << "The login shell's environment is not UTF-8; using the minimal environment";
        finish(m_minimal);
        return;
    }
    finish(applyOutput(m_minimal, text));
}

void LoginEnvironment::onShellFailedToStart()
{
    if (m_done)
        return;
    qCInfo(lcApp, "Failed to get user environment: %s", qUtf8Printable(m_shell->errorString()));
    finish(m_minimal);
}

void LoginEnvironment::onTimeout()
{
    if (m_done)
        return;
    qCInfo(lcApp, "The login shell did not print its environment within %lld ms; killed it, using the minimal environment",
           static_cast<long long>(m_timeout.count()));
    killShell();
    finish(m_minimal);
}

void LoginEnvironment::finish(const Environment &environment)
{
    m_done = true;
    if (m_timer)
        m_timer->stop();
    Q_EMIT loaded(environment);
}

void LoginEnvironment::killShell()
{
    if (!m_shell)
        return;
    m_shell->disconnect(this);
    if (m_shell->state() != QProcess::NotRunning) {
        // Whatever the profile started goes with the shell.
        ProcessTree::signalGroup(m_shell->processId(), SIGKILL);
        m_shell->kill();
        m_shell->waitForFinished(1000);
    }
    delete m_shell;
    m_shell = nullptr;
}
