#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <vector>

// What the plugin tells its guardian, one byte per message: the high half
// says what happened, the low half to which button (MouseButton's order) or
// modifier key (ModifierKey's order). Presses are told before they are
// injected and releases after, so that whenever the plugin is killed the
// guardian knows at least every button and key that may be down, and never
// one the plugin has already let go.
constexpr std::uint8_t kGuardianPressed = 0x10;
constexpr std::uint8_t kGuardianReleased = 0x20;
// The plugin has released all it held and ends: nothing is left to guard.
constexpr std::uint8_t kGuardianGoodbye = 0x30;
constexpr std::uint8_t kGuardianKeyPressed = 0x50;
constexpr std::uint8_t kGuardianKeyReleased = 0x60;

std::uint8_t GuardianButtonMessage(platform::MouseButton button, bool down);
std::uint8_t GuardianKeyMessage(platform::ModifierKey key, bool down);

// The guardian's side: the buttons and keys the messages so far leave down.
class GuardedInput {
public:
    // Unknown messages, and every message after the goodbye, change nothing.
    void Read(std::uint8_t message);

    bool SaidGoodbye() const { return goodbye; }

    // One batch that lets go of what is still down: an Up for each button,
    // in MouseButton's order, then a Release for each key, the last of
    // ModifierKey's order first (the reverse of the order a command presses
    // them in), so that the buttons come up while the keys still modify them.
    std::vector<platform::InputEvent> Releases() const;

private:
    static constexpr int kButtonCount = 5;
    static constexpr int kKeyCount = 4;
    bool buttonDown[kButtonCount] = {};
    bool keyDown[kKeyCount] = {};
    bool goodbye = false;
};
