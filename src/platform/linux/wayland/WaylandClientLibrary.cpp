#include "platform/linux/wayland/WaylandClientLibrary.h"

#include "platform/linux/OnDemandLibrary.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdarg>
#include <cstring>

namespace platform::linux_input {
namespace {

// The functions of the library that this program calls, directly or through
// the inline functions of the client headers.
struct WaylandClient {
    decltype(&::wl_display_connect) display_connect = nullptr;
    decltype(&::wl_display_disconnect) display_disconnect = nullptr;
    decltype(&::wl_display_roundtrip) display_roundtrip = nullptr;
    decltype(&::wl_proxy_add_listener) proxy_add_listener = nullptr;
    decltype(&::wl_proxy_destroy) proxy_destroy = nullptr;
    decltype(&::wl_proxy_get_version) proxy_get_version = nullptr;
    decltype(&::wl_proxy_get_class) proxy_get_class = nullptr;
    decltype(&::wl_proxy_marshal_array_flags) proxy_marshal_array_flags = nullptr;
};

WaylandClient gClient;

bool Resolve(void* library, std::string& failure) {
    return OnDemandLibrary::Find(library, "wl_display_connect", gClient.display_connect, failure) &&
           OnDemandLibrary::Find(library, "wl_display_disconnect", gClient.display_disconnect, failure) &&
           OnDemandLibrary::Find(library, "wl_display_roundtrip", gClient.display_roundtrip, failure) &&
           OnDemandLibrary::Find(library, "wl_proxy_add_listener", gClient.proxy_add_listener, failure) &&
           OnDemandLibrary::Find(library, "wl_proxy_destroy", gClient.proxy_destroy, failure) &&
           OnDemandLibrary::Find(library, "wl_proxy_get_version", gClient.proxy_get_version, failure) &&
           OnDemandLibrary::Find(library, "wl_proxy_get_class", gClient.proxy_get_class, failure) &&
           OnDemandLibrary::Find(library, "wl_proxy_marshal_array_flags", gClient.proxy_marshal_array_flags, failure);
}

// The interfaces whose requests this program sends, by the name a proxy
// reports: the variadic marshalling call needs their requests' signatures.
const wl_interface* const kInterfaces[] = {
    &wl_display_interface,
    &wl_registry_interface,
    &wl_seat_interface,
    &wl_output_interface,
    &zwlr_virtual_pointer_manager_v1_interface,
    &zwlr_virtual_pointer_v1_interface,
    &zwp_virtual_keyboard_manager_v1_interface,
    &zwp_virtual_keyboard_v1_interface,
    &zxdg_output_manager_v1_interface,
    &zxdg_output_v1_interface,
};

const wl_message* RequestOf(wl_proxy* proxy, std::uint32_t opcode) {
    const char* name = gClient.proxy_get_class(proxy);
    for (const wl_interface* interface : kInterfaces) {
        if (std::strcmp(interface->name, name) == 0) {
            return opcode < static_cast<std::uint32_t>(interface->method_count) ? &interface->methods[opcode] : nullptr;
        }
    }
    return nullptr;
}

// The library's own limit on a message's arguments.
constexpr int kMaxArguments = 20;

// Reads a request's arguments as its signature names them, as the library
// does for its own variadic call: "i" int, "u" unsigned, "f" fixed, "s"
// string, "o" object, "n" new object (a placeholder), "a" array, "h" file
// descriptor; "?" marks a nullable one and digits the version.
int ArgumentsOf(const char* signature, va_list arguments, wl_argument* values) {
    int count = 0;
    for (const char* c = signature; *c != '\0' && count < kMaxArguments; ++c) {
        switch (*c) {
            case 'i': values[count++].i = va_arg(arguments, std::int32_t); break;
            case 'u': values[count++].u = va_arg(arguments, std::uint32_t); break;
            case 'f': values[count++].f = va_arg(arguments, wl_fixed_t); break;
            case 's': values[count++].s = va_arg(arguments, const char*); break;
            case 'o': values[count++].o = va_arg(arguments, wl_object*); break;
            case 'n': values[count++].o = va_arg(arguments, wl_object*); break;
            case 'a': values[count++].a = va_arg(arguments, wl_array*); break;
            case 'h': values[count++].h = va_arg(arguments, std::int32_t); break;
            default: break;
        }
    }
    return count;
}

}  // namespace

bool LoadWaylandClient(std::string& failure) {
    static OnDemandLibrary library("libwayland-client.so.0", Resolve);
    return library.Load(failure);
}

}  // namespace platform::linux_input

using platform::linux_input::gClient;

// What the headers declare, forwarded to the loaded library.
extern "C" {

wl_display* wl_display_connect(const char* name) { return gClient.display_connect(name); }

void wl_display_disconnect(wl_display* display) { gClient.display_disconnect(display); }

int wl_display_roundtrip(wl_display* display) { return gClient.display_roundtrip(display); }

int wl_proxy_add_listener(wl_proxy* proxy, void (**implementation)(void), void* data) {
    return gClient.proxy_add_listener(proxy, implementation, data);
}

void wl_proxy_destroy(wl_proxy* proxy) { gClient.proxy_destroy(proxy); }

std::uint32_t wl_proxy_get_version(wl_proxy* proxy) { return gClient.proxy_get_version(proxy); }

wl_proxy* wl_proxy_marshal_flags(wl_proxy* proxy, std::uint32_t opcode, const wl_interface* interface,
                                 std::uint32_t version, std::uint32_t flags, ...) {
    const wl_message* request = platform::linux_input::RequestOf(proxy, opcode);
    if (request == nullptr) return nullptr;  // a request of an interface not listed above: a bug here
    wl_argument values[platform::linux_input::kMaxArguments];
    va_list arguments;
    va_start(arguments, flags);
    platform::linux_input::ArgumentsOf(request->signature, arguments, values);
    va_end(arguments);
    return gClient.proxy_marshal_array_flags(proxy, opcode, interface, version, flags, values);
}

}  // extern "C"
