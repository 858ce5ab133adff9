#pragma once

#include <QString>

// One line of typical runner output for line number `n`: steps passed, slow
// and failed, a failure message, a flow title, a rule and a device-library
// noise line that the console filters out.
inline QString runnerLine(qint64 n)
{
    switch (n % 8) {
    case 0:
        return QStringLiteral("    \u2713 tapOn: id=\"cartButton\" (311ms)");
    case 1:
        return QStringLiteral(
            "time=\"2026-12-06T10:14:44+01:00\" level=info msg=\"closed listener successfully\" phonePort=8138");
    case 2:
        return QStringLiteral("    \u2713 inputText: \"qa-%1@example.com\" (1.2s)").arg(n);
    case 3:
        return QStringLiteral("  [%1/3] Checkout (flows/checkout.yaml)").arg(n % 3 + 1);
    case 4:
        return QStringLiteral("    \u26a0 assertVisible: text=\"Total\" (5.4s)");
    case 5:
        return QStringLiteral("    \u2717 tapOn: id=\"pay\" (1.2s)");
    case 6:
        return QStringLiteral(
            "      \u2570\u2500 Element not found: id=\"pay\" after 5000ms of waiting for the screen to settle");
    default:
        return QString(40, u'\u2500');
    }
}
