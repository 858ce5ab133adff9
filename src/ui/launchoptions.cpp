#include "launchoptions.h"

#include <QFileInfo>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    LaunchOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        if (argument == u"--dark") {
            options.dark = true;
        } else if (argument == u"--help" || argument == u"-h") {
            options.help = true;
        } else if (argument == u"--version" || argument == u"-V") {
            options.version = true;
        } else if (argument == u"--screenshot" || argument == u"--size") {
            if (!hasValue)
                break;
            const QString value = arguments.at(++i);
            if (argument == u"--screenshot") {
                options.screenshot = value;
            } else if (const QStringList parts = value.split(u'x'); parts.size() == 2) {
                bool wide = false;
                bool high = false;
                const QSize size(parts.at(0).toInt(&wide), parts.at(1).toInt(&high));
                if (wide && high && size.width() > 0 && size.height() > 0)
                    options.size = size;
            }
        } else if (argument == u"--") {
            // Everything after "--" is a path, also when it starts with "-".
            if (hasValue && options.workspace.isEmpty())
                options.workspace = QFileInfo(arguments.at(i + 1)).absoluteFilePath();
            break;
        } else if (!argument.startsWith(u'-') && options.workspace.isEmpty()) {
            options.workspace = QFileInfo(argument).absoluteFilePath();
        }
    }
    return options;
}

QString LaunchOptions::usage()
{
    return QStringLiteral(
        "Usage: kestrune [WORKSPACE] [--dark] [--size WxH] [--screenshot FILE]\n"
        "\n"
        "Opens the Kestrune window; with WORKSPACE, that folder as the workspace.\n"
        "\n"
        "Options:\n"
        "  WORKSPACE          a folder of Maestro flows and env files to open at launch\n"
        "  --dark             the Fusion style with a dark palette\n"
        "  --size WxH         the window's size at launch\n"
        "  --screenshot FILE  save what the window draws after a moment, then quit\n"
        "  --version          print the version\n"
        "  --help             print this help\n"
        "\n"
        "Examples:\n"
        "  kestrune ~/qa/shop\n"
        "  kestrune --size 800x500 --dark --screenshot /tmp/window.png ~/qa/shop\n"
        "\n"
        "Runs from scripts and CI go through kestrune-cli (kestrune-cli help).\n");
}
