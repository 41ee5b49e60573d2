#pragma once

#include <cstdint>

namespace platform {

// SendInput's absolute coordinates run from 0 to 65535 across the virtual
// desktop, and Windows turns one back into the pixel
// origin + coordinate * extent / 65536, rounded down. Returns the smallest
// coordinate that comes back as `pixel`, which also survives a system that
// rounds to nearest; pixels off the desktop go to its edge.
inline std::int32_t ToVirtualDesktopCoordinate(std::int32_t pixel, std::int32_t origin, std::int32_t extent) {
    if (extent <= 0) return 0;
    long long offset = static_cast<long long>(pixel) - origin;
    if (offset < 0) offset = 0;
    if (offset > extent - 1) offset = extent - 1;
    const long long coordinate = (offset * 65536 + extent - 1) / extent;
    return static_cast<std::int32_t>(coordinate > 65535 ? 65535 : coordinate);
}

}  // namespace platform
