#include "platform/linux/wayland/OutputLayout.h"

#include <algorithm>

namespace platform::linux_input {

std::vector<Monitor> DesktopMonitors(const std::vector<LayoutRect>& outputs) {
    std::vector<Monitor> monitors;
    std::size_t primary = 0;
    for (const LayoutRect& output : outputs) {
        if (output.width <= 0 || output.height <= 0) continue;
        if (output.x == 0 && output.y == 0) primary = monitors.size();
        monitors.push_back({output.x, output.y, output.width, output.height, false});
    }
    if (monitors.empty()) return monitors;
    const Monitor origin = monitors[primary];
    for (Monitor& monitor : monitors) {
        monitor.x -= origin.x;
        monitor.y -= origin.y;
    }
    monitors[primary].primary = true;
    return monitors;
}

std::optional<AbsoluteMotion> AbsoluteMotionTo(const std::vector<Monitor>& monitors, std::int32_t x, std::int32_t y) {
    if (monitors.empty()) return std::nullopt;
    std::int64_t left = monitors[0].x, top = monitors[0].y, right = left, bottom = top;
    for (const Monitor& m : monitors) {
        left = std::min<std::int64_t>(left, m.x);
        top = std::min<std::int64_t>(top, m.y);
        right = std::max<std::int64_t>(right, static_cast<std::int64_t>(m.x) + m.width);
        bottom = std::max<std::int64_t>(bottom, static_cast<std::int64_t>(m.y) + m.height);
    }
    AbsoluteMotion motion;
    motion.x = static_cast<std::uint32_t>(std::clamp<std::int64_t>(x, left, right - 1) - left);
    motion.y = static_cast<std::uint32_t>(std::clamp<std::int64_t>(y, top, bottom - 1) - top);
    motion.xExtent = static_cast<std::uint32_t>(right - left);
    motion.yExtent = static_cast<std::uint32_t>(bottom - top);
    return motion;
}

}  // namespace platform::linux_input
