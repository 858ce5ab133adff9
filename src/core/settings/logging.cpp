#include "logging.h"

#include <QCoreApplication>

Q_LOGGING_CATEGORY(lcApp, "io.kestrune.Kestrune.App", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRunner, "io.kestrune.Kestrune.Runner", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDevice, "io.kestrune.Kestrune.Device", QtInfoMsg)
Q_LOGGING_CATEGORY(lcReport, "io.kestrune.Kestrune.Report", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHistory, "io.kestrune.Kestrune.History", QtInfoMsg)

QString kestrune::appVersion()
{
    return QStringLiteral(KESTRUNE_VERSION);
}
