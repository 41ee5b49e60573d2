#include "plugin/GuardianMessages.h"

static_assert(static_cast<int>(platform::MouseButton::X2) == 4 && static_cast<int>(platform::ModifierKey::Meta) == 3,
              "a message's low half names every button and key");

std::uint8_t GuardianButtonMessage(platform::MouseButton button, bool down) {
    return static_cast<std::uint8_t>((down ? kGuardianPressed : kGuardianReleased) | static_cast<std::uint8_t>(button));
}

std::uint8_t GuardianKeyMessage(platform::ModifierKey key, bool down) {
    return static_cast<std::uint8_t>((down ? kGuardianKeyPressed : kGuardianKeyReleased) | static_cast<std::uint8_t>(key));
}

void GuardedInput::Read(std::uint8_t message) {
    if (goodbye) return;
    const std::uint8_t what = message & 0xF0;
    const int which = message & 0x0F;
    if (message == kGuardianGoodbye) {
        goodbye = true;
    } else if ((what == kGuardianPressed || what == kGuardianReleased) && which < kButtonCount) {
        buttonDown[which] = what == kGuardianPressed;
    } else if ((what == kGuardianKeyPressed || what == kGuardianKeyReleased) && which < kKeyCount) {
        keyDown[which] = what == kGuardianKeyPressed;
    }
}

std::vector<platform::InputEvent> GuardedInput::Releases() const {
    std::vector<platform::InputEvent> releases;
    for (int button = 0; button < kButtonCount; ++button) {
        if (buttonDown[button]) releases.push_back(platform::InputEvent::Up(static_cast<platform::MouseButton>(button)));
    }
    for (int key = kKeyCount - 1; key >= 0; --key) {
        if (keyDown[key]) releases.push_back(platform::InputEvent::Release(static_cast<platform::ModifierKey>(key)));
    }
    return releases;
}
