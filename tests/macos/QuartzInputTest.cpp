// The macOS backend's translation against the recording Quartz table.
#include "FakeQuartz.h"

#include "platform/PlatformLog.h"
#include "platform/macos/QuartzInput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace fake_quartz;
using platform::InputEvent;
using platform::Monitor;
using platform::MouseButton;
using platform::Point;
using platform::quartz::ClickPairing;
using platform::quartz::QuartzInput;

ClickPairing::Clock::time_point At(int ms) { return ClickPairing::Clock::time_point() + std::chrono::milliseconds(ms); }

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}

void CaptureLog(const std::string& line) { LogLines().push_back(line); }

class QuartzInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogLines().clear();
        platform::SetLogSink(CaptureLog);
    }
    void TearDown() override {
        platform::SetLogSink(nullptr);
        EXPECT_EQ(Fake().liveEvents, 0) << "events made and never released";
    }
};

bool HasField(const Event& event, CGEventField field) { return event.fields.count(field) != 0; }

std::int64_t ClickStateOf(const Event& event) {
    const auto found = event.fields.find(kCGMouseEventClickState);
    return found == event.fields.end() ? 0 : found->second;
}

struct ButtonCase {
    const char* name;
    MouseButton button;
    CGEventType down;
    CGEventType up;
    CGEventType dragged;
    CGMouseButton number;
};

const ButtonCase kButtonCases[] = {
    {"left", MouseButton::Left, kCGEventLeftMouseDown, kCGEventLeftMouseUp, kCGEventLeftMouseDragged, 0},
    {"right", MouseButton::Right, kCGEventRightMouseDown, kCGEventRightMouseUp, kCGEventRightMouseDragged, 1},
    {"middle", MouseButton::Middle, kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, 2},
    {"X1 as back", MouseButton::X1, kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, 3},
    {"X2 as forward", MouseButton::X2, kCGEventOtherMouseDown, kCGEventOtherMouseUp, kCGEventOtherMouseDragged, 4},
};

TEST_F(QuartzInputTest, EachButtonPressesDragsAndReleasesWithItsOwnEventsAtTheCursor) {
    for (const ButtonCase& c : kButtonCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().cursor = {100, 200};
        QuartzInput input(table);
        ASSERT_TRUE(input.Send({InputEvent::Down(c.button)}, At(0)));
        ASSERT_TRUE(input.Send({InputEvent::MoveTo(110, 205)}, At(10)));
        ASSERT_TRUE(input.Send({InputEvent::Up(c.button)}, At(20)));
        ASSERT_TRUE(input.Send({InputEvent::MoveTo(120, 210)}, At(30)));

        const std::vector<Event>& posted = Fake().posted;
        ASSERT_EQ(posted.size(), 4u);
        const CGEventType types[] = {c.down, c.dragged, c.up, kCGEventMouseMoved};
        const CGPoint places[] = {{100, 200}, {110, 205}, {110, 205}, {120, 210}};
        for (std::size_t i = 0; i < posted.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_FALSE(posted[i].scroll);
            EXPECT_EQ(posted[i].type, types[i]);
            EXPECT_EQ(posted[i].location.x, places[i].x);
            EXPECT_EQ(posted[i].location.y, places[i].y);
            if (i < 3) {
                EXPECT_EQ(posted[i].button, c.number);
            }
        }
        EXPECT_EQ(ClickStateOf(posted[0]), 1);
        EXPECT_EQ(ClickStateOf(posted[2]), 1);
        EXPECT_FALSE(HasField(posted[1], kCGMouseEventClickState));
        EXPECT_FALSE(HasField(posted[3], kCGMouseEventClickState));
    }
}

struct Batch {
    int atMs;
    std::vector<InputEvent> events;
};

struct ClickCase {
    const char* name;
    double intervalSeconds;
    std::vector<Batch> batches;
    std::vector<std::int64_t> clickStates;  // of the presses and releases posted, in order
};

const InputEvent kLeftDown = InputEvent::Down(MouseButton::Left);
const InputEvent kLeftUp = InputEvent::Up(MouseButton::Left);

const ClickCase kClickCases[] = {
    {"a single click", 0.5, {{0, {kLeftDown}}, {50, {kLeftUp}}}, {1, 1}},
    {"a double-click", 0.5, {{0, {kLeftDown}}, {50, {kLeftUp}}, {200, {kLeftDown}}, {250, {kLeftUp}}}, {1, 1, 2, 2}},
    {"a triple click",
     0.5,
     {{0, {kLeftDown}}, {50, {kLeftUp}}, {200, {kLeftDown}}, {250, {kLeftUp}}, {400, {kLeftDown}}, {450, {kLeftUp}}},
     {1, 1, 2, 2, 3, 3}},
    {"each click in one batch", 0.5, {{0, {kLeftDown, kLeftUp}}, {100, {kLeftDown, kLeftUp}}}, {1, 1, 2, 2}},
    {"the second press just within the interval",
     0.5,
     {{0, {kLeftDown}}, {50, {kLeftUp}}, {500, {kLeftDown}}, {550, {kLeftUp}}},
     {1, 1, 2, 2}},
    {"the second press too late",
     0.5,
     {{0, {kLeftDown}}, {50, {kLeftUp}}, {501, {kLeftDown}}, {550, {kLeftUp}}},
     {1, 1, 1, 1}},
    {"too late for the system's shorter interval",
     0.3,
     {{0, {kLeftDown}}, {50, {kLeftUp}}, {350, {kLeftDown}}, {400, {kLeftUp}}},
     {1, 1, 1, 1}},
    {"another button between",
     0.5,
     {{0, {kLeftDown}},
      {20, {kLeftUp}},
      {40, {InputEvent::Down(MouseButton::Right)}},
      {60, {InputEvent::Up(MouseButton::Right)}},
      {80, {kLeftDown}},
      {100, {kLeftUp}}},
     {1, 1, 1, 1, 1, 1}},
    {"a move away between",
     0.5,
     {{0, {kLeftDown}}, {20, {kLeftUp}}, {40, {InputEvent::MoveTo(105, 100)}}, {80, {kLeftDown}}, {100, {kLeftUp}}},
     {1, 1, 1, 1}},
    {"a move away and back between",
     0.5,
     {{0, {kLeftDown}},
      {20, {kLeftUp}},
      {40, {InputEvent::MoveBy(0, 1)}},
      {50, {InputEvent::MoveBy(0, -1)}},
      {80, {kLeftDown}},
      {100, {kLeftUp}}},
     {1, 1, 1, 1}},
    {"a move onto the same place between",
     0.5,
     {{0, {kLeftDown}}, {20, {kLeftUp}}, {40, {InputEvent::MoveTo(100, 100)}}, {80, {kLeftDown}}, {100, {kLeftUp}}},
     {1, 1, 2, 2}},
    {"a double-click of an other button",
     0.5,
     {{0, {InputEvent::Down(MouseButton::X2)}},
      {20, {InputEvent::Up(MouseButton::X2)}},
      {80, {InputEvent::Down(MouseButton::X2)}},
      {100, {InputEvent::Up(MouseButton::X2)}}},
     {1, 1, 2, 2}},
};

TEST_F(QuartzInputTest, ClickStatesCountPressesOfOneButtonAtOnePlaceWithinTheSystemsInterval) {
    for (const ClickCase& c : kClickCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().cursor = {100, 100};
        Fake().doubleClickInterval = c.intervalSeconds;
        QuartzInput input(table);
        for (const Batch& batch : c.batches) ASSERT_TRUE(input.Send(batch.events, At(batch.atMs)));
        std::vector<std::int64_t> clickStates;
        for (const Event& event : Fake().posted) {
            if (HasField(event, kCGMouseEventClickState)) clickStates.push_back(ClickStateOf(event));
        }
        EXPECT_EQ(clickStates, c.clickStates);
    }
}

struct DragCase {
    const char* name;
    std::vector<MouseButton> held;
    CGEventType type;
    CGMouseButton number;  // for the "other" drags
};

const DragCase kDragCases[] = {
    {"nothing held: a plain move", {}, kCGEventMouseMoved, 0},
    {"left and right held: left's drag", {MouseButton::Right, MouseButton::Left}, kCGEventLeftMouseDragged, 0},
    {"right and middle held: right's drag", {MouseButton::Middle, MouseButton::Right}, kCGEventRightMouseDragged, 1},
    {"X2 and middle held: middle's drag", {MouseButton::X2, MouseButton::Middle}, kCGEventOtherMouseDragged, 2},
    {"X1 held", {MouseButton::X1}, kCGEventOtherMouseDragged, 3},
};

TEST_F(QuartzInputTest, MovesWhileAButtonIsHeldAreThatButtonsDrags) {
    for (const DragCase& c : kDragCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().cursor = {300, 300};
        QuartzInput input(table);
        std::vector<InputEvent> batch;
        for (const MouseButton button : c.held) batch.push_back(InputEvent::Down(button));
        batch.push_back(InputEvent::MoveTo(310, 300));
        batch.push_back(InputEvent::MoveBy(0, 5));
        ASSERT_TRUE(input.Send(batch, At(0)));
        const std::vector<Event>& posted = Fake().posted;
        ASSERT_EQ(posted.size(), c.held.size() + 2);
        for (std::size_t i = c.held.size(); i < posted.size(); ++i) {
            EXPECT_EQ(posted[i].type, c.type);
            if (c.type == kCGEventOtherMouseDragged) {
                EXPECT_EQ(posted[i].button, c.number);
            }
        }
    }
}

struct Scroll {
    std::uint32_t wheelCount;
    std::int32_t vertical;
    std::int32_t horizontal;
};

struct WheelCase {
    const char* name;
    std::vector<InputEvent> batches;  // one event each, as a held wheel sends them
    std::vector<Scroll> scrolls;
    // EndWheelInput after this many batches, as a command that made them ends.
    std::size_t endAfter = SIZE_MAX;
};

const WheelCase kWheelCases[] = {
    {"a notch up is a line up", {InputEvent::Wheel(120)}, {{1, 1, 0}}},
    {"two notches down", {InputEvent::Wheel(-240)}, {{1, -2, 0}}},
    {"halves of a notch add up", {InputEvent::Wheel(60), InputEvent::Wheel(60)}, {{1, 1, 0}}},
    {"halves that cancel post nothing", {InputEvent::Wheel(60), InputEvent::Wheel(-60)}, {}},
    {"a notch and a half, then a half",
     {InputEvent::Wheel(180), InputEvent::Wheel(60)},
     {{1, 1, 0}, {1, 1, 0}}},
    // Quartz's second axis is positive to the left.
    {"a notch right", {InputEvent::HWheel(120)}, {{2, 0, -1}}},
    {"three notches left", {InputEvent::HWheel(-360)}, {{2, 0, 3}}},
    {"each wheel keeps its own part",
     {InputEvent::Wheel(60), InputEvent::HWheel(60), InputEvent::Wheel(60), InputEvent::HWheel(-60)},
     {{1, 1, 0}}},
    {"a half notch ended adds nothing to the next half", {InputEvent::Wheel(60), InputEvent::Wheel(60)}, {}, 1},
    {"a half notch down ended takes nothing from three up",
     {InputEvent::Wheel(-60), InputEvent::Wheel(360)},
     {{1, 3, 0}},
     1},
    {"a notch and a half right ended, then a half", {InputEvent::HWheel(180), InputEvent::HWheel(60)}, {{2, 0, -1}}, 1},
    {"both wheels' parts end",
     {InputEvent::Wheel(60), InputEvent::HWheel(-60), InputEvent::HWheel(-60), InputEvent::Wheel(60)},
     {},
     2},
};

TEST_F(QuartzInputTest, WheelsPostWholeNotchesAsLinesAndCarryTheRestUntilTheirCommandEnds) {
    for (const WheelCase& c : kWheelCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        QuartzInput input(table);
        for (std::size_t i = 0; i < c.batches.size(); ++i) {
            if (i == c.endAfter) input.EndWheelInput();
            ASSERT_TRUE(input.Send({c.batches[i]}, At(0)));
        }
        const std::vector<Event>& posted = Fake().posted;
        ASSERT_EQ(posted.size(), c.scrolls.size());
        for (std::size_t i = 0; i < posted.size(); ++i) {
            EXPECT_TRUE(posted[i].scroll);
            EXPECT_EQ(posted[i].units, kCGScrollEventUnitLine);
            EXPECT_EQ(posted[i].wheelCount, c.scrolls[i].wheelCount);
            EXPECT_EQ(posted[i].wheel[0], c.scrolls[i].vertical);
            EXPECT_EQ(posted[i].wheel[1], c.scrolls[i].horizontal);
            EXPECT_EQ(posted[i].wheel[2], 0);
        }
    }
}

struct FlagsCase {
    const char* name;
    std::vector<std::vector<InputEvent>> batches;
    std::vector<CGEventFlags> flags;  // of the events posted, in order; 0: none set
};

const InputEvent kCtrl = InputEvent::Press(platform::ModifierKey::Ctrl);
const InputEvent kCtrlUp = InputEvent::Release(platform::ModifierKey::Ctrl);
const InputEvent kShift = InputEvent::Press(platform::ModifierKey::Shift);
const InputEvent kShiftUp = InputEvent::Release(platform::ModifierKey::Shift);
const InputEvent kAlt = InputEvent::Press(platform::ModifierKey::Alt);
const InputEvent kAltUp = InputEvent::Release(platform::ModifierKey::Alt);
const InputEvent kCommand = InputEvent::Press(platform::ModifierKey::Meta);
const InputEvent kCommandUp = InputEvent::Release(platform::ModifierKey::Meta);
constexpr CGEventFlags kControlFlag = kCGEventFlagMaskControl;
constexpr CGEventFlags kShiftFlag = kCGEventFlagMaskShift;
constexpr CGEventFlags kAltFlag = kCGEventFlagMaskAlternate;
constexpr CGEventFlags kCommandFlag = kCGEventFlagMaskCommand;

const FlagsCase kFlagsCases[] = {
    {"a Ctrl+Shift click, then a move",
     {{kCtrl, kShift, kLeftDown, kLeftUp, kShiftUp, kCtrlUp}, {InputEvent::MoveTo(10, 10)}},
     {kControlFlag | kShiftFlag, kControlFlag | kShiftFlag, 0}},
    {"a Shift drag lock: the press, drags in later batches, the release",
     {{kShift, kLeftDown},
      {InputEvent::MoveTo(120, 100)},
      {InputEvent::MoveBy(5, 5)},
      {kLeftUp, kShiftUp},
      {InputEvent::MoveTo(10, 10)}},
     {kShiftFlag, kShiftFlag, kShiftFlag, kShiftFlag, 0}},
    {"Command with both wheels",
     {{kCommand, InputEvent::Wheel(120), InputEvent::HWheel(-120), kCommandUp}, {InputEvent::Wheel(120)}},
     {kCommandFlag, kCommandFlag, 0}},
    {"Alt held over a held wheel's batches",
     {{kAlt}, {InputEvent::Wheel(120)}, {InputEvent::Wheel(-120)}, {kAltUp}, {InputEvent::Wheel(120)}},
     {kAltFlag, kAltFlag, 0}},
    {"each key its own flag: one released, the other stays",
     {{kCtrl, kAlt, InputEvent::Down(MouseButton::Right), kCtrlUp, InputEvent::Up(MouseButton::Right), kAltUp}},
     {kControlFlag | kAltFlag, kAltFlag}},
    {"all four", {{kCtrl, kShift, kAlt, kCommand, kLeftDown}, {kLeftUp, kCommandUp, kAltUp, kShiftUp, kCtrlUp}},
     {kControlFlag | kShiftFlag | kAltFlag | kCommandFlag, kControlFlag | kShiftFlag | kAltFlag | kCommandFlag}},
    {"a key pressed twice goes with one release",
     {{kShift, kShift, InputEvent::MoveBy(1, 0), kShiftUp, InputEvent::MoveBy(1, 0)}},
     {kShiftFlag, 0}},
    {"a release of a key never pressed changes nothing", {{kCtrlUp, kLeftDown, kLeftUp}}, {0, 0}},
    {"keys alone post nothing", {{kCtrl, kCommand}, {kCommandUp, kCtrlUp}}, {}},
};

// Quartz posts no key: from a key's press to its release the mouse events
// carry its flag, and the release ends it in any case.
TEST_F(QuartzInputTest, ModifierKeysAreTheFlagsOfTheMouseEventsBetweenTheirPressAndRelease) {
    for (const FlagsCase& c : kFlagsCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().cursor = {100, 100};
        QuartzInput input(table);
        int at = 0;
        for (const std::vector<InputEvent>& batch : c.batches) ASSERT_TRUE(input.Send(batch, At(at += 10)));
        std::vector<CGEventFlags> flags;
        for (const Event& event : Fake().posted) {
            EXPECT_EQ(event.flagsSet, event.flags != 0) << "flags of no key set on an event";
            flags.push_back(event.flags);
        }
        EXPECT_EQ(flags, c.flags);
    }
}

struct LayoutCase {
    const char* name;
    std::vector<Display> displays;
    CGDirectDisplayID mainDisplay;
    CGError listError;
    std::vector<Monitor> monitors;
};

const LayoutCase kLayoutCases[] = {
    {"one display", {{1, {{0, 0}, {1440, 900}}}}, 1, kCGErrorSuccess, {{0, 0, 1440, 900, true}}},
    {"the main display second, another left of it and higher",
     {{2, {{-1920, -180}, {1920, 1080}}}, {1, {{0, 0}, {1512, 982}}}},
     1,
     kCGErrorSuccess,
     {{-1920, -180, 1920, 1080, false}, {0, 0, 1512, 982, true}}},
    {"no main display among them: the first is primary",
     {{2, {{0, 0}, {1280, 800}}}, {3, {{1280, 0}, {1280, 800}}}},
     9,
     kCGErrorSuccess,
     {{0, 0, 1280, 800, true}, {1280, 0, 1280, 800, false}}},
    {"the list refused", {{1, {{0, 0}, {1440, 900}}}}, 1, 1001, {}},
};

TEST_F(QuartzInputTest, MonitorsAreTheActiveDisplaysWithTheMainOnePrimary) {
    for (const LayoutCase& c : kLayoutCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().displays = c.displays;
        Fake().mainDisplay = c.mainDisplay;
        Fake().displayListError = c.listError;
        QuartzInput input(table);
        const std::vector<Monitor> monitors = input.Monitors();
        ASSERT_EQ(monitors.size(), c.monitors.size());
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            EXPECT_EQ(monitors[i].x, c.monitors[i].x);
            EXPECT_EQ(monitors[i].y, c.monitors[i].y);
            EXPECT_EQ(monitors[i].width, c.monitors[i].width);
            EXPECT_EQ(monitors[i].height, c.monitors[i].height);
            EXPECT_EQ(monitors[i].primary, c.monitors[i].primary);
        }
    }
}

struct MoveCase {
    const char* name;
    CGPoint cursor;
    std::vector<InputEvent> batch;
    std::vector<CGPoint> places;  // of the moves posted, in order
};

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The main display, and a taller one right of it that reaches 200 points
// above it: their union is no rectangle.
const std::vector<Display> kTwoDisplays = {{1, {{0, 0}, {1440, 900}}}, {2, {{1440, -200}, {1920, 1080}}}};

const MoveCase kMoveCases[] = {
    {"within the main display", {0, 0}, {InputEvent::MoveTo(700, 400)}, {{700, 400}}},
    {"its last pixel", {0, 0}, {InputEvent::MoveTo(1439, 899)}, {{1439, 899}}},
    {"on the second display above the main one", {0, 0}, {InputEvent::MoveTo(1500, -150)}, {{1500, -150}}},
    {"above the main display", {0, 0}, {InputEvent::MoveTo(100, -50)}, {{100, 0}}},
    {"below the second display", {0, 0}, {InputEvent::MoveTo(1500, 950)}, {{1500, 879}}},
    {"below the main display", {0, 0}, {InputEvent::MoveTo(1000, 950)}, {{1000, 899}}},
    {"far beyond both", {0, 0}, {InputEvent::MoveTo(5000, 5000)}, {{3359, 879}}},
    {"the ends of the coordinate range", {0, 0}, {InputEvent::MoveTo(kMin, kMax)}, {{0, 899}}},
    {"relative moves start at the cursor and follow each other",
     {100, 100},
     {InputEvent::MoveBy(5, -3), InputEvent::MoveBy(5, 0)},
     {{105, 97}, {110, 97}}},
    {"a relative move from an absolute one in the same batch",
     {100, 100},
     {InputEvent::MoveTo(20, 30), InputEvent::MoveBy(1, 1)},
     {{20, 30}, {21, 31}}},
    {"a relative move stops at the corner of the displays", {1430, 890}, {InputEvent::MoveBy(20, 20)}, {{1439, 899}}},
    {"a relative move past the coordinate range", {0, 0}, {InputEvent::MoveBy(kMin, kMin)}, {{0, 0}}},
    {"a fractional cursor starts from its pixel", {10.7, -3.2}, {InputEvent::MoveBy(0, 10)}, {{10, 6}}},
};

TEST_F(QuartzInputTest, MovesLandOnTheNearestPixelOfTheDisplays) {
    for (const MoveCase& c : kMoveCases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().displays = kTwoDisplays;
        Fake().cursor = c.cursor;
        QuartzInput input(table);
        ASSERT_TRUE(input.Send(c.batch, At(0)));
        const std::vector<Event>& posted = Fake().posted;
        ASSERT_EQ(posted.size(), c.places.size());
        for (std::size_t i = 0; i < posted.size(); ++i) {
            EXPECT_EQ(posted[i].type, kCGEventMouseMoved);
            EXPECT_EQ(posted[i].location.x, c.places[i].x);
            EXPECT_EQ(posted[i].location.y, c.places[i].y);
        }
        EXPECT_EQ(Fake().cursor.x, c.places.back().x);
        EXPECT_EQ(Fake().cursor.y, c.places.back().y);
    }
}

TEST_F(QuartzInputTest, WithoutADisplayListMovesArePostedAsAsked) {
    const Functions table = Reset();
    Fake().displayListError = 1001;
    QuartzInput input(table);
    ASSERT_TRUE(input.Send({InputEvent::MoveTo(-5000, 7000)}, At(0)));
    ASSERT_EQ(Fake().posted.size(), 1u);
    EXPECT_EQ(Fake().posted[0].location.x, -5000);
    EXPECT_EQ(Fake().posted[0].location.y, 7000);
}

TEST_F(QuartzInputTest, RelativeMovesCarryTheirWholeDeltaAbsoluteOnesNone) {
    const Functions table = Reset();
    Fake().cursor = {5, 5};
    QuartzInput input(table);
    // The second stops at the display's edge; a game reads the motion all the same.
    ASSERT_TRUE(input.Send({InputEvent::MoveBy(7, -2), InputEvent::MoveBy(-40, 3), InputEvent::MoveTo(50, 50)}, At(0)));
    const std::vector<Event>& posted = Fake().posted;
    ASSERT_EQ(posted.size(), 3u);
    EXPECT_EQ(posted[0].fields.at(kCGMouseEventDeltaX), 7);
    EXPECT_EQ(posted[0].fields.at(kCGMouseEventDeltaY), -2);
    EXPECT_EQ(posted[1].location.x, 0);
    EXPECT_EQ(posted[1].fields.at(kCGMouseEventDeltaX), -40);
    EXPECT_EQ(posted[1].fields.at(kCGMouseEventDeltaY), 3);
    EXPECT_FALSE(HasField(posted[2], kCGMouseEventDeltaX));
    EXPECT_FALSE(HasField(posted[2], kCGMouseEventDeltaY));
}

TEST_F(QuartzInputTest, ARefusedPermissionIsRequestedAndLoggedOnceAndFailsEveryBatchUntilGranted) {
    const Functions table = Reset();
    Fake().mayPost = false;
    QuartzInput input(table);
    EXPECT_TRUE(input.Send({}, At(0))) << "no input, nothing to ask";
    EXPECT_TRUE(input.Send({InputEvent::Press(platform::ModifierKey::Ctrl)}, At(0))) << "a key alone posts nothing";
    EXPECT_TRUE(input.Send({InputEvent::Release(platform::ModifierKey::Ctrl)}, At(0)));
    EXPECT_EQ(Fake().preflights, 0);
    EXPECT_FALSE(input.Send({InputEvent::Down(MouseButton::Left)}, At(0)));
    EXPECT_FALSE(input.Send({InputEvent::Up(MouseButton::Left)}, At(10)));
    EXPECT_FALSE(input.Send({InputEvent::Wheel(120)}, At(20)));
    EXPECT_TRUE(Fake().posted.empty());
    EXPECT_EQ(Fake().requests, 1);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_NE(LogLines()[0].find("Stream Deck"), std::string::npos) << LogLines()[0];
    EXPECT_NE(LogLines()[0].find("Privacy & Security, Accessibility"), std::string::npos) << LogLines()[0];

    // Allowed in System Settings: asked no more once it is.
    Fake().mayPost = true;
    EXPECT_TRUE(input.Send({InputEvent::Wheel(120)}, At(30)));
    EXPECT_TRUE(input.Send({InputEvent::Wheel(120)}, At(40)));
    EXPECT_EQ(Fake().posted.size(), 2u);
    EXPECT_EQ(Fake().preflights, 4);
    EXPECT_EQ(Fake().requests, 1);
    EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(QuartzInputTest, AMissingFunctionFailsEveryBatchAndIsNamedOnce) {
    {
        const Functions table = Reset();
        QuartzInput input(table);
        ASSERT_TRUE(input.Send({InputEvent::MoveTo(1, 1), InputEvent::Down(MouseButton::Left)}, At(0)))
            << "the fake's full table posts";
    }
    for (const std::string& name : FunctionNames()) {
        SCOPED_TRACE(name);
        LogLines().clear();
        const Functions table = Without(name);
        QuartzInput input(table);
        EXPECT_FALSE(input.Send({InputEvent::MoveTo(1, 1), InputEvent::Down(MouseButton::Left)}, At(0)));
        EXPECT_FALSE(input.Send({InputEvent::Wheel(120)}, At(10)));
        EXPECT_TRUE(Fake().posted.empty());
        ASSERT_EQ(LogLines().size(), 1u);
        EXPECT_NE(LogLines()[0].find(name), std::string::npos) << LogLines()[0];
    }
}

TEST_F(QuartzInputTest, AnEventThatCannotBeMadeEndsTheBatchAndLeaksNothing) {
    for (const CGEventType failing : {kCGEventLeftMouseDown, kCGEventLeftMouseDragged, kCGEventScrollWheel}) {
        SCOPED_TRACE(failing);
        const Functions table = Reset();
        Fake().failToCreate = failing;
        QuartzInput input(table);
        EXPECT_FALSE(input.Send({InputEvent::Down(MouseButton::Left), InputEvent::MoveTo(9, 9),
                                 InputEvent::Up(MouseButton::Left), InputEvent::Wheel(120)},
                                At(0)));
        for (const Event& event : Fake().posted) EXPECT_NE(event.type, failing);
        EXPECT_EQ(Fake().liveEvents, 0);
    }
}

TEST_F(QuartzInputTest, TheCursorIsReadAsThePixelItIsOn) {
    const struct {
        CGPoint cursor;
        Point pixel;
    } cases[] = {{{10.7, 20.2}, {10, 20}}, {{-0.5, -1920}, {-1, -1920}}, {{NAN, 1e300}, {0, kMax}}};
    for (const auto& c : cases) {
        const Functions table = Reset();
        Fake().cursor = c.cursor;
        QuartzInput input(table);
        Point point;
        ASSERT_TRUE(input.ReadCursor(point));
        EXPECT_EQ(point.x, c.pixel.x);
        EXPECT_EQ(point.y, c.pixel.y);
    }
    QuartzInput without(Without("CGEventGetLocation"));
    Point point;
    EXPECT_FALSE(without.ReadCursor(point));
}

TEST_F(QuartzInputTest, TheDoubleClickTimeIsNSEventsIntervalOrHalfASecond) {
    const struct {
        const char* name;
        bool hasNSEvent;
        double seconds;
        int ms;
    } cases[] = {
        {"the system's interval", true, 0.35, 350}, {"the longest setting", true, 5.0, 5000},
        {"no AppKit", false, 0.35, 500},           {"a zero interval", true, 0.0, 500},
        {"not a number", true, NAN, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Functions table = Reset();
        Fake().hasNSEvent = c.hasNSEvent;
        Fake().doubleClickInterval = c.seconds;
        EXPECT_EQ(QuartzInput(table).DoubleClickTimeMs(), c.ms);
    }
    EXPECT_EQ(QuartzInput(Without("objc_msgSend")).DoubleClickTimeMs(), 500);
}

}  // namespace
