// Input batches against a real X server (Xvfb, 1365x767): the events arrive in
// order, where they were sent, relative motion as relative motion, and wheel
// amounts below a notch wait for the rest of it.
#include "platform/Platform.h"

// Before Xlib, whose macros (None, Bool) break GoogleTest's templates.
#include <gtest/gtest.h>

#include "XInputListener.h"

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

TEST(X11InputBatch, BatchesAndSingleEventsShareTheWheelRemainder) {
    XInputListener listener({XI_RawButtonPress, XI_RawButtonRelease});
    ASSERT_TRUE(listener.Ready());
    mouse_event(MOUSEEVENTF_WHEEL, 0, 0, 90, 0);
    ASSERT_TRUE(SendInputBatch({InputEvent::Wheel(30)}));
    EXPECT_EQ(listener.Collect(2, kDeadline), RawClicks(4, 1));
    EXPECT_TRUE(listener.Quiet());
}

}  // namespace
