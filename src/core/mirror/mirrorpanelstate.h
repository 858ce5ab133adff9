#pragma once

#include <QString>

// What the mirror panel shows for the selection, the setting and the
// controller's state: the header's title, switch and status dot, and which
// of the five bodies. Pure; the panel paints what compute() returns.
struct MirrorPanelState
{
    enum class Body { Simulator, Disabled, PermissionRequired, Live, NotConnected };
    enum class Dot { None, Green, Orange };

    struct Input
    {
        QString selectedDeviceName;
        bool isSimulator = false;
        bool isRunning = false;
        bool isMirroringEnabled = true;
        bool isConnected = false;
        bool hasSession = false;
        bool permissionError = false;
    };

    QString title;
    bool switchEnabled = true;
    QString switchToolTip;
    Dot dot = Dot::None;
    Body body = Body::NotConnected;

    static MirrorPanelState compute(const Input &input);

    // The body's symbol, title and message (empty for the live picture).
    static QString symbol(Body body);
    static QString bodyTitle(Body body);
    static QString bodyMessage(Body body);
};

// When the panel starts and stops mirroring. The panel reports what
// changed; the answer says what to call on the controller.
namespace MirrorTriggers {

enum class Action { None, Start, Stop };

struct Selection
{
    QString deviceId;
    bool isSimulator = false;
    bool isMirroringEnabled = true;
};

// The panel came on screen.
Action onShown(const Selection &now);
// The selected device id changed (an empty id still starts a search, which
// ends at once).
Action onDeviceChanged(const Selection &now);
// The switch (the setting) changed to now.isMirroringEnabled.
Action onMirroringEnabledChanged(const Selection &now);

} // namespace MirrorTriggers
