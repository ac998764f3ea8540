// The model's interval timers on Qt's event loop: precise, restarted by a new interval,
// stoppable from their own tick, never re-entered by "let pending events run".
#include <QThread>

#include "desktop_fixture.h"
#include "platform/model/timer.h"
#include "platform/model/window.h"
#include "platform/qt/qt_timers.h"
#include "platform/qt/qt_windows.h"

namespace tolvane::test {
namespace {

// A window with its two timers as members, the way the program's windows hold theirs.
struct TimedWindow : Window {
    TimedWindow(WindowSystem& system, int interval, int otherInterval)
        : Window(system, {"W", "", 1500, 1500, "tolvane"}), timer(*this, "Timer3", interval, true),
          other(*this, "Other", otherInterval, true)
    {
    }
    Timer timer;
    Timer other;
};

class Timers : public ::testing::Test {
protected:
    Timers() { system_.setTimerDriver(&driver_); }
    WindowSystem system_;
    QtTimers driver_;
    QtWindows windows_{system_};
};

TEST_F(Timers, AnEnabledTimerRunsPreciselyOnceItsWindowIsLoaded)
{
    TimedWindow window_(system_, 20, 0);
    Timer& timer = window_.timer;
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    EXPECT_EQ(driver_.running(timer), nullptr) << "not before the window is loaded";
    window_.load();
    const QTimer* q = driver_.running(timer);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(q->interval(), 20);
    EXPECT_TRUE(waitFor([&] { return ticks >= 3; }, 5000));
    timer.setInterval(45);
    ASSERT_NE(driver_.running(timer), nullptr);
    EXPECT_EQ(driver_.running(timer)->interval(), 45) << "a new interval restarts the count";
    timer.setEnabled(false);
    EXPECT_EQ(driver_.running(timer), nullptr);
    const int stopped = ticks;
    waitFor([] { return false; }, 120);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(Timers, ATimerStoppedInsideItsOwnTickTicksNoMore)
{
    TimedWindow window_(system_, 5, 0);
    Timer& timer = window_.timer;
    int ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        timer.setEnabled(false);
    };
    window_.load();
    ASSERT_TRUE(waitFor([&] { return ticks == 1; }, 5000));
    waitFor([] { return false; }, 60);
    EXPECT_EQ(ticks, 1);
    flushDeletes();
}

TEST_F(Timers, LettingPendingEventsRunInsideATickNeverReentersIt)
{
    TimedWindow window_(system_, 5, 5);
    Timer& monitor = window_.timer;
    Timer& other = window_.other;
    int depth = 0, deepest = 0, ticks = 0, otherTicks = 0;
    monitor.onTimer = [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        QThread::msleep(12);  // the next tick of both timers is due meanwhile
        windows_.processPendingEvents();
        --depth;
    };
    other.onTimer = [&] { ++otherTicks; };
    window_.load();
    ASSERT_TRUE(waitFor([&] { return ticks >= 5; }, 5000));
    EXPECT_EQ(deepest, 1);
    EXPECT_GT(otherTicks, 0) << "the other timers' events run meanwhile";
}

TEST_F(Timers, UnloadingTheWindowStopsItsTimers)
{
    TimedWindow window_(system_, 10, 0);
    Timer& timer = window_.timer;
    timer.onTimer = [] {};
    window_.load();
    ASSERT_NE(driver_.running(timer), nullptr);
    window_.requestUnload();
    EXPECT_EQ(driver_.running(timer), nullptr);
    flushDeletes();
}

}  // namespace
}  // namespace tolvane::test
