#pragma once
// Waiting on real events in the desktop tests, with a bound.
#include <QCoreApplication>
#include <functional>

#include "tests/wait_until.h"

namespace tolvane::test {

// Runs the event loop until the condition holds or the time is up; says which.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    return waitUntil(condition, timeoutMs, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

// Lets ms pass while the event loop runs: for a key held as long as a person holds it, or
// to see that something does not happen. Anything that is to happen is waited for instead.
inline void letTimePass(int ms)
{
    waitFor([] { return false; }, ms);
}

}  // namespace tolvane::test
