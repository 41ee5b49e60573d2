#include "platform/macos/DisplayClamp.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace platform::quartz {
namespace {

std::int32_t Saturate(long long value) {
    return static_cast<std::int32_t>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}

long long ClampInto(long long value, std::int32_t start, std::int32_t length) {
    return std::clamp<long long>(value, start, static_cast<long long>(start) + length - 1);
}

}  // namespace

Point ClampToDisplays(Point place, const std::vector<Monitor>& displays) {
    Point nearest = place;
    double nearestDistance = -1;
    for (const Monitor& display : displays) {
        if (display.width <= 0 || display.height <= 0) continue;
        const long long x = ClampInto(place.x, display.x, display.width);
        const long long y = ClampInto(place.y, display.y, display.height);
        // In doubles: the square of an int32 difference may pass a long long.
        const double dx = static_cast<double>(x - place.x);
        const double dy = static_cast<double>(y - place.y);
        const double distance = dx * dx + dy * dy;
        if (nearestDistance >= 0 && distance >= nearestDistance) continue;
        nearestDistance = distance;
        nearest = {Saturate(x), Saturate(y)};
    }
    return nearest;
}

Point Offset(Point place, Point delta) {
    return {Saturate(static_cast<long long>(place.x) + delta.x), Saturate(static_cast<long long>(place.y) + delta.y)};
}

}  // namespace platform::quartz
