#include "platform/PrimaryMonitorMetric.h"

#include <algorithm>

namespace platform {

int PrimaryMonitorMetric(const std::vector<Monitor>& monitors, int index) {
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary == monitors.end()) return 0;
    if (index == SM_CXSCREEN) return primary->width;
    if (index == SM_CYSCREEN) return primary->height;
    return 0;
}

}  // namespace platform
