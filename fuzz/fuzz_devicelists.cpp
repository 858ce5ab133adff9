// The parsers of `xctrace list devices`, `devicectl device info apps` and
// `simctl listapps` output. Properties: a device comes from the "== Devices =="
// or "== Simulators ==" section (devices first), its identifier has no ":"
// and no parenthesis and its name is not a Mac's; app identifiers are unique,
// sorted, made of the characters the tool prints (letters, digits, "-", "."),
// have three or more dotted parts and a letter in the first, and occur in the
// text on a line that names no system app; simulator apps are unique, sorted
// and occur in the text. Input: a flag byte (bit 0: apps, bit 1 with it:
// simulator apps, else devices), then the text.

#include "fuzzsupport.h"

#include "devices/devicedetector.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const QString text = QString::fromUtf8(input.rest());

    if ((flags & 3) == 3) {
        const QStringList apps = DeviceDetector::parseSimulatorAppList(text);
        for (qsizetype i = 0; i < apps.size(); ++i) {
            fuzz::check(i == 0 || apps.at(i - 1) < apps.at(i), "sorted and unique", apps.at(i));
            fuzz::check(!apps.at(i).isEmpty(), "not empty", apps.at(i));
        }
        return 0;
    }
    if (flags & 1) {
        static const QRegularExpression shape(QStringLiteral("^[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\.\\-]+$"));
        const QStringList apps = DeviceDetector::parseAppList(text);
        for (qsizetype i = 0; i < apps.size(); ++i) {
            const QString &app = apps.at(i);
            fuzz::check(i == 0 || apps.at(i - 1) < app, "sorted and unique", app);
            fuzz::check(shape.match(app).hasMatch(), "three dotted parts of the tool's characters", app);
            const QString first = app.section(u'.', 0, 0);
            fuzz::check(std::any_of(first.cbegin(), first.cend(), [](QChar c) { return c.isLetter(); }),
                "a letter in the first part", app);
            bool onAUserLine = false;
            for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
                if (line.contains(app) && !line.contains(QLatin1String("/System/"))
                    && !line.contains(QLatin1String("com.apple.")))
                    onAUserLine = true;
            }
            fuzz::check(onAUserLine, "found on a line naming no system app", app);
        }
        return 0;
    }

    const DeviceList devices = DeviceDetector::parseDeviceList(text);
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const DeviceInfo &device = devices.at(i);
        fuzz::check(!device.id.contains(u':') && !device.id.contains(u'(') && !device.id.contains(u')'),
            "identifier without ':' or parentheses", device.id);
        fuzz::check(!DeviceDetector::isMacName(device.name), "no Mac", device.name);
        fuzz::check(i == 0 || device.isSimulator || !devices.at(i - 1).isSimulator, "devices before simulators", device.name);
        fuzz::check(text.contains(device.isSimulator ? QLatin1String("== Simulators ==") : QLatin1String("== Devices ==")),
            "listed under its section", device.name);
        fuzz::check(text.contains(device.name) && text.contains(u'(' + device.id + u')'), "name and identifier from the text",
                    device.name + u'/' + device.id);
    }
    return 0;
}
