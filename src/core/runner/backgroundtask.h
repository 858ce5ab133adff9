#pragma once

#include "process/poolwork.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <utility>

// The two halves of every piece of blocking work the controllers do: start it
// on a worker of the global pool, and hand its result back to the main thread
// for an object that may be gone by then.
namespace BackgroundTask {

// Queue priorities of the global pool: work the user waits for goes first.
inline constexpr int kUserInitiated = 2;
inline constexpr int kDefault = 1;
inline constexpr int kBackground = 0;

inline void start(std::function<void()> work, int priority = kUserInitiated)
{
    PoolWork::start(*QThreadPool::globalInstance(), std::move(work), priority);
}

// Runs `task(object)` on the main thread later, unless `target` is gone by
// then. The pointer is only looked at on the main thread, where the object is
// also deleted, so the check cannot race with the deletion.
template <typename T, typename Task> void postToMain(const QPointer<T> &target, Task &&task)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    PoolWork::post(app, [target, task = std::forward<Task>(task)]() mutable {
        if (T *object = target.data())
            task(object);
    });
}

} // namespace BackgroundTask
