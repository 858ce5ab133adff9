#include "appdelegate.h"
#include "launchoptions.h"
#include "mainwindow.h"
#include "settings/logging.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QDir>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

// A dark palette for checking the window in dark mode on systems without one
// (used with `--dark`; the platform's own palette otherwise).
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2d);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xe8, 0xe8, 0xea);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x28));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
    palette.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4a));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x52));
    for (QPalette::ColorRole role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        palette.setColor(QPalette::Disabled, role, QColor(0x70, 0x70, 0x74));
    return palette;
}

// macOS hands a folder dropped on the Dock icon (or "Open With") to the
// application as a file-open event.
class FileOpenForwarder final : public QObject
{
public:
    explicit FileOpenForwarder(MainWindow *window)
        : QObject(window)
        , m_window(window)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FileOpen) {
            const QString path = static_cast<QFileOpenEvent *>(event)->file();
            if (!path.isEmpty()) {
                m_window->openWorkspace(path);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    MainWindow *m_window;
};

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version need no display: answered before the window
    // system is touched.
    {
        QStringList raw;
        for (int i = 0; i < argc; ++i)
            raw << QString::fromLocal8Bit(argv[i]);
        const LaunchOptions early = LaunchOptions::parse(raw);
        if (early.help || early.version) {
            const QByteArray text = early.help
                ? LaunchOptions::usage().toUtf8()
                : QByteArray(kestrune::kProductName) + ' ' + kestrune::appVersion().toUtf8() + '\n';
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kestrune::kProductName));
    QApplication::setApplicationVersion(kestrune::appVersion());
    QApplication::setOrganizationName(QStringLiteral("Kestrune"));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(SettingsStore::kOrganizationDomain));
    QApplication::setDesktopFileName(QString::fromLatin1(kestrune::kBundleIdentifier));

    // `--screenshot FILE [--size WxH] [--dark]`: shows the window, saves
    // what it draws and exits (documentation and visual checks under Xvfb;
    // not a user option). `--dark` also works without a screenshot.
    const LaunchOptions options = LaunchOptions::parse(QApplication::arguments());
    if (options.dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }

    AppDelegate delegate;
    MainWindow window;
    app.installEventFilter(new FileOpenForwarder(&window));
    if (options.size.isValid())
        window.resize(options.size);
    window.show();
    delegate.scheduleAttachWindowDelegates();
    window.presentOnboardingIfNeeded();
    if (!options.workspace.isEmpty()) {
        if (QFileInfo(options.workspace).isDir())
            window.openWorkspace(options.workspace);
        else
            std::fprintf(stderr, "kestrune: %s is not a folder; starting without a workspace\n",
                qPrintable(QDir::toNativeSeparators(options.workspace)));
    }

    const QString screenshot = options.screenshot;
    if (!screenshot.isEmpty()) {
        const int delay = qEnvironmentVariableIntValue("KESTRUNE_SCREENSHOT_DELAY_MS");
        QTimer::singleShot(delay > 0 ? delay : 800, &window, [&window, screenshot] {
            // A sheet over the window (onboarding, the environment check) is a
            // window of its own: drawn into the picture where it stands.
            QPixmap picture = window.grab();
            QPainter painter(&picture);
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *sheet = qobject_cast<QDialog *>(top);
                if (!sheet || !sheet->isVisible() || sheet->parentWidget() != &window)
                    continue;
                QPoint at = sheet->geometry().topLeft() - window.geometry().topLeft();
                if (!window.rect().contains(QRect(at, sheet->size())))
                    at = QPoint((window.width() - sheet->width()) / 2, qMax(0, (window.height() - sheet->height()) / 2));
                painter.fillRect(QRect(at, sheet->size()).adjusted(-1, -1, 1, 1), QColor(0, 0, 0, 60));
                painter.drawPixmap(at, sheet->grab());
            }
            painter.end();
            const bool saved = picture.save(screenshot);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
