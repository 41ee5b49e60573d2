// Input batches against a real X server (Xvfb, 1365x767): the events arrive in
// order, where they were sent, relative motion as relative motion, positions
// kept on the screen, and wheel amounts below a notch wait for the rest of
// it until the command that made them ends.
#include "platform/Platform.h"
#include "platform/PlatformLog.h"

// Before Xlib, whose macros (None, Bool) break GoogleTest's templates.
#include <gtest/gtest.h>

#include "XInputListener.h"

#include <X11/keysym.h>

#include <chrono>
#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr std::chrono::seconds kDeadline(2);

Point Cursor() {
    Point cursor;
    EXPECT_TRUE(GetCursorPos(cursor));
    return cursor;
}

TEST(X11InputBatch, ClickAtAndBackArrivesInOrderWhereItWasSent) {
    ASSERT_TRUE(SetCursorPos(100, 100));
    XInputListener listener({XI_Motion, XI_ButtonPress, XI_ButtonRelease});
    ASSERT_TRUE(listener.Ready()) << "needs an X display with XInput2 (run under Xvfb)";
    ASSERT_TRUE(SendInputBatch({InputEvent::MoveTo(500, 300), InputEvent::Down(MouseButton::Right),
                                InputEvent::Up(MouseButton::Right), InputEvent::MoveTo(100, 100)}));
    const std::vector<std::string> expected = {"motion 500 300", "press 3 at 500 300", "release 3 at 500 300",
                                               "motion 100 100"};
    EXPECT_EQ(listener.Collect(expected.size(), kDeadline), expected);
    EXPECT_TRUE(listener.Quiet()) << "more input than sent";
    EXPECT_EQ(Cursor().x, 100);
    EXPECT_EQ(Cursor().y, 100);
}

TEST(X11InputBatch, EveryButtonBecomesItsXButton) {
    XInputListener listener({XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    const std::pair<MouseButton, int> buttons[] = {
        {MouseButton::Left, 1}, {MouseButton::Middle, 2}, {MouseButton::Right, 3}, {MouseButton::X1, 8}, {MouseButton::X2, 9}};
    for (const auto& [button, xButton] : buttons) {
        SCOPED_TRACE(xButton);
        ASSERT_TRUE(SendInputBatch({InputEvent::Down(button), InputEvent::Up(button)}));
        EXPECT_EQ(listener.Collect(2, kDeadline), RawClicks(xButton, 1));
    }
}

TEST(X11InputBatch, RelativeMotionArrivesAsMotionByTheDelta) {
    ASSERT_TRUE(SetCursorPos(300, 200));
    XInputListener listener({XI_RawMotion, XI_Motion});
    ASSERT_TRUE(listener.Ready());
    ASSERT_TRUE(SendInputBatch({InputEvent::MoveBy(7, -3)}));
    // An absolute move to the same place would carry x=307 y=197 as its values.
    const std::vector<std::string> expected = {"raw motion x=7 y=-3", "motion 307 197"};
    EXPECT_EQ(listener.Collect(expected.size(), kDeadline), expected);
    EXPECT_EQ(Cursor().x, 307);
    EXPECT_EQ(Cursor().y, 197);
}

// Each modifier as the key the server maps to its left-hand keysym, where it
// stands among the buttons and wheels: what a program reading the keyboard
// state at the click sees held.
TEST(X11InputBatch, ModifierKeysGoDownAndUpAmongTheButtons) {
    XInputListener listener({XI_RawKeyPress, XI_RawKeyRelease, XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    ASSERT_TRUE(SendInputBatch({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Press(ModifierKey::Shift),
                                InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left),
                                InputEvent::Release(ModifierKey::Shift), InputEvent::Release(ModifierKey::Ctrl),
                                InputEvent::Press(ModifierKey::Alt), InputEvent::Wheel(-120),
                                InputEvent::Press(ModifierKey::Meta), InputEvent::Release(ModifierKey::Alt),
                                InputEvent::Release(ModifierKey::Meta)}));
    const std::vector<std::string> expected = {
        "raw key press Control_L", "raw key press Shift_L",   "raw press 1",
        "raw release 1",           "raw key release Shift_L", "raw key release Control_L",
        "raw key press Alt_L",     "raw press 5",             "raw release 5",
        "raw key press Super_L",   "raw key release Alt_L",   "raw key release Super_L"};
    EXPECT_EQ(listener.Collect(expected.size(), kDeadline), expected);
    EXPECT_TRUE(listener.Quiet()) << "more input than sent";
}

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}

void CaptureLog(const std::string& line) { LogLines().push_back(line); }

// Takes a keysym out of the server's keymap, wherever it is, for as long as
// it lives; the keymap comes back whole after.
class KeysymRemoved {
public:
    explicit KeysymRemoved(KeySym keysym) : display(XOpenDisplay(nullptr)) {
        if (display == nullptr) return;
        XDisplayKeycodes(display, &first, &last);
        KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
        saved.assign(map, map + (last - first + 1) * perKeycode);
        XFree(map);
        std::vector<KeySym> without = saved;
        for (KeySym& each : without) {
            if (each == keysym) each = NoSymbol;
        }
        XChangeKeyboardMapping(display, first, perKeycode, without.data(), last - first + 1);
        BackendHearsOfIt();
    }
    ~KeysymRemoved() {
        if (display == nullptr) return;
        XChangeKeyboardMapping(display, first, perKeycode, saved.data(), last - first + 1);
        BackendHearsOfIt();
        XCloseDisplay(display);
    }
    KeysymRemoved(const KeysymRemoved&) = delete;
    KeysymRemoved& operator=(const KeysymRemoved&) = delete;

private:
    // Once the server has made the change, a round trip of the backend's own
    // connection reads the server's notice of it, which Xlib acts on.
    void BackendHearsOfIt() {
        XSync(display, False);
        Point ignored;
        GetCursorPos(ignored);
    }

    Display* display;
    int first = 0, last = 0, perKeycode = 0;
    std::vector<KeySym> saved;
};

// A keymap may lack a modifier (some kiosk and remote sessions have no Super
// key): that key is left out, said once, and the rest goes as sent.
TEST(X11InputBatch, AKeyTheKeymapLacksIsLeftOutAndSaidOnce) {
    XInputListener listener({XI_RawKeyPress, XI_RawKeyRelease, XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    LogLines().clear();
    platform::SetLogSink(CaptureLog);
    {
        const KeysymRemoved removed(XK_Super_L);
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(SendInputBatch({InputEvent::Press(ModifierKey::Meta), InputEvent::Press(ModifierKey::Ctrl),
                                        InputEvent::Down(MouseButton::Right), InputEvent::Up(MouseButton::Right),
                                        InputEvent::Release(ModifierKey::Ctrl), InputEvent::Release(ModifierKey::Meta)}));
            const std::vector<std::string> expected = {"raw key press Control_L", "raw press 3", "raw release 3",
                                                       "raw key release Control_L"};
            EXPECT_EQ(listener.Collect(expected.size(), kDeadline), expected);
            EXPECT_TRUE(listener.Quiet()) << "more input than sent";
        }
    }
    platform::SetLogSink(nullptr);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_NE(LogLines()[0].find("Super_L"), std::string::npos) << LogLines()[0];
}

struct WheelCase {
    std::string name;
    std::vector<std::vector<InputEvent>> batches;
    std::vector<std::string> expected;
};

// Each case leaves both wheels without a remainder, as it found them.
TEST(X11InputBatch, WheelAmountsBelowANotchAreCarried) {
    XInputListener listener({XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    const std::vector<WheelCase> cases = {
        {"whole notches", {{InputEvent::Wheel(240)}, {InputEvent::HWheel(-120)}}, [] {
             auto clicks = RawClicks(4, 2);
             for (const auto& click : RawClicks(6, 1)) clicks.push_back(click);
             return clicks;
         }()},
        {"thirds in one batch", {{InputEvent::Wheel(-40), InputEvent::Wheel(-40), InputEvent::Wheel(-40)}}, RawClicks(5, 1)},
        {"halves across batches", {{InputEvent::HWheel(60)}, {InputEvent::HWheel(60)}}, RawClicks(7, 1)},
        {"the wheels keep their own remainders",
         {{InputEvent::Wheel(60), InputEvent::HWheel(-60)}, {InputEvent::HWheel(60), InputEvent::Wheel(60)}},
         RawClicks(4, 1)},
    };
    for (const WheelCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& batch : c.batches) ASSERT_TRUE(SendInputBatch(batch));
        EXPECT_EQ(listener.Collect(c.expected.size(), kDeadline), c.expected);
        EXPECT_TRUE(listener.Quiet()) << "more notches than sent";
    }
}

// A command's part of a notch ends with the command: the next one scrolls
// by its own amount alone, in either direction.
TEST(X11InputBatch, TheEndOfACommandsWheelInputDropsItsPartOfANotch) {
    XInputListener listener({XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    struct Command {
        std::vector<InputEvent> batch;
    };
    struct CarryCase {
        std::string name;
        std::vector<Command> commands;  // each ended before the next
        std::vector<std::string> expected;
    };
    const std::vector<CarryCase> cases = {
        {"half a notch down, then three up", {{{InputEvent::Wheel(-60)}}, {{InputEvent::Wheel(360)}}}, RawClicks(4, 3)},
        {"half a notch up, then three down", {{{InputEvent::Wheel(60)}}, {{InputEvent::Wheel(-360)}}}, RawClicks(5, 3)},
        {"a notch and a half, then one the same way",
         {{{InputEvent::HWheel(180)}}, {{InputEvent::HWheel(120)}}}, RawClicks(7, 2)},
        {"both wheels' parts end", {{{InputEvent::Wheel(60), InputEvent::HWheel(-60)}}, {{InputEvent::HWheel(-60), InputEvent::Wheel(60)}}}, {}},
    };
    for (const CarryCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Command& command : c.commands) {
            ASSERT_TRUE(SendInputBatch(command.batch));
            EndWheelInput();
        }
        EXPECT_EQ(listener.Collect(c.expected.size(), kDeadline), c.expected);
        EXPECT_TRUE(listener.Quiet()) << "more notches than the commands made";
    }
}

// X11 carries 16 bits of a position or a step: anything beyond the screen
// (1365x767) ends at its edge rather than wrapping round.
TEST(X11InputBatch, PositionsAndStepsOffTheScreenEndAtItsEdge) {
    struct EdgeCase {
        std::string name;
        Point from;
        std::vector<InputEvent> batch;
        Point to;
    };
    const std::vector<EdgeCase> cases = {
        {"placed at x 65636", {600, 400}, {InputEvent::MoveTo(65636, 100)}, {1364, 100}},
        {"placed at x 40000, y 32768", {600, 400}, {InputEvent::MoveTo(40000, 32768)}, {1364, 766}},
        {"placed far above and left", {600, 400}, {InputEvent::MoveTo(-40000, -70000)}, {0, 0}},
        {"a step of 40000 right", {600, 400}, {InputEvent::MoveBy(40000, 0)}, {1364, 400}},
        {"a step of 32767 down", {600, 400}, {InputEvent::MoveBy(0, 32767)}, {600, 766}},
        {"a step of 70000 left and up", {600, 400}, {InputEvent::MoveBy(-70000, -70000)}, {0, 0}},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetCursorPos(c.from.x, c.from.y));
        ASSERT_TRUE(SendInputBatch(c.batch));
        EXPECT_EQ(Cursor().x, c.to.x);
        EXPECT_EQ(Cursor().y, c.to.y);
    }
    ASSERT_TRUE(SetCursorPos(70000, -70000));
    EXPECT_EQ(Cursor().x, 1364);
    EXPECT_EQ(Cursor().y, 0);
}

TEST(X11InputBatch, BatchesAndSingleEventsShareTheWheelRemainder) {
    XInputListener listener({XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    mouse_event(MOUSEEVENTF_WHEEL, 0, 0, 90, 0);
    ASSERT_TRUE(SendInputBatch({InputEvent::Wheel(30)}));
    EXPECT_EQ(listener.Collect(2, kDeadline), RawClicks(4, 1));
    EXPECT_TRUE(listener.Quiet());
}

}  // namespace
