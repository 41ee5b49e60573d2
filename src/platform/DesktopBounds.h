#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <vector>

// Keeping positions and steps on the desktop before they reach a system that
// would wrap them (X11 takes 16 bits of a coordinate) or place them off every
// display.
namespace platform {

// The rectangle that holds every monitor, in desktop pixels; right and
// bottom are one past the last pixel.
struct DesktopRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
};

// Nothing without monitors, or when none has a size.
std::optional<DesktopRect> DesktopOf(const std::vector<Monitor>& monitors);

// The desktop pixel nearest to (x, y).
Point ClampToDesktop(const DesktopRect& desktop, std::int64_t x, std::int64_t y);

// A relative step cut to the desktop's width and height: no longer step can
// take the pointer further, as the system stops it at the edge.
Point ClampStepToDesktop(const DesktopRect& desktop, std::int64_t dx, std::int64_t dy);

}  // namespace platform
