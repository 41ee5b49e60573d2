// A Wayland output layout as monitors, and desktop pixels as absolute motion
// over it.
#include "platform/linux/wayland/OutputLayout.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::linux_input;

namespace {

std::vector<std::vector<std::int32_t>> Rows(const std::vector<Monitor>& monitors) {
    std::vector<std::vector<std::int32_t>> rows;
    for (const Monitor& m : monitors) rows.push_back({m.x, m.y, m.width, m.height, m.primary ? 1 : 0});
    return rows;
}

TEST(OutputLayout, MonitorsCountFromThePrimaryOutput) {
    struct Case {
        const char* layout;
        std::vector<LayoutRect> outputs;
        std::vector<std::vector<std::int32_t>> monitors;  // x, y, width, height, primary
    };
    const std::vector<Case> cases = {
        {"one output", {{0, 0, 1365, 767}}, {{0, 0, 1365, 767, 1}}},
        {"second output to the right", {{0, 0, 1365, 767}, {1365, 0, 800, 600}},
         {{0, 0, 1365, 767, 1}, {1365, 0, 800, 600, 0}}},
        {"the output at the origin is primary, wherever it is listed", {{-800, 100, 800, 600}, {0, 0, 1920, 1080}},
         {{-800, 100, 800, 600, 0}, {0, 0, 1920, 1080, 1}}},
        {"no output at the origin: the first is primary", {{200, 50, 1024, 768}, {1224, 50, 640, 480}},
         {{0, 0, 1024, 768, 1}, {1024, 0, 640, 480, 0}}},
        {"outputs without a size yet are left out", {{0, 0, 0, 0}, {1920, 0, 1280, 1024}}, {{0, 0, 1280, 1024, 1}}},
        {"none", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(Rows(DesktopMonitors(c.outputs)), c.monitors);
    }
}

TEST(OutputLayout, AbsoluteMotionSpansTheBoundingBoxAndStaysInside) {
    const std::vector<Monitor> sideBySide = {{0, 0, 1365, 767, true}, {1365, 0, 800, 600, false}};
    const std::vector<Monitor> leftOfPrimary = {{-800, 100, 800, 600, false}, {0, 0, 1920, 1080, true}};
    struct Case {
        const char* what;
        const std::vector<Monitor>& monitors;
        std::int32_t x, y;
        std::vector<std::uint32_t> motion;  // x, y, x extent, y extent
    };
    const std::vector<Case> cases = {
        {"on the primary", sideBySide, 300, 200, {300, 200, 2165, 767}},
        {"on the second", sideBySide, 1415, 60, {1415, 60, 2165, 767}},
        {"beyond the right and bottom edges", sideBySide, 99999, 99999, {2164, 766, 2165, 767}},
        {"left of the primary", leftOfPrimary, -10, 500, {790, 500, 2720, 1080}},
        {"beyond the left and top edges", leftOfPrimary, -5000, -5000, {0, 0, 2720, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<AbsoluteMotion> motion = AbsoluteMotionTo(c.monitors, c.x, c.y);
        ASSERT_TRUE(motion.has_value());
        EXPECT_EQ((std::vector<std::uint32_t>{motion->x, motion->y, motion->xExtent, motion->yExtent}), c.motion);
    }
    EXPECT_FALSE(AbsoluteMotionTo({}, 0, 0).has_value()) << "without monitors there is nowhere to go";
}

}  // namespace
