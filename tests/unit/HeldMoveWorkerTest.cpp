#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/runs/HeldInputWorker.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <thread>

using namespace platform;

namespace {

ActionSettings Move(const std::string& x, const std::string& y, const std::string& sleep) {
    ActionSettings settings;
    settings.my_mouse_event = "MOUSE_CURSOR_MOVE";
    settings.my_offset_x = x;
    settings.my_offset_y = y;
    settings.my_sleep = sleep;
    settings.my_wheel = "0";
    settings.my_repeat_loops = "0";
    return settings;
}

std::vector<recording::Call> Placements(const std::vector<recording::Call>& calls) {
    std::vector<recording::Call> placements;
    for (const auto& call : calls) {
        if (call.what == "SetCursorPos") placements.push_back(call);
    }
    return placements;
}

// Adds the worker's placements to `steps` until `enough` accepts them,
// however late a loaded machine lets the worker run.
template <typename Enough>
void WaitForPlacementsUntil(std::vector<recording::Call>& steps, Enough enough) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!enough(steps) && std::chrono::steady_clock::now() < deadline) {
        for (auto& step : Placements(recording::TakeCalls())) steps.push_back(std::move(step));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void WaitForPlacements(std::vector<recording::Call>& steps, std::size_t count) {
    WaitForPlacementsUntil(steps, [count](const std::vector<recording::Call>& seen) { return seen.size() >= count; });
}

// Holds the key for `count` placements, then releases it and lets the step
// that may be under way at the release land among them.
std::vector<recording::Call> HoldForPlacements(std::size_t count) {
    std::vector<recording::Call> steps;
    SetKeyHeld(true);
    WaitForPlacements(steps, count);
    SetKeyHeld(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    for (auto& step : Placements(recording::TakeCalls())) steps.push_back(std::move(step));
    return steps;
}

class HeldMoveWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        StartHeldInputWorker();
    }
};

TEST_F(HeldMoveWorkerTest, HeldMoveStepsFromTheRealCursorAtThePauseCadence) {
    recording::SetCursor(100, 50);
    LoadActiveMouseCommand(Move("5", "-1", "9"));
    const auto steps = HoldForPlacements(5);

    ASSERT_GE(steps.size(), 5u);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(steps[i].args, (std::vector<std::int64_t>{100 + 5 * (static_cast<long>(i) + 1), 50 - (static_cast<long>(i) + 1)}));
        if (i > 0) {
            EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 10);
        }
    }
}

TEST_F(HeldMoveWorkerTest, StartingAgainAddsNoSecondWorker) {
    for (int i = 0; i < 50; ++i) StartHeldInputWorker();
    recording::SetCursor(0, 0);
    LoadActiveMouseCommand(Move("1", "0", "20"));
    const auto steps = HoldForPlacements(3);
    ASSERT_GE(steps.size(), 3u);
    for (std::size_t i = 1; i < steps.size(); ++i) {
        EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 21) << "step " << i;
    }
}

TEST_F(HeldMoveWorkerTest, NothingHappensWhileNoMoveIsHeld) {
    LoadActiveMouseCommand(Move("5", "5", "0"));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    // Another command held: the worker has nothing to do either.
    ActionSettings click = Move("5", "5", "0");
    click.my_mouse_event = "MOUSE_LEFT_CLICK";
    LoadActiveMouseCommand(click);
    SetKeyHeld(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    SetKeyHeld(false);
    EXPECT_TRUE(recording::TakeCalls().empty()) << "the idle worker must not touch the cursor";
}

TEST_F(HeldMoveWorkerTest, ReleaseStopsTheSteps) {
    LoadActiveMouseCommand(Move("1", "1", "0"));
    ASSERT_FALSE(HoldForPlacements(1).empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // A worker that went on would have made about ten by now.
    EXPECT_TRUE(Placements(recording::TakeCalls()).empty());
}

TEST_F(HeldMoveWorkerTest, SecondPressReplacesTheMoveAndItsReleaseStopsIt) {
    recording::SetCursor(0, 0);
    LoadActiveMouseCommand(Move("1", "0", "0"));
    std::vector<recording::Call> steps;
    SetKeyHeld(true);
    WaitForPlacements(steps, 2);
    LoadActiveMouseCommand(Move("0", "7", "0"));  // the second key's press
    // Steps made before the press may still be on their way to the test.
    WaitForPlacementsUntil(steps, [](const std::vector<recording::Call>& seen) {
        return !seen.empty() && seen.back().args[1] > 0;
    });
    SetKeyHeld(false);  // the second key's release, while the first is still down
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    for (auto& step : Placements(recording::TakeCalls())) steps.push_back(std::move(step));
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps.front().args[1], 0);
    EXPECT_EQ(steps.back().args[1] % 7, 0);
    EXPECT_GT(steps.back().args[1], 0) << "the second key's offsets were never used";
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_TRUE(Placements(recording::TakeCalls()).empty());
}

TEST_F(HeldMoveWorkerTest, UnreadableCursorStepsFromTheLastPositionSeen) {
    recording::SetCursor(500, 500);
    LoadActiveMouseCommand(Move("3", "4", "0"));
    const auto seen = HoldForPlacements(1);
    ASSERT_FALSE(seen.empty());

    recording::SetGetCursorPosFails(true);
    recording::SetCursor(0, 0);
    const auto blind = HoldForPlacements(1);
    ASSERT_FALSE(blind.empty());
    // Every blind step starts again from the last position read, wherever the cursor went.
    for (const auto& step : blind) EXPECT_EQ(step.args, seen.back().args);
}

TEST_F(HeldMoveWorkerTest, HugeOffsetsStayWithinTheCoordinateRange) {
    recording::SetCursor(2000, -2000);
    LoadActiveMouseCommand(Move("2147483647", "-2147483648", "0"));
    const auto steps = HoldForPlacements(1);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0].args, (std::vector<std::int64_t>{2147483647, -2147483648LL}));
}

}  // namespace
