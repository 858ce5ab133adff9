#include "runnerarguments.h"

bool RunnerArguments::parse(const QStringList &args, RunnerArguments *r, QString *error)
{
    *r = RunnerArguments {};
    bool sawCommand = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args.at(i);
        if (!r->flowPaths.isEmpty()) {
            r->flowPaths << arg;
            continue;
        }
        QString inlineValue;
        bool hasInline = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            inlineValue = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
            hasInline = true;
        }
        const auto value = [&](QString *target) {
            if (hasInline) {
                *target = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("flag needs an argument: %1").arg(arg);
                return false;
            }
            *target = args.at(++i);
            return true;
        };
        if (arg == QLatin1String("--platform") || arg == QLatin1String("-p")) {
            if (!value(&r->platform))
                return false;
            if (r->platform != QLatin1String("ios") && r->platform != QLatin1String("android")) {
                *error = QStringLiteral("unsupported platform: %1").arg(r->platform);
                return false;
            }
        } else if (arg == QLatin1String("--team-id")) {
            if (!value(&r->teamId))
                return false;
        } else if (arg == QLatin1String("--device") || arg == QLatin1String("--udid")) {
            if (!value(&r->device))
                return false;
        } else if (arg == QLatin1String("-e") || arg == QLatin1String("--env")) {
            QString pair;
            if (!value(&pair))
                return false;
            const qsizetype eq = pair.indexOf(u'=');
            if (eq <= 0) {
                *error = QStringLiteral("invalid env format %1 (expected KEY=VALUE)").arg(pair);
                return false;
            }
            r->env.append({ pair.left(eq), pair.mid(eq + 1) });
        } else if (arg == QLatin1String("--artifacts")) {
            if (!value(&r->artifacts))
                return false;
        } else if (arg == QLatin1String("--output")) {
            if (!value(&r->output))
                return false;
        } else if (arg == QLatin1String("--compact") && r->hierarchy) {
            r->compact = true;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            *error = QStringLiteral("unknown flag: %1").arg(arg);
            return false;
        } else if (!sawCommand && arg == QLatin1String("hierarchy")) {
            r->hierarchy = true;
            sawCommand = true;
        } else if (!sawCommand && arg == QLatin1String("test")) {
            sawCommand = true;
        } else if (r->hierarchy) {
            *error = QStringLiteral("hierarchy takes no arguments, found %1").arg(arg);
            return false;
        } else {
            r->flowPaths << arg;
        }
    }
    if (!r->hierarchy && r->flowPaths.isEmpty()) {
        *error = QStringLiteral("no flow files given");
        return false;
    }
    return true;
}
