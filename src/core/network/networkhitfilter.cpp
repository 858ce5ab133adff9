#include "networkhitfilter.h"

#include "netfoxsyntax.h"

bool NetworkHitFilter::isActive() const
{
    return !search.trimmed().isEmpty() || failedOnly || !method.isEmpty();
}

bool NetworkHitFilter::isFailed(const NetworkHit &hit)
{
    const QString &status = hit.resStatus;
    return status.startsWith(u'4') || status.startsWith(u'5') || status == NetfoxSyntax::kTimeout;
}

bool NetworkHitFilter::matches(const NetworkHit &hit) const
{
    if (failedOnly && !isFailed(hit))
        return false;
    if (!method.isEmpty() && hit.reqMethod.compare(method, Qt::CaseInsensitive) != 0)
        return false;
    const QString needle = search.trimmed();
    if (needle.isEmpty())
        return true;
    // Cheap fields first: most searches are decided before the bodies.
    for (const QString *field :
        { &hit.url, &hit.reqMethod, &hit.resStatus, &hit.reqHeaders, &hit.resHeaders, &hit.reqBody, &hit.resBody }) {
        if (field->contains(needle, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
