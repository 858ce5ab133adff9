#include "mirrormatching.h"

QString MirrorMatching::normalizedIdentifier(const QString &identifier)
{
    QString out = identifier;
    out.remove(u'-');
    return out.toLower();
}

MirrorMatching::Match MirrorMatching::findMatch(
    const CaptureDeviceList &devices, const QString &targetUdid, const std::optional<QString> &targetName)
{
    const QString target = normalizedIdentifier(targetUdid);
    if (target.isEmpty())
        return {};
    const bool byName = targetName && !targetName->isEmpty();
    const QString name = byName ? targetName->toLower() : QString();
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString id = normalizedIdentifier(devices.at(i).uniqueID);
        if (id.contains(target))
            return { i, MatchKind::ByUdid };
        if (byName && devices.at(i).localizedName.toLower() == name)
            return { i, MatchKind::ByName };
    }
    return {};
}
