#include "host/ESDConnectionManager.h"
#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/MouseInjection.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace platform;
using nlohmann::json;

namespace {

json Appearance(const std::string& command) {
    return {{"settings",
             {{"my_mouse_event", command}, {"my_sleep", "10"}, {"my_offset_x", "0"}, {"my_offset_y", "0"},
              {"my_wheel", "120"}, {"my_repeat_loops", "0"}}}};
}

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }
Injected Up(MouseButton button) { return Batch({InputEvent::Up(button)}); }
Injected Down(MouseButton button) { return Batch({InputEvent::Down(button)}); }

// What a key holds down, or keeps doing while held, ends with the key, its
// device or the plugin, whatever the host fails to send.
class PluginHeldInputTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        plugin.SetConnectionManager(&connection);
    }

    // The connection goes first, and a toggle's press would still hand it an image.
    void TearDown() override { plugin.StopKeyCommands(); }

    void Appear(const std::string& context, const std::string& command) {
        plugin.OnWillAppear("", context, Appearance(command), "deck 1");
    }

    std::vector<Injected> Settle() {
        plugin.WaitForKeyCommands();
        return Describe(TakeInputCalls());
    }

    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
};

TEST_F(PluginHeldInputTest, ToggleLetsGoWhenItsKeyDisappearsNotWhenAKeyComesUp) {
    Appear("toggle", "MOUSE_LEFT_TOGGLE");
    Appear("other", "MOUSE_RIGHT_TOGGLE");
    plugin.OnKeyDown("", "toggle", json(), "deck 1");
    plugin.OnKeyUp("", "toggle", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Down(MouseButton::Left)});
    plugin.OnWillDisappear("", "other", json(), "deck 1");
    EXPECT_TRUE(Settle().empty()) << "another key went";
    plugin.OnWillDisappear("", "toggle", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Up(MouseButton::Left)});
    plugin.OnWillDisappear("", "toggle", json(), "deck 1");
    EXPECT_TRUE(Settle().empty()) << "released twice";
}

TEST_F(PluginHeldInputTest, UnpluggedDeviceLetsGoOfItsTogglesOnly) {
    Appear("left", "MOUSE_LEFT_TOGGLE");
    Appear("middle", "MOUSE_MIDDLE_TOGGLE");
    plugin.OnKeyDown("", "left", json(), "deck 1");
    plugin.OnKeyDown("", "middle", json(), "deck 2");
    EXPECT_EQ(Settle(), (std::vector<Injected>{Down(MouseButton::Left), Down(MouseButton::Middle)}));
    plugin.OnDeviceDidDisconnect("deck 2");
    EXPECT_EQ(Settle(), std::vector<Injected>{Up(MouseButton::Middle)});
    plugin.OnDeviceDidDisconnect("deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Up(MouseButton::Left)});
}

TEST_F(PluginHeldInputTest, TheEndLetsGoOfEveryToggle) {
    Appear("right", "MOUSE_RIGHT_TOGGLE");
    plugin.OnKeyDown("", "right", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Down(MouseButton::Right)});
    EndInput();
    EXPECT_EQ(Describe(TakeInputCalls()), (std::vector<Injected>{{"mouse_event", {MOUSEEVENTF_RIGHTUP, 0}}}));
}

// Two keys and a dial share the left button: it stays down until the last
// of them lets go, and a changed command ends its key's lock first.
TEST_F(PluginHeldInputTest, LocksAndDialPushesShareTheButton) {
    Appear("a", "MOUSE_LEFT_TOGGLE");
    Appear("b", "MOUSE_LEFT_TOGGLE");
    plugin.OnWillAppear(DialAction::kActionUuid, "dial", json{{"settings", json::object()}}, "deck 1");
    plugin.OnKeyDown("", "a", json(), "deck 1");
    plugin.OnKeyDown("", "b", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Down(MouseButton::Left)});
    plugin.OnKeyDown("", "a", json(), "deck 1");
    EXPECT_TRUE(Settle().empty()) << "key b still locks it";
    plugin.OnDialDown(DialAction::kActionUuid, "dial", json(), "deck 1");
    plugin.OnSendToPlugin("", "b", json{{"my_mouse_event", "MOUSE_RIGHT_TOGGLE"}}, "deck 1");
    EXPECT_TRUE(Settle().empty()) << "the dial still holds it";
    plugin.OnKeyDown("", "b", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Down(MouseButton::Right)}) << "a new lock, not the end of the old";
    plugin.OnDialUp(DialAction::kActionUuid, "dial", json(), "deck 1");
    EXPECT_EQ(Settle(), std::vector<Injected>{Up(MouseButton::Left)});
}

TEST_F(PluginHeldInputTest, HeldWheelStopsAtReleaseDisappearanceAndUnplugging) {
    Appear("wheel", "MOUSE_WHEEL_HOLD");
    plugin.UpdateKeyImage("wheel");  // starts the worker, as an appearance does
    const std::function<void()> ends[] = {
        [&] { plugin.OnKeyUp("", "wheel", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.OnWillDisappear("", "wheel", json(), "deck 1"); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        plugin.OnKeyDown("", "wheel", json(), "deck 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        ends[i]();
        plugin.WaitForKeyCommands();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto steps = TakeInputCalls();
        EXPECT_GE(steps.size(), 2u);
        for (const auto& step : steps) EXPECT_EQ(step.events, std::vector<InputEvent>{InputEvent::Wheel(120)});
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        EXPECT_TRUE(TakeInputCalls().empty()) << "the wheel kept turning";
    }
}

// A tap whose release comes before the worker's first step still steps
// once, and once only, also when the release came while the press was queued.
TEST_F(PluginHeldInputTest, TapOfAHeldWheelStepsOnce) {
    // A step every 5 s: a second one within the test would be a fault, not a slow release.
    json wheel = Appearance("MOUSE_WHEEL_HOLD");
    wheel["settings"]["my_sleep"] = "5000";
    plugin.OnWillAppear("", "wheel", wheel, "deck 1");
    Appear("slow", "MOUSE_LEFT_CLICK");
    const std::function<void()> taps[] = {
        [&] {},
        [&] { plugin.OnKeyDown("", "slow", json(), "deck 1"); },  // the wheel's press waits behind a click
    };
    for (std::size_t i = 0; i < std::size(taps); ++i) {
        SCOPED_TRACE("tap " + std::to_string(i));
        taps[i]();
        plugin.OnKeyDown("", "wheel", json(), "deck 1");
        plugin.OnKeyUp("", "wheel", json(), "deck 1");
        plugin.WaitForKeyCommands();
        std::vector<recording::Call> wheels;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (wheels.empty() && std::chrono::steady_clock::now() < deadline) {
            for (auto& call : TakeInputCalls()) {
                if (call.what == "SendInput") wheels.push_back(std::move(call));
            }
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        for (auto& call : TakeInputCalls()) {
            if (call.what == "SendInput") wheels.push_back(std::move(call));
        }
        ASSERT_EQ(wheels.size(), 1u);
        EXPECT_EQ(wheels[0].events, std::vector<InputEvent>{InputEvent::Wheel(120)});
    }
}

}  // namespace

namespace {

json Autoclick(const std::string& command, const std::string& sleep) {
    json appearance = Appearance(command);
    appearance["settings"]["my_sleep"] = sleep;
    appearance["settings"]["my_button"] = "RIGHT";
    return appearance;
}

const std::vector<InputEvent> kRightClick = {InputEvent::Down(MouseButton::Right), InputEvent::Up(MouseButton::Right)};

// Nothing more comes within three periods: a click in progress has ended by then.
void ExpectNoMoreClicks(int periodMs) {
    WaitForInput(1, std::chrono::milliseconds(periodMs * 3));
    EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(periodMs * 3)).empty()) << "clicks after the end";
}

TEST_F(PluginHeldInputTest, AutoclickHoldStopsAtReleaseDisappearanceAndUnplugging) {
    plugin.OnWillAppear("", "auto", Autoclick("MOUSE_AUTOCLICK_HOLD", "10"), "deck 1");
    plugin.UpdateKeyImage("auto");  // starts the worker, as an appearance does
    const std::function<void()> ends[] = {
        [&] { plugin.OnKeyUp("", "auto", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.OnWillDisappear("", "auto", json(), "deck 1"); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        plugin.OnKeyDown("", "auto", json(), "deck 1");
        const auto clicks = WaitForInput(3, std::chrono::seconds(5));
        ends[i]();
        ASSERT_EQ(clicks.size(), 3u);
        for (const auto& click : clicks) EXPECT_EQ(click.events, kRightClick);
        ExpectNoMoreClicks(10);
    }
}

// The toggle clicks on its own thread: other keys' presses take effect
// meanwhile, and a release does not stop it; its key's disappearance, its
// device's end and the plugin's do.
TEST_F(PluginHeldInputTest, AutoclickToggleRunsBesideOtherKeysUntilItsKeyDeviceOrThePluginEnds) {
    Appear("click", "MOUSE_LEFT_CLICK");
    const std::function<void()> ends[] = {
        [&] { plugin.OnWillDisappear("", "auto", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.StopKeyCommands(); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        plugin.OnWillAppear("", "auto", Autoclick("MOUSE_AUTOCLICK_TOGGLE", "20"), "deck 1");
        plugin.OnKeyDown("", "auto", json(), "deck 1");
        plugin.OnKeyUp("", "auto", json(), "deck 1");
        ASSERT_EQ(WaitForInput(1, std::chrono::seconds(5)).size(), 1u);
        if (i == 0) {
            plugin.OnKeyDown("", "click", json(), "deck 1");
            plugin.WaitForKeyCommands();
            const auto calls = TakeInputCalls();
            const bool clicked = std::any_of(calls.begin(), calls.end(), [](const recording::Call& call) {
                return call.what == "mouse_event" && call.args == std::vector<std::int64_t>{MOUSEEVENTF_LEFTDOWN, 0};
            });
            EXPECT_TRUE(clicked) << "the other key's press waited";
        }
        EXPECT_GE(WaitForInput(2, std::chrono::seconds(5)).size(), 2u) << "stopped too early";
        ends[i]();
        EXPECT_TRUE(TakeInputCalls().empty()) << "a click after the end";
    }
}

// A page switch leaves the jiggler on; its device's end stops it. (Its
// period is seen end to end, where waiting 5 s is worth it.)
TEST_F(PluginHeldInputTest, JigglerOutlivesItsKeyUntilItsDeviceGoes) {
    json jiggle = Appearance("MOUSE_JIGGLE_TOGGLE");
    jiggle["settings"]["my_sleep"] = "5";
    plugin.OnWillAppear("", "jiggle", jiggle, "deck 1");
    plugin.OnKeyDown("", "jiggle", json(), "deck 1");
    plugin.OnKeyUp("", "jiggle", json(), "deck 1");
    plugin.WaitForKeyCommands();  // a press still queued would go with its key
    plugin.OnWillDisappear("", "jiggle", json(), "deck 1");
    const std::vector<InputEvent> step = {InputEvent::MoveBy(1, 0), InputEvent::MoveBy(-1, 0)};
    const auto first = WaitForInput(1, std::chrono::seconds(5));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].events, step);
    EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(200)).empty()) << "the next one is due in 5 s";
    plugin.OnDeviceDidDisconnect("deck 2");
    plugin.OnDeviceDidDisconnect("deck 1");
    EXPECT_TRUE(TakeInputCalls().empty());
}

// A key whose "my_sleep" is no number starts nothing; a changed command ends
// what the old one kept on.
TEST_F(PluginHeldInputTest, AutoclickToggleWithAnUnreadablePeriodOrAChangedCommand) {
    plugin.OnWillAppear("", "auto", Autoclick("MOUSE_AUTOCLICK_TOGGLE", "fast"), "deck 1");
    plugin.OnKeyDown("", "auto", json(), "deck 1");
    EXPECT_TRUE(Settle().empty());
    plugin.OnSendToPlugin("", "auto", json{{"my_sleep", "20"}}, "deck 1");
    plugin.OnKeyDown("", "auto", json(), "deck 1");
    EXPECT_EQ(WaitForInput(1, std::chrono::seconds(5)).size(), 1u);
    plugin.OnSendToPlugin("", "auto", json{{"my_mouse_event", "MOUSE_LEFT_CLICK"}}, "deck 1");
    EXPECT_TRUE(TakeInputCalls().empty()) << "a click after the command changed";
}

}  // namespace
