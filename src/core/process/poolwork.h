#pragma once

#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define KESTRUNE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTRUNE_TSAN 1
#endif
#endif

#if defined(KESTRUNE_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

// Starts a piece of work on a thread pool. The same as QThreadPool::start,
// except under ThreadSanitizer: Qt is not built with it, so the pool's queue
// (a QMutex on a futex) orders nothing as far as it can tell, and every value
// the work reads would look raced with the thread that wrote it before the
// start. The work object is released when it is queued and acquired as the
// first thing the worker does, which is exactly the order the queue gives.
namespace PoolWork {

class Task final : public QRunnable
{
public:
    explicit Task(std::function<void()> work)
        : m_work(std::move(work))
    {
#if defined(KESTRUNE_TSAN)
        __tsan_release(this);
#endif
    }

    void run() override
    {
#if defined(KESTRUNE_TSAN)
        __tsan_acquire(this);
#endif
        m_work();
    }

private:
    std::function<void()> m_work;
};

inline void start(QThreadPool &pool, std::function<void()> work, int priority = 0)
{
    pool.start(new Task(std::move(work)), priority);
}

} // namespace PoolWork
