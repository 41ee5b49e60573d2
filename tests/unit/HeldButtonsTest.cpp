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
