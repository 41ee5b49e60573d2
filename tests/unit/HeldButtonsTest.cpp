#include "platform/Platform.h"
#include "plugin/HeldButtons.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace platform;

namespace {

Injected Down(MouseButton button) { return {"SendInput", {}, {InputEvent::Down(button)}}; }
Injected Up(MouseButton button) { return {"SendInput", {}, {InputEvent::Up(button)}}; }

// One step on the owner and what the system must see from it.
struct Step {
    const char* what;
    std::function<void(HeldButtons&)> act;
    std::vector<Injected> injected;
};

void Play(const std::vector<Step>& steps) {
    recording::Reset();
    HeldButtons held;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(held);
        EXPECT_EQ(Describe(TakeInputCalls()), step.injected);
    }
}

const MouseButton L = MouseButton::Left;
const MouseButton R = MouseButton::Right;

// The system's button goes down with its first holder and up with its last,
// whatever the order in which holders come and go.
TEST(HeldButtons, TheButtonGoesUpWithItsLastHolder) {
    const std::vector<std::vector<Step>> tables = {
        {
            {"lock a", [](HeldButtons& h) { h.Hold("lock a", L); }, {Down(L)}},
            {"lock b", [](HeldButtons& h) { h.Hold("lock b", L); }, {}},
            {"a lets go", [](HeldButtons& h) { EXPECT_TRUE(h.LetGo("lock a")); }, {}},
            {"a again", [](HeldButtons& h) { EXPECT_FALSE(h.LetGo("lock a")); }, {}},
            {"b lets go", [](HeldButtons& h) { EXPECT_TRUE(h.LetGo("lock b")); }, {Up(L)}},
        },
        {
            {"dial pushed", [](HeldButtons& h) { h.Hold("dial d", L); }, {Down(L)}},
            {"key locks", [](HeldButtons& h) { EXPECT_TRUE(h.Toggle("lock k", L)); }, {}},
            {"key unlocks", [](HeldButtons& h) { EXPECT_FALSE(h.Toggle("lock k", R)); }, {}},
            {"dial pushed twice", [](HeldButtons& h) { h.Hold("dial d", L); }, {}},
            {"dial released", [](HeldButtons& h) { h.LetGo("dial d"); }, {Up(L)}},
        },
        {
            {"key locks left", [](HeldButtons& h) { h.Toggle("lock k", L, "deck 1"); }, {Down(L)}},
            {"dial holds left", [](HeldButtons& h) { h.Hold("dial d", L); }, {}},
            {"other locks right", [](HeldButtons& h) { h.Toggle("lock o", R, "deck 2"); }, {Down(R)}},
            {"deck 1 gone", [](HeldButtons& h) { h.LetGoOfDevice("deck 1"); }, {}},
            {"dial released", [](HeldButtons& h) { h.LetGo("dial d"); }, {Up(L)}},
            {"deck 3 gone", [](HeldButtons& h) { h.LetGoOfDevice("deck 3"); }, {}},
            {"deck 2 gone", [](HeldButtons& h) { h.LetGoOfDevice("deck 2"); }, {Up(R)}},
        },
        {
            // A click while a lock holds the button neither presses nor lets go.
            {"lock", [](HeldButtons& h) { h.Toggle("lock k", L); }, {Down(L)}},
            {"click down", [](HeldButtons& h) { h.Hold("click c", L); }, {}},
            {"click up", [](HeldButtons& h) { h.Release("click c", L); }, {}},
            {"unlock", [](HeldButtons& h) { h.LetGo("lock k"); }, {Up(L)}},
        },
        {
            // An up command lets go of what the down command held, not of a lock;
            // with nobody holding the button it goes up all the same.
            {"down command", [](HeldButtons& h) { h.Hold(kButtonCommandHolder, R); }, {Down(R)}},
            {"lock", [](HeldButtons& h) { h.Toggle("lock k", R); }, {}},
            {"up command", [](HeldButtons& h) { h.Release(kButtonCommandHolder, R); }, {}},
            {"unlock", [](HeldButtons& h) { h.LetGo("lock k"); }, {Up(R)}},
            {"up command, nothing held", [](HeldButtons& h) { h.Release(kButtonCommandHolder, R); }, {Up(R)}},
        },
    };
    for (std::size_t i = 0; i < tables.size(); ++i) {
        SCOPED_TRACE("table " + std::to_string(i));
        Play(tables[i]);
    }
}

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }

const ModifierKey Ctrl = ModifierKey::Ctrl;
const ModifierKey Shift = ModifierKey::Shift;

// Modifier keys are held as buttons are, by holders: the system's key goes
// down with its first holder and up with its last, a holder's buttons before
// its keys, in one batch with the button where one change makes both.
TEST(HeldButtons, ModifiersGoUpWithTheirLastHolder) {
    const auto press = [](ModifierKey key) { return InputEvent::Press(key); };
    const auto release = [](ModifierKey key) { return InputEvent::Release(key); };
    const std::vector<std::vector<Step>> tables = {
        {
            // Two holders of Ctrl: a scope and a drag lock.
            {"scope holds ctrl", [](HeldButtons& h) { h.HoldModifiers("click a", {Ctrl}); }, {Batch({press(Ctrl)})}},
            {"lock with ctrl+shift", [](HeldButtons& h) { EXPECT_TRUE(h.Toggle("lock b", L, "deck", {Ctrl, Shift})); },
             {Batch({press(Shift), InputEvent::Down(L)})}},
            {"scope ends", [](HeldButtons& h) { h.ReleaseModifiers("click a"); }, {}},
            {"scope ends twice", [](HeldButtons& h) { h.ReleaseModifiers("click a"); }, {}},
            {"unlock", [](HeldButtons& h) { EXPECT_FALSE(h.Toggle("lock b", L)); },
             {Batch({InputEvent::Up(L), release(Shift), release(Ctrl)})}},
        },
        {
            // The lock holds first; the scope's end leaves Ctrl to it.
            {"lock with ctrl", [](HeldButtons& h) { h.Toggle("lock b", L, "deck", {Ctrl}); },
             {Batch({press(Ctrl), InputEvent::Down(L)})}},
            {"scope holds ctrl+shift", [](HeldButtons& h) { h.HoldModifiers("click a", {Ctrl, Shift}); },
             {Batch({press(Shift)})}},
            {"scope ends", [](HeldButtons& h) { h.ReleaseModifiers("click a"); }, {Batch({release(Shift)})}},
            {"device gone", [](HeldButtons& h) { h.LetGoOfDevice("deck"); },
             {Batch({InputEvent::Up(L), release(Ctrl)})}},
        },
        {
            // A click with modifiers: its button's release keeps them, LetGo ends both.
            {"first press", [](HeldButtons& h) { h.HoldWithModifiers("click a", L, {Shift}); },
             {Batch({press(Shift), InputEvent::Down(L)})}},
            {"first release", [](HeldButtons& h) { h.Release("click a", L); }, {Batch({InputEvent::Up(L)})}},
            {"still holds", [](HeldButtons& h) { EXPECT_TRUE(h.Holds("click a")); }, {}},
            {"no buttons", [](HeldButtons& h) { EXPECT_FALSE(h.HoldsButtons("click a")); }, {}},
            {"second press", [](HeldButtons& h) { h.Hold("click a", L); }, {Batch({InputEvent::Down(L)})}},
            {"let go", [](HeldButtons& h) { EXPECT_TRUE(h.LetGo("click a")); },
             {Batch({InputEvent::Up(L), release(Shift)})}},
            {"nothing left", [](HeldButtons& h) { EXPECT_FALSE(h.Holds("click a")); }, {}},
        },
        {
            // One batch amid the keys, less those another holder keeps down.
            {"amid", [](HeldButtons& h) { h.InjectAmid({Ctrl, Shift}, {InputEvent::MoveBy(1, 2)}); },
             {Batch({press(Ctrl), press(Shift), InputEvent::MoveBy(1, 2), release(Shift), release(Ctrl)})}},
            {"ctrl held", [](HeldButtons& h) { h.HoldModifiers("lock b", {Ctrl}); }, {Batch({press(Ctrl)})}},
            {"amid again", [](HeldButtons& h) { h.InjectAmid({Ctrl, Shift}, {InputEvent::Wheel(120)}); },
             {Batch({press(Shift), InputEvent::Wheel(120), release(Shift)})}},
            {"amid nothing", [](HeldButtons& h) { h.InjectAmid({}, {InputEvent::Wheel(-120)}); },
             {Batch({InputEvent::Wheel(-120)})}},
            {"holding twice", [](HeldButtons& h) { h.HoldModifiers("lock b", {Ctrl}); }, {}},
            {"let go", [](HeldButtons& h) { EXPECT_TRUE(h.LetGo("lock b")); }, {Batch({release(Ctrl)})}},
            {"no keys, no batch", [](HeldButtons& h) { h.HoldModifiers("lock b", {}); }, {}},
            {"nobody holds", [](HeldButtons& h) { EXPECT_FALSE(h.Holds("lock b")); }, {}},
        },
    };
    for (std::size_t i = 0; i < tables.size(); ++i) {
        SCOPED_TRACE("table " + std::to_string(i));
        Play(tables[i]);
    }
}

// What a key's image shows and what the system's button is both read from
// here: a holder holds until it lets go, a button is down while anyone holds it.
TEST(HeldButtons, HoldersAndButtonsTellTheTruth) {
    recording::Reset();
    HeldButtons held;
    EXPECT_FALSE(held.Holds("lock a"));
    held.Hold("lock a", L);
    held.Hold("lock b", L);
    EXPECT_TRUE(held.Holds("lock a"));
    EXPECT_TRUE(held.IsDown(L));
    EXPECT_FALSE(held.IsDown(R));
    held.LetGo("lock a");
    EXPECT_FALSE(held.Holds("lock a"));
    EXPECT_TRUE(held.Holds("lock b"));
    EXPECT_TRUE(held.IsDown(L));
    held.LetGo("lock b");
    EXPECT_FALSE(held.IsDown(L));
    EXPECT_NE(LockHolder("x"), DialHolder("x")) << "a key and a dial of one context are two holders";
}

}  // namespace
