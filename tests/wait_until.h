#pragma once
// Waiting with a bound on something real: another process, a server coming up, the events
// of a window system. The logic's own tests run on simulated time and never wait.
#include <chrono>
#include <functional>
#include <thread>

namespace tolvane::test {

// Looks at the condition until it holds or limitMs have passed, and says which. Between two
// looks `idle` runs (the caller's event loop, say); without one the thread sleeps 20 ms, for
// a condition that another process makes true.
inline bool waitUntil(const std::function<bool()>& done, int limitMs, const std::function<void()>& idle = {})
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (idle)
            idle();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace tolvane::test
