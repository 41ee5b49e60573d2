#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/Autoclick.h"
#include "plugin/key/commands/JiggleToggle.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "plugin/SavedPositions.h"
#include "plugin/StopSignal.h"
#include "ConsoleCapture.h"
#include "KeySettings.h"
#include "KeyPressParts.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>

using namespace platform;

namespace {

ActionSettings Settings(const std::string& command, const std::string& sleep, const std::string& button = "") {
    ActionSettings settings = KeySettings(command, sleep);
    settings.my_button = button;
    return settings;
}

std::vector<InputEvent> ClickOf(MouseButton button) { return {InputEvent::Down(button), InputEvent::Up(button)}; }

const std::vector<InputEvent> kJiggle = {InputEvent::MoveBy(1, 0), InputEvent::MoveBy(-1, 0)};

// The mean time between the calls, in ms.
double MeanPeriodMs(const std::vector<recording::Call>& calls) {
    return static_cast<double>(MillisecondsBetween(calls.front().time, calls.back().time)) / (calls.size() - 1);
}

class AutoclickJiggleTest : public testing::Test, protected KeyPressParts {
protected:
    void SetUp() override {
        recording::Reset();
    }
    void TearDown() override { ongoing.EndAll(); }

    // A press as the plugin makes it, its key down.
    void Press(const ActionSettings& settings, const std::string& context = "key",
               const std::string& device = "deck") {
        ongoing.runs.KeyWentDown(context, device);
        LoadActiveMouseCommand(settings, context);
        Perform(context, device);
    }
};

TEST(AutoclickRate, ButtonAndPeriodFromTheSettings) {
    struct Case {
        std::string sleep;
        std::string button;
        MouseButton expectedButton;
        int periodMs;
    };
    const Case cases[] = {
        {"50", "", MouseButton::Left, 50},      {"50", "LEFT", MouseButton::Left, 50},
        {"25", "MIDDLE", MouseButton::Middle, 25}, {"10", "RIGHT", MouseButton::Right, 10},
        {"9", "X1", MouseButton::X1, 10},       {"0", "X2", MouseButton::X2, 10},
        {"-30", "", MouseButton::Left, 10},     {" 1000ms", "", MouseButton::Left, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.sleep + "\" \"" + c.button + "\"");
        LoadActiveMouseCommand(Settings("MOUSE_AUTOCLICK_TOGGLE", c.sleep, c.button));
        const std::optional<AutoclickRate> rate = AutoclickRateOf(GetActiveMouseCommand());
        ASSERT_TRUE(rate);
        EXPECT_EQ(rate->button, c.expectedButton);
        EXPECT_EQ(rate->periodMs, c.periodMs);
    }
    LoadActiveMouseCommand(Settings("MOUSE_AUTOCLICK_HOLD", "50", "left"));
    std::optional<AutoclickRate> rate;
    const std::string log = ConsoleOutputOf([&] { rate = AutoclickRateOf(GetActiveMouseCommand()); });
    EXPECT_FALSE(rate);
    EXPECT_NE(log.find("No button \"left\": MOUSE_AUTOCLICK_HOLD does nothing"), std::string::npos) << log;
}

// The jiggler's "my_sleep" counts seconds and may be empty; for every other
// command an empty or unreadable number still drops the press.
TEST(JigglePeriod, SecondsWithADefaultAndAShortest) {
    struct Case {
        std::string sleep;
        int periodMs;
    };
    const Case cases[] = {{"", 60000}, {"60", 60000}, {"5", 5000}, {"4", 5000}, {"0", 5000},
                          {"-10", 5000}, {"300", 300000}, {"2147483647", 2147483000}};
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.sleep + "\"");
        LoadActiveMouseCommand(Settings(kJiggleCommand, c.sleep));
        EXPECT_EQ(JigglePeriodMs(GetActiveMouseCommand().pauseMs), c.periodMs);
    }
    EXPECT_THROW(LoadActiveMouseCommand(Settings(kJiggleCommand, "often")), std::invalid_argument);
    EXPECT_THROW(LoadActiveMouseCommand(Settings("MOUSE_AUTOCLICK_TOGGLE", "")), std::invalid_argument);
    EXPECT_THROW(LoadActiveMouseCommand(Settings("MOUSE_AUTOCLICK_HOLD", "")), std::invalid_argument);
}

// Each command clicks at once, one batch at a time, never faster than the
// rate it was given, and not once after its end: 20 steps measured, with
// bounds a loaded machine keeps (how soon and how steady is the benchmark's).
TEST_F(AutoclickJiggleTest, EachCommandStepsAtOnceThenAtItsRate) {
    struct Case {
        ActionSettings settings;
        std::vector<InputEvent> step;
        int periodMs;
    };
    const Case cases[] = {
        {Settings("MOUSE_AUTOCLICK_HOLD", "20", "RIGHT"), ClickOf(MouseButton::Right), 20},
        {Settings("MOUSE_AUTOCLICK_HOLD", "3", "X2"), ClickOf(MouseButton::X2), 10},
        {Settings("MOUSE_AUTOCLICK_TOGGLE", "20", ""), ClickOf(MouseButton::Left), 20},
        {Settings("MOUSE_AUTOCLICK_TOGGLE", "0", "MIDDLE"), ClickOf(MouseButton::Middle), 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.my_mouse_event + " every " + c.settings.my_sleep);
        Press(c.settings);
        const auto calls = WaitForInput(20, std::chrono::seconds(60));
        // The end: a release, or the toggle's second press.
        ongoing.runs.KeyWentUp("key");
        ongoing.runs.StopKey("key");
        ASSERT_GE(calls.size(), 20u);
        for (const auto& call : calls) EXPECT_EQ(call.events, c.step);
        // Each step is timed from the start of the one before, so a step that
        // came late (a loaded or emulated machine) shortens the next gap by as
        // much: half a period still catches a wait that was skipped.
        for (std::size_t i = 1; i < calls.size(); ++i) {
            EXPECT_GE(MillisecondsBetween(calls[i - 1].time, calls[i].time), c.periodMs / 2) << "click " << i;
        }
        // Over the run, no faster than asked: only the first step's lateness counts, spread over 19 gaps.
        EXPECT_GE(MeanPeriodMs(calls), c.periodMs - 1.0);
        // The end returns once a click in progress completed; after it, none.
        TakeInputCalls();
        EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(c.periodMs * 3)).empty()) << "clicks after the end";
    }
}

TEST_F(AutoclickJiggleTest, AutoclickWithoutAButtonClicksNothing) {
    for (const char* command : {"MOUSE_AUTOCLICK_HOLD", "MOUSE_AUTOCLICK_TOGGLE"}) {
        SCOPED_TRACE(command);
        const std::string log = ConsoleOutputOf([&] { Press(Settings(command, "10", "BACK")); });
        EXPECT_NE(log.find("No button \"BACK\""), std::string::npos) << log;
        EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(100)).empty());
        EXPECT_FALSE(ongoing.ShowsHeld("key"));
        ongoing.runs.KeyWentUp("key");
    }
    EXPECT_TRUE(feedback.Take().empty());
}

// The modifiers come with each click, in its batch, so that the keyboard is
// the user's between clicks; the jiggler takes none.
TEST_F(AutoclickJiggleTest, ModifiersAroundEachClickAndNoneForTheJiggler) {
    const InputEvent pressCtrl = InputEvent::Press(ModifierKey::Ctrl);
    const InputEvent releaseCtrl = InputEvent::Release(ModifierKey::Ctrl);
    const InputEvent pressShift = InputEvent::Press(ModifierKey::Shift);
    const InputEvent releaseShift = InputEvent::Release(ModifierKey::Shift);
    struct Case {
        std::string command;
        std::string modifiers;
        std::vector<InputEvent> step;
    };
    const Case cases[] = {
        {"MOUSE_AUTOCLICK_HOLD", "CTRL",
         {pressCtrl, InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left), releaseCtrl}},
        {"MOUSE_AUTOCLICK_TOGGLE", "SHIFT+CTRL",
         {pressCtrl, pressShift, InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left),
          releaseShift, releaseCtrl}},
        {kJiggleCommand, "CTRL", kJiggle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ActionSettings settings = Settings(c.command, "10");
        settings.my_modifiers = c.modifiers;
        Press(settings);
        const auto calls = WaitForInput(3, std::chrono::seconds(c.command == kJiggleCommand ? 1 : 30));
        ongoing.runs.KeyWentUp("key");
        ongoing.EndAll();
        ASSERT_FALSE(calls.empty());
        for (const auto& call : calls) EXPECT_EQ(call.events, c.step);
        TakeInputCalls();
        EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(30)).empty()) << "input after the end";
    }
}

// The toggle's second press stops it at once and the key's image follows;
// several keys click on their own, each ended by what concerns it.
TEST_F(AutoclickJiggleTest, AutoclickTogglesStartStopAndEndWithTheirKeyOrDevice) {
    const ActionSettings slow = Settings("MOUSE_AUTOCLICK_TOGGLE", "100000");
    Press(slow, "a", "deck 1");
    EXPECT_EQ(WaitForInput(1, std::chrono::seconds(5)).size(), 1u);
    EXPECT_TRUE(ongoing.ShowsHeld("a"));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"held a"});
    Press(slow, "a", "deck 1");
    EXPECT_FALSE(ongoing.ShowsHeld("a"));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"own a"});
    EXPECT_TRUE(TakeInputCalls().empty());

    Press(slow, "a", "deck 1");
    Press(slow, "b", "deck 1");
    Press(slow, "c", "deck 2");
    EXPECT_EQ(WaitForInput(3, std::chrono::seconds(5)).size(), 3u);
    ongoing.runs.KeyWentUp("a");
    EXPECT_TRUE(ongoing.ShowsHeld("a")) << "a release does not stop a toggle";
    ongoing.KeyGone("a");
    EXPECT_FALSE(ongoing.ShowsHeld("a"));
    EXPECT_TRUE(ongoing.ShowsHeld("b"));
    ongoing.DeviceGone("deck 1");
    EXPECT_FALSE(ongoing.ShowsHeld("b"));
    EXPECT_TRUE(ongoing.ShowsHeld("c"));
    ongoing.EndAll();
    EXPECT_FALSE(ongoing.ShowsHeld("c"));
    EXPECT_TRUE(TakeInputCalls().empty());
}

// One jiggler at most; it outlives its key's disappearance and ends with the
// next press of its key, its device, a changed command or the plugin.
TEST_F(AutoclickJiggleTest, OneJigglerAtATime) {
    const ActionSettings jiggle = Settings(kJiggleCommand, "");
    Press(jiggle, "a", "deck 1");
    // At once, not a minute later.
    EXPECT_EQ(Describe(WaitForInput(1, std::chrono::seconds(5))), (std::vector<Injected>{{"SendInput", {}, kJiggle}}));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"held a"});

    Press(jiggle, "b", "deck 2");
    EXPECT_EQ(WaitForInput(1, std::chrono::seconds(5)).size(), 1u) << "b jiggles at once";
    EXPECT_EQ(feedback.Take(), (std::vector<std::string>{"own a", "held b"}));
    EXPECT_FALSE(ongoing.ShowsHeld("a"));
    EXPECT_TRUE(ongoing.ShowsHeld("b"));

    ongoing.KeyGone("b");
    EXPECT_TRUE(ongoing.ShowsHeld("b")) << "a page switch must not stop it";
    ongoing.DeviceGone("deck 1");
    EXPECT_TRUE(ongoing.ShowsHeld("b")) << "another device";
    Press(jiggle, "b", "deck 2");
    EXPECT_FALSE(ongoing.ShowsHeld("b"));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"own b"});

    const std::function<void()> ends[] = {
        [&] { ongoing.DeviceGone("deck 2"); },
        [&] { EXPECT_TRUE(ongoing.CommandChanged("b")); },
        [&] { ongoing.EndAll(); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        Press(jiggle, "b", "deck 2");
        EXPECT_EQ(WaitForInput(1, std::chrono::seconds(5)).size(), 1u);
        ends[i]();
        EXPECT_FALSE(ongoing.ShowsHeld("b"));
        EXPECT_TRUE(TakeInputCalls().empty());
    }
    EXPECT_FALSE(ongoing.CommandChanged("b")) << "nothing left to end";
}

// The key shows held while any of its lock, its autoclick or the jiggler is
// on, and only its own.
TEST_F(AutoclickJiggleTest, HeldImageTruth) {
    Press(Settings("MOUSE_LEFT_TOGGLE", "0"), "lock");
    Press(Settings("MOUSE_AUTOCLICK_TOGGLE", "100000"), "click");
    Press(Settings(kJiggleCommand, ""), "jiggle");
    Press(Settings("MOUSE_AUTOCLICK_HOLD", "100000"), "hold");
    ongoing.runs.KeyWentUp("hold");
    const std::pair<const char*, bool> expected[] = {
        {"lock", true}, {"click", true}, {"jiggle", true}, {"hold", false}, {"other", false}};
    for (const auto& [context, shows] : expected) EXPECT_EQ(ongoing.ShowsHeld(context), shows) << context;
    ongoing.KeyGone("lock");
    ongoing.KeyGone("click");
    ongoing.KeyGone("jiggle");
    EXPECT_FALSE(ongoing.ShowsHeld("lock"));
    EXPECT_FALSE(ongoing.ShowsHeld("click"));
    EXPECT_TRUE(ongoing.ShowsHeld("jiggle"));
}

}  // namespace
