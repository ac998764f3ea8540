#pragma once
// Waiting on real events in the desktop tests, with a bound.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace tolvane::test {

// Runs the event loop until the condition holds or the time is up; says which.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace tolvane::test
