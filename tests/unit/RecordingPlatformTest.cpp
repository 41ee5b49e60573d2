// The recording backend stands in for the system in every other unit test:
// what it reports after a batch must be what a system would report.
#include "platform/Platform.h"
#include "platform/recording/RecordingPlatform.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class RecordingPlatformTest : public testing::Test {
protected:
    void SetUp() override { recording::Reset(); }

    Point Cursor() {
        Point cursor;
        EXPECT_TRUE(GetCursorPos(cursor));
        return cursor;
    }
};

TEST_F(RecordingPlatformTest, EachBatchIsOneCallAndTheCursorFollowsItsMoves) {
    recording::SetCursor(100, 100);
    const std::vector<InputEvent> clickAt = {InputEvent::MoveTo(-300, 40), InputEvent::Down(MouseButton::X2),
                                             InputEvent::Up(MouseButton::X2)};
    const std::vector<InputEvent> nudge = {InputEvent::MoveBy(5, -7), InputEvent::Wheel(30)};
    ASSERT_TRUE(SendInputBatch(clickAt));
    EXPECT_EQ(Cursor().x, -300);
    ASSERT_TRUE(SendInputBatch(nudge));
    EXPECT_EQ(Cursor().x, -295);
    EXPECT_EQ(Cursor().y, 33);
    EXPECT_EQ(Describe(TakeInputCalls()),
              (std::vector<Injected>{{"SendInput", {}, clickAt}, {"SendInput", {}, nudge}}));
}

TEST_F(RecordingPlatformTest, ARefusedBatchIsRecordedButMovesNothing) {
    recording::SetCursor(7, 8);
    recording::SetSendInputFails(true);
    EXPECT_FALSE(SendInputBatch({InputEvent::MoveTo(500, 500)}));
    EXPECT_EQ(Cursor().x, 7);
    EXPECT_EQ(TakeInputCalls().size(), 1u);
}

TEST_F(RecordingPlatformTest, EventsDescribeThemselvesByWhatTheyMean) {
    const std::vector<std::pair<InputEvent, std::string>> cases = {
        {InputEvent::MoveTo(10, -20), "move 10 -20"},
        {InputEvent::MoveBy(3, 0), "relative 3 0"},
        {InputEvent::Down(MouseButton::Left), "down left"},
        {InputEvent::Up(MouseButton::Middle), "up middle"},
        {InputEvent::Down(MouseButton::Right), "down right"},
        {InputEvent::Up(MouseButton::X1), "up x1"},
        {InputEvent::Wheel(-60), "wheel -60"},
        {InputEvent::HWheel(120), "hwheel 120"},
    };
    for (const auto& [event, text] : cases) EXPECT_EQ(recording::Describe(event), text);
    EXPECT_EQ(InputEvent::Wheel(60), (InputEvent{InputEvent::Kind::Wheel, 4, 5, MouseButton::X1, 60}))
        << "unused fields ignored";
    EXPECT_FALSE(InputEvent::Wheel(60) == InputEvent::Wheel(61));
}

TEST_F(RecordingPlatformTest, MonitorsAreTheScreenUntilSet) {
    recording::SetScreenSize(1365, 767);
    std::vector<Monitor> monitors = GetMonitors();
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0].width, 1365);
    EXPECT_EQ(monitors[0].height, 767);
    EXPECT_TRUE(monitors[0].primary);
    recording::SetMonitors({{-1280, 0, 1280, 1024, false}, {0, 0, 1920, 1080, true}});
    monitors = GetMonitors();
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0].x, -1280);
    EXPECT_TRUE(monitors[1].primary);
    recording::Reset();
    EXPECT_EQ(GetMonitors().size(), 1u);
}

}  // namespace
