#include "securityrole.h"

#include "simoutput.h"

#include <QtGlobal>

namespace SecurityRole {

bool handles(const QStringList &args)
{
    return args.value(0) == QLatin1String("find-identity");
}

int run(const QStringList &args)
{
    SimOutput::err(SimOutput::headerLine());
    if (args
        != QStringList {
            QStringLiteral("find-identity"), QStringLiteral("-v"), QStringLiteral("-p"), QStringLiteral("codesigning") }) {
        SimOutput::err(QStringLiteral("security: the lab answers only find-identity -v -p codesigning\n"));
        return 2;
    }
    if (qEnvironmentVariable("KESTRUNE_SIM_SIGNING") == QLatin1String("none")) {
        SimOutput::out(QStringLiteral("     0 valid identities found\n"));
        return 0;
    }
    SimOutput::out(QStringLiteral("  1) 3F2A9C0D1E2B3A4C5D6E7F8091A2B3C4D5E6F708 \"Apple Development: Dana Kim (K7QX2M9R4T)\"\n"
                                  "     1 valid identities found\n"));
    return 0;
}

} // namespace SecurityRole
