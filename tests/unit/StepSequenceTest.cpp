#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "plugin/SavedPositions.h"
#include "plugin/StopSignal.h"
#include "ConsoleCapture.h"
#include "KeyPressParts.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }

// Each click and button step is a batch of its own.
Injected Down(MouseButton button) { return Batch({InputEvent::Down(button)}); }
Injected Up(MouseButton button) { return Batch({InputEvent::Up(button)}); }

class SequenceTest : public testing::Test, protected KeyPressParts {
protected:
    void SetUp() override {
        recording::Reset();
    }

    // Presses a MOUSE_SEQUENCE key, its settings arriving as the host hands them.
    std::vector<recording::Call> Run(const std::string& steps, const std::string& monitor = "",
                                     const std::string& modifiers = "") {
        const nlohmann::json payload = {{"settings",
                                         {{"my_mouse_event", "MOUSE_SEQUENCE"},
                                          {"my_sleep", "0"},
                                          {"my_offset_x", "0"},
                                          {"my_offset_y", "0"},
                                          {"my_wheel", "120"},
                                          {"my_repeat_loops", "0"},
                                          {"my_monitor", monitor},
                                          {"my_modifiers", modifiers},
                                          {"my_steps", steps}}}};
        LoadActiveMouseCommand(ParseActionSettings(payload), "key");
        Perform("key", "deck");
        WaitForSequence("key");
        return recording::TakeCalls();
    }

    std::vector<Injected> RunInput(const std::string& steps, const std::string& monitor = "",
                                   const std::string& modifiers = "") {
        std::vector<recording::Call> input;
        for (auto& call : Run(steps, monitor, modifiers)) {
            if (IsInput(call)) input.push_back(std::move(call));
        }
        return Describe(input);
    }

};

struct StepCase {
    const char* steps;
    std::vector<Injected> expected;
};

TEST_F(SequenceTest, EachStepsInput) {
    const StepCase cases[] = {
        {"move 100 200", {Batch({InputEvent::MoveTo(100, 200)})}},
        {"move +5 -6", {Batch({InputEvent::MoveBy(5, -6)})}},
        {"click right", {Down(MouseButton::Right), Up(MouseButton::Right)}},
        {"double middle",
         {Down(MouseButton::Middle), Up(MouseButton::Middle), Down(MouseButton::Middle), Up(MouseButton::Middle)}},
        {"down x1; up x1", {Down(MouseButton::X1), Up(MouseButton::X1)}},
        {"up x2", {Up(MouseButton::X2)}},
        {"wheel -240", {Batch({InputEvent::Wheel(-240)})}},
        {"hwheel 60", {Batch({InputEvent::HWheel(60)})}},
        {"wait 0; save", {}},
        // Back to where the pointer was at the start, or at the last save.
        {"move 10 10; return", {Batch({InputEvent::MoveTo(10, 10)}), Batch({InputEvent::MoveTo(300, 400)})}},
        {"move +10 +0; return", {Batch({InputEvent::MoveBy(10, 0)}), Batch({InputEvent::MoveTo(300, 400)})}},
        // A save reads where the last move put the pointer.
        {"move 10 10; save; move 20 20; return; return",
         {Batch({InputEvent::MoveTo(10, 10)}), Batch({InputEvent::MoveTo(20, 20)}),
          Batch({InputEvent::MoveTo(10, 10)}), Batch({InputEvent::MoveTo(10, 10)})}},
        // A button the sequence left down goes up at its end.
        {"down left; move +1 +1", {Down(MouseButton::Left), Batch({InputEvent::MoveBy(1, 1)}), Up(MouseButton::Left)}},
        {"down left; down right",
         {Down(MouseButton::Left), Down(MouseButton::Right),
          Batch({InputEvent::Up(MouseButton::Left), InputEvent::Up(MouseButton::Right)})}},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.steps);
        // The start is read only when a step returns to it; the recording
        // gives it as (300, 400) until a move sets it.
        recording::SetCursor(300, 400);
        EXPECT_EQ(RunInput(c.steps), c.expected);
    }
}

TEST_F(SequenceTest, WhereThePointerCannotBeReadReturnGoesBackByTheMotionSinceTheStartOrSave) {
    recording::SetCursorPosUnreadable(true);
    const StepCase cases[] = {
        {"move +10 -20; move +5 +5; return",
         {Batch({InputEvent::MoveBy(10, -20)}), Batch({InputEvent::MoveBy(5, 5)}),
          Batch({InputEvent::MoveBy(-15, 15)})}},
        {"move 10 10; save; move +3 +4; return",
         {Batch({InputEvent::MoveTo(10, 10)}), Batch({InputEvent::MoveBy(3, 4)}), Batch({InputEvent::MoveBy(-3, -4)})}},
        {"move +3 +4; return; move +1 +1; return",
         {Batch({InputEvent::MoveBy(3, 4)}), Batch({InputEvent::MoveBy(-3, -4)}), Batch({InputEvent::MoveBy(1, 1)}),
          Batch({InputEvent::MoveBy(-1, -1)})}},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.steps);
        EXPECT_EQ(RunInput(c.steps), c.expected);
    }
    // After a move to a position the motion says nothing of the start.
    std::vector<Injected> input;
    const std::string log = ConsoleOutputOf([&] { input = RunInput("move +3 +4; move 10 10; return"); });
    EXPECT_EQ(input, (std::vector<Injected>{Batch({InputEvent::MoveBy(3, 4)}), Batch({InputEvent::MoveTo(10, 10)})}));
    EXPECT_NE(log.find("return does nothing"), std::string::npos) << log;
}

TEST_F(SequenceTest, AbsoluteMovesLandOnTheChosenMonitor) {
    recording::SetMonitors({{0, 0, 1920, 1080, true}, {1920, 0, 1280, 1024, false}});
    EXPECT_EQ(RunInput("move 100 50", "2"), (std::vector<Injected>{Batch({InputEvent::MoveTo(2020, 50)})}));
    EXPECT_EQ(RunInput("move 5000 5000", "2"), (std::vector<Injected>{Batch({InputEvent::MoveTo(3199, 1023)})}));
    // A monitor that is not there moves nowhere; the other steps go on.
    EXPECT_EQ(RunInput("move 1 1; click left", "7"), (std::vector<Injected>{Down(MouseButton::Left), Up(MouseButton::Left)}));
}

TEST_F(SequenceTest, WheelStepsEndTheirPartOfANotchAtTheEnd) {
    std::vector<std::string> what;
    for (const auto& call : Run("wheel 60; hwheel 30; move +1 +1")) {
        if (call.what == "SendInput" || call.what == "EndWheelInput") what.push_back(call.what);
    }
    EXPECT_EQ(what, (std::vector<std::string>{"SendInput", "SendInput", "SendInput", "EndWheelInput"}));
}

TEST_F(SequenceTest, AButtonAnotherHolderKeepsDownStaysDown) {
    HeldInput().Hold(LockHolder("other"), MouseButton::Left);
    recording::TakeCalls();
    EXPECT_EQ(RunInput("down left; click right"), (std::vector<Injected>{Down(MouseButton::Right), Up(MouseButton::Right)}));
    EXPECT_TRUE(HeldInput().IsDown(MouseButton::Left));
    HeldInput().LetGo(LockHolder("other"));
}

TEST_F(SequenceTest, WaitsSpaceTheStepsByTheirLength) {
    const auto calls = Run("click left; wait 150; click left; wait 300; click left");
    std::vector<Clock::time_point> downs;
    for (const auto& call : calls) {
        if (call.what == "SendInput" && call.events == std::vector<InputEvent>{InputEvent::Down(MouseButton::Left)}) {
            downs.push_back(call.time);
        }
    }
    ASSERT_EQ(downs.size(), 3u);
    // Never early; late only by a loaded machine's scheduling.
    EXPECT_GE(MillisecondsBetween(downs[0], downs[1]), 150);
    EXPECT_LT(MillisecondsBetween(downs[0], downs[1]), 150 + 250);
    EXPECT_GE(MillisecondsBetween(downs[1], downs[2]), 300);
    EXPECT_LT(MillisecondsBetween(downs[1], downs[2]), 300 + 250);
}

TEST_F(SequenceTest, AStopEndsItAtItsWaitAndLetsGoOfWhatItHeld) {
    std::thread stopper([this] {
        // Once the sequence holds its button, it is in its long wait.
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!HeldInput().IsDown(MouseButton::Left) && Clock::now() < deadline) std::this_thread::yield();
        ongoing.EndedByPress("key");  // the key's next press
    });
    const auto started = Clock::now();
    auto input = RunInput("down left; wait 60000; click right");
    stopper.join();  // the stop returns once the run has let go of what it held
    for (auto& more : Describe(TakeInputCalls())) input.push_back(std::move(more));
    EXPECT_LT(MillisecondsBetween(started, Clock::now()), 10000);
    EXPECT_EQ(input, (std::vector<Injected>{Down(MouseButton::Left), Up(MouseButton::Left)}));
}

// The modifiers go down before the first step and up after the last, also
// around a double-click, which holds and lets go of its own button only.
TEST_F(SequenceTest, TheKeysModifiersAreDownForTheWholeRun) {
    const InputEvent pressCtrl = InputEvent::Press(ModifierKey::Ctrl);
    const InputEvent pressShift = InputEvent::Press(ModifierKey::Shift);
    const InputEvent releaseCtrl = InputEvent::Release(ModifierKey::Ctrl);
    const InputEvent releaseShift = InputEvent::Release(ModifierKey::Shift);
    EXPECT_EQ(RunInput("click left; double right; wheel 120; move +1 +1", "", "CTRL+SHIFT"),
              (std::vector<Injected>{Batch({pressCtrl, pressShift}), Down(MouseButton::Left), Up(MouseButton::Left),
                                     Down(MouseButton::Right), Up(MouseButton::Right), Down(MouseButton::Right),
                                     Up(MouseButton::Right), Batch({InputEvent::Wheel(120)}),
                                     Batch({InputEvent::MoveBy(1, 1)}), Batch({releaseShift, releaseCtrl})}));
    // A button left down stays down through a double-click of another and
    // comes up before them.
    EXPECT_EQ(RunInput("down left; double right", "", "SHIFT"),
              (std::vector<Injected>{Batch({pressShift}), Down(MouseButton::Left), Down(MouseButton::Right),
                                     Up(MouseButton::Right), Down(MouseButton::Right), Up(MouseButton::Right),
                                     Batch({InputEvent::Up(MouseButton::Left), releaseShift})}));
}

TEST_F(SequenceTest, StepsThatDoNotParseDoNothingButLogOneLine) {
    std::vector<Injected> input;
    const std::string log = ConsoleOutputOf([&] { input = RunInput("click left\nclick nowhere; jump"); });
    EXPECT_EQ(input, std::vector<Injected>{});
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("line 2: bad-button"), std::string::npos) << log;
    // No steps at all: nothing, quietly.
    EXPECT_EQ(RunInput(""), std::vector<Injected>{});
}

}  // namespace
