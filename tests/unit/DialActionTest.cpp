#include "host/ESDConnectionManager.h"
#include "platform/Platform.h"
#include "plugin/dial/DialAction.h"
#include "plugin/dial/DialStrip.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "plugin/MouseInjection.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace platform;
using nlohmann::json;

namespace {

json Appearance(const json& settings) { return {{"settings", settings}, {"controller", "Encoder"}}; }
json Rotation(json ticks) { return {{"ticks", std::move(ticks)}, {"pressed", false}, {"settings", json::object()}}; }
json Tap(bool hold) { return {{"tapPos", {10, 20}}, {"hold", hold}, {"settings", json::object()}}; }

std::vector<Injected> Batch(std::vector<InputEvent> events) { return {{"SendInput", {}, std::move(events)}}; }
std::vector<Injected> Placed(std::int64_t x, std::int64_t y) { return {{"SetCursorPos", {x, y}}}; }

class DialActionTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        recording::SetCursor(100, 200);
    }

    std::vector<Injected> Injections() {
        std::vector<Injected> injected;
        for (const auto& call : TakeInputCalls()) injected.push_back({call.what, call.args, call.events});
        return injected;
    }

    // The setFeedback and setTriggerDescription messages sent since the last call.
    std::vector<json> TakeSent() {
        std::vector<json> taken;
        for (const std::string& text : sent) taken.push_back(json::parse(text));
        sent.clear();
        return taken;
    }

    std::vector<std::string> sent;
    DialAction dials{[this](const std::string& text) { sent.push_back(text); }};
};

// Positive ticks turn clockwise: down and right, as a physical wheel feels.
TEST_F(DialActionTest, RotationsToInput) {
    struct Case {
        json settings;
        json ticks;
        std::vector<Injected> input;
    };
    const Case cases[] = {
        {json::object(), 1, Batch({InputEvent::Wheel(-120)})},
        {{{"dial_rotate", "WHEEL"}}, -3, Batch({InputEvent::Wheel(360)})},
        {{{"dial_rotate", "WHEEL"}, {"dial_step", "30"}}, 2, Batch({InputEvent::Wheel(-60)})},
        {{{"dial_rotate", "WHEEL"}, {"dial_step", "-120"}}, 1, Batch({InputEvent::Wheel(120)})},
        {{{"dial_rotate", "HWHEEL"}}, 2, Batch({InputEvent::HWheel(240)})},
        {{{"dial_rotate", "HWHEEL"}, {"dial_step", "60"}}, -1, Batch({InputEvent::HWheel(-60)})},
        {{{"dial_rotate", "MOVE_X"}}, 3, Placed(130, 200)},
        {{{"dial_rotate", "MOVE_X"}, {"dial_step", "-7"}}, 2, Placed(86, 200)},
        {{{"dial_rotate", "MOVE_Y"}}, -2, Placed(100, 180)},
        {{{"dial_rotate", "MOVE_Y"}, {"dial_step", "1"}}, 5, Placed(100, 205)},
        // Bounds: a step beyond its range, a tick count beyond reason.
        {{{"dial_step", "99999"}}, 1, Batch({InputEvent::Wheel(-kMaxWheelStep)})},
        {{{"dial_rotate", "MOVE_X"}, {"dial_step", "-99999"}}, 1, Placed(100 - kMaxMoveStep, 200)},
        {json::object(), 1e12, Batch({InputEvent::Wheel(-DialAction::kMostWheelPerEvent)})},
        {{{"dial_rotate", "MOVE_Y"}, {"dial_step", "500"}}, -1e300, Placed(100, 200 - DialAction::kMostMovePerEvent)},
        // What cannot be read falls back to the defaults, or does nothing.
        {{{"dial_rotate", "SIDEWAYS"}, {"dial_step", "x"}}, 1, Batch({InputEvent::Wheel(-120)})},
        {{{"dial_rotate", 3}, {"dial_step", "0"}}, 1, Batch({InputEvent::Wheel(-120)})},
        {json::object(), 0, {}},
        {json::object(), "5", {}},
        {json::object(), nullptr, {}},
    };
    for (const Case& c : cases) {
        recording::SetCursor(100, 200);
        dials.Appear("dial", Appearance(c.settings), "device");
        dials.Rotate("dial", Rotation(c.ticks));
        EXPECT_EQ(Injections(), c.input) << c.settings << " turned " << c.ticks;
        dials.Disappear("dial");
    }
}

// Each turn is a command of its own: what a wheel turn leaves of a notch ends
// with it, right after its scroll.
// A system that sends whole notches carries a part of one (EndWheelInput
// drops it): a dial's parts add up over its own turns, and are dropped before
// anyone else scrolls.
TEST_F(DialActionTest, ADialsPartsOfANotchAddUpOverItsTurnsAndNoOneElses) {
    dials.Appear("a", Appearance({{"dial_rotate", "WHEEL"}, {"dial_step", "60"}}), "device");
    dials.Appear("b", Appearance({{"dial_rotate", "HWHEEL"}, {"dial_step", "60"}}), "device");
    dials.Appear("x", Appearance({{"dial_rotate", "MOVE_X"}}), "device");
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> calls;
    };
    const std::vector<Step> steps = {
        {"a turns", [&] { dials.Rotate("a", Rotation(1)); }, {"EndWheelInput", "SendInput"}},
        {"a turns again: its half notch stays", [&] { dials.Rotate("a", Rotation(1)); }, {"SendInput"}},
        {"a move in between is no scroll", [&] { dials.Rotate("x", Rotation(1)); }, {"GetCursorPos", "SetCursorPos"}},
        {"a turns on", [&] { dials.Rotate("a", Rotation(1)); }, {"SendInput"}},
        {"another dial starts from none", [&] { dials.Rotate("b", Rotation(1)); }, {"EndWheelInput", "SendInput"}},
        {"a key's scroll starts from none",
         [] { InjectMouseEvent(MOUSEEVENTF_WHEEL, 120); }, {"EndWheelInput", "mouse_event"}},
        {"and so does a's next turn", [&] { dials.Rotate("a", Rotation(1)); }, {"EndWheelInput", "SendInput"}},
    };
    recording::TakeCalls();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        std::vector<std::string> calls;
        for (const auto& call : recording::TakeCalls()) calls.push_back(call.what);
        EXPECT_EQ(calls, step.calls);
    }
}

TEST_F(DialActionTest, MovesStartFromWhereThePointerIsAndNeedItsPosition) {
    dials.Appear("dial", Appearance({{"dial_rotate", "MOVE_X"}}), "device");
    dials.Rotate("dial", Rotation(1));
    recording::SetCursor(500, 7);  // moved by the user between two turns
    dials.Rotate("dial", Rotation(1));
    EXPECT_EQ(Injections(), (std::vector<Injected>{Placed(110, 200)[0],
                                                   Placed(510, 7)[0]}));
    recording::SetGetCursorPosFails(true);
    dials.Rotate("dial", Rotation(1));
    EXPECT_EQ(Injections(), std::vector<Injected>{}) << "a move from an unknown place goes nowhere sensible";
}

// Where the system can never tell the position, as on Wayland, turns move by relative motion.
TEST_F(DialActionTest, MovesAreRelativeWhereNoPositionCanBeRead) {
    recording::SetCursorPosUnreadable(true);
    dials.Appear("x", Appearance({{"dial_rotate", "MOVE_X"}}), "device");
    dials.Appear("y", Appearance({{"dial_rotate", "MOVE_Y"}, {"dial_step", "-4"}}), "device");
    dials.Rotate("x", Rotation(3));
    dials.Rotate("y", Rotation(2));
    EXPECT_EQ(Injections(), (std::vector<Injected>{Batch({InputEvent::MoveBy(30, 0)})[0],
                                                   Batch({InputEvent::MoveBy(0, -8)})[0]}));
}

TEST_F(DialActionTest, AccelerationGrowsAFastTurnAndALongTouchResetsIt) {
    dials.Appear("dial", Appearance({{"dial_accel", "100"}, {"dial_step", "60"}}), "device");
    dials.Rotate("dial", Rotation(3));  // 60 + 120 + 180
    dials.Rotate("dial", Rotation(1));  // at once: the run goes on
    dials.Tap("dial", Tap(true));
    dials.Rotate("dial", Rotation(1));
    EXPECT_EQ(Injections(), (std::vector<Injected>{{"SendInput", {}, {InputEvent::Wheel(-360)}},
                                                   {"SendInput", {}, {InputEvent::Wheel(-240)}},
                                                   {"SendInput", {}, {InputEvent::Wheel(-60)}}}));
}

TEST_F(DialActionTest, PushesAndTapsToInput) {
    struct Case {
        const char* member;
        const char* choice;
        std::vector<Injected> input;
    };
    const Case cases[] = {
        {"dial_press", "LEFT_CLICK", Batch({InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)})},
        {"dial_press", "MIDDLE_CLICK", Batch({InputEvent::Down(MouseButton::Middle), InputEvent::Up(MouseButton::Middle)})},
        {"dial_press", "RIGHT_CLICK", Batch({InputEvent::Down(MouseButton::Right), InputEvent::Up(MouseButton::Right)})},
        {"dial_press", "NONE", {}},
        {"dial_press", "SWAP", {}},
        {"dial_touch", "LEFT_CLICK", Batch({InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)})},
        {"dial_touch", "MIDDLE_CLICK", Batch({InputEvent::Down(MouseButton::Middle), InputEvent::Up(MouseButton::Middle)})},
        {"dial_touch", "RIGHT_CLICK", Batch({InputEvent::Down(MouseButton::Right), InputEvent::Up(MouseButton::Right)})},
        {"dial_touch", "NONE", {}},
        {"dial_touch", "SWAP", {}},
        // A tap has no release: holding is not a touch choice, and the default serves.
        {"dial_touch", "LEFT_HOLD", {}},
    };
    for (const Case& c : cases) {
        dials.Appear("dial", Appearance({{c.member, c.choice}}), "device");
        if (std::string(c.member) == "dial_press") {
            dials.Down("dial");
            dials.Up("dial");
        } else {
            dials.Tap("dial", Tap(false));
        }
        EXPECT_EQ(Injections(), c.input) << c.member << " " << c.choice;
        dials.Disappear("dial");
    }
}

TEST_F(DialActionTest, SwapTurnsTheOtherAxisOfItsKindAndRedrawsTheStrip) {
    struct Case {
        const char* rotate;
        const char* via;  // "press" or "touch"
        Injected before;
        Injected after;
    };
    const Case cases[] = {
        {"WHEEL", "press", Batch({InputEvent::Wheel(-120)})[0], Batch({InputEvent::HWheel(120)})[0]},
        {"HWHEEL", "touch", Batch({InputEvent::HWheel(120)})[0], Batch({InputEvent::Wheel(-120)})[0]},
        // The first move has moved the pointer: the second starts there.
        {"MOVE_X", "touch", Placed(110, 200)[0], Placed(110, 210)[0]},
        {"MOVE_Y", "press", Placed(100, 210)[0], Placed(110, 210)[0]},
    };
    for (const Case& c : cases) {
        const bool press = std::string(c.via) == "press";
        dials.Appear("dial", Appearance({{"dial_rotate", c.rotate}, {press ? "dial_press" : "dial_touch", "SWAP"}}), "d");
        dials.Rotate("dial", Rotation(1));
        TakeSent();
        if (press) dials.Down("dial"); else dials.Tap("dial", Tap(false));
        const std::vector<json> shown = TakeSent();
        dials.Rotate("dial", Rotation(1));
        EXPECT_EQ(Injections(), (std::vector<Injected>{c.before, c.after}))
            << c.rotate << " swapped by " << c.via;
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0]["payload"]["title"], StripFeedback(DialSettings{}, SwappedAxis(ParseDialSettings({{"dial_rotate", c.rotate}}).axis))["title"]);
        dials.Disappear("dial");
        recording::SetCursor(100, 200);
        Injections();
    }
}

TEST_F(DialActionTest, LeftHoldDragsUntilReleaseDisappearanceOrUnplugging) {
    const std::vector<Injected> down = Batch({InputEvent::Down(MouseButton::Left)});
    const std::vector<Injected> up = Batch({InputEvent::Up(MouseButton::Left)});
    const json drag = {{"dial_rotate", "MOVE_X"}};  // LEFT_HOLD is the default push

    dials.Appear("dial", Appearance(drag), "device");
    dials.Down("dial");
    dials.Down("dial");  // a repeated push presses once
    dials.Rotate("dial", Rotation(2));
    dials.Up("dial");
    dials.Up("dial");  // and a repeated release lets go once
    EXPECT_EQ(Injections(), (std::vector<Injected>{down[0], Placed(120, 200)[0], up[0]}));

    dials.Down("dial");
    dials.Disappear("dial");
    EXPECT_EQ(Injections(), (std::vector<Injected>{down[0], up[0]})) << "taken away while pushed";

    dials.Appear("a", Appearance(drag), "deck 1");
    dials.Appear("b", Appearance(drag), "deck 2");
    dials.Down("a");
    dials.Down("b");
    dials.DeviceGone("deck 1");
    EXPECT_EQ(Injections(), down) << "pressed once for both, and dial b still holds it";
    dials.DeviceGone("deck 2");
    EXPECT_EQ(Injections(), up) << "the last dial holding it is gone";
    dials.Up("a");
    EXPECT_EQ(Injections(), std::vector<Injected>{}) << "released once only";
}

TEST_F(DialActionTest, EventsForUnknownDialsDoNothing) {
    dials.Rotate("nowhere", Rotation(1));
    dials.Down("nowhere");
    dials.Up("nowhere");
    dials.Tap("nowhere", Tap(false));
    dials.Update("nowhere", {{"dial_rotate", "HWHEEL"}});
    dials.Disappear("nowhere");
    EXPECT_EQ(Injections(), std::vector<Injected>{});
    EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DialActionTest, StripShowsWhatTheDialDoesAndKeepsCurrent) {
    dials.Appear("dial", Appearance({{"dial_accel", "40"}}), "device");
    std::vector<json> shown = TakeSent();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], (json{{"context", "dial"},
                              {"event", "setFeedback"},
                              {"payload", {{"title", "Scroll"}, {"value", "1 notch"}, {"indicator", {{"value", 40}}}}}}));
    EXPECT_EQ(shown[1], (json{{"context", "dial"},
                              {"event", "setTriggerDescription"},
                              {"payload", {{"rotate", "Scroll"}, {"push", "Hold the left button"},
                                           {"touch", "Swap axis"}, {"longTouch", "Reset acceleration"}}}}));

    dials.Update("dial", {{"dial_rotate", "MOVE_Y"}, {"dial_step", "-25"}, {"dial_accel", "250"},
                          {"dial_press", "RIGHT_CLICK"}, {"dial_touch", "NONE"}});
    shown = TakeSent();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]["payload"], (json{{"title", "Move up/down"}, {"value", "-25 px"}, {"indicator", {{"value", 100}}}}));
    EXPECT_EQ(shown[1]["payload"]["push"], "Right click");
    EXPECT_EQ(shown[1]["payload"]["touch"], "Nothing");

    dials.Tap("dial", Tap(true));
    EXPECT_EQ(TakeSent().size(), 1u) << "a long touch redraws the strip; its descriptions stay";
    dials.Rotate("dial", Rotation(1));
    EXPECT_TRUE(TakeSent().empty()) << "turning changes nothing shown";
}

// Some hosts log every setTriggerDescription they cannot show: each dial gets
// one only when its text differs from the last one sent to that dial.
TEST_F(DialActionTest, TriggerDescriptionsAreSentOnlyWhenTheyChange) {
    const std::vector<std::string> both{"setFeedback", "setTriggerDescription"};
    const std::vector<std::string> strip{"setFeedback"};
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<std::string> sent;  // events, in order
    };
    const json plain = {{"dial_rotate", "WHEEL"}, {"dial_touch", "SWAP"}};
    const Step steps[] = {
        {"appears", [&] { dials.Appear("dial", Appearance(plain), "d"); }, both},
        {"appears again unchanged", [&] { dials.Appear("dial", Appearance(plain), "d"); }, strip},
        {"long touch", [&] { dials.Tap("dial", Tap(true)); }, strip},
        {"step and acceleration changed", [&] { dials.Update("dial", {{"dial_rotate", "WHEEL"}, {"dial_touch", "SWAP"},
                                                                      {"dial_step", "30"}, {"dial_accel", "50"}}); }, strip},
        {"push changed", [&] { dials.Update("dial", {{"dial_rotate", "WHEEL"}, {"dial_touch", "SWAP"},
                                                     {"dial_press", "RIGHT_CLICK"}}); }, both},
        {"swapped", [&] { dials.Tap("dial", Tap(false)); }, both},
        {"swapped back", [&] { dials.Tap("dial", Tap(false)); }, both},
        {"another dial, same text", [&] { dials.Appear("other", Appearance(plain), "d"); }, both},
        {"gone and back", [&] { dials.Disappear("dial"); dials.Appear("dial", Appearance(plain), "d"); }, both},
        {"back unchanged", [&] { dials.Update("dial", plain); }, strip},
    };
    for (const Step& step : steps) {
        step.act();
        std::vector<std::string> events;
        for (const json& message : TakeSent()) events.push_back(message["event"]);
        EXPECT_EQ(events, step.sent) << step.what;
    }
}

TEST(DialStrip, StepNumbersAndTheirUnits) {
    struct Case {
        std::int32_t step;
        DialAxis axis;
        const char* number;
        const char* value;  // as the strip shows it
    };
    const Case cases[] = {
        {120, DialAxis::Wheel, "1", "1 notch"},          {60, DialAxis::HWheel, "0.5", "0.5 notches"},
        {30, DialAxis::Wheel, "0.25", "0.25 notches"},   {40, DialAxis::Wheel, "0.33", "0.33 notches"},
        {12, DialAxis::Wheel, "0.1", "0.1 notches"},     {1, DialAxis::Wheel, "0.01", "0.01 notches"},
        {-120, DialAxis::Wheel, "-1", "-1 notch"},       {-270, DialAxis::Wheel, "-2.25", "-2.25 notches"},
        {1200, DialAxis::Wheel, "10", "10 notches"},     {10, DialAxis::MoveX, "10", "10 px"},
        {-3, DialAxis::MoveY, "-3", "-3 px"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        EXPECT_EQ(StepNumber(c.step, c.axis), c.number);
        DialSettings settings;
        settings.axis = c.axis;
        settings.step = c.step;
        EXPECT_EQ(StripFeedback(settings, c.axis)["value"], c.value);
    }
}

// The plugin tells the two actions apart by their UUID: the dial's events
// never reach the key table, and the keys behave as before.
TEST(PluginDialRouting, DialEventsGoToTheDialAndKeyEventsStayWithTheKeys) {
    recording::Reset();
    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
    plugin.SetConnectionManager(&connection);

    plugin.OnWillAppear(DialAction::kActionUuid, "ctx", Appearance({{"dial_rotate", "HWHEEL"}}), "device");
    plugin.OnKeyDown("org.deckmouse.mouse", "ctx", json(), "device");  // not a key: nothing
    plugin.WaitForKeyCommands();
    plugin.OnDialRotate(DialAction::kActionUuid, "ctx", Rotation(1), "device");
    EXPECT_EQ(Describe(TakeInputCalls()), Batch({InputEvent::HWheel(120)}));

    plugin.OnSendToPlugin(DialAction::kActionUuid, "ctx", {{"dial_rotate", "WHEEL"}}, "device");
    plugin.OnDialRotate(DialAction::kActionUuid, "ctx", Rotation(1), "device");
    EXPECT_EQ(Describe(TakeInputCalls()), Batch({InputEvent::Wheel(-120)})) << "the page's update reached the dial";

    plugin.OnWillAppear("org.deckmouse.mouse", "key", {{"settings", {{"my_mouse_event", "MOUSE_CURSOR_POS"},
                                                                      {"my_offset_x", "5"}, {"my_offset_y", "6"},
                                                                      {"my_sleep", "0"}, {"my_wheel", "0"},
                                                                      {"my_repeat_loops", "0"}}}}, "device");
    plugin.OnDialRotate("org.deckmouse.mouse", "key", Rotation(1), "device");
    plugin.OnKeyDown("org.deckmouse.mouse", "key", json(), "device");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(Describe(TakeInputCalls()), (std::vector<Injected>{{"SetCursorPos", {5, 6}}})) << "a key is no dial";
    plugin.OnKeyUp("org.deckmouse.mouse", "key", json(), "device");
    plugin.StopKeyCommands();
}

}  // namespace
