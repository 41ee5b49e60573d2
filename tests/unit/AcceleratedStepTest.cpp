#include "plugin/key/commands/AcceleratedStep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

struct StepCase {
    std::int32_t first;
    std::int32_t percent;
    std::int64_t heldMs;
    std::int32_t expected;
};

TEST(AcceleratedStep, GrowsLinearlyWithTheTimeHeldUpToTenTimes) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const StepCase cases[] = {
        // After 0, 1 and 2 seconds.
        {10, 50, 0, 10}, {10, 50, 1000, 15}, {10, 50, 2000, 20},
        {120, 100, 0, 120}, {120, 100, 1000, 240}, {120, 100, 2000, 360},
        {-120, 100, 1000, -240},  // the sign stays, the size grows
        {10, 50, 500, 13},        // 12.5 rounds away from zero
        {-10, 50, 500, -13},
        {1, 50, 1000, 2}, {-1, 50, 1000, -2},
        // Ten times the first step at most.
        {10, 100, 9000, 100}, {10, 100, 60000, 100}, {10, 1000, 2000, 100}, {-7, 500, 3000, -70},
        // No growth asked for, or no time held.
        {10, 0, 5000, 10}, {10, -50, 5000, 10}, {10, 100, -5, 10}, {0, 1000, 5000, 0},
        // Extremes neither overflow nor leave 32 bits.
        {kMax, kMax, std::numeric_limits<std::int64_t>::max(), kMax},
        {kMin, kMax, std::numeric_limits<std::int64_t>::max(), kMin},
        {5, kMax, 1, 50},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " at " + std::to_string(c.percent) + " %/s after " +
                     std::to_string(c.heldMs) + " ms");
        EXPECT_EQ(AcceleratedStep(c.first, c.percent, c.heldMs), c.expected);
    }
}

}  // namespace
