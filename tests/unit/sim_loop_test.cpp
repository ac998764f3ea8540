// The simulated loop's quiet rule and its limit on simulated time.
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
    EXPECT_EQ(steps, (std::vector<std::string>{"O @250", "Q begin @500", "O @500", "Q end", "O @750",
                                               "Q begin @1000", "O @1000", "Q end"}));
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

}  // namespace
}  // namespace tolvane
