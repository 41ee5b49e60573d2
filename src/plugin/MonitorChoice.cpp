#include "plugin/MonitorChoice.h"

#include <algorithm>
#include <cstdint>

using platform::Monitor;
using platform::Point;

namespace {

// "1".."N" with no sign, blank or other character; 0 when it is not that.
std::size_t MonitorNumber(const std::string& choice) {
    if (choice.empty() || choice.size() > 4) return 0;
    std::size_t number = 0;
    for (const char c : choice) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return number;
}

// How far the point lies outside the monitor, squared; 0 inside.
std::int64_t DistanceSquared(const Point& point, const Monitor& monitor) {
    const Point inside = KeepInside(point.x, point.y, monitor);
    const std::int64_t dx = static_cast<std::int64_t>(point.x) - inside.x;
    const std::int64_t dy = static_cast<std::int64_t>(point.y) - inside.y;
    return dx * dx + dy * dy;
}

}  // namespace

std::vector<Monitor> NumberMonitors(std::vector<Monitor> monitors) {
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary != monitors.end()) std::rotate(monitors.begin(), primary, primary + 1);
    const auto others = primary != monitors.end() ? monitors.begin() + 1 : monitors.begin();
    std::stable_sort(others, monitors.end(),
                     [](const Monitor& a, const Monitor& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return monitors;
}

std::optional<Monitor> ChooseMonitor(const std::string& choice, const std::vector<Monitor>& numbered,
                                     const std::optional<Point>& cursor) {
    if (numbered.empty()) return std::nullopt;
    if (choice == "cursor") {
        if (!cursor) return numbered.front();
        return *std::min_element(numbered.begin(), numbered.end(), [&](const Monitor& a, const Monitor& b) {
            return DistanceSquared(*cursor, a) < DistanceSquared(*cursor, b);
        });
    }
    const std::size_t number = MonitorNumber(choice);
    if (number == 0 || number > numbered.size()) return std::nullopt;
    return numbered[number - 1];
}

Point KeepInside(std::int64_t x, std::int64_t y, const Monitor& monitor) {
    const std::int64_t right = static_cast<std::int64_t>(monitor.x) + std::max(monitor.width, 1) - 1;
    const std::int64_t bottom = static_cast<std::int64_t>(monitor.y) + std::max(monitor.height, 1) - 1;
    return {static_cast<std::int32_t>(std::clamp<std::int64_t>(x, monitor.x, right)),
            static_cast<std::int32_t>(std::clamp<std::int64_t>(y, monitor.y, bottom))};
}

std::vector<Monitor> NumberedSystemMonitors() {
    std::vector<Monitor> monitors = platform::GetMonitors();
    if (monitors.empty()) {
        monitors.push_back({0, 0, platform::GetSystemMetrics(platform::SM_CXSCREEN),
                            platform::GetSystemMetrics(platform::SM_CYSCREEN), true});
    }
    return NumberMonitors(std::move(monitors));
}

std::optional<Monitor> FindChosenMonitor(const std::string& choice) {
    std::optional<Point> cursor;
    Point read;
    if (choice == "cursor" && platform::GetCursorPos(read)) cursor = read;
    return ChooseMonitor(choice, NumberedSystemMonitors(), cursor);
}
