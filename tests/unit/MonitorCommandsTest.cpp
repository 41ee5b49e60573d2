#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/StopSignal.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/SavedPositions.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "ConsoleCapture.h"
#include "KeyPressParts.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

// Listed by the system with the primary in the middle: numbered 1 (primary),
// 2 (left of it, above the desktop's origin) and 3 (right).
const std::vector<Monitor> kListed = {
    {1920, 0, 1280, 1024, false},
    {0, 0, 1920, 1080, true},
    {-2560, -400, 2560, 1440, false},
};

struct MonitorCase {
    std::string command;
    std::string monitor;
    std::string x;
    std::string y;
    std::vector<InputEvent> batch;  // empty: nothing at all
};

class MonitorCommandsTest : public testing::Test, protected KeyPressParts {
protected:
    void SetUp() override {
        recording::Reset();
        recording::SetMonitors(kListed);
    }

    std::vector<Injected> Press(const MonitorCase& c) {
        ActionSettings settings;
        settings.my_mouse_event = c.command;
        settings.my_sleep = "0";
        settings.my_offset_x = c.x;
        settings.my_offset_y = c.y;
        settings.my_wheel = "0";
        settings.my_repeat_loops = "0";
        settings.my_monitor = c.monitor;
        LoadActiveMouseCommand(settings);
        Perform("key", "deck");
        return Describe(TakeInputCalls());
    }

};

std::vector<Injected> Expected(const MonitorCase& c) {
    if (c.batch.empty()) return {};
    return {{"SendInput", {}, c.batch}};
}

TEST_F(MonitorCommandsTest, OffsetsCountFromTheChosenMonitorAndStayOnIt) {
    recording::SetCursor(2000, 500);  // on monitor 3
    const auto clickAt = [](std::int32_t x, std::int32_t y) {
        return std::vector<InputEvent>{InputEvent::MoveTo(x, y), InputEvent::Down(MouseButton::Left),
                                       InputEvent::Up(MouseButton::Left)};
    };
    const MonitorCase cases[] = {
        {"MOUSE_CURSOR_POS", "1", "10", "20", {InputEvent::MoveTo(10, 20)}},
        {"MOUSE_CURSOR_POS", "2", "10", "20", {InputEvent::MoveTo(-2550, -380)}},
        {"MOUSE_CURSOR_POS", "3", "10", "20", {InputEvent::MoveTo(1930, 20)}},
        {"MOUSE_CURSOR_POS", "cursor", "-5", "5000", {InputEvent::MoveTo(1920, 1023)}},
        {"MOUSE_CURSOR_POS", "2", "99999", "-99999", {InputEvent::MoveTo(-1, -400)}},
        {"MOUSE_CURSOR_RESET", "1", "0", "0", {InputEvent::MoveTo(960, 540)}},
        {"MOUSE_CURSOR_RESET", "2", "0", "0", {InputEvent::MoveTo(-1280, 320)}},
        {"MOUSE_CURSOR_RESET", "3", "0", "0", {InputEvent::MoveTo(2560, 512)}},
        {"MOUSE_CLICK_AT", "2", "100", "100", clickAt(-2460, -300)},
        {"MOUSE_CLICK_AT", "3", "-100", "100", clickAt(1920, 100)},
        // No monitor chosen: desktop pixels as they are, off every monitor too.
        {"MOUSE_CLICK_AT", "", "-3000", "-500", clickAt(-3000, -500)},
        // A monitor that is not there: nothing happens.
        {"MOUSE_CURSOR_POS", "4", "10", "20", {}},
        {"MOUSE_CURSOR_RESET", "0", "0", "0", {}},
        {"MOUSE_CLICK_AT", "second", "1", "1", {}},
    };
    for (const MonitorCase& c : cases) {
        SCOPED_TRACE(c.command + " on \"" + c.monitor + "\" at " + c.x + "," + c.y);
        EXPECT_EQ(Press(c), Expected(c));
        recording::SetCursor(2000, 500);
    }
}

TEST_F(MonitorCommandsTest, WithoutAMonitorPositionsAreTheSystemsOwn) {
    EXPECT_EQ(Press({"MOUSE_CURSOR_POS", "", "-10", "20", {}}), (std::vector<Injected>{{"SetCursorPos", {-10, 20}}}));
    // The primary display's centre as the system reports its size, not a monitor's.
    recording::SetScreenSize(1365, 767);
    EXPECT_EQ(Press({"MOUSE_CURSOR_RESET", "", "0", "0", {}}), (std::vector<Injected>{{"SetCursorPos", {682, 383}}}));
    for (const auto& call : recording::TakeCalls()) EXPECT_NE(call.what, "GetMonitors");
}

TEST_F(MonitorCommandsTest, PlacementStillComesAfterThePasses) {
    const auto started = std::chrono::steady_clock::now();
    const MonitorCase c = {"MOUSE_CURSOR_RESET", "2", "0", "0", {InputEvent::MoveTo(-1280, 320)}};
    EXPECT_EQ(Press(c), Expected(c));
    EXPECT_GE(MillisecondsBetween(started, std::chrono::steady_clock::now()), kPassWaitMs);
}

TEST_F(MonitorCommandsTest, AMonitorThatIsNotThereIsLogged) {
    EXPECT_EQ(ConsoleOutputOf([&] { Press({"MOUSE_CURSOR_POS", "4", "1", "1", {}}); }),
              "No monitor \"4\": MOUSE_CURSOR_POS does nothing\n");
}

}  // namespace
