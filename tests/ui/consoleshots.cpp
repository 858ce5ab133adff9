// Pictures of the console area and the flow viewer for a look by eye, not a
// test: the console mid-run in test mode, a hierarchy listing, the flow
// viewer on a demo flow. Under Xvfb:
//   xvfb-run -a -s '-screen 0 1400x900x24' build/tests/ui/kestrune_consoleshots OUTDIR [--dark] [--size WxH]
// --dark switches to the Fusion style with a dark palette.

#include "console/consolepanel.h"
#include "console/consoleview.h"
#include "fakecommandexecutor.h"
#include "fakedevicedetector.h"
#include "fakereportmanager.h"
#include "runner/runnerviewmodel.h"
#include "workspace/yamlviewerdialog.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyleFactory>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor text(228, 228, 230);
    for (const auto &[role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>> {
             { QPalette::Window, QColor(40, 40, 43) }, { QPalette::WindowText, text }, { QPalette::Base, QColor(30, 30, 32) },
             { QPalette::AlternateBase, QColor(44, 44, 47) }, { QPalette::Text, text }, { QPalette::Button, QColor(55, 55, 58) },
             { QPalette::ButtonText, text }, { QPalette::Highlight, QColor(10, 132, 255) },
             { QPalette::HighlightedText, Qt::white }, { QPalette::PlaceholderText, QColor(150, 150, 155) },
             { QPalette::ToolTipBase, QColor(55, 55, 58) }, { QPalette::ToolTipText, text } })
        p.setColor(role, colour);
    return p;
}

bool save(QWidget *widget, const QString &path)
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    QSize size(1280, 800);
    if (const qsizetype at = args.indexOf(QStringLiteral("--size")); at > 0 && at + 1 < args.size()) {
        const QStringList wh = args.at(at + 1).split(u'x');
        if (wh.size() == 2)
            size = QSize(wh[0].toInt(), wh[1].toInt());
        args.remove(at, 2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kestrune_consoleshots OUTDIR [--dark] [--size WxH]\n");
        return 2;
    }
    if (dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    const QDir out(args.at(1));
    QDir().mkpath(out.path());
    const QString suffix = dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png");

    auto detector = std::make_shared<FakeDeviceDetector>();
    FakeCommandExecutor executor;
    RunnerViewModel runner(detector, &executor, std::make_shared<FakeReportManager>());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();

    ConsolePanel panel(&runner);
    panel.resize(size.width() - 250, size.height() - 260);
    panel.show();
    runner.processOutput(
        QStringLiteral("  maestro-runner 1.1.25\nSetup\n────────────────────────────────────────\n  ✓ Device ready\n"
                       "  ⏳ Building driver\n  ⚠ Reusing cached driver build\nExecution\n"
                       "  [1/3] Login (login.yaml)\n"
                       "────────────────────────────────────────────────────────────\n"
                       "    ✓ launchApp (2.1s)\n    ✓ tapOn: id=\"emailField\" (311ms)\n"
                       "    ✓ inputText: \"qa@example.com\" (1.2s)\n    ⚠ assertVisible: text=\"Welcome\" (5.4s)\n"
                       "    ✗ tapOn: id=\"continue\" (1.2s)\n      ╰─ Element not found: id=\"continue\"\n"
                       "      ▸ Run subflows/login_steps.yaml\n        ✓ hideKeyboard (120ms)\n✗ Login 5.5s\n"
                       "  [2/3] Checkout (checkout/cart_and_checkout.yaml)\n    ✓ scrollUntilVisible: text=\"Pay\" (2.4s)\n"));
    save(&panel, out.filePath(QStringLiteral("console-test") + suffix));

    ConsoleView hierarchy;
    hierarchy.resize(size.width() - 250, size.height() - 300);
    hierarchy.setRunMode(RunMode::Hierarchy);
    hierarchy.setLines({ "[10:12:01] Application  id=com.example.shop  (0,0 390x844)\n", "[10:12:01]   Window  (0,0 390x844)\n",
        "[10:12:01]     Other  id=loginScreen  (0,0 390x844)\n",
        "[10:12:01]       StaticText  id=title  text=\"Welcome back\"  (24,120 342x34)\n",
        "[10:12:01]       TextField  id=emailField  text=\"qa@example.com\"  (24,200 342x44)\n",
        "[10:12:01]       SecureTextField  id=passwordField  (24,260 342x44)\n",
        "[10:12:01]       Switch  id=rememberMe  (24,320 51x31)  [selected]\n",
        "[10:12:01]       Button  id=loginButton  text=\"Log in\"  (24,380 342x50)\n",
        "[10:12:01]       Image  id=logo  (160,40 70x70)\n" });
    hierarchy.show();
    save(&hierarchy, out.filePath(QStringLiteral("console-hierarchy") + suffix));

    QWidget window;
    window.resize(size);
    window.show();
    const QString flow = QStringLiteral(KESTRUNE_SOURCE_DIR "/demo/workspace/checkout/cart_and_checkout.yaml");
    auto *viewer = new YamlViewerDialog(flow, &window);
    viewer->open();
    save(viewer, out.filePath(QStringLiteral("yaml-viewer") + suffix));
    return 0;
}
