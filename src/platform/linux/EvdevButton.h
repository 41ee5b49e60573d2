#pragma once

#include "platform/Platform.h"

#include <linux/input-event-codes.h>

#include <cstdint>

namespace platform {

// The Linux input code of a button, which the Wayland paths send: X1 and X2
// are the side and extra buttons, back and forward in a browser.
inline std::uint32_t EvdevButtonOf(MouseButton button) {
    switch (button) {
        case MouseButton::Middle: return BTN_MIDDLE;
        case MouseButton::Right: return BTN_RIGHT;
        case MouseButton::X1: return BTN_SIDE;
        case MouseButton::X2: return BTN_EXTRA;
        case MouseButton::Left: break;
    }
    return BTN_LEFT;
}

}  // namespace platform
