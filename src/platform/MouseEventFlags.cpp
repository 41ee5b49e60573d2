#include "platform/MouseEventFlags.h"

namespace platform {

std::vector<InputEvent> EventsOfMouseEvent(std::uint32_t flags, std::int32_t data) {
    std::vector<InputEvent> events;
    const auto button = [&](std::uint32_t down, std::uint32_t up, MouseButton which) {
        if (flags & down) events.push_back(InputEvent::Down(which));
        if (flags & up) events.push_back(InputEvent::Up(which));
    };
    button(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MouseButton::Left);
    button(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, MouseButton::Right);
    button(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, MouseButton::Middle);
    for (const std::uint32_t xFlag : {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}) {
        if (!(flags & xFlag)) continue;
        const auto make = xFlag == MOUSEEVENTF_XDOWN ? InputEvent::Down : InputEvent::Up;
        if (data & XBUTTON1) events.push_back(make(MouseButton::X1));
        if (data & XBUTTON2) events.push_back(make(MouseButton::X2));
    }
    if (flags & MOUSEEVENTF_WHEEL) events.push_back(InputEvent::Wheel(data));
    if (flags & MOUSEEVENTF_HWHEEL) events.push_back(InputEvent::HWheel(data));
    return events;
}

}  // namespace platform
