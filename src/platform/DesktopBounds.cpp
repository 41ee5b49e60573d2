#include "platform/DesktopBounds.h"

#include <algorithm>

namespace platform {
namespace {

std::int32_t Within(std::int64_t value, std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(std::clamp(value, low, std::max(low, high)));
}

}  // namespace

std::optional<DesktopRect> DesktopOf(const std::vector<Monitor>& monitors) {
    std::optional<DesktopRect> desktop;
    for (const Monitor& m : monitors) {
        if (m.width <= 0 || m.height <= 0) continue;
        const DesktopRect rect{m.x, m.y, std::int64_t{m.x} + m.width, std::int64_t{m.y} + m.height};
        if (!desktop) {
            desktop = rect;
            continue;
        }
        desktop->left = std::min(desktop->left, rect.left);
        desktop->top = std::min(desktop->top, rect.top);
        desktop->right = std::max(desktop->right, rect.right);
        desktop->bottom = std::max(desktop->bottom, rect.bottom);
    }
    return desktop;
}

Point ClampToDesktop(const DesktopRect& desktop, std::int64_t x, std::int64_t y) {
    return {Within(x, desktop.left, desktop.right - 1), Within(y, desktop.top, desktop.bottom - 1)};
}

Point ClampStepToDesktop(const DesktopRect& desktop, std::int64_t dx, std::int64_t dy) {
    const std::int64_t width = desktop.right - desktop.left;
    const std::int64_t height = desktop.bottom - desktop.top;
    return {Within(dx, 1 - width, width - 1), Within(dy, 1 - height, height - 1)};
}

}  // namespace platform
