#include "runrecord.h"

int FlowRecord::count(const QString &wanted) const
{
    int n = 0;
    for (const CommandRecord &c : commands) {
        if (c.status == wanted)
            ++n;
    }
    return n;
}
