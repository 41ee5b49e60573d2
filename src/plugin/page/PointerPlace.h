#pragma once

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// Where the pointer is, in the terms the settings page shows it: desktop
// pixels and the monitor, numbered as "my_monitor" numbers them.
struct PointerPlace {
    platform::Point point;
    int monitor = 0;  // 0: on none of the monitors

    bool operator==(const PointerPlace& other) const {
        return point.x == other.point.x && point.y == other.point.y && monitor == other.monitor;
    }
};

// The number of the monitor holding `point` among `numbered`; 0 when none does.
int MonitorNumberAt(const platform::Point& point, const std::vector<platform::Monitor>& numbered);

// The system's pointer and the monitor under it; nothing when the system
// cannot tell where the pointer is.
std::optional<PointerPlace> ReadPointerPlace(const std::vector<platform::Monitor>& numbered);

// {"x","y","monitor"} of a place, as the page's messages carry it.
nlohmann::json DescribePlace(const PointerPlace& place);

// The position a key would be given to land on `place`: relative to the
// monitor that `monitorChoice` names ("my_monitor"), absolute when it names
// none. "monitor" is the monitor under the pointer.
nlohmann::json PickedPosition(const PointerPlace& place, const std::string& monitorChoice,
                              const std::vector<platform::Monitor>& numbered);

// [{"number","x","y","width","height","primary"}, ...] in that order.
nlohmann::json DescribeMonitors(const std::vector<platform::Monitor>& numbered);
