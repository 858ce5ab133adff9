#pragma once

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

// Splits one parse of a large Netfox log over a few threads started for that
// parse alone. Not the global thread pool: the parser itself runs on pool
// workers during live pulls, and waiting there for other pool tasks could
// starve the pool. The calling thread takes part, so the work gets done even
// when no thread can be started. Used by the parser's thread only.
namespace NetfoxWorkers {

// Threads for a parse: the machine's cores, at most four.
inline int defaultThreadCount()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// Calls work(context, begin, end) for consecutive ranges of at most `grain`
// items covering [0, count), on the calling thread and up to `threads` - 1
// helpers; each thread has its own default-constructed Context. Which thread
// does which range varies, so the work must write only the items of its
// range. Returns when every range is done.
template <typename Context, typename Work> void forEachRange(qsizetype count, qsizetype grain, int threads, Work &&work)
{
    grain = std::max<qsizetype>(grain, 1);
    const qsizetype ranges = (count + grain - 1) / grain;
    const int helperCount = int(std::min<qsizetype>(threads, ranges)) - 1;
    if (helperCount <= 0) {
        Context context;
        if (count > 0)
            work(context, qsizetype(0), count);
        return;
    }
    std::atomic<qsizetype> next { 0 };
    auto run = [&] {
        Context context;
        while (true) {
            const qsizetype begin = next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count)
                return;
            work(context, begin, std::min(count, begin + grain));
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(helperCount));
    for (int i = 0; i < helperCount; ++i) {
        try {
            helpers.emplace_back(run);
        } catch (const std::system_error &) {
            break; // no more threads now: fewer hands do the same work
        }
    }
    run();
    for (std::thread &helper : helpers)
        helper.join();
}

} // namespace NetfoxWorkers
