#include "plugin/GuardianMessages.h"

std::uint8_t GuardianButtonMessage(platform::MouseButton button, bool down) {
    return static_cast<std::uint8_t>((down ? kGuardianPressed : kGuardianReleased) | static_cast<std::uint8_t>(button));
}

void GuardedButtons::Read(std::uint8_t message) {
    if (goodbye) return;
    const std::uint8_t what = message & 0xF0;
    const int button = message & 0x0F;
    if (message == kGuardianGoodbye) {
        goodbye = true;
    } else if ((what == kGuardianPressed || what == kGuardianReleased) && button < kButtonCount) {
        down[button] = what == kGuardianPressed;
    }
}

std::vector<platform::InputEvent> GuardedButtons::Releases() const {
    std::vector<platform::InputEvent> releases;
    for (int button = 0; button < kButtonCount; ++button) {
        if (down[button]) releases.push_back(platform::InputEvent::Up(static_cast<platform::MouseButton>(button)));
    }
    return releases;
}
