// Keeping positions and relative steps on the desktop, whatever the monitors'
// layout: the rectangle that holds them all, and the nearest pixel in it.
#include "platform/DesktopBounds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace platform;

namespace {

const std::vector<Monitor> kOne = {{0, 0, 1920, 1080, true}};
// The primary on the right, a taller one to its left reaching above it.
const std::vector<Monitor> kTwo = {{0, 0, 1920, 1080, true}, {-1280, -200, 1280, 1400, false}};

TEST(DesktopBounds, TheDesktopHoldsEveryMonitorWithASize) {
    struct Case {
        std::string name;
        std::vector<Monitor> monitors;
        std::optional<DesktopRect> desktop;
    };
    const std::vector<Case> cases = {
        {"none", {}, std::nullopt},
        {"only monitors without a size", {{0, 0, 0, 1080, true}, {10, 10, 100, -1, false}}, std::nullopt},
        {"one", kOne, DesktopRect{0, 0, 1920, 1080}},
        {"two, one left of and above the primary", kTwo, DesktopRect{-1280, -200, 1920, 1200}},
        {"one without a size is left out", {{0, 0, 800, 600, true}, {5000, 5000, 0, 0, false}}, DesktopRect{0, 0, 800, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DesktopRect> desktop = DesktopOf(c.monitors);
        ASSERT_EQ(desktop.has_value(), c.desktop.has_value());
        if (!desktop) continue;
        EXPECT_EQ(desktop->left, c.desktop->left);
        EXPECT_EQ(desktop->top, c.desktop->top);
        EXPECT_EQ(desktop->right, c.desktop->right);
        EXPECT_EQ(desktop->bottom, c.desktop->bottom);
    }
}

struct ClampCase {
    std::string name;
    std::int64_t x;
    std::int64_t y;
    Point expected;
};

void ExpectClamped(const std::vector<ClampCase>& cases, Point (*clamp)(const DesktopRect&, std::int64_t, std::int64_t)) {
    const DesktopRect desktop = *DesktopOf(kTwo);
    for (const ClampCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Point clamped = clamp(desktop, c.x, c.y);
        EXPECT_EQ(clamped.x, c.expected.x);
        EXPECT_EQ(clamped.y, c.expected.y);
    }
}

TEST(DesktopBounds, APositionOffTheDesktopGoesToItsNearestPixel) {
    constexpr std::int64_t kWide = std::numeric_limits<std::int64_t>::max();
    ExpectClamped({
                      {"on the primary", 100, 200, {100, 200}},
                      {"on the left monitor, above the primary", -1000, -150, {-1000, -150}},
                      {"the last pixel", 1919, 1199, {1919, 1199}},
                      {"one past the right edge", 1920, 500, {1919, 500}},
                      {"x 65636, which 16 bits would make 100", 65636, 100, {1919, 100}},
                      {"x 40000", 40000, 200, {1919, 200}},
                      {"far left and above", -70000, -70000, {-1280, -200}},
                      {"beyond any int", kWide, -kWide, {1919, -200}},
                  },
                  ClampToDesktop);
}

TEST(DesktopBounds, AStepLongerThanTheDesktopIsCutToItsWidthOrHeight) {
    // The desktop is 3200 x 1400.
    ExpectClamped({
                      {"a short step", 7, -3, {7, -3}},
                      {"the widest step that still matters", 3199, -1399, {3199, -1399}},
                      {"40000 right", 40000, 0, {3199, 0}},
                      {"32767 down", 0, 32767, {0, 1399}},
                      {"70000 left and up", -70000, -70000, {-3199, -1399}},
                  },
                  ClampStepToDesktop);
}

}  // namespace
