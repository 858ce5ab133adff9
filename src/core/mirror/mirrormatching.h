#pragma once

#include "capturedeviceinfo.h"

#include <QString>

#include <optional>

// Which external capture device belongs to the selected iPhone. Pure.
namespace MirrorMatching {

enum class MatchKind { None, ByUdid, ByName };

struct Match
{
    qsizetype index = -1; // into the device list; -1 when nothing matched
    MatchKind kind = MatchKind::None;

    bool operator==(const Match &) const = default;
};

// A UDID or uniqueID without its hyphens, lower-cased.
QString normalizedIdentifier(const QString &identifier);

// Goes through `devices` in order; the first device whose normalised
// uniqueID equals or contains the normalised target UDID, or else whose
// lower-cased name equals the lower-cased target name exactly (when a name
// is given), is the match. An earlier name match wins over a later UDID
// match. An empty target UDID matches nothing.
Match findMatch(const CaptureDeviceList &devices, const QString &targetUdid, const std::optional<QString> &targetName);

} // namespace MirrorMatching
