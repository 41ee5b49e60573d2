#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/ModifierScope.h"
#include "plugin/SavedPositions.h"
#include "plugin/StopSignal.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "KeyPressParts.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

ActionSettings Settings(const std::string& command, const std::string& modifiers) {
    ActionSettings settings;
    settings.my_mouse_event = command;
    settings.my_sleep = "0";
    settings.my_offset_x = "10";
    settings.my_offset_y = "20";
    settings.my_wheel = "120";
    settings.my_repeat_loops = "0";
    settings.my_modifiers = modifiers;
    return settings;
}

ActionSettings With(ActionSettings settings, std::string ActionSettings::*member, const std::string& value) {
    settings.*member = value;
    return settings;
}

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }
Injected Event(std::uint32_t flags, std::int32_t data = 0) { return {"mouse_event", {flags, data}}; }

const MouseButton L = MouseButton::Left;

// Key presses as the key-command thread performs them, with the owner of
// held input the whole process shares.
class ModifierPlacementTest : public testing::Test, protected KeyPressParts {
protected:
    ModifierPlacementTest() : KeyPressParts(HeldInput()) {}
protected:
    void SetUp() override {
        recording::Reset();
    }

    std::vector<recording::Call> PressCalls(const ActionSettings& settings, const std::string& context = "key") {
        LoadActiveMouseCommand(settings, context);
        Perform(context, "deck");
        finished = Clock::now();
        return TakeInputCalls();
    }

    std::vector<Injected> Press(const ActionSettings& settings, const std::string& context = "key") {
        return Describe(PressCalls(settings, context));
    }

    Clock::time_point finished;
};

struct PlacementCase {
    const char* name;
    ActionSettings settings;
    std::vector<Injected> expected;
};

// The keys go down just before a command's first input and up just after
// its last, in its batch where it sends one; the passes go through
// mouse_event, so theirs ride in batches of their own right beside it.
TEST_F(ModifierPlacementTest, ModifiersFrameEachKindOfCommand) {
    const auto clickAt = Settings("MOUSE_CLICK_AT", "CTRL");
    const PlacementCase cases[] = {
        {"click", Settings("MOUSE_LEFT_CLICK", "CTRL"),
         {Batch({kCtrl}), Event(MOUSEEVENTF_LEFTDOWN), Event(MOUSEEVENTF_LEFTUP), Batch({kCtrlUp})}},
        {"x2 click, two keys", Settings("MOUSE_X2_CLICK", "SHIFT+CTRL"),
         {Batch({kCtrl, kShift}), Event(MOUSEEVENTF_XDOWN, XBUTTON2), Event(MOUSEEVENTF_XUP, XBUTTON2),
          Batch({kShiftUp, kCtrlUp})}},
        {"repeated click: once around all passes",
         With(Settings("MOUSE_RIGHT_CLICK", "ALT"), &ActionSettings::my_repeat_loops, "1"),
         {Batch({kAlt}), Event(MOUSEEVENTF_RIGHTDOWN), Event(MOUSEEVENTF_RIGHTUP), Event(MOUSEEVENTF_RIGHTDOWN),
          Event(MOUSEEVENTF_RIGHTUP), Batch({kAltUp})}},
        {"wheel", Settings("MOUSE_WHEEL_UP", "CTRL"),
         {Batch({kCtrl}), Event(MOUSEEVENTF_WHEEL, 120), Batch({kCtrlUp})}},
        {"horizontal wheel", With(Settings("MOUSE_HWHEEL_DOWN", "SHIFT"), &ActionSettings::my_wheel, "-240"),
         {Batch({kShift}), Event(MOUSEEVENTF_HWHEEL, -240), Batch({kShiftUp})}},
        {"double click", Settings("MOUSE_LEFT_DOUBLE_CLICK", "CTRL"),
         {Batch({kCtrl, InputEvent::Down(L)}), Batch({InputEvent::Up(L)}), Batch({InputEvent::Down(L)}),
          Batch({InputEvent::Up(L), kCtrlUp})}},
        {"click at", clickAt,
         {Batch({kCtrl, InputEvent::MoveTo(10, 20), InputEvent::Down(L), InputEvent::Up(L), kCtrlUp})}},
        {"click at and back", With(clickAt, &ActionSettings::my_return, "1"),
         {Batch({kCtrl, InputEvent::MoveTo(10, 20), InputEvent::Down(L), InputEvent::Up(L),
                 InputEvent::MoveTo(0, 0), kCtrlUp})}},
        {"nudge", Settings("MOUSE_CURSOR_NUDGE", "ALT+SHIFT"),
         {Batch({kShift, kAlt, InputEvent::MoveBy(10, 20), kAltUp, kShiftUp})}},
        {"place", Settings("MOUSE_CURSOR_POS", "META"),
         {Batch({kMeta}), {"SetCursorPos", {10, 20}}, Batch({kMetaUp})}},
        {"place on a monitor", With(Settings("MOUSE_CURSOR_POS", "META"), &ActionSettings::my_monitor, "1"),
         {Batch({kMeta, InputEvent::MoveTo(10, 20), kMetaUp})}},
        {"centre", Settings("MOUSE_CURSOR_RESET", "CTRL"),
         {Batch({kCtrl}), {"SetCursorPos", {960, 540}}, Batch({kCtrlUp})}},
        {"centre of a monitor", With(Settings("MOUSE_CURSOR_RESET", "CTRL"), &ActionSettings::my_monitor, "1"),
         {Batch({kCtrl, InputEvent::MoveTo(960, 540), kCtrlUp})}},
        // Absent or empty: exactly the input of a key set up before modifiers.
        {"click, none", Settings("MOUSE_LEFT_CLICK", ""), {Event(MOUSEEVENTF_LEFTDOWN), Event(MOUSEEVENTF_LEFTUP)}},
        {"click at, only pluses", Settings("MOUSE_CLICK_AT", "+"),
         {Batch({InputEvent::MoveTo(10, 20), InputEvent::Down(L), InputEvent::Up(L)})}},
        {"double click, none", Settings("MOUSE_LEFT_DOUBLE_CLICK", ""),
         {Batch({InputEvent::Down(L)}), Batch({InputEvent::Up(L)}), Batch({InputEvent::Down(L)}),
          Batch({InputEvent::Up(L)})}},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        recording::SetCursor(0, 0);
        EXPECT_EQ(Press(c.settings), c.expected);
        EXPECT_FALSE(HeldInput().Holds(ClickHolder("key"))) << "a key left held";
    }
}

// Up just after the last input: the pass's wait comes after the release.
TEST_F(ModifierPlacementTest, ModifiersComeUpBeforeThePassWait) {
    const auto calls = PressCalls(Settings("MOUSE_LEFT_CLICK", "CTRL"));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_GE(MillisecondsBetween(calls.back().time, finished), kPassWaitMs);
}

// A drag lock holds its keys with its button, and they come up with it.
TEST_F(ModifierPlacementTest, ToggleKeepsItsModifiersWithTheLock) {
    const auto lock = Settings("MOUSE_LEFT_TOGGLE", "SHIFT");
    EXPECT_EQ(Press(lock), (std::vector<Injected>{Batch({kShift, InputEvent::Down(L)})}));
    EXPECT_EQ(Press(Settings("MOUSE_RIGHT_CLICK", "SHIFT"), "other"),
              (std::vector<Injected>{Event(MOUSEEVENTF_RIGHTDOWN), Event(MOUSEEVENTF_RIGHTUP)}))
        << "another key's Shift+click under the lock neither presses nor lets go of Shift";
    EXPECT_EQ(Press(lock), (std::vector<Injected>{Batch({InputEvent::Up(L), kShiftUp})}));
    EXPECT_EQ(feedback.Take(), (std::vector<std::string>{"held key", "own key"}));
}

// A down command's keys stay with the buttons the down commands hold, and
// come up with the last; an up command's own keys do nothing.
TEST_F(ModifierPlacementTest, DownCommandsHoldTheirModifiersUntilTheLastUp) {
    EXPECT_EQ(Press(Settings("MOUSE_LEFT_DOWN", "CTRL"), "a"),
              (std::vector<Injected>{Batch({kCtrl}), Event(MOUSEEVENTF_LEFTDOWN)}));
    EXPECT_EQ(Press(Settings("MOUSE_RIGHT_DOWN", "CTRL+SHIFT"), "b"),
              (std::vector<Injected>{Batch({kShift}), Event(MOUSEEVENTF_RIGHTDOWN)}));
    EXPECT_EQ(Press(Settings("MOUSE_LEFT_UP", "ALT"), "c"), (std::vector<Injected>{Event(MOUSEEVENTF_LEFTUP)}));
    EXPECT_EQ(Press(Settings("MOUSE_RIGHT_UP", ""), "d"),
              (std::vector<Injected>{Event(MOUSEEVENTF_RIGHTUP), Batch({kShiftUp, kCtrlUp})}));
    EXPECT_EQ(Press(Settings("MOUSE_RIGHT_UP", "META"), "d"), (std::vector<Injected>{Event(MOUSEEVENTF_RIGHTUP)}))
        << "an up with nothing held sends its up alone, as before";
}

// A stop (the key's or device's end) during a command lets go of its keys
// at once; here it came before the first wait.
TEST_F(ModifierPlacementTest, AStopLetsGoOfTheKeysAtOnce) {
    const PlacementCase cases[] = {
        {"click", With(Settings("MOUSE_LEFT_CLICK", "CTRL"), &ActionSettings::my_sleep, "60000"),
         {Batch({kCtrl}), Event(MOUSEEVENTF_LEFTDOWN), Event(MOUSEEVENTF_LEFTUP), Batch({kCtrlUp})}},
        {"repeated wheel", With(Settings("MOUSE_WHEEL_DOWN", "CTRL"), &ActionSettings::my_repeat_loops, "5"),
         {Batch({kCtrl}), Event(MOUSEEVENTF_WHEEL, 120), Batch({kCtrlUp})}},
        {"double click", With(Settings("MOUSE_LEFT_DOUBLE_CLICK", "CTRL"), &ActionSettings::my_sleep, "60000"),
         {Batch({kCtrl, InputEvent::Down(L)}), Batch({InputEvent::Up(L), kCtrlUp})}},
    };
    stop.Request();
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Press(c.settings), c.expected);
    }
}

}  // namespace
