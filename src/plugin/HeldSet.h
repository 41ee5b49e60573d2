#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <vector>

// The buttons and modifier keys that are down at one moment.
class HeldSet {
public:
    static constexpr int kButtonCount = 5;  // MouseButton's values
    static constexpr int kKeyCount = 4;     // ModifierKey's values

    HeldSet() = default;
    // From bit masks, bit i for the button or key of value i; bits past
    // the last button or key are dropped.
    HeldSet(std::uint8_t buttons, std::uint8_t keys);

    void Set(platform::MouseButton button, bool down);
    void Set(platform::ModifierKey key, bool down);
    bool Holds(platform::MouseButton button) const;
    bool Holds(platform::ModifierKey key) const;
    bool Empty() const { return buttons == 0 && keys == 0; }

    // What is down once `events` have pressed and released what they press
    // and release, in their order.
    HeldSet After(const std::vector<platform::InputEvent>& events) const;
    // This and whatever `events` press anywhere among them: all that may be
    // down while they are being made.
    HeldSet During(const std::vector<platform::InputEvent>& events) const;

    std::uint8_t ButtonBits() const { return buttons; }
    std::uint8_t KeyBits() const { return keys; }

    bool operator==(const HeldSet& other) const { return buttons == other.buttons && keys == other.keys; }
    bool operator!=(const HeldSet& other) const { return !(*this == other); }

private:
    std::uint8_t buttons = 0;
    std::uint8_t keys = 0;
};
