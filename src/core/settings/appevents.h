#pragma once

#include <QObject>

// The application-wide notification centre: events that any part of the
// application may post and any controller may observe without knowing the
// sender. One instance per process, living on the main thread; emitting from
// another thread is allowed (receivers on the main thread get a queued call).
class AppEvents final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppEvents)

public:
    static AppEvents *instance();

    // Posts "ReportsDeleted": run folders were removed from the history.
    void postReportsDeleted();

Q_SIGNALS:
    void reportsDeleted();

private:
    AppEvents() = default;
};
