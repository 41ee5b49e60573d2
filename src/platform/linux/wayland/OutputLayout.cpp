#include "platform/linux/wayland/OutputLayout.h"

#include "platform/DesktopBounds.h"

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
    const std::optional<DesktopRect> desktop = DesktopOf(monitors);
    if (!desktop) return std::nullopt;
    const Point on = ClampToDesktop(*desktop, x, y);
    AbsoluteMotion motion;
    motion.x = static_cast<std::uint32_t>(on.x - desktop->left);
    motion.y = static_cast<std::uint32_t>(on.y - desktop->top);
    motion.xExtent = static_cast<std::uint32_t>(desktop->right - desktop->left);
    motion.yExtent = static_cast<std::uint32_t>(desktop->bottom - desktop->top);
    return motion;
}

}  // namespace platform::linux_input
