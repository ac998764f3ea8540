// The simulated loop's quiet rule and its limit on simulated time, and the interval timers as
// it runs them.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/model/timer.h"
#include "platform/model/window.h"
#include "platform/model/window_system.h"
#include "platform/sim/sim_loop.h"

namespace tolvane {
namespace {

// A quiet timer Q (every 100 ms) that lets pending events run; another timer O (every
// 250 ms, created after Q) whose ticks meet Q's at 500, 1000, ...; and P (every 300 ms,
// created before Q, off at first).
class QuietRuleTest : public ::testing::Test {
protected:
    QuietRuleTest()
    {
        system.setTimerDriver(&loop);
        q.onTimer = [this] {
            steps.push_back("Q begin @" + std::to_string(loop.now()));
            loop.processPendingEvents();
            steps.push_back("Q end");
        };
        o.onTimer = [this] { steps.push_back("O @" + std::to_string(loop.now())); };
        p.onTimer = [this] { steps.push_back("P @" + std::to_string(loop.now())); };
        loop.setQuietRule([this](const Timer& timer) { return quiet && &timer == &q; });
        window.load();
    }
    ~QuietRuleTest() override { system.setTimerDriver(nullptr); }

    SimLoop loop;
    WindowSystem system;
    Window window{system, {"W", "W", 3000, 3000, "tolvane"}};
    Timer p{window, "P", 300, false};
    Timer q{window, "Q", 100, true};
    Timer o{window, "O", 250, true};
    bool quiet = true;
    std::vector<std::string> steps;
};

TEST_F(QuietRuleTest, QuietTicksArePassedOverUntilSomethingElseIsDue)
{
    // Uneven steps; a tick at the very end of a step belongs to it.
    for (int ms : {37, 163, 300, 1, 499}) loop.advance(ms);
    EXPECT_EQ(steps, (std::vector<std::string>{"O @250", "Q begin @500", "O @500", "Q end", "O @750", "Q begin @1000",
                                               "O @1000", "Q end"}));
    EXPECT_EQ(loop.ticksPassedOver(), 8u);
    EXPECT_EQ(loop.now(), 1000);
}

TEST_F(QuietRuleTest, TheQuietTimerKeepsItsPhase)
{
    loop.advance(1037);
    quiet = false;  // a key goes down
    loop.advance(63);
    loop.advance(99);
    EXPECT_EQ(steps.back(), "Q end");
    EXPECT_EQ(steps[steps.size() - 2], "Q begin @1100");
    EXPECT_EQ(loop.ticksPassedOver(), 8u);
}

TEST_F(QuietRuleTest, OffEveryTickIsFiredAndTheOthersFallTheSame)
{
    loop.setSkipping(false);
    loop.advance(1000);
    EXPECT_EQ(loop.ticksPassedOver(), 0u);
    std::vector<std::string> others;
    int qTicks = 0;
    for (const std::string& step : steps) {
        if (step[0] == 'O') others.push_back(step);
        if (step.rfind("Q begin", 0) == 0) ++qTicks;
    }
    EXPECT_EQ(qTicks, 10);
    EXPECT_EQ(others, (std::vector<std::string>{"O @250", "O @500", "O @750", "O @1000"}));
}

TEST_F(QuietRuleTest, ATimerCreatedEarlierRunsBeforeTheQuietTickWhichIsThenPassedOver)
{
    p.setEnabled(true);
    loop.advance(500);
    EXPECT_EQ(steps, (std::vector<std::string>{"O @250", "P @300", "Q begin @500", "O @500", "Q end"}));
    EXPECT_EQ(loop.ticksPassedOver(), 4u);
}

TEST_F(QuietRuleTest, ATimerCreatedLaterRunsInsideTheQuietTickItMeets)
{
    Timer later{window, "L", 300, false};
    later.onTimer = [this] { steps.push_back("L @" + std::to_string(loop.now())); };
    later.setEnabled(true);
    loop.advance(300);
    EXPECT_EQ(steps, (std::vector<std::string>{"O @250", "Q begin @300", "L @300", "Q end"}));
    o.setEnabled(false);
    steps.clear();
    loop.advance(300);
    EXPECT_EQ(steps, (std::vector<std::string>{"Q begin @600", "L @600", "Q end"}));
    EXPECT_EQ(loop.ticksPassedOver(), 4u);
}

TEST_F(QuietRuleTest, ASleepMovesBothClocksAndEveryTimerAndEndsInWaking)
{
    loop.advance(200);
    std::vector<int64_t> woke;
    loop.woke = [&] { woke.push_back(loop.now()); };
    const int64_t local = loop.localTime();
    loop.suspend(1000);
    EXPECT_EQ(woke, std::vector<int64_t>{1200});
    EXPECT_EQ(loop.sinceBoot(), 1200);
    EXPECT_EQ(loop.localTime(), local + 1000);
    // O was due at 250, 50 ms into the sleep: it comes 50 ms after waking, and nothing ran asleep.
    EXPECT_TRUE(steps.empty());
    loop.advance(50);
    EXPECT_EQ(steps, std::vector<std::string>{"O @1250"});
    // Setting the clock keeps the day: the time since boot stays, the day's date too.
    const int64_t midnight = loop.localTime() - timeOfDay(loop.localTime());
    loop.setWallClock(0);
    EXPECT_EQ(loop.localTime(), midnight);
    EXPECT_EQ(loop.sinceBoot(), 1250);
}

TEST(SimLoopTime, HoldsUpToItsLimitAndRefusesMore)
{
    SimLoop loop;
    EXPECT_TRUE(loop.canAdvance(SimLoop::kMaxTime));
    EXPECT_FALSE(loop.canAdvance(SimLoop::kMaxTime + 1));
    EXPECT_FALSE(loop.canAdvance(-1));
    loop.advance(SimLoop::kMaxTime - 5);
    EXPECT_FALSE(loop.canAdvance(6));
    EXPECT_THROW(loop.advance(6), std::out_of_range);
    EXPECT_EQ(loop.now(), SimLoop::kMaxTime - 5);
    loop.advance(5);
    // 10^12 hours after 12:00 is 04:00.
    EXPECT_EQ(formatWallClock(loop.wallMs()), "04:00:00.000");
    loop.setWallClock(23LL * 3600 * 1000);
    EXPECT_EQ(formatWallClock(loop.wallMs()), "23:00:00.000");
}

// --- Timers on the simulated loop -------------------------------------------------------

class TimerTest : public ::testing::Test {
protected:
    TimerTest() { system.setTimerDriver(&loop); }
    ~TimerTest() override { system.setTimerDriver(nullptr); }

    // A timer that writes "name@time" each time it fires.
    void track(Timer& timer)
    {
        timer.onTimer = [this, &timer] { fired.push_back(timer.name() + "@" + std::to_string(loop.now())); };
    }

    SimLoop loop;
    WindowSystem system;
    Window window{system, {"W", "W", 3000, 3000, "tolvane"}};
    std::vector<std::string> fired;
};

TEST_F(TimerTest, FiresEveryIntervalFromWhenItWasEnabled)
{
    Timer timer(window, "T", 100, false);
    track(timer);
    window.load();
    loop.advance(250);
    EXPECT_TRUE(fired.empty());

    timer.setEnabled(true);
    loop.advance(99);
    EXPECT_TRUE(fired.empty());
    loop.advance(1);
    loop.advance(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"T@350", "T@450"}));

    timer.setEnabled(false);
    loop.advance(1000);
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(TimerTest, EnablingARunningTimerChangesNothing)
{
    Timer timer(window, "T", 100, true);
    track(timer);
    window.load();
    struct : ModelObserver {
        int changes = 0;
        void timerChanged(Timer&, Property, const PropertyValue&) override { ++changes; }
    } told;
    system.addObserver(told);
    loop.advance(60);
    timer.setEnabled(true);
    loop.advance(40);
    timer.setEnabled(true);
    timer.setInterval(100);
    loop.advance(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"T@100", "T@200"}));
    EXPECT_EQ(told.changes, 0);
    system.removeObserver(told);
}

TEST_F(TimerTest, ChangingTheIntervalRestartsTheCount)
{
    Timer timer(window, "T", 100, true);
    track(timer);
    window.load();
    loop.advance(70);
    timer.setInterval(200);
    loop.advance(400);
    EXPECT_EQ(fired, (std::vector<std::string>{"T@270", "T@470"}));

    timer.setInterval(200);  // the same interval is no change
    loop.advance(200);
    EXPECT_EQ(fired.back(), "T@670");
}

TEST_F(TimerTest, NoDriftOverTenThousandTicks)
{
    Timer timer(window, "T", 100, true);
    int count = 0;
    int64_t last = 0;
    bool onTheGrid = true;
    timer.onTimer = [&] {
        ++count;
        last = loop.now();
        onTheGrid = onTheGrid && loop.now() == 100LL * count;
    };
    window.load();
    // Uneven steps, as the runner's "advance" lines come.
    while (loop.now() < 1'000'000) loop.advance(std::min<int64_t>(37 + loop.now() % 113, 1'000'000 - loop.now()));
    EXPECT_EQ(count, 10'000);
    EXPECT_EQ(last, 1'000'000);
    EXPECT_TRUE(onTheGrid);
}

TEST_F(TimerTest, AHandlerThatLetsEventsRunIsNotReenteredAndOthersRunInside)
{
    Timer outer(window, "A", 100, true);
    Timer middle(window, "B", 100, true);
    Timer inner(window, "C", 50, true);
    std::vector<std::string> steps;
    outer.onTimer = [&] {
        steps.push_back("A begin @" + std::to_string(loop.now()));
        loop.processPendingEvents();
        steps.push_back("A end");
    };
    middle.onTimer = [&] {
        steps.push_back("B begin");
        outer.fire();  // a second delivery while A runs is dropped
        loop.processPendingEvents();
        steps.push_back("B end");
    };
    inner.onTimer = [&] { steps.push_back("C @" + std::to_string(loop.now())); };
    window.load();
    loop.advance(100);
    EXPECT_EQ(steps, (std::vector<std::string>{"C @50", "A begin @100", "B begin", "C @100", "B end", "A end"}));
    EXPECT_FALSE(outer.running());

    steps.clear();
    loop.advance(100);
    EXPECT_EQ(steps, (std::vector<std::string>{"C @150", "A begin @200", "B begin", "C @200", "B end", "A end"}));
}

TEST_F(TimerTest, TimersDueAtOneInstantFireInCreationOrder)
{
    Timer first(window, "T1", 100, false);
    Timer second(window, "T2", 150, false);
    Timer third(window, "T3", 300, false);
    for (Timer* t : {&first, &second, &third}) track(*t);
    window.load();
    // Enabled in the reverse order and at different moments, all due at 300.
    third.setEnabled(true);
    loop.advance(150);
    second.setEnabled(true);
    loop.advance(50);
    first.setEnabled(true);
    loop.advance(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"T1@300", "T2@300", "T3@300"}));
    fired.clear();
    loop.advance(300);  // and again once they have been running a while
    EXPECT_EQ(fired, (std::vector<std::string>{"T1@400", "T2@450", "T1@500", "T1@600", "T2@600", "T3@600"}));
}

}  // namespace
}  // namespace tolvane
