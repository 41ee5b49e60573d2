// Windows: input batches through SendInput, which queues all its events,
// mouse and keyboard alike, before any other input.
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

struct KeyInput {
    WORD virtualKey;
    bool extended;  // an E0 key, whose scan code alone is some other key's
    // Released alone, the key opens a menu: Alt the window's menu bar, the
    // Windows key the Start menu. Mouse input while it is down does not
    // count as something else pressed with it.
    bool opensAMenu;
};

// The left-hand keys. The Windows key lives on the extended part of the
// keyboard (E0 5B); without the flag a program that reads scan codes would
// see another key.
KeyInput KeyInputOf(ModifierKey key) {
    switch (key) {
        case ModifierKey::Shift: return {VK_LSHIFT, false, false};
        case ModifierKey::Alt: return {VK_LMENU, false, true};
        case ModifierKey::Meta: return {VK_LWIN, true, true};
        case ModifierKey::Ctrl: break;
    }
    return {VK_LCONTROL, false, false};
}

// A virtual key that no key and no program uses: tapped just before the
// release of a key that opens a menu, it makes the release that of a key
// combination, which opens nothing.
constexpr WORD kMaskKey = 0xE8;

INPUT KeyboardInput(WORD virtualKey, bool extended, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    // Beside the virtual key, for programs that read scan codes (games,
    // remote desktops): the one the keyboard layout gives the key.
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void AddKeyboardInput(const InputEvent& event, std::vector<INPUT>& inputs) {
    const KeyInput key = KeyInputOf(event.key);
    const bool up = event.kind == InputEvent::Kind::KeyUp;
    if (up && key.opensAMenu) {
        inputs.push_back(KeyboardInput(kMaskKey, false, false));
        inputs.push_back(KeyboardInput(kMaskKey, false, true));
    }
    inputs.push_back(KeyboardInput(key.virtualKey, key.extended, up));
}

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
        case InputEvent::Kind::KeyDown:
        case InputEvent::Kind::KeyUp: break;  // keyboard input: see AddKeyboardInput
    }
    return input;
}

}  // namespace

bool SendInputBatch(const std::vector<InputEvent>& events) {
    if (events.empty()) return true;
    const VirtualDesktop desktop;
    std::vector<INPUT> inputs;
    inputs.reserve(events.size());
    for (const InputEvent& event : events) {
        if (event.kind == InputEvent::Kind::KeyDown || event.kind == InputEvent::Kind::KeyUp) {
            AddKeyboardInput(event, inputs);
        } else {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi = MouseInputOf(event, desktop);
            inputs.push_back(input);
        }
    }
    // A window of a higher integrity level drops the input without this
    // call failing: see IsForegroundWindowElevated.
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size();
}

// Parts of notches went out as they were: nothing is carried.
void EndWheelInput() {}

}  // namespace platform
