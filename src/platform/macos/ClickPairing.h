#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <optional>

namespace platform::quartz {

// Quartz leaves it to the poster of a press to say which click of a series it
// is; a real mouse's series is counted by the window server. The plugin sends
// each press and release as a batch of its own, so presses are paired here:
// a press of the same button, at the same place, within the system's
// double-click interval of the previous press counts on from it (2 for a
// double-click, 3 for a triple); anything else starts again at 1.
class ClickPairing {
public:
    using Clock = std::chrono::steady_clock;

    // The click state of this press, remembered for the next one.
    int Press(MouseButton button, Point place, Clock::time_point time, std::chrono::milliseconds interval);

    // The pointer was moved: a move away from the last press ends its series.
    void MovedTo(Point place);

private:
    struct LastPress {
        MouseButton button;
        Point place;
        Clock::time_point time;
        int clickState;
    };
    std::optional<LastPress> last_;
};

}  // namespace platform::quartz
