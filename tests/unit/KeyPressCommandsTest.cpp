#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/DoubleClick.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/MouseInjection.h"
#include "plugin/StopSignal.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/SavedPositions.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "ConsoleCapture.h"
#include "KeyPressParts.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <thread>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

// Every member a settings page writes; the newer ones only where a case sets them.
ActionSettings Settings(const std::string& command, const std::string& x = "0", const std::string& y = "0") {
    ActionSettings settings;
    settings.my_mouse_event = command;
    settings.my_sleep = "0";
    settings.my_offset_x = x;
    settings.my_offset_y = y;
    settings.my_wheel = "120";
    settings.my_repeat_loops = "0";
    return settings;
}

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }

class KeyPressTest : public testing::Test, protected KeyPressParts {
protected:
    void SetUp() override {
        recording::Reset();
    }

    // Presses the key as the key-command thread does; returns every call it made.
    std::vector<recording::Call> PressAllCalls(const ActionSettings& settings, const std::string& context = "key",
                                               const std::string& device = "deck") {
        LoadActiveMouseCommand(settings);
        started = Clock::now();
        Perform(context, device);
        finished = Clock::now();
        return recording::TakeCalls();
    }

    // The input calls only.
    std::vector<recording::Call> PressCalls(const ActionSettings& settings, const std::string& context = "key",
                                            const std::string& device = "deck") {
        std::vector<recording::Call> input;
        for (auto& call : PressAllCalls(settings, context, device)) {
            if (IsInput(call)) input.push_back(std::move(call));
        }
        return input;
    }

    std::vector<Injected> Press(const ActionSettings& settings, const std::string& context = "key",
                                const std::string& device = "deck") {
        return Describe(PressCalls(settings, context, device));
    }

    Clock::time_point started;
    Clock::time_point finished;
};

struct PressCase {
    const char* name;
    ActionSettings settings;
    std::vector<Injected> expected;
};

ActionSettings With(ActionSettings settings, std::string ActionSettings::*member, const std::string& value) {
    settings.*member = value;
    return settings;
}

TEST_F(KeyPressTest, EachNewCommandSendsItsBatchesAtOnce) {
    const auto clickAt = Settings("MOUSE_CLICK_AT", "100", "-200");
    const auto doubleClick = [](MouseButton b) {
        return std::vector<Injected>{Batch({InputEvent::Down(b)}), Batch({InputEvent::Up(b)}),
                                     Batch({InputEvent::Down(b)}), Batch({InputEvent::Up(b)})};
    };
    const PressCase cases[] = {
        {"left double", Settings("MOUSE_LEFT_DOUBLE_CLICK"), doubleClick(MouseButton::Left)},
        {"middle double", Settings("MOUSE_MIDDLE_DOUBLE_CLICK"), doubleClick(MouseButton::Middle)},
        {"right double", Settings("MOUSE_RIGHT_DOUBLE_CLICK"), doubleClick(MouseButton::Right)},
        {"nudge", Settings("MOUSE_CURSOR_NUDGE", "5", "-3"), {Batch({InputEvent::MoveBy(5, -3)})}},
        {"click at",
         clickAt,
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)})}},
        {"click at and back",
         With(clickAt, &ActionSettings::my_return, "1"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left),
                 InputEvent::MoveTo(7, 8)})}},
        {"click at, return other than 1", With(clickAt, &ActionSettings::my_return, "true"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)})}},
        {"click at, LEFT", With(clickAt, &ActionSettings::my_button, "LEFT"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)})}},
        {"click at, MIDDLE", With(clickAt, &ActionSettings::my_button, "MIDDLE"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Middle),
                 InputEvent::Up(MouseButton::Middle)})}},
        {"click at, RIGHT", With(clickAt, &ActionSettings::my_button, "RIGHT"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::Right),
                 InputEvent::Up(MouseButton::Right)})}},
        {"click at, X1", With(clickAt, &ActionSettings::my_button, "X1"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::X1), InputEvent::Up(MouseButton::X1)})}},
        {"click at, X2", With(clickAt, &ActionSettings::my_button, "X2"),
         {Batch({InputEvent::MoveTo(100, -200), InputEvent::Down(MouseButton::X2), InputEvent::Up(MouseButton::X2)})}},
        {"click at, a button that is none", With(clickAt, &ActionSettings::my_button, "left"), {}},
    };
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.name);
        recording::SetCursor(7, 8);
        // Passes do not apply: as many repeats as a key may have change nothing.
        EXPECT_EQ(Press(With(c.settings, &ActionSettings::my_repeat_loops, "3")), c.expected);
        // Four passes would wait four times; a loaded machine is far quicker than that.
        EXPECT_LT(MillisecondsBetween(started, finished), 4 * kPassWaitMs);
    }
}

TEST_F(KeyPressTest, ClickAtStaysWhereItClickedWhenThePointerCannotBeRead) {
    recording::SetGetCursorPosFails(true);
    EXPECT_EQ(Press(With(Settings("MOUSE_CLICK_AT", "3", "4"), &ActionSettings::my_return, "1")),
              (std::vector<Injected>{Batch({InputEvent::MoveTo(3, 4), InputEvent::Down(MouseButton::Left),
                                            InputEvent::Up(MouseButton::Left)})}));
}

// Keys set up before the newer members existed: every call, reads included,
// is what it was, through the same dispatch as the newer commands. (Whether
// input can reach the foreground window is asked before every press.)
TEST_F(KeyPressTest, SettingsWithoutTheNewerMembersActAsBefore) {
    recording::SetScreenSize(1365, 767);
    const PressCase cases[] = {
        {"place", Settings("MOUSE_CURSOR_POS", "-10", "20"), {{"SetCursorPos", {-10, 20}}}},
        {"centre",
         Settings("MOUSE_CURSOR_RESET"),
         {{"GetSystemMetrics", {SM_CXSCREEN}}, {"GetSystemMetrics", {SM_CYSCREEN}}, {"SetCursorPos", {682, 383}}}},
        {"click", Settings("MOUSE_LEFT_CLICK"),
         {{"mouse_event", {MOUSEEVENTF_LEFTDOWN, 0}}, {"mouse_event", {MOUSEEVENTF_LEFTUP, 0}}}},
        {"wheel, its part of a notch ended with it", Settings("MOUSE_WHEEL_DOWN"),
         {{"mouse_event", {MOUSEEVENTF_WHEEL, 120}}, {"EndWheelInput", {}}}},
    };
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto calls = PressAllCalls(c.settings);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().what, "IsForegroundWindowElevated");
        calls.erase(calls.begin());
        EXPECT_EQ(Describe(calls), c.expected);
        EXPECT_GE(MillisecondsBetween(started, finished), kPassWaitMs) << "the pass wait went missing";
        const ActiveMouseCommand active = GetActiveMouseCommand();
        EXPECT_EQ(active.accelPercent, 0);
        EXPECT_FALSE(active.relative);
        EXPECT_FALSE(active.returnPointer);
        EXPECT_EQ(active.monitor, "");
    }
    EXPECT_TRUE(feedback.Take().empty());
}

TEST_F(KeyPressTest, NewerNumbersFollowTheRulesOfTheOthers) {
    struct AccelCase {
        std::string text;
        std::int32_t percent;
    };
    const AccelCase cases[] = {{"", 0}, {"50", 50}, {" 250%", 250}, {"-30", 0}, {"0", 0}};
    for (const AccelCase& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        LoadActiveMouseCommand(With(Settings("MOUSE_WHEEL_HOLD"), &ActionSettings::my_accel, c.text));
        EXPECT_EQ(GetActiveMouseCommand().accelPercent, c.percent);
    }
    // A text that is no number drops the press, as "my_sleep" would.
    EXPECT_THROW(LoadActiveMouseCommand(With(Settings("MOUSE_WHEEL_HOLD"), &ActionSettings::my_accel, "fast")),
                 std::invalid_argument);
    LoadActiveMouseCommand(With(With(Settings("MOUSE_CURSOR_MOVE"), &ActionSettings::my_relative, "1"),
                                &ActionSettings::my_monitor, "cursor"));
    EXPECT_TRUE(GetActiveMouseCommand().relative);
    EXPECT_EQ(GetActiveMouseCommand().monitor, "cursor");
}

TEST(DoubleClickTiming, BothClicksFitInsideFourFifthsOfTheDoubleClickTime) {
    struct FitCase {
        int pauseMs;
        int doubleClickMs;
        DoubleClickTiming expected;
    };
    const FitCase cases[] = {
        {50, 500, {50, kDoubleClickGapMs}},     // as asked
        {1000, 500, {380, kDoubleClickGapMs}},  // cut to 400 - gap
        {200, 100, {60, kDoubleClickGapMs}},    // X11's 100 ms
        {0, 100, {0, kDoubleClickGapMs}},
        {-5, 500, {0, kDoubleClickGapMs}},
        {30, 20, {0, 16}},  // too short even for the gap: all of it is the gap
        {30, 0, {0, 0}},
        {30, -1, {0, 0}},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.pauseMs) + " ms in " + std::to_string(c.doubleClickMs) + " ms");
        const DoubleClickTiming timing = FitDoubleClick(c.pauseMs, c.doubleClickMs);
        EXPECT_EQ(timing.pressMs, c.expected.pressMs);
        EXPECT_EQ(timing.gapMs, c.expected.gapMs);
    }
}

TEST_F(KeyPressTest, DoubleClickPressesLastMySleepAndTheSecondComesInTime) {
    struct TimedCase {
        std::string sleep;
        int doubleClickMs;
        int pressMs;
    };
    const TimedCase cases[] = {{"50", 500, 50}, {"1000", 500, 380}, {"200", 100, 60}};
    for (const TimedCase& c : cases) {
        SCOPED_TRACE(c.sleep + " ms in " + std::to_string(c.doubleClickMs) + " ms");
        recording::SetDoubleClickTime(c.doubleClickMs);
        const auto calls = PressCalls(With(Settings("MOUSE_LEFT_DOUBLE_CLICK"), &ActionSettings::my_sleep, c.sleep));
        ASSERT_EQ(calls.size(), 4u);
        for (const std::size_t down : {0u, 2u}) {
            const long long pressed = MillisecondsBetween(calls[down].time, calls[down + 1].time);
            EXPECT_GE(pressed, c.pressMs);
            EXPECT_LT(pressed, c.pressMs + 15);
        }
        EXPECT_GE(MillisecondsBetween(calls[1].time, calls[2].time), kDoubleClickGapMs);
        EXPECT_LT(MillisecondsBetween(calls[0].time, calls[2].time), c.doubleClickMs) << "no double-click any more";
    }
}

TEST_F(KeyPressTest, StopDuringADoubleClickLetsTheButtonGoAtOnce) {
    recording::SetDoubleClickTime(5000);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.Request();
    });
    const auto injected = Press(With(Settings("MOUSE_RIGHT_DOUBLE_CLICK"), &ActionSettings::my_sleep, "3000"));
    stopper.join();
    EXPECT_EQ(injected, (std::vector<Injected>{Batch({InputEvent::Down(MouseButton::Right)}),
                                               Batch({InputEvent::Up(MouseButton::Right)})}));
    EXPECT_LT(MillisecondsBetween(started, finished), 200);
    EndInput();
    EXPECT_TRUE(TakeInputCalls().empty()) << "nothing left for the end of input";
}

TEST_F(KeyPressTest, ToggleKeepsItsButtonDownUntilItsKeyIsPressedAgain) {
    const auto left = Settings("MOUSE_LEFT_TOGGLE");
    const auto right = Settings("MOUSE_RIGHT_TOGGLE");
    const auto middle = Settings("MOUSE_MIDDLE_TOGGLE");
    EXPECT_EQ(Press(left, "a"), std::vector<Injected>{Batch({InputEvent::Down(MouseButton::Left)})});
    EXPECT_EQ(Press(middle, "b"), std::vector<Injected>{Batch({InputEvent::Down(MouseButton::Middle)})});
    EXPECT_EQ(feedback.Take(), (std::vector<std::string>{"held a", "held b"}));
    // Key a now set to another button: it lets go of the one it pressed.
    EXPECT_EQ(Press(right, "a"), std::vector<Injected>{Batch({InputEvent::Up(MouseButton::Left)})});
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"own a"});
    EXPECT_EQ(Press(right, "a"), std::vector<Injected>{Batch({InputEvent::Down(MouseButton::Right)})});
    EXPECT_EQ(Press(middle, "b"), std::vector<Injected>{Batch({InputEvent::Up(MouseButton::Middle)})});
    EXPECT_EQ(feedback.Take(), (std::vector<std::string>{"held a", "own b"}));
    EXPECT_LT(MillisecondsBetween(started, finished), kPassWaitMs);
    EXPECT_TRUE(IsToggleCommand("MOUSE_MIDDLE_TOGGLE"));
    EXPECT_FALSE(IsToggleCommand("MOUSE_LEFT_DOUBLE_CLICK"));
    EXPECT_FALSE(IsToggleCommand("MOUSE_LEFT_DOWN"));
}

TEST_F(KeyPressTest, TogglesLetGoWhenTheirKeyOrDeviceGoes) {
    Press(Settings("MOUSE_LEFT_TOGGLE"), "a", "deck 1");
    Press(Settings("MOUSE_RIGHT_TOGGLE"), "b", "deck 1");
    Press(Settings("MOUSE_MIDDLE_TOGGLE"), "c", "deck 2");
    feedback.Take();

    toggles.ReleaseKey("a");
    toggles.ReleaseKey("a");
    toggles.ReleaseKey("never pressed");
    EXPECT_EQ(Describe(TakeInputCalls()), std::vector<Injected>{Batch({InputEvent::Up(MouseButton::Left)})});
    toggles.ReleaseDevice("deck 2");
    toggles.ReleaseDevice("deck 3");
    EXPECT_EQ(Describe(TakeInputCalls()), std::vector<Injected>{Batch({InputEvent::Up(MouseButton::Middle)})});
    EXPECT_TRUE(feedback.Take().empty()) << "the keys are gone: no image";
    // The next press of a key that went is a first press again.
    EXPECT_EQ(Press(Settings("MOUSE_LEFT_TOGGLE"), "a", "deck 1"),
              std::vector<Injected>{Batch({InputEvent::Down(MouseButton::Left)})});

    EndInput();
    EXPECT_EQ(Describe(TakeInputCalls()), (std::vector<Injected>{{"mouse_event", {MOUSEEVENTF_LEFTUP, 0}},
                                                                 {"mouse_event", {MOUSEEVENTF_RIGHTUP, 0}}}));
}

TEST_F(KeyPressTest, ElevatedForegroundShowsTheAlertAndSendsAllTheSame) {
    recording::SetForegroundWindowElevated(true);
    const std::string log = ConsoleOutputOf([&] {
        EXPECT_EQ(Press(Settings("MOUSE_CURSOR_NUDGE", "1", "0"), "nudge"),
                  std::vector<Injected>{Batch({InputEvent::MoveBy(1, 0)})});
        EXPECT_EQ(Press(Settings("MOUSE_LEFT_DOWN"), "down"),
                  (std::vector<Injected>{{"mouse_event", {MOUSEEVENTF_LEFTDOWN, 0}}}));
    });
    EXPECT_EQ(feedback.Take(), (std::vector<std::string>{"alert nudge", "alert down"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("administrator"), std::string::npos) << log;

    recording::SetForegroundWindowElevated(false);
    Press(Settings("MOUSE_CURSOR_NUDGE", "1", "0"), "nudge");
    EXPECT_TRUE(feedback.Take().empty());
}

ActionSettings SlotSettings(const std::string& command, const std::string& slot, const std::string& modifiers = "") {
    return With(With(Settings(command), &ActionSettings::my_slot, slot), &ActionSettings::my_modifiers, modifiers);
}

TEST_F(KeyPressTest, PositionSaveStoresWhereThePointerIsAndRestorePutsItBack) {
    using nlohmann::json;
    positions.Receive(json::object());
    recording::SetCursor(120, 45);
    EXPECT_EQ(Press(SlotSettings("MOUSE_POS_SAVE", "4")), std::vector<Injected>{});
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], json::parse(R"({"slots":{"4":{"x":120,"y":45}}})"));
    recording::SetCursor(0, 0);
    EXPECT_EQ(Press(SlotSettings("MOUSE_POS_RESTORE", "4")), std::vector<Injected>{Batch({InputEvent::MoveTo(120, 45)})});
    // An empty slot member is slot 1.
    Press(SlotSettings("MOUSE_POS_SAVE", ""));
    EXPECT_EQ(stored.back()["slots"]["1"], json::parse(R"({"x":120,"y":45})"));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{});
}

TEST_F(KeyPressTest, PositionRestoreTakesTheKeysModifiersInItsBatch) {
    positions.Receive(nlohmann::json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    EXPECT_EQ(Press(SlotSettings("MOUSE_POS_RESTORE", "1", "ALT")),
              std::vector<Injected>{Batch({InputEvent::Press(ModifierKey::Alt), InputEvent::MoveTo(1, 2),
                                           InputEvent::Release(ModifierKey::Alt)})});
}

TEST_F(KeyPressTest, RestoringAnEmptySlotShowsTheAlert) {
    EXPECT_EQ(Press(SlotSettings("MOUSE_POS_RESTORE", "2")), std::vector<Injected>{});
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"alert key"});
}

TEST_F(KeyPressTest, ASaveThatWouldOverwriteGlobalSettingsUnseenShowsTheAlertAndSaysWhy) {
    const struct {
        const char* name;
        std::optional<nlohmann::json> answer;  // what the host answers before the press; nothing: no answer yet
        const char* why;
    } cases[] = {
        {"no answer yet", std::nullopt, "did not send the plugin's global settings within"},
        {"settings that are no object", nlohmann::json::array(), "global settings could not be read"},
        {"a message that could not be read", nlohmann::json(nullptr), "global settings could not be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.answer) positions.Receive(*c.answer);
        const std::string log = ConsoleOutputOf([&] { Press(SlotSettings("MOUSE_POS_SAVE", "1")); });
        EXPECT_TRUE(stored.empty());
        EXPECT_EQ(feedback.Take(), std::vector<std::string>{"alert key"});
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_NE(log.find(c.why), std::string::npos) << log;
    }
}

TEST_F(KeyPressTest, SavingWhereThePointerCannotBeReadShowsTheAlertAndStoresNothing) {
    positions.Receive(nlohmann::json::object());
    recording::SetCursorPosUnreadable(true);
    const std::string log = ConsoleOutputOf([&] { Press(SlotSettings("MOUSE_POS_SAVE", "1")); });
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"alert key"});
    EXPECT_NE(log.find("MOUSE_POS_SAVE saves nothing"), std::string::npos) << log;
}

TEST_F(KeyPressTest, ASlotThatIsNoneDoesNothingButLog) {
    positions.Receive(nlohmann::json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    for (const char* command : {"MOUSE_POS_SAVE", "MOUSE_POS_RESTORE"}) {
        SCOPED_TRACE(command);
        std::vector<Injected> input;
        const std::string log = ConsoleOutputOf([&] { input = Press(SlotSettings(command, "10")); });
        EXPECT_EQ(input, std::vector<Injected>{});
        EXPECT_NE(log.find("No slot \"10\""), std::string::npos) << log;
    }
    EXPECT_TRUE(stored.empty());
}

}  // namespace
