#include "plugin/MonitorChoice.h"
#include "platform/recording/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <ostream>

using platform::Monitor;
using platform::Point;

namespace platform {

bool operator==(const Monitor& a, const Monitor& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.primary == b.primary;
}

std::ostream& operator<<(std::ostream& out, const Monitor& m) {
    return out << m.width << 'x' << m.height << (m.x < 0 ? "" : "+") << m.x << (m.y < 0 ? "" : "+") << m.y
               << (m.primary ? " primary" : "");
}

}  // namespace platform

namespace {

// Layouts as the system lists them, in its own order.
const Monitor kLaptop{0, 0, 1920, 1080, true};
const Monitor kLeft{-1280, 0, 1280, 1024, false};
const Monitor kRightTall{1920, -200, 1080, 1920, false};
const Monitor kAbove{0, -1080, 1920, 1080, false};
const Monitor kBelow{0, 1080, 1920, 1080, false};
// A primary in the middle of the row, listed neither first nor leftmost.
const Monitor kMiddlePrimary{0, 0, 2560, 1440, true};
const Monitor kFarLeft{-3840, 0, 1920, 1080, false};
const Monitor kNearLeft{-1920, 0, 1920, 1080, false};

struct LayoutCase {
    const char* name;
    std::vector<Monitor> listed;
    std::vector<Monitor> numbered;
};

TEST(MonitorChoice, PrimaryFirstThenLeftToRightThenTopToBottom) {
    const LayoutCase cases[] = {
        {"one", {kLaptop}, {kLaptop}},
        {"left and right of the primary", {kRightTall, kLaptop, kLeft}, {kLaptop, kLeft, kRightTall}},
        {"primary right of two", {kNearLeft, kMiddlePrimary, kFarLeft}, {kMiddlePrimary, kFarLeft, kNearLeft}},
        {"stacked on one left edge", {kBelow, kAbove, kLaptop}, {kLaptop, kAbove, kBelow}},
        {"none marked primary", {Monitor{100, 0, 10, 10, false}, Monitor{-5, 0, 10, 10, false}},
         {Monitor{-5, 0, 10, 10, false}, Monitor{100, 0, 10, 10, false}}},
        {"none", {}, {}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NumberMonitors(c.listed), c.numbered);
    }
}

struct ChoiceCase {
    std::string choice;
    std::optional<Point> cursor;
    std::optional<Monitor> chosen;
};

TEST(MonitorChoice, NumbersAndTheCursorNameAMonitorAndNothingElseDoes) {
    const std::vector<Monitor> numbered = NumberMonitors({kRightTall, kLaptop, kLeft});
    const ChoiceCase cases[] = {
        {"1", std::nullopt, kLaptop},
        {"2", std::nullopt, kLeft},
        {"3", std::nullopt, kRightTall},
        {"03", std::nullopt, kRightTall},
        // Past the last monitor, or not a plain number: nothing.
        {"4", std::nullopt, std::nullopt},
        {"0", std::nullopt, std::nullopt},
        {"-1", std::nullopt, std::nullopt},
        {"+1", std::nullopt, std::nullopt},
        {" 1", std::nullopt, std::nullopt},
        {"1 ", std::nullopt, std::nullopt},
        {"1.0", std::nullopt, std::nullopt},
        {"99999999999999999999", std::nullopt, std::nullopt},
        {"primary", std::nullopt, std::nullopt},
        {"Cursor", Point{5, 5}, std::nullopt},
        // The monitor under the pointer; edges belong to the monitor they start.
        {"cursor", Point{-1, 500}, kLeft},
        {"cursor", Point{0, 0}, kLaptop},
        {"cursor", Point{1919, 1079}, kLaptop},
        {"cursor", Point{1920, -200}, kRightTall},
        // Between monitors: the nearest; unknown: the primary.
        {"cursor", Point{-600, 1500}, kLeft},
        {"cursor", Point{2500, 1900}, kRightTall},
        {"cursor", std::nullopt, kLaptop},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE("\"" + c.choice + "\"" + (c.cursor ? " at " + std::to_string(c.cursor->x) + "," +
                                                              std::to_string(c.cursor->y)
                                                        : std::string()));
        EXPECT_EQ(ChooseMonitor(c.choice, numbered, c.cursor), c.chosen);
    }
    EXPECT_EQ(ChooseMonitor("1", {}, std::nullopt), std::nullopt);
    EXPECT_EQ(ChooseMonitor("cursor", {}, Point{0, 0}), std::nullopt);
}

TEST(MonitorChoice, KeepInsideMovesToTheNearestPixelOfTheMonitor) {
    struct InsideCase {
        std::int64_t x;
        std::int64_t y;
        Point expected;
    };
    const InsideCase cases[] = {
        {-1270, 20, {-1270, 20}},  {-1281, -5, {-1280, 0}},  {0, 1024, {-1, 1023}},
        {5000000000LL, -5000000000LL, {-1, 0}},
    };
    for (const InsideCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const Point inside = KeepInside(c.x, c.y, kLeft);
        EXPECT_EQ(inside.x, c.expected.x);
        EXPECT_EQ(inside.y, c.expected.y);
    }
}

TEST(MonitorChoice, FindChosenMonitorAsksTheSystem) {
    platform::recording::Reset();
    platform::recording::SetMonitors({kRightTall, kLaptop, kLeft});
    platform::recording::SetCursor(2000, 1000);
    EXPECT_EQ(FindChosenMonitor("2"), kLeft);
    EXPECT_EQ(FindChosenMonitor("cursor"), kRightTall);
    platform::recording::SetGetCursorPosFails(true);
    EXPECT_EQ(FindChosenMonitor("cursor"), kLaptop);

    // A system that lists no monitor has its primary screen.
    platform::recording::SetMonitors({});
    platform::recording::SetScreenSize(1365, 767);
    EXPECT_EQ(FindChosenMonitor("1"), (Monitor{0, 0, 1365, 767, true}));
    EXPECT_EQ(FindChosenMonitor("2"), std::nullopt);
}

}  // namespace
