#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// What the window's command line asks for: `kestrune [PATH] [--dark]
// [--size WxH] [--screenshot FILE]`. PATH opens as the workspace (a file
// manager's "Open With", a shell alias); the other options are for
// documentation and visual checks under a virtual display.
struct LaunchOptions
{
    QString workspace; // absolute; empty when none was given
    QString screenshot;
    QSize size; // invalid when not given or malformed
    bool dark = false;
    bool help = false; // --help, -h: print usage() and quit
    bool version = false; // --version, -V

    // `arguments` as QCoreApplication::arguments() gives them (the program
    // first, Qt's own options already taken out).
    static LaunchOptions parse(const QStringList &arguments);
    // What `kestrune --help` prints.
    static QString usage();
};
