#include "platform/linux/wayland/VirtualKeyboard.h"

#include "platform/linux/EvdevModifierKey.h"
#include "platform/PlatformLog.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

namespace platform::linux_input {
namespace {

// The keymap's text in a file of its own, as the protocol takes it: with its
// terminating zero, which the compositor expects within the size. -1 when
// no such file can be made.
int KeymapFile(const std::string& text) {
    const int fd = memfd_create("deckmouse-keymap", MFD_CLOEXEC);
    if (fd < 0) return -1;
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written <= 0) {
            close(fd);
            return -1;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return fd;
}

}  // namespace

VirtualKeyboard::~VirtualKeyboard() {
    if (keyboard != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (manager != nullptr) zwp_virtual_keyboard_manager_v1_destroy(manager);
}

bool VirtualKeyboard::Offered(wl_registry* registry, std::uint32_t name, const char* interface) {
    if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) != 0) return false;
    if (manager == nullptr) {
        manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
    return true;
}

bool VirtualKeyboard::Made(wl_seat* seat) {
    if (tried) return keyboard != nullptr;
    tried = true;
    if (manager == nullptr) {
        LogNote("The compositor offers no virtual keyboard: mouse input goes without its modifier keys");
        return false;
    }
    std::string failure;
    keymap = BuildXkbKeymap(failure);
    const int fd = keymap ? KeymapFile(keymap->text) : -1;
    if (fd < 0) {
        if (keymap) failure = "the keymap cannot be put in a memory file";
        LogNote("No modifier keys through the compositor's virtual keyboard: " + failure);
        return false;
    }
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    // The request holds a copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(keymap->text.size() + 1));
    close(fd);
    return true;
}

void VirtualKeyboard::Send(wl_seat* seat, ModifierKey key, bool down, std::uint32_t time) {
    if (!Made(seat)) return;
    held[static_cast<std::size_t>(key)] = down;
    zwp_virtual_keyboard_v1_key(keyboard, time, EvdevKeyOf(key),
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard, DepressedMask(*keymap, held), 0, 0, 0);
}

}  // namespace platform::linux_input
