#include "platform/win32/VirtualDesktopCoordinates.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Desktop {
    std::int32_t origin;
    std::int32_t extent;
};

// What Windows makes of an absolute coordinate: the pixel it lands on.
long long LandsOn(std::int32_t coordinate, const Desktop& desktop) {
    return desktop.origin + static_cast<long long>(coordinate) * desktop.extent / 65536;
}

// A single display, one left of the primary, three 2560 wide with the primary
// in the middle, odd and tiny extents, and the widest a system would build.
const Desktop kDesktops[] = {{0, 1920}, {-1280, 3200}, {-2560, 7680}, {0, 1365}, {-1, 3}, {0, 1}, {0, 32768}};

TEST(VirtualDesktopCoordinates, EveryPixelIsReachedExactly) {
    for (const Desktop& desktop : kDesktops) {
        SCOPED_TRACE(testing::Message() << "origin " << desktop.origin << " extent " << desktop.extent);
        for (std::int32_t offset = 0; offset < desktop.extent; ++offset) {
            const std::int32_t pixel = desktop.origin + offset;
            const std::int32_t coordinate = platform::ToVirtualDesktopCoordinate(pixel, desktop.origin, desktop.extent);
            ASSERT_GE(coordinate, 0);
            ASSERT_LE(coordinate, 65535);
            ASSERT_EQ(LandsOn(coordinate, desktop), pixel) << "pixel " << pixel;
            // A system that rounds to the nearest pixel must land there too.
            const double exact = static_cast<double>(coordinate) * desktop.extent / 65536;
            ASSERT_EQ(desktop.origin + std::lround(exact), pixel) << "pixel " << pixel << " rounded";
        }
    }
}

TEST(VirtualDesktopCoordinates, PixelsOffTheDesktopGoToItsEdge) {
    const Desktop desktop{-1280, 3200};
    for (const std::int32_t left : {-1281, -5000, INT32_MIN}) {
        EXPECT_EQ(LandsOn(platform::ToVirtualDesktopCoordinate(left, desktop.origin, desktop.extent), desktop), -1280);
    }
    for (const std::int32_t right : {1920, 7000, INT32_MAX}) {
        EXPECT_EQ(LandsOn(platform::ToVirtualDesktopCoordinate(right, desktop.origin, desktop.extent), desktop), 1919);
    }
    EXPECT_EQ(platform::ToVirtualDesktopCoordinate(10, 0, 0), 0) << "no desktop";
}

}  // namespace
