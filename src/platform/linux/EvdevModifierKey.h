#pragma once

#include "platform/Platform.h"

#include <linux/input-event-codes.h>

#include <cstdint>

namespace platform {

// The Linux input code of a modifier, which the Wayland paths send: the
// left-hand keys, as a keyboard's own modifiers would most often be.
inline std::uint32_t EvdevKeyOf(ModifierKey key) {
    switch (key) {
        case ModifierKey::Shift: return KEY_LEFTSHIFT;
        case ModifierKey::Alt: return KEY_LEFTALT;
        case ModifierKey::Meta: return KEY_LEFTMETA;
        case ModifierKey::Ctrl: break;
    }
    return KEY_LEFTCTRL;
}

}  // namespace platform
