// The simulated loop's limit on simulated time.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/sim/sim_loop.h"

namespace tolvane {
namespace {

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
