// A Wayland client that shows one fullscreen window and prints the pointer
// and keyboard events it receives, one JSON object per line:
//   {"ready":true}                                 once its window is shown
//   {"kind":"surface","width":1365,"height":767}   the window's size
//   {"kind":"enter","x":10.5,"y":20,"time":...}    surface coordinates
//   {"kind":"motion","x":11,"y":20,"time":...}
//   {"kind":"button","button":"left","down":true,"mods":["ctrl"],"time":...}
//   {"kind":"keyboard","present":true,"time":...}  the seat gained a keyboard
//   {"kind":"key","code":29,"keysym":"Control_L","down":true,"time":...}
//   {"kind":"modifiers","mods":["ctrl","shift"],"time":...}
//   {"kind":"wheel","axis":"vertical","amount":120,"discrete":-1,"value":-15,"time":...}
// A wheel's amount counts as Windows does, 120 a notch, positive up and
// right; "discrete" and "value" are what Wayland said, and an axis event that
// came without discrete steps has amount 0. "time" is milliseconds on the
// monotonic clock, taken on receipt. A key's "code" is its Linux input code
// and "keysym" what the compositor's keymap makes of it; "mods" are the
// modifiers the compositor last said were held (depressed, latched or
// locked), named through its keymap: ctrl, shift, alt (Mod1), meta (Mod4),
// other ones by their xkb name. A button carries those held when it came.
// Runs until killed.
//
// With DECKMOUSE_RECORDER_SEAT_DEVICES=1 it also makes a virtual pointer and
// a virtual keyboard of its own, which send nothing: the seat then keeps a
// pointer and a keyboard, as a desktop's mouse and keyboard would, while
// the plugin's devices come and go (a headless compositor has none), and
// the window listens to both from the start.
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

struct Client {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboardManager = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::uint32_t modifiers = 0;  // the mask of the last modifiers event
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;  // the compositor's last
    xkb_state* state = nullptr;
    wl_surface* surface = nullptr;
    wl_buffer* buffer = nullptr;
    std::int32_t width = 0, height = 0;         // as the compositor asked
    std::int32_t bufferWidth = 0, bufferHeight = 0;
    bool configured = false;
    int pendingDiscrete[2] = {};
    bool hasDiscrete[2] = {};
};

double NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// A modifier's name: the words of "my_modifiers" in lower case for the four
// a command holds, xkb's own for the others.
std::string ModifierName(const char* xkbName) {
    const struct {
        const char* xkb;
        const char* word;
    } kWords[] = {{XKB_MOD_NAME_CTRL, "ctrl"}, {XKB_MOD_NAME_SHIFT, "shift"}, {XKB_MOD_NAME_ALT, "alt"},
                  {XKB_MOD_NAME_LOGO, "meta"}};
    for (const auto& [xkb, word] : kWords) {
        if (std::strcmp(xkbName, xkb) == 0) return word;
    }
    return xkbName;
}

// The held modifiers' names as a JSON array, through the compositor's keymap.
std::string ModifierNames(const Client& client) {
    std::string names = "[";
    for (xkb_mod_index_t index = 0; client.keymap != nullptr && index < 32; ++index) {
        if ((client.modifiers & (1u << index)) == 0) continue;
        const char* name = xkb_keymap_mod_get_name(client.keymap, index);
        if (names.size() > 1) names += ",";
        names += "\"" + ModifierName(name != nullptr ? name : "?") + "\"";
    }
    return names + "]";
}

// Reads the keymap the compositor sends, which names keys and modifiers.
void TakeKeymap(Client& client, std::uint32_t format, int fd, std::uint32_t size) {
    void* text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                                                            : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(client.xkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) return;
    if (client.state != nullptr) xkb_state_unref(client.state);
    if (client.keymap != nullptr) xkb_keymap_unref(client.keymap);
    client.keymap = keymap;
    client.state = xkb_state_new(keymap);
}

const char* ButtonName(std::uint32_t button) {
    switch (button) {
        case BTN_LEFT: return "left";
        case BTN_RIGHT: return "right";
        case BTN_MIDDLE: return "middle";
        case BTN_SIDE: return "x1";
        case BTN_EXTRA: return "x2";
    }
    return "other";
}

// A white buffer of the size the compositor asked for.
wl_buffer* MakeBuffer(Client& client, std::int32_t width, std::int32_t height) {
    const std::int32_t stride = width * 4;
    const std::size_t size = static_cast<std::size_t>(stride) * height;
    const int fd = memfd_create("deckmouse-recorder", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) return nullptr;
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) return nullptr;
    std::memset(pixels, 0xff, size);
    munmap(pixels, size);
    wl_shm_pool* pool = wl_shm_create_pool(client.shm, fd, static_cast<std::int32_t>(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

const wl_pointer_listener kPointerListener = {
    [](void*, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
        Print("{\"kind\":\"enter\",\"x\":%.3f,\"y\":%.3f,\"time\":%.3f}\n", wl_fixed_to_double(x),
              wl_fixed_to_double(y), NowMs());
    },
    [](void*, wl_pointer*, std::uint32_t, wl_surface*) {
        Print("{\"kind\":\"leave\",\"time\":%.3f}\n", NowMs());
    },
    [](void*, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        Print("{\"kind\":\"motion\",\"x\":%.3f,\"y\":%.3f,\"time\":%.3f}\n", wl_fixed_to_double(x),
              wl_fixed_to_double(y), NowMs());
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
        const auto& client = *static_cast<Client*>(data);
        Print("{\"kind\":\"button\",\"button\":\"%s\",\"down\":%s,\"mods\":%s,\"time\":%.3f}\n", ButtonName(button),
              state == WL_POINTER_BUTTON_STATE_PRESSED ? "true" : "false", ModifierNames(client).c_str(),
              NowMs());
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
        auto& client = *static_cast<Client*>(data);
        const bool vertical = axis == WL_POINTER_AXIS_VERTICAL_SCROLL;
        const int index = vertical ? 0 : 1;
        const int discrete = client.hasDiscrete[index] ? client.pendingDiscrete[index] : 0;
        client.hasDiscrete[index] = false;
        // Wayland scrolls down and right with positive values.
        const int amount = (vertical ? -discrete : discrete) * 120;
        Print("{\"kind\":\"wheel\",\"axis\":\"%s\",\"amount\":%d,\"discrete\":%d,\"value\":%.3f,\"time\":%.3f}\n",
              vertical ? "vertical" : "horizontal", amount, discrete, wl_fixed_to_double(value), NowMs());
    },
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void* data, wl_pointer*, std::uint32_t axis, std::int32_t discrete) {
        auto& client = *static_cast<Client*>(data);
        const int index = axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? 0 : 1;
        client.pendingDiscrete[index] = discrete;
        client.hasDiscrete[index] = true;
    },
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_keyboard_listener kKeyboardListener = {
    [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
        TakeKeymap(*static_cast<Client*>(data), format, fd, size);
    },
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t code, std::uint32_t state) {
        const auto& client = *static_cast<Client*>(data);
        // xkb numbers keys as X11 did, 8 above their Linux codes.
        const xkb_keysym_t symbol = client.state != nullptr ? xkb_state_key_get_one_sym(client.state, code + 8)
                                                            : XKB_KEY_NoSymbol;
        char name[64] = "";
        if (symbol != XKB_KEY_NoSymbol) xkb_keysym_get_name(symbol, name, sizeof name);
        Print("{\"kind\":\"key\",\"code\":%u,\"keysym\":\"%s\",\"down\":%s,\"time\":%.3f}\n", code, name,
              state == WL_KEYBOARD_KEY_STATE_PRESSED ? "true" : "false", NowMs());
    },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
       std::uint32_t group) {
        auto& client = *static_cast<Client*>(data);
        client.modifiers = depressed | latched | locked;
        if (client.state != nullptr) xkb_state_update_mask(client.state, depressed, latched, locked, 0, 0, group);
        Print("{\"kind\":\"modifiers\",\"mods\":%s,\"time\":%.3f}\n", ModifierNames(client).c_str(), NowMs());
    },
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

// The seat has no pointer until a virtual one appears, and no keyboard until
// a virtual one does.
const wl_seat_listener kSeatListener = {
    [](void* data, wl_seat* seat, std::uint32_t capabilities) {
        auto& client = *static_cast<Client*>(data);
        const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
        if (hasKeyboard && client.keyboard == nullptr) {
            client.keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(client.keyboard, &kKeyboardListener, &client);
            Print("{\"kind\":\"keyboard\",\"present\":true,\"time\":%.3f}\n", NowMs());
        } else if (!hasKeyboard && client.keyboard != nullptr) {
            wl_keyboard_release(client.keyboard);
            client.keyboard = nullptr;
            client.modifiers = 0;
            Print("{\"kind\":\"keyboard\",\"present\":false,\"time\":%.3f}\n", NowMs());
        }
        const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
        if (hasPointer && client.pointer == nullptr) {
            client.pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(client.pointer, &kPointerListener, &client);
            Print("{\"kind\":\"pointer\",\"present\":true,\"time\":%.3f}\n", NowMs());
        } else if (!hasPointer && client.pointer != nullptr) {
            wl_pointer_release(client.pointer);
            client.pointer = nullptr;
            Print("{\"kind\":\"pointer\",\"present\":false,\"time\":%.3f}\n", NowMs());
        }
    },
    [](void*, wl_seat*, const char*) {},
};

const xdg_wm_base_listener kWmBaseListener = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const xdg_toplevel_listener kToplevelListener = {
    [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
        auto& client = *static_cast<Client*>(data);
        if (width > 0) client.width = width;
        if (height > 0) client.height = height;
    },
    [](void*, xdg_toplevel*) {},
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

const xdg_surface_listener kXdgSurfaceListener = {
    [](void* data, xdg_surface* surface, std::uint32_t serial) {
        auto& client = *static_cast<Client*>(data);
        xdg_surface_ack_configure(surface, serial);
        const std::int32_t width = client.width > 0 ? client.width : 640;
        const std::int32_t height = client.height > 0 ? client.height : 480;
        if (client.buffer == nullptr || width != client.bufferWidth || height != client.bufferHeight) {
            if (client.buffer != nullptr) wl_buffer_destroy(client.buffer);
            client.buffer = MakeBuffer(client, width, height);
            client.bufferWidth = width;
            client.bufferHeight = height;
            wl_surface_attach(client.surface, client.buffer, 0, 0);
            wl_surface_damage(client.surface, 0, 0, width, height);
        }
        wl_surface_commit(client.surface);
        client.configured = true;
    },
};

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
        auto& client = *static_cast<Client*>(data);
        if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
            client.compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
        } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
            client.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
            client.wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
            xdg_wm_base_add_listener(client.wmBase, &kWmBaseListener, &client);
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && client.seat == nullptr) {
            // Up to the version whose wheels come as axis_discrete.
            client.seat = static_cast<wl_seat*>(
                wl_registry_bind(registry, name, &wl_seat_interface, std::min<std::uint32_t>(version, 7)));
            wl_seat_add_listener(client.seat, &kSeatListener, &client);
        } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
            client.pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
        } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
            client.keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
        }
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

// A pointer and a keyboard that stay on the seat; false when the compositor
// cannot make them. The keyboard needs a keymap before the compositor
// takes it as one: the default one, in a file.
bool MakeSeatDevices(Client& client) {
    if (client.pointerManager == nullptr || client.keyboardManager == nullptr) return false;
    zwlr_virtual_pointer_manager_v1_create_virtual_pointer(client.pointerManager, client.seat);
    const xkb_rule_names defaults{};
    xkb_keymap* keymap = xkb_keymap_new_from_names(client.xkb, &defaults, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap != nullptr ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    if (keymap != nullptr) xkb_keymap_unref(keymap);
    if (text == nullptr) return false;
    const std::size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("deckmouse-recorder-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
    std::free(text);
    if (written) {
        zwp_virtual_keyboard_v1* keyboard =
            zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(client.keyboardManager, client.seat);
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, static_cast<std::uint32_t>(size));
    }
    if (fd >= 0) close(fd);
    return written;
}

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot connect to the Wayland display\n");
        return 1;
    }
    Client client;
    client.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &client);
    wl_display_roundtrip(display);
    if (client.compositor == nullptr || client.shm == nullptr || client.wmBase == nullptr || client.seat == nullptr) {
        std::fprintf(stderr, "the compositor lacks wl_compositor, wl_shm, xdg_wm_base or wl_seat\n");
        return 1;
    }
    const char* seatDevices = std::getenv("DECKMOUSE_RECORDER_SEAT_DEVICES");
    if (seatDevices != nullptr && std::strcmp(seatDevices, "1") == 0 && !MakeSeatDevices(client)) {
        std::fprintf(stderr, "the compositor cannot make a virtual pointer and keyboard\n");
        return 1;
    }
    client.surface = wl_compositor_create_surface(client.compositor);
    xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(client.wmBase, client.surface);
    xdg_surface_add_listener(shellSurface, &kXdgSurfaceListener, &client);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
    xdg_toplevel_add_listener(toplevel, &kToplevelListener, &client);
    xdg_toplevel_set_app_id(toplevel, "deckmouse-recorder");
    xdg_toplevel_set_title(toplevel, "deckmouse recorder");
    // Covering the output: its surface coordinates are then layout ones.
    xdg_toplevel_set_fullscreen(toplevel, nullptr);
    wl_surface_commit(client.surface);
    while (!client.configured) {
        if (wl_display_dispatch(display) < 0) return 1;
    }
    wl_display_roundtrip(display);
    Print("{\"ready\":true}\n");
    Print("{\"kind\":\"surface\",\"width\":%d,\"height\":%d}\n", client.bufferWidth, client.bufferHeight);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
