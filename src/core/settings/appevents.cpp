#include "appevents.h"

#include <QCoreApplication>

AppEvents *AppEvents::instance()
{
    static AppEvents *events = [] {
        auto *e = new AppEvents;
        // Observers connect from the main thread; keep the object there even
        // when a worker happens to be the first to post.
        if (QCoreApplication::instance() && e->thread() != QCoreApplication::instance()->thread())
            e->moveToThread(QCoreApplication::instance()->thread());
        return e;
    }();
    return events;
}

void AppEvents::postReportsDeleted()
{
    Q_EMIT reportsDeleted();
}
