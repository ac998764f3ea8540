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

}  // namespace tolvane::test
