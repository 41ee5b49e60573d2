#include "host/ESDConnectionManager.h"
#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
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

json Appearance(const std::string& command, const std::string& modifiers, const std::string& sleepMs = "10") {
    return {{"settings",
             {{"my_mouse_event", command}, {"my_sleep", sleepMs}, {"my_offset_x", "3"}, {"my_offset_y", "4"},
              {"my_wheel", "120"}, {"my_repeat_loops", "0"}, {"my_relative", "1"}, {"my_modifiers", modifiers}}}};
}

const InputEvent PressCtrl = InputEvent::Press(ModifierKey::Ctrl);
const InputEvent ReleaseCtrl = InputEvent::Release(ModifierKey::Ctrl);
const InputEvent PressShift = InputEvent::Press(ModifierKey::Shift);
const InputEvent ReleaseShift = InputEvent::Release(ModifierKey::Shift);

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

// What a key holds down ends with the key, its device or its hold, keys too.
class PluginModifiersTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        plugin.SetConnectionManager(&connection);
    }

    void TearDown() override { plugin.StopKeyCommands(); }

    void Appear(const std::string& context, const json& appearance) {
        plugin.OnWillAppear("", context, appearance, "deck 1");
    }

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
    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
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
            plugin.UpdateKeyImage("held");  // starts the worker, as an appearance does
            Down("held");
            // Two steps: the keys stay down between them.
            const auto steps = EventsUntil([&](const std::vector<InputEvent>& events) {
                return std::count(events.begin(), events.end(), command.step) >= 2;
            });
            ASSERT_GE(steps.size(), 3u);
            EXPECT_EQ(steps[0], PressCtrl);
            EXPECT_EQ(KeyEventsOf(steps), std::vector<InputEvent>{PressCtrl}) << "let go of while held";
            ending.end(plugin, "held");
            const auto rest = EventsUntilSeen(ReleaseCtrl);
            ASSERT_FALSE(rest.empty());
            EXPECT_EQ(KeyEventsOf(rest), std::vector<InputEvent>{ReleaseCtrl});
            EXPECT_EQ(rest.back(), ReleaseCtrl) << "a step after the release";
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
        EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{PressShift, InputEvent::Down(MouseButton::Left)}));
        endings[i]();
        plugin.WaitForKeyCommands();
        EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{InputEvent::Up(MouseButton::Left), ReleaseShift}));
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
    EXPECT_EQ(KeyEventsOf(EventsOf(TakeInputCalls())), std::vector<InputEvent>{ReleaseCtrl});
}

// Two keys hold Ctrl: a lock and a held wheel. The wheel's end leaves Ctrl
// to the lock; the lock's end lets go of it.
TEST_F(PluginModifiersTest, TwoHoldersOfCtrlKeepItDownUntilTheLast) {
    Appear("lock", Appearance("MOUSE_RIGHT_TOGGLE", "CTRL"));
    Appear("wheel", Appearance("MOUSE_WHEEL_HOLD", "CTRL+SHIFT"));
    plugin.UpdateKeyImage("wheel");
    Down("lock");
    Down("wheel");
    const auto held = EventsUntilSeen(InputEvent::Wheel(120));
    EXPECT_EQ(KeyEventsOf(held), (std::vector<InputEvent>{PressCtrl, PressShift}));
    plugin.OnKeyUp("", "wheel", json(), "deck 1");
    const auto afterWheel = EventsUntilSeen(ReleaseShift);
    EXPECT_EQ(KeyEventsOf(afterWheel), std::vector<InputEvent>{ReleaseShift});
    plugin.OnWillDisappear("", "lock", json(), "deck 1");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(EventsOf(TakeInputCalls()), (std::vector<InputEvent>{InputEvent::Up(MouseButton::Right), ReleaseCtrl}));
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
