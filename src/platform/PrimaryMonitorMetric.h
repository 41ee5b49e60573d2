#pragma once

#include "platform/Platform.h"

#include <vector>

namespace platform {

// GetSystemMetrics' SM_CXSCREEN and SM_CYSCREEN from a monitor list: the
// primary monitor's width and height; 0 for other indices or no primary.
int PrimaryMonitorMetric(const std::vector<Monitor>& monitors, int index);

}  // namespace platform
