#include "plugin/key/commands/AcceleratedStep.h"
#include "plugin/key/runs/ActiveMouseCommand.h"
#include "plugin/key/runs/HeldInputWorker.h"
#include "KeySettings.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <thread>

using namespace platform;
using namespace std::chrono_literals;

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

ActionSettings Move(const std::string& x, const std::string& y, const std::string& sleep, const std::string& accel,
                    const std::string& relative) {
    ActionSettings settings = Held("MOUSE_CURSOR_MOVE", sleep, accel);
    settings.my_offset_x = x;
    settings.my_offset_y = y;
    settings.my_relative = relative;
    return settings;
}

// The batches the worker sent, each of one event.
struct Step {
    InputEvent event;
    std::chrono::steady_clock::time_point time;
};

std::vector<Step> Steps(const std::vector<recording::Call>& calls) {
    std::vector<Step> steps;
    for (const auto& call : calls) {
        EXPECT_EQ(call.what, "SendInput");
        EXPECT_EQ(call.events.size(), 1u);
        if (call.what == "SendInput" && call.events.size() == 1) steps.push_back({call.events[0], call.time});
    }
    return steps;
}

class HeldInputWorkerTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        StartHeldInputWorker();
    }

    // Presses, holds for `duration` and releases; the steps made in that time.
    std::vector<Step> Hold(const ActionSettings& settings, std::chrono::milliseconds duration) {
        LoadActiveMouseCommand(settings);
        SetKeyHeld(true);
        heldSince = GetActiveMouseCommand().heldSince;
        std::this_thread::sleep_for(duration);
        SetKeyHeld(false);
        // A step under way when the key went up.
        std::this_thread::sleep_for(20ms);
        return Steps(TakeInputCalls());
    }

    std::chrono::steady_clock::time_point heldSince;
};

TEST_F(HeldInputWorkerTest, HeldWheelTurnsOneStepEveryPauseAtLeastTenMs) {
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
        const auto steps = Hold(Wheel(c.command, c.amount, c.sleep), 300ms);
        ASSERT_GE(steps.size(), 300 / c.periodMs / 2) << "too few steps";
        EXPECT_LE(steps.size(), 300 / c.periodMs + 1) << "too many steps";
        EXPECT_LT(MillisecondsBetween(heldSince, steps.front().time), 10) << "the first step waited";
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].event, c.step) << "step " << i;
            if (i > 0) {
                EXPECT_GE(MillisecondsBetween(steps[i - 1].time, steps[i].time), c.periodMs) << "step " << i;
            }
        }
        std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(TakeInputCalls().empty()) << "steps after the release";
    }
}

// A slow scroll tapped twice scrolls twice: a press does not wait for the
// pause that the hold before it began.
TEST_F(HeldInputWorkerTest, ANewPressStepsAtOnceWhateverThePause) {
    const ActionSettings slow = Wheel("MOUSE_WHEEL_HOLD", "120", "5000");
    EXPECT_EQ(Hold(slow, 30ms).size(), 1u);
    const auto second = Hold(slow, 30ms);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_LT(MillisecondsBetween(heldSince, second.front().time), 20);
}

// What a held scroll leaves of a notch ends with the hold, after its last
// step; a held move leaves nothing to end.
TEST_F(HeldInputWorkerTest, AHeldScrollEndsItsWheelInputWithTheHold) {
    struct Case {
        ActionSettings settings;
        bool ends;
    };
    for (const Case& c : {Case{Wheel("MOUSE_WHEEL_HOLD", "60", "5000"), true},
                          Case{Wheel("MOUSE_HWHEEL_HOLD", "-60", "5000"), true},
                          Case{Move("1", "0", "5000", "", "1"), false}}) {
        SCOPED_TRACE(c.settings.my_mouse_event);
        recording::TakeCalls();
        LoadActiveMouseCommand(c.settings);
        SetKeyHeld(true);
        std::vector<std::string> seen;
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        const auto see = [&](const std::string& what) {
            while (std::find(seen.begin(), seen.end(), what) == seen.end() && std::chrono::steady_clock::now() < deadline) {
                for (const auto& call : recording::TakeCalls()) seen.push_back(call.what);
                std::this_thread::sleep_for(1ms);
            }
            return std::find(seen.begin(), seen.end(), what) != seen.end();
        };
        ASSERT_TRUE(see("SendInput")) << "no first step";
        EXPECT_FALSE(std::find(seen.begin(), seen.end(), "EndWheelInput") != seen.end()) << "ended while held";
        SetKeyHeld(false);
        if (c.ends) {
            EXPECT_TRUE(see("EndWheelInput"));
            EXPECT_EQ(seen.back(), "EndWheelInput") << "a step after the end";
        } else {
            std::this_thread::sleep_for(50ms);
            for (const auto& call : recording::TakeCalls()) EXPECT_NE(call.what, "EndWheelInput");
        }
    }
}

// Each step is AcceleratedStep of the first at the time it is made.
TEST_F(HeldInputWorkerTest, AcceleratedWheelGrowsWithTheTimeHeldUpToTenTimes) {
    const auto steps = Hold(Wheel("MOUSE_WHEEL_HOLD", "-10", "10", "1000"), 1100ms);
    ASSERT_GE(steps.size(), 30u);
    // Even the first step is held to the time it was made: 5 ms of holding
    // already grow -10 to -10.5, which rounds to -11.
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const long long heldMs = MillisecondsBetween(heldSince, steps[i].time);
        // The time read for the step lies shortly before the recorded one.
        EXPECT_LE(steps[i].event.amount, AcceleratedStep(-10, 1000, heldMs - 5));
        EXPECT_GE(steps[i].event.amount, AcceleratedStep(-10, 1000, heldMs + 1));
        if (i > 0) {
            EXPECT_LE(steps[i].event.amount, steps[i - 1].event.amount);
        }
    }
    EXPECT_EQ(steps.back().event, InputEvent::Wheel(-100)) << "ten times the first step, and no more";
}

// Asked for with "my_relative", or because the position cannot be read (Wayland).
TEST_F(HeldInputWorkerTest, RelativeMoveSendsMotionAndReadsNoPosition) {
    struct Case {
        const char* relative;
        bool positionReadable;
    };
    for (const Case& c : {Case{"1", true}, Case{"", false}, Case{"1", false}}) {
        SCOPED_TRACE(std::string("relative \"") + c.relative + "\", position " + (c.positionReadable ? "readable" : "unreadable"));
        recording::SetCursorPosUnreadable(!c.positionReadable);
        const auto calls = [&] {
            LoadActiveMouseCommand(Move("3", "-2", "9", "", c.relative));
            SetKeyHeld(true);
            std::this_thread::sleep_for(100ms);
            SetKeyHeld(false);
            std::this_thread::sleep_for(20ms);
            return recording::TakeCalls();
        }();
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

TEST_F(HeldInputWorkerTest, AcceleratedMoveGrowsPlacementsAndRelativeSteps) {
    for (const std::string relative : {"", "1"}) {
        SCOPED_TRACE("relative \"" + relative + "\"");
        recording::SetCursor(0, 0);
        LoadActiveMouseCommand(Move("2", "1", "9", "500", relative));
        SetKeyHeld(true);
        heldSince = GetActiveMouseCommand().heldSince;
        std::this_thread::sleep_for(600ms);
        SetKeyHeld(false);
        std::this_thread::sleep_for(20ms);
        Point last;
        std::vector<std::pair<long long, Point>> steps;  // time held, step
        for (const auto& call : recording::TakeCalls()) {
            if (call.what == "SetCursorPos") {
                steps.push_back({MillisecondsBetween(heldSince, call.time),
                                 Point{static_cast<std::int32_t>(call.args[0]) - last.x,
                                       static_cast<std::int32_t>(call.args[1]) - last.y}});
                last = Point{static_cast<std::int32_t>(call.args[0]), static_cast<std::int32_t>(call.args[1])};
            } else if (call.what == "SendInput") {
                ASSERT_EQ(call.events.size(), 1u);
                EXPECT_EQ(call.events[0].kind, InputEvent::Kind::MoveRelative);
                steps.push_back({MillisecondsBetween(heldSince, call.time), Point{call.events[0].x, call.events[0].y}});
            }
        }
        ASSERT_GE(steps.size(), 20u);
        EXPECT_EQ(steps.front().second.x, 2);
        for (const auto& [heldMs, step] : steps) {
            SCOPED_TRACE(std::to_string(heldMs) + " ms");
            EXPECT_GE(step.x, AcceleratedStep(2, 500, heldMs - 5));
            EXPECT_LE(step.x, AcceleratedStep(2, 500, heldMs + 1));
            EXPECT_GE(step.y, AcceleratedStep(1, 500, heldMs - 5));
            EXPECT_LE(step.y, AcceleratedStep(1, 500, heldMs + 1));
        }
        EXPECT_GE(steps.back().second.x, 7) << "2 px grown by 500 %/s for about 0.6 s";
    }
}

}  // namespace
