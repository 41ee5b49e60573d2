// Windows: input batches through SendInput, which queues all its events
// before any other input.
#include "platform/Platform.h"
#include "platform/win32/VirtualDesktopCoordinates.h"

#include <windows.h>

namespace platform {
namespace {

struct ButtonInput {
    DWORD downFlag;
    DWORD upFlag;
    DWORD data;  // the extra button a shared X flag names
};

ButtonInput InputOf(MouseButton button) {
    switch (button) {
        case MouseButton::Middle: return {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0};
        case MouseButton::Right: return {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0};
        case MouseButton::X1: return {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1};
        case MouseButton::X2: return {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2};
        case MouseButton::Left: break;
    }
    return {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0};
}

struct VirtualDesktop {
    int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
};

MOUSEINPUT MouseInputOf(const InputEvent& event, const VirtualDesktop& desktop) {
    MOUSEINPUT input{};
    switch (event.kind) {
        case InputEvent::Kind::MoveAbsolute:
            // Over the virtual desktop, so that a position on any monitor can be reached.
            input.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
            input.dx = ToVirtualDesktopCoordinate(event.x, desktop.left, desktop.width);
            input.dy = ToVirtualDesktopCoordinate(event.y, desktop.top, desktop.height);
            break;
        case InputEvent::Kind::MoveRelative:
            // Mouse motion as a device reports it: raw input readers see the
            // counts, the pointer moves by them after the user's speed and
            // acceleration settings.
            input.dwFlags = MOUSEEVENTF_MOVE;
            input.dx = event.x;
            input.dy = event.y;
            break;
        case InputEvent::Kind::ButtonDown:
        case InputEvent::Kind::ButtonUp: {
            const ButtonInput button = InputOf(event.button);
            input.dwFlags = event.kind == InputEvent::Kind::ButtonDown ? button.downFlag : button.upFlag;
            input.mouseData = button.data;
            break;
        }
        case InputEvent::Kind::Wheel:
        case InputEvent::Kind::HWheel:
            // Amounts below a notch pass as they are: smooth-scrolling programs add them up.
            input.dwFlags = event.kind == InputEvent::Kind::Wheel ? MOUSEEVENTF_WHEEL : MOUSEEVENTF_HWHEEL;
            input.mouseData = static_cast<DWORD>(event.amount);
            break;
    }
    return input;
}

}  // namespace

bool SendInputBatch(const std::vector<InputEvent>& events) {
    if (events.empty()) return true;
    const VirtualDesktop desktop;
    std::vector<INPUT> inputs(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi = MouseInputOf(events[i], desktop);
    }
    // A window of a higher integrity level drops the input without this
    // call failing: see IsForegroundWindowElevated.
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size();
}

// Parts of notches went out as they were: nothing is carried.
void EndWheelInput() {}

}  // namespace platform
