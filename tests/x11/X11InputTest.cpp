// The X11 backend against a real X server (run under Xvfb with a 1365x767
// screen): what it injects must arrive as X input, seen by a second client
// through XInput2 raw events, and the pointer must end where it was put.
#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/StopSignal.h"

// Before Xlib, whose macros (None, Bool) break GoogleTest's templates.
#include <gtest/gtest.h>

#include "XInputListener.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

using namespace platform;

namespace {

XInputListener RawButtons() { return XInputListener({XI_RawButtonPress, XI_RawButtonRelease}); }

struct InjectionCase {
    std::string name;
    std::vector<std::pair<std::uint32_t, std::int32_t>> events;  // mouse_event flags and data
    std::vector<std::string> expected;
};

TEST(X11Input, WindowsEventsBecomeTheirXButtons) {
    XInputListener listener = RawButtons();
    ASSERT_TRUE(listener.Ready()) << "needs an X display with XInput2 (run under Xvfb)";
    const std::vector<InjectionCase> cases = {
        {"left", {{MOUSEEVENTF_LEFTDOWN, 0}, {MOUSEEVENTF_LEFTUP, 0}}, RawClicks(1, 1)},
        {"middle", {{MOUSEEVENTF_MIDDLEDOWN, 0}, {MOUSEEVENTF_MIDDLEUP, 0}}, RawClicks(2, 1)},
        {"right", {{MOUSEEVENTF_RIGHTDOWN, 0}, {MOUSEEVENTF_RIGHTUP, 0}}, RawClicks(3, 1)},
        {"x1", {{MOUSEEVENTF_XDOWN, XBUTTON1}, {MOUSEEVENTF_XUP, XBUTTON1}}, RawClicks(8, 1)},
        {"x2", {{MOUSEEVENTF_XDOWN, XBUTTON2}, {MOUSEEVENTF_XUP, XBUTTON2}}, RawClicks(9, 1)},
        {"wheel forward two notches", {{MOUSEEVENTF_WHEEL, 240}}, RawClicks(4, 2)},
        {"wheel backward", {{MOUSEEVENTF_WHEEL, -120}}, RawClicks(5, 1)},
        {"wheel right", {{MOUSEEVENTF_HWHEEL, 120}}, RawClicks(7, 1)},
        {"wheel left three notches", {{MOUSEEVENTF_HWHEEL, -360}}, RawClicks(6, 3)},
        {"half notches add up", {{MOUSEEVENTF_WHEEL, 60}, {MOUSEEVENTF_WHEEL, 60}}, RawClicks(4, 1)},
        {"a remainder carries to the next event", {{MOUSEEVENTF_WHEEL, 200}, {MOUSEEVENTF_WHEEL, 40}}, RawClicks(4, 2)},
        {"the wheels keep their own remainders",
         {{MOUSEEVENTF_HWHEEL, 60}, {MOUSEEVENTF_WHEEL, 60}, {MOUSEEVENTF_HWHEEL, -60}, {MOUSEEVENTF_WHEEL, 60}},
         RawClicks(4, 1)},
    };
    for (const InjectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [flags, data] : c.events) mouse_event(flags, 0, 0, data, 0);
        EXPECT_EQ(listener.Collect(c.expected.size(), std::chrono::seconds(2)), c.expected);
        EXPECT_TRUE(listener.Quiet()) << "more input than expected";
    }
}

ActionSettings Command(const std::string& name) {
    ActionSettings settings;
    settings.my_mouse_event = name;
    for (std::string* number : {&settings.my_sleep, &settings.my_offset_x, &settings.my_offset_y, &settings.my_wheel,
                                &settings.my_repeat_loops}) {
        *number = "0";
    }
    return settings;
}

TEST(X11Input, ClickCommandArrivesAsButtonOne) {
    XInputListener listener = RawButtons();
    ASSERT_TRUE(listener.Ready());
    LoadActiveMouseCommand(Command("MOUSE_LEFT_CLICK"));
    ExecuteMouseCommand(StopSignal());
    EXPECT_EQ(listener.Collect(2, std::chrono::seconds(2)), RawClicks(1, 1));
}

TEST(X11Input, CursorResetCentresOnTheScreen) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1365);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 767);
    ASSERT_TRUE(SetCursorPos(10, 20));
    LoadActiveMouseCommand(Command("MOUSE_CURSOR_RESET"));
    ExecuteMouseCommand(StopSignal());
    Point cursor;
    ASSERT_TRUE(GetCursorPos(cursor));
    EXPECT_EQ(cursor.x, 682);
    EXPECT_EQ(cursor.y, 383);
}

TEST(X11Input, PlacementIsClampedByTheScreen) {
    ASSERT_TRUE(SetCursorPos(-10, 5000));
    Point cursor;
    ASSERT_TRUE(GetCursorPos(cursor));
    EXPECT_EQ(cursor.x, 0);
    EXPECT_EQ(cursor.y, 766);
}

}  // namespace
