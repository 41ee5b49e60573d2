#include "plugin/HeldSet.h"

using platform::InputEvent;

static_assert(static_cast<int>(platform::MouseButton::X2) == HeldSet::kButtonCount - 1 &&
                  static_cast<int>(platform::ModifierKey::Meta) == HeldSet::kKeyCount - 1,
              "a bit for every button and key");

namespace {

constexpr std::uint8_t kAllButtons = (1u << HeldSet::kButtonCount) - 1;
constexpr std::uint8_t kAllKeys = (1u << HeldSet::kKeyCount) - 1;

template <typename Enum>
std::uint8_t Bit(Enum value) {
    return static_cast<std::uint8_t>(1u << static_cast<int>(value));
}

void SetBit(std::uint8_t& bits, std::uint8_t bit, bool on) {
    bits = static_cast<std::uint8_t>(on ? bits | bit : bits & ~bit);
}

// Presses what `event` presses and, unless `pressesOnly`, releases what it
// releases; other events change nothing.
void Apply(HeldSet& held, const InputEvent& event, bool pressesOnly) {
    using Kind = InputEvent::Kind;
    const bool down = event.kind == Kind::ButtonDown || event.kind == Kind::KeyDown;
    if (pressesOnly && !down) return;
    if (event.kind == Kind::ButtonDown || event.kind == Kind::ButtonUp) held.Set(event.button, down);
    if (event.kind == Kind::KeyDown || event.kind == Kind::KeyUp) held.Set(event.key, down);
}

}  // namespace

HeldSet::HeldSet(std::uint8_t buttons, std::uint8_t keys)
    : buttons(static_cast<std::uint8_t>(buttons & kAllButtons)), keys(static_cast<std::uint8_t>(keys & kAllKeys)) {}

void HeldSet::Set(platform::MouseButton button, bool down) { SetBit(buttons, Bit(button), down); }

void HeldSet::Set(platform::ModifierKey key, bool down) { SetBit(keys, Bit(key), down); }

bool HeldSet::Holds(platform::MouseButton button) const { return (buttons & Bit(button)) != 0; }

bool HeldSet::Holds(platform::ModifierKey key) const { return (keys & Bit(key)) != 0; }

HeldSet HeldSet::After(const std::vector<InputEvent>& events) const {
    HeldSet held = *this;
    for (const InputEvent& event : events) Apply(held, event, false);
    return held;
}

HeldSet HeldSet::During(const std::vector<InputEvent>& events) const {
    HeldSet held = *this;
    for (const InputEvent& event : events) Apply(held, event, true);
    return held;
}
