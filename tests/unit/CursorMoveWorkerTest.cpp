#include "plugin/ActiveMouseCommand.h"
#include "plugin/CursorMoveWorker.h"
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

void Hold(std::chrono::milliseconds duration) {
    SetKeyHeld(true);
    std::this_thread::sleep_for(duration);
    SetKeyHeld(false);
}

class CursorMoveWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        StartCursorMoveWorker();
    }
};

TEST_F(CursorMoveWorkerTest, HeldMoveStepsFromTheRealCursorAtThePauseCadence) {
    recording::SetCursor(100, 50);
    LoadActiveMouseCommand(Move("5", "-1", "9"));
    Hold(std::chrono::milliseconds(150));
    // One look at the flag may still be under way when it is cleared.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto steps = Placements(recording::TakeCalls());

    ASSERT_GE(steps.size(), 5u);
    ASSERT_LE(steps.size(), 16u) << "more steps than one worker makes at 10 ms";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(steps[i].args, (std::vector<std::int64_t>{100 + 5 * (static_cast<long>(i) + 1), 50 - (static_cast<long>(i) + 1)}));
        if (i > 0) {
            EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 10);
        }
    }
}

TEST_F(CursorMoveWorkerTest, StartingAgainAddsNoSecondWorker) {
    for (int i = 0; i < 50; ++i) StartCursorMoveWorker();
    recording::SetCursor(0, 0);
    LoadActiveMouseCommand(Move("1", "0", "20"));
    Hold(std::chrono::milliseconds(200));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    const auto steps = Placements(recording::TakeCalls());
    ASSERT_GE(steps.size(), 3u);
    for (std::size_t i = 1; i < steps.size(); ++i) {
        EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 21) << "step " << i;
    }
}

TEST_F(CursorMoveWorkerTest, NothingHappensWhileNoMoveIsHeld) {
    LoadActiveMouseCommand(Move("5", "5", "0"));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    // Another command held: the worker has nothing to do either.
    ActionSettings click = Move("5", "5", "0");
    click.my_mouse_event = "MOUSE_LEFT_CLICK";
    LoadActiveMouseCommand(click);
    Hold(std::chrono::milliseconds(60));
    EXPECT_TRUE(recording::TakeCalls().empty()) << "the idle worker must not touch the cursor";
}

TEST_F(CursorMoveWorkerTest, ReleaseStopsTheSteps) {
    LoadActiveMouseCommand(Move("1", "1", "0"));
    SetKeyHeld(true);
    // Held until the worker has stepped, however late a loaded machine lets it run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::size_t steps = 0;
    while (steps == 0 && std::chrono::steady_clock::now() < deadline) {
        steps += Placements(recording::TakeCalls()).size();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(steps, 0u);
    SetKeyHeld(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // One step may have been under way at the release; a worker that went on
    // would have made about a hundred by now.
    EXPECT_LE(Placements(recording::TakeCalls()).size(), 1u);
}

TEST_F(CursorMoveWorkerTest, SecondPressReplacesTheMoveAndItsReleaseStopsIt) {
    recording::SetCursor(0, 0);
    LoadActiveMouseCommand(Move("1", "0", "0"));
    SetKeyHeld(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    LoadActiveMouseCommand(Move("0", "7", "0"));  // the second key's press
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    SetKeyHeld(false);  // the second key's release, while the first is still down
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto steps = Placements(recording::TakeCalls());
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps.front().args[1], 0);
    EXPECT_EQ(steps.back().args[1] % 7, 0);
    EXPECT_GT(steps.back().args[1], 0) << "the second key's offsets were never used";
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_TRUE(Placements(recording::TakeCalls()).empty());
}

TEST_F(CursorMoveWorkerTest, UnreadableCursorStepsFromTheLastPositionSeen) {
    recording::SetCursor(500, 500);
    LoadActiveMouseCommand(Move("3", "4", "0"));
    Hold(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto seen = Placements(recording::TakeCalls());
    ASSERT_FALSE(seen.empty());

    recording::SetGetCursorPosFails(true);
    recording::SetCursor(0, 0);
    Hold(std::chrono::milliseconds(20));
    const auto blind = Placements(recording::TakeCalls());
    ASSERT_FALSE(blind.empty());
    // Every blind step starts again from the last position read, wherever the cursor went.
    for (const auto& step : blind) EXPECT_EQ(step.args, seen.back().args);
}

TEST_F(CursorMoveWorkerTest, HugeOffsetsStayWithinTheCoordinateRange) {
    recording::SetCursor(2000, -2000);
    LoadActiveMouseCommand(Move("2147483647", "-2147483648", "0"));
    SetKeyHeld(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SetKeyHeld(false);
    const auto steps = Placements(recording::TakeCalls());
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0].args, (std::vector<std::int64_t>{2147483647, -2147483648LL}));
}

}  // namespace
