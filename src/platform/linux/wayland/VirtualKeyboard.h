#pragma once

#include "platform/Platform.h"
#include "platform/linux/wayland/XkbKeymap.h"

#include <cstdint>
#include <optional>

struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Modifier keys through the compositor's virtual keyboard, beside the virtual
// pointer on the same connection, so that a key and the clicks after it reach
// the seat in the order sent. The keyboard and its keymap are made on the
// first key; where the compositor offers no keyboard, or no keymap can be
// built, that is said once and the keys are left out.
namespace platform::linux_input {

class VirtualKeyboard {
public:
    VirtualKeyboard() = default;
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // Binds the manager when the registry offers it; true when `interface` was its.
    bool Offered(wl_registry* registry, std::uint32_t name, const char* interface);

    // Presses or releases `key`, then sets the modifier state that follows:
    // the keys this keyboard holds. Left out where there is no keyboard: the
    // mouse input around it goes on without it.
    void Send(wl_seat* seat, ModifierKey key, bool down, std::uint32_t time);

private:
    bool Made(wl_seat* seat);

    zwp_virtual_keyboard_manager_v1* manager = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;
    std::optional<XkbKeymap> keymap;
    ModifierSet held{};
    bool tried = false;
};

}  // namespace platform::linux_input
