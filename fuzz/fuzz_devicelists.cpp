// The parsers of `xctrace list devices` and `devicectl device info apps`
// output. Properties: a device comes from a line of the "== Devices =="
// section and is a physical device whose identifier has no ":" and whose name
// does not contain "mac"; app identifiers are unique, sorted, made of the
// characters the tool prints (letters, digits, "-", "."), have three or more
// dotted parts and a letter, and occur in the text on a line that names no
// system app. Input: a flag byte (bit 0: apps, else devices), then the text.

#include "fuzzsupport.h"

#include "devices/devicedetector.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const QString text = QString::fromUtf8(input.rest());

    if (flags & 1) {
        static const QRegularExpression shape(QStringLiteral("^[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\-]+\\.[a-zA-Z0-9\\.]+$"));
        const QStringList apps = DeviceDetector::parseAppList(text);
        for (qsizetype i = 0; i < apps.size(); ++i) {
            const QString &app = apps.at(i);
            fuzz::check(i == 0 || apps.at(i - 1) < app, "sorted and unique", app);
            fuzz::check(shape.match(app).hasMatch(), "three dotted parts of the tool's characters", app);
            fuzz::check(std::any_of(app.cbegin(), app.cend(), [](QChar c) { return c.isLetter(); }), "has a letter", app);
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
    for (const DeviceInfo &device : devices) {
        fuzz::check(!device.id.contains(u':'), "identifier without ':'", device.id);
        fuzz::check(!device.name.toLower().contains(QLatin1String("mac")), "no Mac", device.name);
        fuzz::check(!device.isSimulator, "only physical devices", device.name);
        fuzz::check(text.contains(QLatin1String("== Devices ==")), "listed under == Devices ==", device.name);
        fuzz::check(text.contains(device.name) && text.contains(u'(' + device.id + u')'), "name and identifier from the text",
                    device.name + u'/' + device.id);
    }
    return 0;
}
