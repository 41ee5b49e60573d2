#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <vector>

// What the plugin tells its guardian, one byte per message: the high half
// says what happened, the low half which button (MouseButton's order).
// Presses are told before they are injected and releases after, so that
// whenever the plugin is killed the guardian knows at least every button
// that may be down, and never one the plugin has already let go.
constexpr std::uint8_t kGuardianPressed = 0x10;
constexpr std::uint8_t kGuardianReleased = 0x20;
// The plugin has released all it held and ends: nothing is left to guard.
constexpr std::uint8_t kGuardianGoodbye = 0x30;

std::uint8_t GuardianButtonMessage(platform::MouseButton button, bool down);

// The guardian's side: the buttons the messages so far leave down.
class GuardedButtons {
public:
    // Unknown messages, and every message after the goodbye, change nothing.
    void Read(std::uint8_t message);

    bool SaidGoodbye() const { return goodbye; }

    // An Up for each button still down, in MouseButton's order.
    std::vector<platform::InputEvent> Releases() const;

private:
    static constexpr int kButtonCount = 5;
    bool down[kButtonCount] = {};
    bool goodbye = false;
};
