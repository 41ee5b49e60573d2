#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <vector>

// A Wayland compositor's output layout in the terms of the platform layer.
namespace platform::linux_input {

// An output's place in the layout, in logical pixels.
struct LayoutRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The outputs as monitors, in the same order, leaving out those without a
// size yet. Desktop pixels put the primary display's corner at (0, 0), as on
// Windows; Wayland names no primary output, so it is the one at the layout's
// origin, else the first.
std::vector<Monitor> DesktopMonitors(const std::vector<LayoutRect>& outputs);

// motion_absolute's arguments: a position within the extents of the
// monitors' bounding box.
struct AbsoluteMotion {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t xExtent = 0;
    std::uint32_t yExtent = 0;
};

// Where desktop pixel (x, y) lies in the bounding box, moved onto its edge
// when outside; nothing without monitors.
std::optional<AbsoluteMotion> AbsoluteMotionTo(const std::vector<Monitor>& monitors, std::int32_t x, std::int32_t y);

}  // namespace platform::linux_input
