#include "host/ESDConnectionManager.h"
#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/MouseInjection.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "ConsoleCapture.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

using namespace platform;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

json Appearance(const std::string& command) {
    return {{"settings",
             {{"my_mouse_event", command}, {"my_sleep", "10"}, {"my_offset_x", "0"}, {"my_offset_y", "0"},
              {"my_wheel", "120"}, {"my_repeat_loops", "0"}}}};
}

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }
Injected Up(MouseButton button) { return Batch({InputEvent::Up(button)}); }
Injected Down(MouseButton button) { return Batch({InputEvent::Down(button)}); }

// A key with "my_modifiers"; its moves are relative, by (3, 4).
json Appearance(const std::string& command, const std::string& modifiers, const std::string& sleepMs = "10") {
    json appearance = Appearance(command);
    appearance["settings"]["my_sleep"] = sleepMs;
    appearance["settings"]["my_offset_x"] = "3";
    appearance["settings"]["my_offset_y"] = "4";
    appearance["settings"]["my_relative"] = "1";
    appearance["settings"]["my_modifiers"] = modifiers;
    return appearance;
}


bool IsKey(const InputEvent& event) {
    return event.kind == InputEvent::Kind::KeyDown || event.kind == InputEvent::Kind::KeyUp;
}

// Every event the plugin injected through batches, in order.
std::vector<InputEvent> EventsOf(const std::vector<recording::Call>& calls) {
    std::vector<InputEvent> events;
    for (const auto& call : calls) events.insert(events.end(), call.events.begin(), call.events.end());
    return events;
}

std::vector<InputEvent> KeyEventsOf(const std::vector<InputEvent>& events) {
    std::vector<InputEvent> keys;
    std::copy_if(events.begin(), events.end(), std::back_inserter(keys), IsKey);
    return keys;
}

// What a key holds down, or keeps doing while held, ends with the key, its
// device or the plugin, whatever the host fails to send.
class PluginHeldInputTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
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
    const std::function<void()> ends[] = {
        [&] { plugin.OnKeyUp("", "wheel", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.OnWillDisappear("", "wheel", json(), "deck 1"); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        plugin.OnKeyDown("", "wheel", json(), "deck 1");
        auto steps = WaitForInput(2, std::chrono::seconds(30));
        ends[i]();
        ASSERT_GE(steps.size(), 2u);
        // The end returns once the step in progress is made: what came before it.
        for (auto& step : TakeInputCalls()) steps.push_back(std::move(step));
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

// The keys a command holds end with it as its buttons do.
class PluginModifiersTest : public PluginHeldInputTest {
protected:
    void Appear(const std::string& context, const json& appearance) {
        plugin.OnWillAppear("", context, appearance, "deck 1");
    }
    using PluginHeldInputTest::Appear;

    void Down(const std::string& context) { plugin.OnKeyDown("", context, json(), "deck 1"); }

    // Collects batches until `done` holds of the events so far, or 10 s pass.
    std::vector<InputEvent> EventsUntil(const std::function<bool(const std::vector<InputEvent>&)>& done) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        do {
            const auto calls = TakeInputCalls();
            const auto more = EventsOf(calls);
            seen.insert(seen.end(), more.begin(), more.end());
            if (done(seen)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (Clock::now() < deadline);
        std::vector<InputEvent> taken;
        taken.swap(seen);
        return taken;
    }

    std::vector<InputEvent> EventsUntilSeen(const InputEvent& last) {
        return EventsUntil([last](const std::vector<InputEvent>& events) {
            return std::find(events.begin(), events.end(), last) != events.end();
        });
    }

    std::vector<InputEvent> seen;
};

// A held wheel or move holds its keys while its key is held, from before its
// first step, and lets go of them however the hold ends.
TEST_F(PluginModifiersTest, HeldCommandsKeepTheirKeysUntilTheHoldEnds) {
    struct Ending {
        const char* name;
        std::function<void(MyStreamDeckPlugin&, const std::string&)> end;
    };
    const Ending endings[] = {
        {"key up", [](MyStreamDeckPlugin& p, const std::string& key) { p.OnKeyUp("", key, json(), "deck 1"); }},
        {"unplugged", [](MyStreamDeckPlugin& p, const std::string&) { p.OnDeviceDidDisconnect("deck 1"); }},
        {"gone", [](MyStreamDeckPlugin& p, const std::string& key) { p.OnWillDisappear("", key, json(), "deck 1"); }},
    };
    const struct {
        const char* command;
        InputEvent step;
    } commands[] = {{"MOUSE_WHEEL_HOLD", InputEvent::Wheel(120)}, {"MOUSE_CURSOR_MOVE", InputEvent::MoveBy(3, 4)}};
    for (const auto& command : commands) {
        for (const Ending& ending : endings) {
            SCOPED_TRACE(std::string(command.command) + ", " + ending.name);
            Appear("held", Appearance(command.command, "CTRL"));
            Down("held");
            // Two steps: the keys stay down between them.
            const auto steps = EventsUntil([&](const std::vector<InputEvent>& events) {
                return std::count(events.begin(), events.end(), command.step) >= 2;
            });
            ASSERT_GE(steps.size(), 3u);
            EXPECT_EQ(steps[0], kCtrl);
            EXPECT_EQ(KeyEventsOf(steps), std::vector<InputEvent>{kCtrl}) << "let go of while held";
            ending.end(plugin, "held");
            const auto rest = EventsUntilSeen(kCtrlUp);
            ASSERT_FALSE(rest.empty());
            EXPECT_EQ(KeyEventsOf(rest), std::vector<InputEvent>{kCtrlUp});
            EXPECT_EQ(rest.back(), kCtrlUp) << "a step after the release";
            EXPECT_FALSE(HeldInput().Holds(HeldCommandHolder("held")));
        }
    }
}

// A drag lock's keys come up with its button, whatever ends the lock.
TEST_F(PluginModifiersTest, ALocksKeysGoWithItsButtonEveryWayOut) {
    const std::function<void()> endings[] = {
        [&] { Down("lock"); },
        [&] { plugin.OnWillDisappear("", "lock", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.OnSendToPlugin("", "lock", json{{"my_mouse_event", "MOUSE_LEFT_CLICK"}}, "deck 1"); },
    };
    for (std::size_t i = 0; i < std::size(endings); ++i) {
        SCOPED_TRACE("ending " + std::to_string(i));
        Appear("lock", Appearance("MOUSE_LEFT_TOGGLE", "SHIFT"));
        Down("lock");
        plugin.WaitForKeyCommands();
        EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{kShift, InputEvent::Down(MouseButton::Left)}));
        endings[i]();
        plugin.WaitForKeyCommands();
        EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{InputEvent::Up(MouseButton::Left), kShiftUp}));
        plugin.OnWillDisappear("", "lock", json(), "deck 1");
    }
}

// A click whose key goes while it holds its button lets go of its keys too.
TEST_F(PluginModifiersTest, AClickCutShortLetsGoOfItsKeys) {
    Appear("slow", Appearance("MOUSE_LEFT_CLICK", "CTRL", "60000"));
    Down("slow");
    EventsUntilSeen(InputEvent::Press(ModifierKey::Ctrl));
    plugin.OnWillDisappear("", "slow", json(), "deck 1");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(KeyEventsOf(EventsOf(TakeInputCalls())), std::vector<InputEvent>{kCtrlUp});
}

// Two keys hold Ctrl: a lock and a held wheel. The wheel's end leaves Ctrl
// to the lock; the lock's end lets go of it.
TEST_F(PluginModifiersTest, TwoHoldersOfCtrlKeepItDownUntilTheLast) {
    Appear("lock", Appearance("MOUSE_RIGHT_TOGGLE", "CTRL"));
    Appear("wheel", Appearance("MOUSE_WHEEL_HOLD", "CTRL+SHIFT"));
    Down("lock");
    Down("wheel");
    const auto held = EventsUntilSeen(InputEvent::Wheel(120));
    EXPECT_EQ(KeyEventsOf(held), (std::vector<InputEvent>{kCtrl, kShift}));
    plugin.OnKeyUp("", "wheel", json(), "deck 1");
    const auto afterWheel = EventsUntilSeen(kShiftUp);
    EXPECT_EQ(KeyEventsOf(afterWheel), std::vector<InputEvent>{kShiftUp});
    plugin.OnWillDisappear("", "lock", json(), "deck 1");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{InputEvent::Up(MouseButton::Right), kCtrlUp}));
}

// A word that names no key: the press sends nothing and says why, once a
// press; the command loaded before stays as it was.
TEST_F(PluginModifiersTest, AnUnknownWordDropsThePressWithOneLine) {
    Appear("good", Appearance("MOUSE_CURSOR_POS", ""));
    Appear("bad", Appearance("MOUSE_LEFT_CLICK", "CTRL+HYPER"));
    Down("good");
    plugin.WaitForKeyCommands();
    TakeInputCalls();
    const std::string output = ConsoleOutputOf([&] {
        Down("bad");
        plugin.WaitForKeyCommands();
    });
    EXPECT_TRUE(TakeInputCalls().empty());
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    EXPECT_NE(output.find("\"HYPER\""), std::string::npos) << output;
    EXPECT_NE(output.find("MOUSE_LEFT_CLICK"), std::string::npos) << output;
    EXPECT_EQ(GetActiveMouseCommand().context, "good");
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

// Called once the end returned, which waits for a click in progress: what
// came before it goes, and nothing more comes within three periods.
void ExpectNoMoreClicks(int periodMs) {
    TakeInputCalls();
    EXPECT_TRUE(WaitForInput(1, std::chrono::milliseconds(periodMs * 3)).empty()) << "clicks after the end";
}

TEST_F(PluginHeldInputTest, AutoclickHoldStopsAtReleaseDisappearanceAndUnplugging) {
    plugin.OnWillAppear("", "auto", Autoclick("MOUSE_AUTOCLICK_HOLD", "10"), "deck 1");
    const std::function<void()> ends[] = {
        [&] { plugin.OnKeyUp("", "auto", json(), "deck 1"); },
        [&] { plugin.OnDeviceDidDisconnect("deck 1"); },
        [&] { plugin.OnWillDisappear("", "auto", json(), "deck 1"); },
    };
    for (std::size_t i = 0; i < std::size(ends); ++i) {
        SCOPED_TRACE("end " + std::to_string(i));
        plugin.OnKeyDown("", "auto", json(), "deck 1");
        const auto clicks = WaitForInput(3, std::chrono::seconds(30));
        ends[i]();
        ASSERT_GE(clicks.size(), 3u);
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
        ASSERT_GE(WaitForInput(1, std::chrono::seconds(30)).size(), 1u);
        if (i == 0) {
            plugin.OnKeyDown("", "click", json(), "deck 1");
            plugin.WaitForKeyCommands();
            const auto calls = TakeInputCalls();
            const bool clicked = std::any_of(calls.begin(), calls.end(), [](const recording::Call& call) {
                return call.what == "mouse_event" && call.args == std::vector<std::int64_t>{MOUSEEVENTF_LEFTDOWN, 0};
            });
            EXPECT_TRUE(clicked) << "the other key's press waited";
        }
        EXPECT_GE(WaitForInput(2, std::chrono::seconds(30)).size(), 2u) << "stopped too early";
        ends[i]();
        ExpectNoMoreClicks(20);
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
    EXPECT_GE(WaitForInput(1, std::chrono::seconds(30)).size(), 1u);
    plugin.OnSendToPlugin("", "auto", json{{"my_mouse_event", "MOUSE_LEFT_CLICK"}}, "deck 1");
    ExpectNoMoreClicks(20);
}

}  // namespace
