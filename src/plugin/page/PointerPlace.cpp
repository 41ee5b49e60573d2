#include "plugin/page/PointerPlace.h"

#include "plugin/MonitorChoice.h"

using platform::Monitor;
using platform::Point;

int MonitorNumberAt(const Point& point, const std::vector<Monitor>& numbered) {
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        const Monitor& m = numbered[i];
        const std::int64_t x = point.x;
        const std::int64_t y = point.y;
        if (x >= m.x && y >= m.y && x < static_cast<std::int64_t>(m.x) + m.width &&
            y < static_cast<std::int64_t>(m.y) + m.height) {
            return static_cast<int>(i + 1);
        }
    }
    return 0;
}

std::optional<PointerPlace> ReadPointerPlace(const std::vector<Monitor>& numbered) {
    Point point;
    if (!platform::GetCursorPos(point)) return std::nullopt;
    return PointerPlace{point, MonitorNumberAt(point, numbered)};
}

nlohmann::json DescribePlace(const PointerPlace& place) {
    return {{"x", place.point.x}, {"y", place.point.y}, {"monitor", place.monitor}};
}

nlohmann::json PickedPosition(const PointerPlace& place, const std::string& monitorChoice,
                              const std::vector<Monitor>& numbered) {
    nlohmann::json picked = DescribePlace(place);
    if (monitorChoice.empty()) return picked;
    if (const auto chosen = ChooseMonitor(monitorChoice, numbered, place.point)) {
        // 64 bits: a monitor far to the left and a pointer far to the right stay exact.
        picked["x"] = static_cast<std::int64_t>(place.point.x) - chosen->x;
        picked["y"] = static_cast<std::int64_t>(place.point.y) - chosen->y;
    }
    return picked;
}

nlohmann::json DescribeMonitors(const std::vector<Monitor>& numbered) {
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        const Monitor& m = numbered[i];
        list.push_back({{"number", i + 1},
                        {"x", m.x},
                        {"y", m.y},
                        {"width", m.width},
                        {"height", m.height},
                        {"primary", m.primary}});
    }
    return list;
}
