#include "appdelegate.h"

#include "devices/oneshotprocess.h"
#include "process/commandexecutor.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

AppDelegate::AppDelegate(QObject *parent)
    : AppDelegate([] { return SettingsStore().hasCompletedSetup(); }, &AppDelegate::confirmQuitWithAlert,
                  [] { QCoreApplication::quit(); }, parent)
{
}

AppDelegate::AppDelegate(QuitPolicy::Question hasCompletedSetup, QuitPolicy::Question confirmQuit,
                         std::function<void()> requestTermination, QObject *parent)
    : QObject(parent)
    , m_policy(std::move(hasCompletedSetup), std::move(confirmQuit))
    , m_requestTermination(std::move(requestTermination))
{
    // Every quit, whatever asked for it (the platform's quit command, the last
    // window closing, QCoreApplication::quit), arrives as a Quit event.
    QCoreApplication::instance()->installEventFilter(this);
    // A device listing still waiting for a slow xcrun must not hold up the
    // quit either.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [] {
        CommandExecutor::terminateAll();
        OneShotProcess::killAll();
    });
}

AppDelegate::~AppDelegate()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void AppDelegate::scheduleAttachWindowDelegates()
{
    QTimer::singleShot(0, this, [self = QPointer<AppDelegate>(this)] {
        if (self)
            self->attachWindowDelegates();
    });
}

void AppDelegate::attachWindowDelegates()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        const QString identifier = window->objectName();
        if (!qobject_cast<QMainWindow *>(window) || identifier.isEmpty() || identifier.contains(QLatin1String("Settings")))
            continue;
        if (!m_windows.contains(window))
            m_windows.append(window);
    }
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        if (!m_policy.shouldTerminate()) {
            event->ignore();
            return true;
        }
        // Qt closes every window before it quits; those closes belong to a
        // quit already agreed to and must not ask or refuse. Should the quit
        // not happen after all, the next request is judged afresh.
        m_quitAccepted = true;
        QTimer::singleShot(0, this, [this] { m_quitAccepted = false; });
        return false;
    }
    // Installed on the application, the filter sees every object's events;
    // the close policy applies to the attached windows only.
    if (event->type() == QEvent::Close && watched->isWidgetType() && m_windows.contains(static_cast<QWidget *>(watched))) {
        if (m_quitAccepted)
            return false;
        switch (m_policy.shouldClose(watched->objectName())) {
        case QuitPolicy::CloseDecision::Allow:
            return false;
        case QuitPolicy::CloseDecision::Refuse:
            event->ignore();
            return true;
        case QuitPolicy::CloseDecision::RefuseAndTerminate:
            event->ignore();
            // Not from inside the close handling: the quit closes this window.
            QTimer::singleShot(0, this, [this] { m_requestTermination(); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QMessageBox *AppDelegate::createQuitAlert(QWidget *parent)
{
    auto *alert = new QMessageBox(parent);
    alert->setObjectName(QStringLiteral("quitAlert"));
    alert->setWindowTitle(QStringLiteral("Kestrune"));
    alert->setText(QStringLiteral("Keluar dari Kestrune?"));
    alert->setInformativeText(QStringLiteral("Apakah Anda yakin ingin menutup aplikasi Kestrune? \n\n"
                                             "Proses pengujian otomatis yang sedang berjalan akan dihentikan."));
    alert->setIcon(QMessageBox::Warning);
    QPushButton *quit = alert->addButton(QStringLiteral("Keluar"), QMessageBox::AcceptRole);
    QPushButton *cancel = alert->addButton(QStringLiteral("Batal"), QMessageBox::RejectRole);
    alert->setDefaultButton(quit);
    alert->setEscapeButton(cancel);
    return alert;
}

bool AppDelegate::confirmQuitWithAlert()
{
    QWidget *parent = QApplication::activeWindow();
    std::unique_ptr<QMessageBox> alert(createQuitAlert(parent));
    alert->exec();
    return alert->clickedButton() == alert->buttons().value(0);
}
