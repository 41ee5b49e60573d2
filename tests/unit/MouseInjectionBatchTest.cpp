#include "plugin/MouseInjection.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace platform;

namespace {

Injected Batch(std::vector<InputEvent> events) { return {"SendInput", {}, std::move(events)}; }
Injected Event(std::uint32_t flags, std::int64_t data) { return {"mouse_event", {flags, data}}; }

// Buttons pressed by batches, refused ones included, are released at the
// end like those of mouse_event, and nothing passes after it.
TEST(MouseInjection, EndReleasesTheButtonsBatchesLeftDown) {
    recording::Reset();
    EXPECT_TRUE(InjectInputBatch({InputEvent::MoveTo(5, 5), InputEvent::Down(MouseButton::Left)}));
    EXPECT_TRUE(InjectInputBatch({InputEvent::Down(MouseButton::X1), InputEvent::Down(MouseButton::Middle),
                                  InputEvent::Up(MouseButton::Middle)}));
    InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN, 0);
    EXPECT_TRUE(InjectInputBatch({InputEvent::Up(MouseButton::Right)}));
    recording::SetSendInputFails(true);
    EXPECT_FALSE(InjectInputBatch({InputEvent::Down(MouseButton::X2)}));
    recording::TakeCalls();

    EndInput();
    EXPECT_EQ(Describe(TakeInputCalls()), (std::vector<Injected>{Event(MOUSEEVENTF_LEFTUP, 0),
                                                                 Event(MOUSEEVENTF_XUP, XBUTTON1),
                                                                 Event(MOUSEEVENTF_XUP, XBUTTON2)}));
    EXPECT_FALSE(InjectInputBatch({InputEvent::Down(MouseButton::Left)}));
    EXPECT_FALSE(InjectInputBatch({InputEvent::MoveBy(1, 1)}));
    EXPECT_TRUE(TakeInputCalls().empty()) << "a batch after the end";
}

// What the end releases of the modifier keys that batches pressed: one batch
// after the buttons, the last key of the pressing order first.
struct EndCase {
    const char* name;
    std::vector<std::vector<InputEvent>> batches;
    std::vector<InputEvent> refused;  // a batch the system refuses, last
    std::vector<Injected> atEnd;
};

const EndCase kEndCases[] = {
    {"a Ctrl+Shift drag lock: the button, then the keys",
     {{kCtrl, kShift, InputEvent::Down(MouseButton::Left)}},
     {},
     {Event(MOUSEEVENTF_LEFTUP, 0), Batch({kShiftUp, kCtrlUp})}},
    {"keys their command released", {{kAlt, InputEvent::Wheel(120), kAltUp}, {kMeta}, {kMetaUp}}, {}, {}},
    {"every key, pressed in another order", {{kMeta}, {kShift}, {kCtrl, kAlt}}, {}, {Batch({kMetaUp, kAltUp, kShiftUp, kCtrlUp})}},
    {"one key of two released", {{kCtrl, kShift}, {kCtrlUp}}, {}, {Batch({kShiftUp})}},
    {"a key pressed twice and released once", {{kShift}, {kShift}, {kShiftUp}}, {}, {}},
    {"a refused batch's key and button count as down",
     {},
     {kCtrl, InputEvent::Down(MouseButton::Right)},
     {Event(MOUSEEVENTF_RIGHTUP, 0), Batch({kCtrlUp})}},
};

// Its name in the test's name.
void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class MouseInjectionEnd : public testing::TestWithParam<EndCase> {};

// A case a process: nothing passes the gate after its end.
TEST_P(MouseInjectionEnd, ReleasesTheModifierKeysBatchesLeftDownAfterTheButtons) {
    const EndCase& c = GetParam();
    recording::Reset();
    for (const std::vector<InputEvent>& batch : c.batches) EXPECT_TRUE(InjectInputBatch(batch));
    if (!c.refused.empty()) {
        recording::SetSendInputFails(true);
        EXPECT_FALSE(InjectInputBatch(c.refused));
        recording::SetSendInputFails(false);
    }
    recording::TakeCalls();
    EXPECT_TRUE(EndInput());
    EXPECT_EQ(Describe(TakeInputCalls()), c.atEnd);
    EXPECT_FALSE(InjectInputBatch({kCtrl}));
    EXPECT_TRUE(TakeInputCalls().empty()) << "a key after the end";
}

INSTANTIATE_TEST_SUITE_P(Keys, MouseInjectionEnd, testing::ValuesIn(kEndCases),
                         [](const testing::TestParamInfo<EndCase>& info) { return std::to_string(info.index); });

TEST(MouseInjection, BatchGoesOutWholeInOneCall) {
    recording::Reset();
    const std::vector<InputEvent> batch = {InputEvent::MoveTo(-10, 20), InputEvent::Down(MouseButton::Right),
                                           InputEvent::Up(MouseButton::Right), InputEvent::MoveTo(1, 2)};
    EXPECT_TRUE(InjectInputBatch(batch));
    EXPECT_EQ(Describe(TakeInputCalls()), std::vector<Injected>{Batch(batch)});
}

}  // namespace
