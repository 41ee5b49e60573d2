#pragma once

#include "platform/Platform.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The keymap that the virtual keyboard hands the compositor, which reads its
// keys through it: compiled by libxkbcommon from the default rules (those of
// the environment's XKB_DEFAULT_* where set). The library is loaded on the
// first modifier key sent, so that no session that sends none maps it.
namespace platform::linux_input {

// One bit per ModifierKey, in the order of the enumeration.
using ModifierSet = std::array<bool, 4>;

struct XkbKeymap {
    std::string text;  // XKB_KEYMAP_FORMAT_TEXT_V1
    // Each ModifierKey's bit in the keymap's modifier masks.
    std::array<std::uint32_t, 4> masks{};
};

// The keymap, or nothing with `failure` saying why.
std::optional<XkbKeymap> BuildXkbKeymap(std::string& failure);

// The keymap's modifier that a ModifierKey sets: "Control", "Shift", "Mod1"
// (Alt) or "Mod4" (Super).
const char* XkbModifierOf(ModifierKey key);

// The depressed-modifiers mask of the keys held.
std::uint32_t DepressedMask(const XkbKeymap& keymap, const ModifierSet& held);

}  // namespace platform::linux_input
