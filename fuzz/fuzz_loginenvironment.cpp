// The login shell's `env` output parsed into variables. Properties: a parsed
// variable has a non-empty name without "=" and a non-empty value, and the
// name, "=" and value give the line back; applying the whole output keeps the
// variables of the base that the output does not name, and the last line that
// names a variable wins.

#include "fuzzsupport.h"

#include "process/loginenvironment.h"

#include <QHash>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString output = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    QHash<QString, QString> lastValue;
    for (const QStringView line : QStringView(output).split(QLatin1Char('\n'))) {
        const auto variable = LoginEnvironment::parseLine(line);
        if (!variable)
            continue;
        const auto &[name, value] = *variable;
        fuzz::check(!name.isEmpty() && !name.contains(QLatin1Char('=')), "name is non-empty without =", name);
        fuzz::check(!value.isEmpty(), "value is non-empty", line.toString());
        const QString joined = name + QLatin1Char('=') + value;
        if (joined != line)
            fuzz::fail("name=value gives the line back", line.toString(), joined);
        lastValue.insert(name, value);
    }

    LoginEnvironment::Environment base;
    base.insert(QStringLiteral("KESTRUNE_FUZZ_UNTOUCHED"), QStringLiteral("kept"));
    base.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    const LoginEnvironment::Environment applied = LoginEnvironment::applyOutput(base, output);
    for (auto it = base.cbegin(); it != base.cend(); ++it) {
        if (!lastValue.contains(it.key()) && applied.value(it.key()) != it.value())
            fuzz::fail("a variable the output does not name is kept", it.value(), applied.value(it.key()));
    }
    for (auto it = lastValue.cbegin(); it != lastValue.cend(); ++it) {
        if (applied.value(it.key()) != it.value())
            fuzz::fail("the last line naming a variable wins", it.value(), applied.value(it.key()));
    }
    fuzz::check(applied.size() <= base.size() + lastValue.size(), "no variable appears from nowhere");
    return 0;
}
