#include "plugin/MouseInjection.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

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

TEST(MouseInjection, BatchGoesOutWholeInOneCall) {
    recording::Reset();
    const std::vector<InputEvent> batch = {InputEvent::MoveTo(-10, 20), InputEvent::Down(MouseButton::Right),
                                           InputEvent::Up(MouseButton::Right), InputEvent::MoveTo(1, 2)};
    EXPECT_TRUE(InjectInputBatch(batch));
    EXPECT_EQ(Describe(TakeInputCalls()), std::vector<Injected>{Batch(batch)});
}

}  // namespace
