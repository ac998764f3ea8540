// The model's interval timers on Qt's event loop: precise, restarted by a new interval,
// stoppable from their own tick, never re-entered by "let pending events run"; a timer
// marked to rest does so while no key of interest may be down and comes back on its phase.
#include <QElapsedTimer>
#include <QThread>
#include <vector>

#include "desktop_fixture.h"
#include "platform/model/timer.h"
#include "platform/model/window.h"
#include "platform/qt/ui/qt_timers.h"
#include "platform/qt/ui/qt_windows.h"

namespace tolvane::test {
namespace {

// A window with its two timers as members, the way the program's windows hold theirs; `rest`
// marks the first.
struct TimedWindow : Window {
    TimedWindow(WindowSystem& system, int interval, int otherInterval, TimerRest rest = TimerRest::Never)
        : Window(system, {"W", "", 1500, 1500, "tolvane"}),
          timer(*this, "Timer3", interval, true, rest),
          other(*this, "Other", otherInterval, true)
    {
    }
    Timer timer;
    Timer other;
};

// The driver with what the tests read of it.
struct TimersUnderTest : QtTimers {
    using QtTimers::guard;
    using QtTimers::paused;
};

class Timers : public ::testing::Test {
protected:
    Timers() { system_.setTimerDriver(&driver_); }
    WindowSystem system_;
    TimersUnderTest driver_;
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
    letTimePass(120);
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
    letTimePass(60);
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

// A key-state service whose answer the test sets, telling the driver as the program's does.
struct FakeKeys {
    explicit FakeKeys(QtTimers& timers) : driver(timers) { driver.setKeyOfInterestMayBeDown(down); }
    void set(bool value)
    {
        down = value;
        driver.setKeyOfInterestMayBeDown(down);
    }
    QtTimers& driver;
    bool down = false;
};

constexpr qint64 kMs = 1000000;

// A stretch of the test's clock (ns) in which something happened; a loaded machine may hold
// the test up between two looks at the clock, so an instant is known only that well.
struct Span {
    qint64 from, to;
};

// When a timer is next due: its remaining time, read between two looks at the clock
// (remainingTime rounds to the millisecond).
Span nextDue(const QTimer& timer, const QElapsedTimer& clock)
{
    const qint64 before = clock.nsecsElapsed();
    const qint64 remaining = qint64{timer.remainingTime()} * kMs;
    const qint64 after = clock.nsecsElapsed();
    return {before + remaining - kMs, after + remaining + kMs};
}

// Whether `due` may fall on a whole number of intervals after the start of the count, which
// happened within `count` (the driver rounds its wait up to the next millisecond).
bool onPhase(Span due, Span count, qint64 intervalMs)
{
    const qint64 interval = intervalMs * kMs, earliest = due.from - count.to - kMs, latest = due.to - count.from;
    return latest >= 0 && latest / interval * interval >= earliest;
}

TEST_F(Timers, APausableTimerRestsWhileNoKeyIsDownAndResumesOnItsOwnPhase)
{
    FakeKeys keys(driver_);
    TimedWindow window_(system_, 100, 0, TimerRest::WhileNoKeyIsDown);
    Timer& timer = window_.timer;
    QElapsedTimer clock;
    std::vector<qint64> ticks;
    timer.onTimer = [&] { ticks.push_back(clock.nsecsElapsed()); };
    clock.start();
    Span count{clock.nsecsElapsed(), 0};
    window_.load();  // the count starts here
    count.to = clock.nsecsElapsed();
    EXPECT_TRUE(driver_.paused(timer));
    ASSERT_NE(driver_.running(timer), nullptr) << "a resting timer still runs for the model";
    EXPECT_FALSE(driver_.running(timer)->isActive()) << "nothing to wake the program";

    letTimePass(330);
    EXPECT_TRUE(ticks.empty()) << "no tick while no key of interest is down";

    // A key goes down late between two ticks: the next tick is due on the old phase, at most
    // 15 ms after the press, not 100 ms after it (which would be 85 ms or more off the phase).
    // When the ticks then come depends on the machine's load; they never come early.
    const auto press = [&] {
        waitFor([&] { return (clock.nsecsElapsed() - count.to) % (100 * kMs) >= 85 * kMs; }, 1000);
        keys.set(true);
        const qint64 pressed = clock.nsecsElapsed();
        EXPECT_FALSE(driver_.paused(timer));
        const Span due = nextDue(*driver_.running(timer), clock);
        EXPECT_TRUE(onPhase(due, count, 100)) << "due " << (due.from - count.to) / kMs << " ms after the count began";
        EXPECT_LE(due.from, pressed + 100 * kMs) << "the first tick is the next one due";
        return due;
    };
    ASSERT_TRUE(waitFor([&] { return clock.elapsed() >= 350; }, 1000));
    const Span due = press();
    ASSERT_TRUE(waitFor([&] { return ticks.size() >= 4; }, 5000));
    for (size_t i = 0; i < ticks.size(); ++i)
        EXPECT_GE(ticks[i], due.from + static_cast<qint64>(i) * 100 * kMs - kMs) << "tick " << i << " came early";

    // All keys up: the ticks rest again; down again at another point of the phase.
    keys.set(false);
    EXPECT_TRUE(driver_.paused(timer));
    const size_t rested = ticks.size();
    letTimePass(250);
    EXPECT_EQ(ticks.size(), rested);
    const Span again = press();
    ASSERT_TRUE(waitFor([&] { return ticks.size() >= rested + 2; }, 5000));
    EXPECT_GE(ticks[rested], again.from - kMs) << "the first tick came early";
    EXPECT_FALSE(driver_.running(timer)->isSingleShot());
    EXPECT_EQ(driver_.running(timer)->interval(), 100) << "the interval repeats again after the first tick";
}

TEST_F(Timers, OnlyTheMarkedTimerRestsAndARestartWhileResting)
{
    FakeKeys keys(driver_);
    TimedWindow window_(system_, 40, 20, TimerRest::WhileNoKeyIsDown);
    Timer& marked = window_.timer;
    Timer& other = window_.other;
    int markedTicks = 0, otherTicks = 0;
    marked.onTimer = [&] { ++markedTicks; };
    other.onTimer = [&] { ++otherTicks; };
    window_.load();
    ASSERT_TRUE(waitFor([&] { return otherTicks >= 5; }, 5000)) << "an unmarked timer never waits for the keyboard";
    EXPECT_FALSE(driver_.paused(other));
    EXPECT_EQ(markedTicks, 0);

    // Disabled and enabled while resting: it runs for the model again, and still rests.
    marked.setEnabled(false);
    EXPECT_EQ(driver_.running(marked), nullptr);
    marked.setEnabled(true);
    EXPECT_NE(driver_.running(marked), nullptr);
    EXPECT_TRUE(driver_.paused(marked));
    keys.set(true);
    EXPECT_TRUE(waitFor([&] { return markedTicks >= 2; }, 5000));
}

TEST_F(Timers, KeysGoingUpDuringATickStopTheTicksAfterIt)
{
    FakeKeys keys(driver_);
    keys.set(true);
    TimedWindow window_(system_, 10, 0, TimerRest::WhileNoKeyIsDown);
    Timer& timer = window_.timer;
    int ticks = 0;
    // As the monitor's own key-state query learns that the keys went up.
    timer.onTimer = [&] {
        if (++ticks == 3) keys.set(false);
    };
    window_.load();
    EXPECT_FALSE(driver_.paused(timer));
    ASSERT_TRUE(waitFor([&] { return ticks == 3; }, 5000));
    letTimePass(100);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(driver_.paused(timer));
}

TEST_F(Timers, ALongTimerIsWokenForShortlyBeforeEachTick)
{
    TimedWindow window_(system_, 2000, 1000);
    Timer& timer = window_.timer;
    int ticks = 0;
    timer.onTimer = [&] { ++ticks; };
    window_.other.onTimer = [] {};
    window_.load();
    const QTimer* guard = driver_.guard(timer);
    ASSERT_NE(guard, nullptr) << "the wait for a two-second tick would have two milliseconds of slack";
    EXPECT_EQ(guard->timerType(), Qt::PreciseTimer);
    EXPECT_GE(guard->remainingTime(), 1800);
    EXPECT_LE(guard->remainingTime(), 1850) << "150 ms before the tick";
    EXPECT_EQ(driver_.guard(window_.other), nullptr) << "a one-second wait needs none";

    // After a tick the guard waits for the next one.
    ASSERT_TRUE(waitFor([&] { return ticks == 1; }, 5000));
    guard = driver_.guard(timer);
    ASSERT_NE(guard, nullptr);
    EXPECT_GE(guard->remainingTime(), 1700);
    EXPECT_LE(guard->remainingTime(), 1850);

    timer.setEnabled(false);
    EXPECT_EQ(driver_.guard(timer), nullptr);
    flushDeletes();
}

}  // namespace
}  // namespace tolvane::test
