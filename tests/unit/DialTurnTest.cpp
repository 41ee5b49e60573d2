#include "plugin/dial/DialTurn.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Clock = DialTurn::Clock;

struct Turn {
    std::int64_t ticks;
    int atMs;              // since the first turn
    std::int64_t amount;   // expected
};

struct TurnCase {
    const char* name;
    std::int32_t step;
    std::int32_t accel;
    std::vector<Turn> turns;
};

constexpr std::int64_t kNoBound = 1000000000;

TEST(DialTurn, AmountsOfRunsOfTurns) {
    const TurnCase cases[] = {
        {"no acceleration: ticks times step", 120, 0, {{1, 0, 120}, {3, 10, 360}, {-2, 20, -240}, {0, 30, 0}}},
        {"a negative step reverses", -10, 0, {{2, 0, -20}, {-1, 100, 10}}},
        // 100 %: the ticks of a run count 1, 2, 3... times the step.
        {"several ticks in one event grow", 10, 100, {{3, 0, 10 + 20 + 30}}},
        {"events within 50 ms continue the run", 10, 100, {{1, 0, 10}, {1, 49, 20}, {2, 98, 30 + 40}}},
        {"a pause of 50 ms starts over", 10, 100, {{2, 0, 10 + 20}, {1, 50, 10}}},
        {"turning back starts over", 10, 100, {{2, 0, 30}, {-2, 10, -30}, {-1, 20, -30}}},
        {"growth stops at ten times", 10, 100, {{12, 0, 10 + 20 + 30 + 40 + 50 + 60 + 70 + 80 + 90 + 100 + 100 + 100}}},
        {"25 %: a quarter more per tick", 100, 25, {{4, 0, 100 + 125 + 150 + 175}}},
        {"partial units round half away from zero", 3, 50, {{2, 0, 3 + 5}, {-2, 100, -8}}},
    };
    for (const TurnCase& c : cases) {
        DialTurn turn;
        const Clock::time_point start = Clock::now();
        std::vector<std::int64_t> amounts, expected;
        for (const Turn& t : c.turns) {
            amounts.push_back(turn.Amount(t.ticks, c.step, c.accel, kNoBound, start + std::chrono::milliseconds(t.atMs)));
            expected.push_back(t.amount);
        }
        EXPECT_EQ(amounts, expected) << c.name;
    }
}

TEST(DialTurn, ResetStartsTheRunOver) {
    DialTurn turn;
    const Clock::time_point now = Clock::now();
    EXPECT_EQ(turn.Amount(2, 10, 100, kNoBound, now), 30);
    turn.Reset();
    EXPECT_EQ(turn.Amount(1, 10, 100, kNoBound, now + std::chrono::milliseconds(1)), 10);
}

// Hostile counts neither overflow nor take long: ticks stop at kMaxTicks and
// the amount at the bound.
TEST(DialTurn, HugeTurnsAreBounded) {
    struct Case {
        std::int64_t ticks;
        std::int32_t step;
        std::int32_t accel;
        std::int64_t most;
        std::int64_t amount;
    };
    const Case cases[] = {
        {1000000000, 1, 0, kNoBound, DialTurn::kMaxTicks},
        {-1000000000, 1, 0, kNoBound, -DialTurn::kMaxTicks},
        {INT64_MIN + 1, 2, 0, kNoBound, -2 * DialTurn::kMaxTicks},
        {1000000000, 1200, 100, 7200, 7200},
        {-1000000000, 1200, 100, 7200, -7200},
        {1, INT32_MAX, 100, 4000, 4000},
        {1, INT32_MIN, 100, 4000, -4000},
    };
    for (const Case& c : cases) {
        DialTurn turn;
        EXPECT_EQ(turn.Amount(c.ticks, c.step, c.accel, c.most, Clock::now()), c.amount) << c.ticks << " x " << c.step;
    }
}

}  // namespace
