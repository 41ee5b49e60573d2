#pragma once

#include "platform/Platform.h"

#include <vector>

namespace platform::quartz {

// The pixel nearest to `place` on any of the displays, as the window server
// keeps the cursor on the displays (their union, which need not be a
// rectangle); `place` itself where no display is known.
Point ClampToDisplays(Point place, const std::vector<Monitor>& displays);

// place + delta, held within the range of a coordinate.
Point Offset(Point place, Point delta);

}  // namespace platform::quartz
