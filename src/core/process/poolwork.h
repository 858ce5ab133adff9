#pragma once

#include <QMetaObject>
#include <QObject>
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
// Exported by the ThreadSanitizer runtime (GCC's and clang's) but not
// declared in its public header.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
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

#if defined(KESTRUNE_TSAN)
// One address for every hand-off: acquiring it on the main thread takes in
// all the releases before it, which is at least the order the event queue gives.
inline char g_handOffOrder = 0;
#endif

// The way back: `call()` runs later on the thread of `context` (the main
// thread for the application object). Under ThreadSanitizer the same problem
// as above, in the other direction: what the worker wrote before posting is
// released first, and the copying of the call into Qt's slot object (which
// happens inside Qt's queue) is not recorded, so the main thread's reads of
// the captured values do not look raced with their construction.
template <typename Call> void post(QObject *context, Call &&call)
{
#if defined(KESTRUNE_TSAN)
    __tsan_release(&g_handOffOrder);
    __tsan_ignore_thread_begin();
    QMetaObject::invokeMethod(
        context,
        [call = std::forward<Call>(call)]() mutable {
            __tsan_acquire(&g_handOffOrder);
            call();
        },
        Qt::QueuedConnection);
    __tsan_ignore_thread_end();
#else
    QMetaObject::invokeMethod(context, std::forward<Call>(call), Qt::QueuedConnection);
#endif
}

} // namespace PoolWork
