#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/AcceleratedStep.h"
#include "KeyPressParts.h"
#include "KeySettings.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

ActionSettings Held(const std::string& command, const std::string& sleep, const std::string& accel = "") {
    ActionSettings settings = KeySettings(command, sleep);
    settings.my_accel = accel;
    return settings;
}

ActionSettings Wheel(const std::string& command, const std::string& amount, const std::string& sleep,
                     const std::string& accel = "") {
    ActionSettings settings = Held(command, sleep, accel);
    settings.my_wheel = amount;
    return settings;
}

ActionSettings Move(const std::string& x, const std::string& y, const std::string& sleep,
                    const std::string& accel = "", const std::string& relative = "") {
    ActionSettings settings = Held("MOUSE_CURSOR_MOVE", sleep, accel);
    settings.my_offset_x = x;
    settings.my_offset_y = y;
    settings.my_relative = relative;
    return settings;
}

bool IsPlacement(const recording::Call& call) { return call.what == "SetCursorPos"; }

// Bounds a loaded machine keeps: how soon and how steady is the benchmark's.
class HeldCommandsTest : public testing::Test, protected KeyPressParts {
protected:
    void SetUp() override { recording::Reset(); }

    // The key goes down and its press takes effect, as the plugin does it.
    void Hold(const ActionSettings& settings, const std::string& context = "key") {
        ongoing.runs.KeyWentDown(context, "deck");
        LoadActiveMouseCommand(settings, context);
        ongoing.KeyPressed(context);
        pressedAt = Clock::now();
        Perform(context, "deck");
    }

    // Returns once the step under way is made: nothing comes after.
    void Release(const std::string& context = "key") { ongoing.runs.KeyWentUp(context); }

    // Holds until `count` input calls came, releases, and returns them with
    // those made before the release took effect.
    std::vector<recording::Call> HoldFor(const ActionSettings& settings, std::size_t count) {
        Hold(settings);
        std::vector<recording::Call> calls = WaitForInput(count, 30s);
        Release();
        for (auto& call : TakeInputCalls()) calls.push_back(std::move(call));
        return calls;
    }

    void ExpectNothingMore() {
        std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(TakeInputCalls().empty()) << "input after the release";
    }

    Clock::time_point pressedAt;
};

TEST_F(HeldCommandsTest, HeldWheelTurnsOneStepEveryPauseAtLeastTenMs) {
    struct CadenceCase {
        std::string command;
        std::string amount;
        std::string sleep;
        InputEvent step;
        long long periodMs;
    };
    const CadenceCase cases[] = {
        {"MOUSE_WHEEL_HOLD", "120", "30", InputEvent::Wheel(120), 30},
        {"MOUSE_WHEEL_HOLD", "-40", "0", InputEvent::Wheel(-40), 10},  // below a notch, as it is
        {"MOUSE_HWHEEL_HOLD", "-120", "5", InputEvent::HWheel(-120), 10},
        {"MOUSE_HWHEEL_HOLD", "60", "20", InputEvent::HWheel(60), 20},
    };
    for (const CadenceCase& c : cases) {
        SCOPED_TRACE(c.command + " " + c.amount + " every " + c.sleep);
        const auto steps = HoldFor(Wheel(c.command, c.amount, c.sleep), 5);
        ASSERT_GE(steps.size(), 5u);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].events, std::vector<InputEvent>{c.step}) << "step " << i;
            if (i > 0) {
                EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), c.periodMs) << "step " << i;
            }
        }
        ExpectNothingMore();
    }
}

// A slow scroll tapped twice scrolls twice: a press does not wait for the
// pause that the hold before it began.
TEST_F(HeldCommandsTest, ANewPressStepsAtOnceWhateverThePause) {
    const ActionSettings slow = Wheel("MOUSE_WHEEL_HOLD", "120", "60000");
    EXPECT_EQ(HoldFor(slow, 1).size(), 1u);
    EXPECT_EQ(HoldFor(slow, 1).size(), 1u) << "the second press waited for the first one's pause";
}

// A tap steps once however short, even when its release came first (while
// its press was queued).
TEST_F(HeldCommandsTest, ATapStepsOnceEvenReleasedBeforeItsPress) {
    ongoing.runs.KeyWentDown("key", "deck");
    Release();
    LoadActiveMouseCommand(Wheel("MOUSE_WHEEL_HOLD", "120", "0"), "key");
    Perform("key", "deck");
    EXPECT_EQ(Describe(WaitForInput(1, 30s)), (std::vector<Injected>{{"SendInput", {}, {InputEvent::Wheel(120)}}}));
    ongoing.runs.StopAll();
    ExpectNothingMore();
}

// What a held scroll leaves of a notch ends with the hold, after its last
// step; a held move leaves nothing to end.
TEST_F(HeldCommandsTest, AHeldScrollEndsItsWheelInputWithTheHold) {
    struct Case {
        ActionSettings settings;
        bool ends;
    };
    for (const Case& c : {Case{Wheel("MOUSE_WHEEL_HOLD", "60", "5000"), true},
                          Case{Wheel("MOUSE_HWHEEL_HOLD", "-60", "5000"), true},
                          Case{Move("1", "0", "5000", "", "1"), false}}) {
        SCOPED_TRACE(c.settings.my_mouse_event);
        recording::TakeCalls();
        Hold(c.settings);
        ASSERT_FALSE(WaitForInput(1, 30s).empty()) << "no first step";
        Release();
        std::vector<std::string> seen;
        for (const auto& call : recording::TakeCalls()) seen.push_back(call.what);
        if (c.ends) {
            EXPECT_EQ(seen, std::vector<std::string>{"EndWheelInput"});
        } else {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), "EndWheelInput"), 0);
        }
    }
}

// Each step is AcceleratedStep of the first at the time it is made: never
// more than the time since the press allows, growing, up to ten times.
TEST_F(HeldCommandsTest, AcceleratedWheelGrowsWithTheTimeHeldUpToTenTimes) {
    Hold(Wheel("MOUSE_WHEEL_HOLD", "-10", "10", "1000"));
    std::vector<recording::Call> steps;
    const auto deadline = Clock::now() + 60s;
    while ((steps.empty() || steps.back().events[0].amount != -100) && Clock::now() < deadline) {
        for (auto& call : TakeInputCalls()) steps.push_back(std::move(call));
    }
    Release();
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back().events[0], InputEvent::Wheel(-100)) << "ten times the first step";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const long long sincePress = MillisecondsBetween(pressedAt, steps[i].time);
        EXPECT_GE(steps[i].events[0].amount, AcceleratedStep(-10, 1000, sincePress + 1));
        EXPECT_GE(steps[i].events[0].amount, -100) << "more than ten times";
        if (i > 0) {
            EXPECT_LE(steps[i].events[0].amount, steps[i - 1].events[0].amount);
        }
    }
}

// Asked for with "my_relative", or because the position cannot be read (Wayland).
TEST_F(HeldCommandsTest, RelativeMoveSendsMotionAndReadsNoPosition) {
    struct Case {
        const char* relative;
        bool positionReadable;
    };
    for (const Case& c : {Case{"1", true}, Case{"", false}, Case{"1", false}}) {
        SCOPED_TRACE(std::string("relative \"") + c.relative + "\", position " +
                     (c.positionReadable ? "readable" : "unreadable"));
        recording::SetCursorPosUnreadable(!c.positionReadable);
        const auto calls = HoldFor(Move("3", "-2", "9", "", c.relative), 5);
        ASSERT_GE(calls.size(), 5u);
        for (const auto& call : calls) {
            ASSERT_EQ(call.what, "SendInput");
            EXPECT_EQ(call.events, std::vector<InputEvent>{InputEvent::MoveBy(3, -2)});
        }
        for (std::size_t i = 1; i < calls.size(); ++i) {
            EXPECT_GE(MillisecondsBetween(calls[i - 1].time, calls[i].time), 10);
        }
    }
}

TEST_F(HeldCommandsTest, AcceleratedMoveGrowsPlacementsAndRelativeSteps) {
    for (const std::string relative : {"", "1"}) {
        SCOPED_TRACE("relative \"" + relative + "\"");
        recording::SetCursor(0, 0);
        Hold(Move("2", "1", "9", "500", relative));
        Point last;
        std::vector<std::pair<long long, Point>> steps;  // time since the press, step
        const auto deadline = Clock::now() + 60s;
        while ((steps.empty() || steps.back().second.x < 7) && Clock::now() < deadline) {
            for (const auto& call : TakeInputCalls()) {
                const long long sincePress = MillisecondsBetween(pressedAt, call.time);
                if (IsPlacement(call)) {
                    const Point to{static_cast<std::int32_t>(call.args[0]), static_cast<std::int32_t>(call.args[1])};
                    steps.push_back({sincePress, Point{to.x - last.x, to.y - last.y}});
                    last = to;
                } else {
                    ASSERT_EQ(call.events.size(), 1u);
                    EXPECT_EQ(call.events[0].kind, InputEvent::Kind::MoveRelative);
                    steps.push_back({sincePress, Point{call.events[0].x, call.events[0].y}});
                }
            }
        }
        Release();
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front().second.x, 2);
        EXPECT_GE(steps.back().second.x, 7) << "2 px grown by 500 %/s";
        for (const auto& [sincePress, step] : steps) {
            SCOPED_TRACE(std::to_string(sincePress) + " ms");
            EXPECT_LE(step.x, AcceleratedStep(2, 500, sincePress + 1));
            EXPECT_LE(step.y, AcceleratedStep(1, 500, sincePress + 1));
        }
    }
}

TEST_F(HeldCommandsTest, HeldMoveStepsFromTheRealCursorAtThePauseCadence) {
    recording::SetCursor(100, 50);
    const auto steps = HoldFor(Move("5", "-1", "9"), 5);
    ASSERT_GE(steps.size(), 5u);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const long n = static_cast<long>(i) + 1;
        EXPECT_EQ(steps[i].args, (std::vector<std::int64_t>{100 + 5 * n, 50 - n}));
        if (i > 0) {
            EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 10);
        }
    }
    ExpectNothingMore();
}

// The key pressed again (its release lost) has one run, not two.
TEST_F(HeldCommandsTest, APressAgainReplacesTheKeysRun) {
    recording::SetCursor(0, 0);
    Hold(Move("1", "0", "20"));
    Hold(Move("1", "0", "20"));
    auto steps = WaitForInput(4, 30s);
    Release();
    ASSERT_GE(steps.size(), 4u);
    for (std::size_t i = 2; i < steps.size(); ++i) {
        EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), 21) << "step " << i;
    }
}

// Another key's press ends the move; that key's own move runs until its release.
TEST_F(HeldCommandsTest, AnotherKeysPressEndsTheMove) {
    recording::SetCursor(0, 0);
    Hold(Move("1", "0", "0"), "first");
    ASSERT_FALSE(WaitForInput(1, 30s).empty());
    Hold(Move("0", "7", "0"), "second");
    std::vector<recording::Call> steps;
    const auto downward = [](const recording::Call& call) { return call.args[1] != 0; };
    const auto deadline = Clock::now() + 30s;
    while (std::count_if(steps.begin(), steps.end(), downward) < 3 && Clock::now() < deadline) {
        for (auto& call : TakeInputCalls()) steps.push_back(std::move(call));
    }
    Release("second");
    // Once the second key's steps begin, the first key's are over.
    const auto firstOfSecond = std::find_if(steps.begin(), steps.end(), downward);
    ASSERT_NE(firstOfSecond, steps.end());
    for (auto step = firstOfSecond + 1; step != steps.end(); ++step) {
        EXPECT_EQ(step->args[1] - (step - 1)->args[1], 7) << "a step of the first key's";
    }
    TakeInputCalls();
    ExpectNothingMore();
    Release("first");
}

TEST_F(HeldCommandsTest, UnreadableCursorStepsFromTheLastPositionSeen) {
    recording::SetCursor(500, 500);
    const auto seen = HoldFor(Move("3", "4", "0"), 1);
    ASSERT_FALSE(seen.empty());

    recording::SetGetCursorPosFails(true);
    recording::SetCursor(0, 0);
    const auto blind = HoldFor(Move("3", "4", "0"), 1);
    ASSERT_FALSE(blind.empty());
    // Every blind step starts again from the last position read, wherever the cursor went.
    for (const auto& step : blind) EXPECT_EQ(step.args, seen.back().args);
}

TEST_F(HeldCommandsTest, HugeOffsetsStayWithinTheCoordinateRange) {
    recording::SetCursor(2000, -2000);
    const auto steps = HoldFor(Move("2147483647", "-2147483648", "0"), 1);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0].args, (std::vector<std::int64_t>{2147483647, -2147483648LL}));
}

}  // namespace
