#include "host/ESDConnectionManager.h"
#include "plugin/HeldButtons.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "plugin/key/runs/KeyRun.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

using namespace platform;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

// What ends which kind of run. A run of each kind is started for key "k" on
// "deck", each ending applied, and the owner asked whether it goes on.
TEST(KeyRunsEndings, EachKindEndsWithWhatConcernsIt) {
    struct Ending {
        const char* name;
        std::function<void(OngoingCommands&)> apply;
    };
    const Ending endings[] = {
        {"its release", [](OngoingCommands& o) { o.runs.KeyWentUp("k"); }},
        {"its next press", [](OngoingCommands& o) { o.EndedByPress("k"); }},
        {"another key's press", [](OngoingCommands& o) { o.KeyPressed("other"); }},
        {"another key's release", [](OngoingCommands& o) { o.runs.KeyWentUp("other"); }},
        {"its willDisappear", [](OngoingCommands& o) { o.KeyGone("k"); }},
        {"another key's willDisappear", [](OngoingCommands& o) { o.KeyGone("other"); }},
        {"its device", [](OngoingCommands& o) { o.runs.DeviceKeysWentUp("deck"); o.DeviceGone("deck"); }},
        {"another device", [](OngoingCommands& o) { o.runs.DeviceKeysWentUp("deck 2"); o.DeviceGone("deck 2"); }},
        {"its command changed", [](OngoingCommands& o) { o.CommandChanged("k"); }},
        {"the plugin's end", [](OngoingCommands& o) { o.EndAll(); }},
    };
    struct Case {
        RunKind kind;
        const char* name;
        // Ends with each of `endings`, in order.
        std::vector<bool> ends;
    };
    const Case cases[] = {
        {RunKind::Held, "held", {true, false, true, false, true, false, true, false, true, true}},
        {RunKind::HeldAutoclick, "held autoclick", {true, false, false, false, true, false, true, false, true, true}},
        {RunKind::Sequence, "sequence", {false, true, false, false, true, false, true, false, true, true}},
        {RunKind::AutoclickToggle, "autoclick toggle", {false, true, false, false, true, false, true, false, true, true}},
        {RunKind::Jiggler, "jiggler", {false, true, false, false, false, false, true, false, true, true}},
    };
    HeldButtons held;
    ToggleLocks locks{held};
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < std::size(endings); ++i) {
            SCOPED_TRACE(std::string(c.name) + ", " + endings[i].name);
            OngoingCommands ongoing{locks};
            ongoing.runs.KeyWentDown("k", "deck");
            ongoing.runs.Start("k", "deck", c.kind, ActiveMouseCommand{},
                               [](KeyRun& run) { run.Wait(600000); });
            endings[i].apply(ongoing);
            EXPECT_EQ(!ongoing.runs.IsRunning("k", c.kind), c.ends[i]);
        }
    }
}

// The key's next press ends what it keeps on and nothing else; a release
// that came before the held run started leaves it one step.
TEST(KeyRunsEndings, ANextPressEndsALockOrARunAndTheReleaseBeforeAHeldStart) {
    HeldButtons held;
    ToggleLocks locks{held};
    OngoingCommands ongoing{locks};
    EXPECT_FALSE(ongoing.EndedByPress("k")) << "nothing to end";
    locks.Press("k", "deck", MouseButton::Left, {});
    EXPECT_TRUE(ongoing.ShowsHeld("k"));
    EXPECT_TRUE(ongoing.EndedByPress("k"));
    EXPECT_FALSE(ongoing.ShowsHeld("k"));

    int steps = 0;
    ongoing.runs.Start("k", "deck", RunKind::Held, ActiveMouseCommand{}, [&steps](KeyRun& run) {
        do ++steps;
        while (run.Wait(600000));
    });
    ongoing.runs.StopAll();
    EXPECT_EQ(steps, 1) << "a key up before its held run starts: one step, then the end";
}

// A held run holds its key's modifiers from before its first step; whatever
// ends it, at whatever point of its loop, lets go of them, and nothing comes
// after. The seam holds the run at the point until the end has been asked.
class RunEndsAtEveryPointTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        plugin.SetConnectionManager(&connection);
        SetRunPointHook([this](const KeyRun& run, RunPoint) {
            std::unique_lock<std::mutex> lock(mutex);
            if (run.Context() != "held" || points++ != stopAt) return;
            reached = true;
            changed.notify_all();
            lock.unlock();
            run.Wait(600000);  // returns as the end asks the run to stop
        });
    }

    void TearDown() override {
        plugin.StopKeyCommands();
        SetRunPointHook(nullptr);
    }

    void WaitUntilReached() {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 60s, [this] { return reached; })) << "the run never got there";
    }

    void Reset(int point) {
        std::lock_guard<std::mutex> guard(mutex);
        points = 0;
        stopAt = point;
        reached = false;
    }

    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
    std::mutex mutex;
    std::condition_variable changed;
    int points = 0;
    int stopAt = 0;
    bool reached = false;
};

TEST_F(RunEndsAtEveryPointTest, ModifiersComeUpWhateverEndsTheRunWherever) {
    const std::function<void(MyStreamDeckPlugin&)> endings[] = {
        [](MyStreamDeckPlugin& p) { p.OnKeyUp("", "held", json(), "deck 1"); },
        [](MyStreamDeckPlugin& p) { p.OnWillDisappear("", "held", json(), "deck 1"); },
        [](MyStreamDeckPlugin& p) { p.OnDeviceDidDisconnect("deck 1"); },
        [](MyStreamDeckPlugin& p) {
            p.OnKeyDown("", "other", json(), "deck 2");
            p.WaitForKeyCommands();
        },
        [](MyStreamDeckPlugin& p) { p.StopKeyCommands(); },
    };
    const char* const endingNames[] = {"key up", "willDisappear", "device", "another key's press", "the end"};
    const InputEvent ctrl = InputEvent::Press(ModifierKey::Ctrl);
    const InputEvent ctrlUp = InputEvent::Release(ModifierKey::Ctrl);
    // Started, then the first and second steps' StepDue and Stepped.
    for (int point = 0; point < 5; ++point) {
        for (std::size_t e = 0; e < std::size(endings); ++e) {
            for (const char* command : {"MOUSE_CURSOR_MOVE", "MOUSE_WHEEL_HOLD"}) {
                SCOPED_TRACE(std::string(command) + " ended by " + endingNames[e] + " at point " +
                             std::to_string(point));
                MyStreamDeckPlugin fresh;  // the end of a plugin ends it for good
                Reset(point);
                const json settings = {{"my_mouse_event", command}, {"my_sleep", "0"}, {"my_offset_x", "1"},
                                       {"my_offset_y", "0"}, {"my_wheel", "120"}, {"my_repeat_loops", "0"},
                                       {"my_relative", "1"}, {"my_modifiers", "CTRL"}};
                MyStreamDeckPlugin& p = e == 4 ? fresh : plugin;
                ESDConnectionManager freshConnection{1, "uuid", "registerPlugin", &fresh};
                fresh.SetConnectionManager(&freshConnection);
                p.OnWillAppear("", "held", json{{"settings", settings}}, "deck 1");
                p.OnWillAppear("", "other", json{{"settings", {{"my_mouse_event", "MOUSE_CURSOR_NUDGE"},
                                                               {"my_sleep", "0"}, {"my_offset_x", "0"},
                                                               {"my_offset_y", "0"}, {"my_wheel", "0"},
                                                               {"my_repeat_loops", "0"}}}},
                               "deck 2");
                p.OnKeyDown("", "held", json(), "deck 1");
                WaitUntilReached();
                endings[e](p);
                std::vector<InputEvent> keys;
                for (const auto& call : TakeInputCalls()) {
                    for (const InputEvent& event : call.events) {
                        if (event.kind == InputEvent::Kind::KeyDown || event.kind == InputEvent::Kind::KeyUp) {
                            keys.push_back(event);
                        }
                    }
                }
                EXPECT_EQ(keys, (std::vector<InputEvent>{ctrl, ctrlUp}));
                EXPECT_FALSE(HeldInput().Holds(HeldCommandHolder("held")));
                std::this_thread::sleep_for(20ms);
                EXPECT_TRUE(TakeInputCalls().empty()) << "input after the end";
                p.OnWillDisappear("", "held", json(), "deck 1");
                p.OnWillDisappear("", "other", json(), "deck 2");
                TakeInputCalls();
            }
        }
    }
}

}  // namespace
