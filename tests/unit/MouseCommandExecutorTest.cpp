#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "plugin/MouseInjection.h"
#include "plugin/StopSignal.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

ActionSettings Settings(const std::string& command, const std::string& sleep = "0", const std::string& repeat = "0",
                        const std::string& wheel = "0", const std::string& x = "0", const std::string& y = "0") {
    ActionSettings settings;
    settings.my_mouse_event = command;
    settings.my_sleep = sleep;
    settings.my_repeat_loops = repeat;
    settings.my_wheel = wheel;
    settings.my_offset_x = x;
    settings.my_offset_y = y;
    return settings;
}

class ExecutorTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
    }

    // Loads and performs a command as a key press does; returns what it injected.
    std::vector<recording::Call> Press(const ActionSettings& settings) {
        LoadActiveMouseCommand(settings);
        started = Clock::now();
        ExecuteMouseCommand(StopSignal());
        finished = Clock::now();
        return TakeInputCalls();
    }

    Clock::time_point started;
    Clock::time_point finished;
};

Injected Event(std::uint32_t flags, std::int64_t data) { return {"mouse_event", {flags, data}}; }
Injected Cursor(std::int64_t x, std::int64_t y) { return {"SetCursorPos", {x, y}}; }

struct CommandCase {
    std::string command;
    std::string wheel;
    std::vector<Injected> expected;
};

TEST_F(ExecutorTest, EachCommandInjectsItsEventsInOnePass) {
    recording::SetScreenSize(1365, 767);
    const std::vector<CommandCase> cases = {
        {"MOUSE_LEFT_CLICK", "0", {Event(MOUSEEVENTF_LEFTDOWN, 0), Event(MOUSEEVENTF_LEFTUP, 0)}},
        {"MOUSE_MIDDLE_CLICK", "0", {Event(MOUSEEVENTF_MIDDLEDOWN, 0), Event(MOUSEEVENTF_MIDDLEUP, 0)}},
        {"MOUSE_RIGHT_CLICK", "0", {Event(MOUSEEVENTF_RIGHTDOWN, 0), Event(MOUSEEVENTF_RIGHTUP, 0)}},
        {"MOUSE_X1_CLICK", "0", {Event(MOUSEEVENTF_XDOWN, XBUTTON1), Event(MOUSEEVENTF_XUP, XBUTTON1)}},
        {"MOUSE_X2_CLICK", "0", {Event(MOUSEEVENTF_XDOWN, XBUTTON2), Event(MOUSEEVENTF_XUP, XBUTTON2)}},
        // The sign of the amount alone sets the direction, whatever the name says.
        {"MOUSE_WHEEL_UP", "120", {Event(MOUSEEVENTF_WHEEL, 120)}},
        {"MOUSE_WHEEL_DOWN", "120", {Event(MOUSEEVENTF_WHEEL, 120)}},
        {"MOUSE_WHEEL_UP", "-240", {Event(MOUSEEVENTF_WHEEL, -240)}},
        {"MOUSE_WHEEL_DOWN", "-360", {Event(MOUSEEVENTF_WHEEL, -360)}},
        {"MOUSE_WHEEL_UP", "0", {Event(MOUSEEVENTF_WHEEL, 0)}},
        {"MOUSE_HWHEEL_UP", "60", {Event(MOUSEEVENTF_HWHEEL, 60)}},
        {"MOUSE_HWHEEL_DOWN", "-120", {Event(MOUSEEVENTF_HWHEEL, -120)}},
        {"MOUSE_LEFT_DOWN", "0", {Event(MOUSEEVENTF_LEFTDOWN, 0)}},
        {"MOUSE_LEFT_UP", "0", {Event(MOUSEEVENTF_LEFTUP, 0)}},
        {"MOUSE_MIDDLE_DOWN", "0", {Event(MOUSEEVENTF_MIDDLEDOWN, 0)}},
        {"MOUSE_MIDDLE_UP", "0", {Event(MOUSEEVENTF_MIDDLEUP, 0)}},
        {"MOUSE_RIGHT_DOWN", "0", {Event(MOUSEEVENTF_RIGHTDOWN, 0)}},
        {"MOUSE_RIGHT_UP", "0", {Event(MOUSEEVENTF_RIGHTUP, 0)}},
        {"MOUSE_X1_DOWN", "0", {Event(MOUSEEVENTF_XDOWN, XBUTTON1)}},
        {"MOUSE_X1_UP", "0", {Event(MOUSEEVENTF_XUP, XBUTTON1)}},
        {"MOUSE_X2_DOWN", "0", {Event(MOUSEEVENTF_XDOWN, XBUTTON2)}},
        {"MOUSE_X2_UP", "0", {Event(MOUSEEVENTF_XUP, XBUTTON2)}},
        {"MOUSE_CURSOR_RESET", "0", {Cursor(682, 383)}},
        // Left to the worker, or not a command at all: nothing, but the pass still waits.
        {"MOUSE_CURSOR_MOVE", "0", {}},
        {"mouse_left_click", "0", {}},
        {"MOUSE_LEFT_CLICK ", "0", {}},
        {"", "0", {}},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.command + " wheel " + c.wheel);
        EXPECT_EQ(Describe(Press(Settings(c.command, "0", "0", c.wheel))), c.expected);
        EXPECT_GE(MillisecondsBetween(started, finished), kPassWaitMs);
    }
}

TEST_F(ExecutorTest, CursorPosUsesTheOffsetsAsTheyStand) {
    EXPECT_EQ(Describe(Press(Settings("MOUSE_CURSOR_POS", "0", "0", "0", "-10", "20"))),
              std::vector<Injected>{Cursor(-10, 20)});
}

TEST_F(ExecutorTest, CursorResetCentresOnTheReportedScreen) {
    recording::SetScreenSize(1920, 1080);
    EXPECT_EQ(Describe(Press(Settings("MOUSE_CURSOR_RESET"))), std::vector<Injected>{Cursor(960, 540)});
}

TEST_F(ExecutorTest, ClickPassesWaitThePauseInsideAnd200MsBetween) {
    const auto calls = Press(Settings("MOUSE_LEFT_CLICK", "50", "2"));
    ASSERT_EQ(calls.size(), 6u);
    for (std::size_t pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        const auto& down = calls[2 * pass];
        const auto& up = calls[2 * pass + 1];
        EXPECT_EQ(down.args[0], MOUSEEVENTF_LEFTDOWN);
        EXPECT_EQ(up.args[0], MOUSEEVENTF_LEFTUP);
        const long long inside = MillisecondsBetween(down.time, up.time);
        EXPECT_GE(inside, 50);
        EXPECT_LT(inside, 50 + 100);
        if (pass > 0) {
            const long long between = MillisecondsBetween(calls[2 * pass - 1].time, down.time);
            EXPECT_GE(between, kPassWaitMs);
            EXPECT_LT(between, kPassWaitMs + 100);
        }
    }
    const long long total = MillisecondsBetween(started, finished);
    EXPECT_GE(total, 750);
    EXPECT_LT(total, 750 + 250);
}

TEST_F(ExecutorTest, SingleShotComesOnceAfterAllPassWaits) {
    const auto calls = Press(Settings("MOUSE_RIGHT_DOWN", "0", "3"));
    ASSERT_EQ(Describe(calls), std::vector<Injected>{Event(MOUSEEVENTF_RIGHTDOWN, 0)});
    EXPECT_GE(MillisecondsBetween(started, calls[0].time), 4 * kPassWaitMs);
}

TEST_F(ExecutorTest, WheelTurnsOncePerPass) {
    const auto calls = Press(Settings("MOUSE_HWHEEL_DOWN", "0", "2", "-120"));
    EXPECT_EQ(Describe(calls), std::vector<Injected>(3, Event(MOUSEEVENTF_HWHEEL, -120)));
}

TEST_F(ExecutorTest, UnknownNameStillSpendsEveryPassWait) {
    EXPECT_TRUE(Press(Settings("MOUSE_NOTHING", "0", "1")).empty());
    EXPECT_GE(MillisecondsBetween(started, finished), 2 * kPassWaitMs);
}

TEST_F(ExecutorTest, NegativePauseClicksWithoutWaiting) {
    const auto calls = Press(Settings("MOUSE_LEFT_CLICK", "-20"));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_LT(MillisecondsBetween(calls[0].time, calls[1].time), 20);
    EXPECT_EQ(GetActiveMouseCommand().pauseMs, 0);
}

struct RepeatCase {
    std::string repeat;
    std::int32_t passCount;
};

TEST(LoadActiveMouseCommand, RepeatLoopsCountThePassesAfterTheFirst) {
    const std::vector<RepeatCase> cases = {
        {"0", 1}, {"-5", 1}, {"1", 2}, {"3", 4}, {"-2147483648", 1},
        // One more than the largest count does not fit; it saturates.
        {"2147483647", 2147483647}, {"2147483646", 2147483647},
    };
    for (const RepeatCase& c : cases) {
        SCOPED_TRACE(c.repeat);
        LoadActiveMouseCommand(Settings("MOUSE_LEFT_CLICK", "0", c.repeat));
        EXPECT_EQ(GetActiveMouseCommand().passCount, c.passCount);
    }
}

// A key whose numbers do not convert touches nothing of the command loaded before.
TEST(LoadActiveMouseCommand, FailedConversionChangesNothing) {
    LoadActiveMouseCommand(Settings("MOUSE_WHEEL_UP", "7", "2", "120", "11", "12"), "wheel key");
    ActionSettings onlyName;
    onlyName.my_mouse_event = "MOUSE_LEFT_DOWN";
    EXPECT_THROW(LoadActiveMouseCommand(onlyName, "other"), std::invalid_argument);
    EXPECT_THROW(LoadActiveMouseCommand(Settings("MOUSE_CURSOR_POS", "1", "1", "1", "1", "99999999999"), "other"),
                 std::out_of_range);
    const ActiveMouseCommand active = GetActiveMouseCommand();
    EXPECT_EQ(active.context, "wheel key");
    EXPECT_EQ(active.commandName, "MOUSE_WHEEL_UP");
    EXPECT_EQ(active.offsetX, 11);
    EXPECT_EQ(active.offsetY, 12);
    EXPECT_EQ(active.pauseMs, 7);
    EXPECT_EQ(active.passCount, 3);
}

// "my_repeat_loops" counts passes; the commands without passes never read it,
// so the hidden value a settings page keeps neither delays nor breaks them.
TEST(LoadActiveMouseCommand, OnlyCommandsWithPassesReadTheRepeatCount) {
    const struct {
        const char* command;
        const char* loops;
        std::int32_t passCount;
    } cases[] = {
        {"MOUSE_LEFT_CLICK", "99", 100},   {"MOUSE_WHEEL_UP", "0", 1},        {"MOUSE_CURSOR_POS", "-3", 1},
        {"MOUSE_CURSOR_MOVE", "99", 1},    {"MOUSE_CURSOR_MOVE", "x", 1},     {"MOUSE_WHEEL_HOLD", "99", 1},
        {"MOUSE_LEFT_TOGGLE", "junk", 1},  {"MOUSE_CLICK_AT", "5", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.loops);
        LoadActiveMouseCommand(Settings(c.command, "0", c.loops));
        EXPECT_EQ(GetActiveMouseCommand().passCount, c.passCount);
    }
    EXPECT_THROW(LoadActiveMouseCommand(Settings("MOUSE_LEFT_CLICK", "0", "x")),
                 std::invalid_argument);
}

TEST(MouseInjection, EndReleasesExactlyTheButtonsLeftPressedThenLetsNothingThrough) {
    recording::Reset();
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    InjectMouseEvent(MOUSEEVENTF_XDOWN, XBUTTON2);
    InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN, 0);
    InjectMouseEvent(MOUSEEVENTF_RIGHTUP, 0);
    InjectMouseEvent(MOUSEEVENTF_XUP, XBUTTON1);  // the other extra button: X2 stays down
    InjectMouseEvent(MOUSEEVENTF_WHEEL, 120);
    recording::TakeCalls();

    EndInput();
    const auto released = Describe(TakeInputCalls());
    EXPECT_EQ(released, (std::vector<Injected>{Event(MOUSEEVENTF_LEFTUP, 0), Event(MOUSEEVENTF_XUP, XBUTTON2)}));

    InjectMouseEvent(MOUSEEVENTF_MIDDLEDOWN, 0);
    EXPECT_FALSE(MoveCursorTo(5, 5));
    EndInput();
    EXPECT_TRUE(TakeInputCalls().empty()) << "input after the end, or a second release";
}

// A stop requested while a command waits (its key went away): the command
// returns at once, lets go of the button its click holds and injects
// nothing more.
TEST_F(ExecutorTest, StopEndsACommandAtItsNextWait) {
    struct StopCase {
        std::string command;
        std::string sleep;
        std::vector<Injected> before;
    };
    const std::vector<StopCase> cases = {
        {"MOUSE_LEFT_CLICK", "60000", {Event(MOUSEEVENTF_LEFTDOWN, 0), Event(MOUSEEVENTF_LEFTUP, 0)}},  // inside a press
        {"MOUSE_WHEEL_UP", "0", {Event(MOUSEEVENTF_WHEEL, 120)}},          // between passes
        {"MOUSE_LEFT_DOWN", "0", {}},                                      // before the single shot
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.command);
        LoadActiveMouseCommand(Settings(c.command, c.sleep, "2147483647", "120"));
        StopSignal stop;
        std::thread command([&] { ExecuteMouseCommand(stop); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Clock::time_point requested = Clock::now();
        stop.Request();
        command.join();
        EXPECT_LT(MillisecondsBetween(requested, Clock::now()), 50);
        EXPECT_EQ(Describe(TakeInputCalls()), c.before);
    }
}

}  // namespace
