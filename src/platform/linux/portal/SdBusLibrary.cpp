#include "platform/linux/portal/SdBusLibrary.h"

#include "platform/linux/OnDemandLibrary.h"

#include <systemd/sd-bus.h>

#include <cstdarg>

// The functions of the library that the portal code calls; its variadic
// calls go to the library's va_list forms.
#define DECKMOUSE_SD_BUS_FUNCTIONS(X)                                                                                \
    X(sd_bus_call) X(sd_bus_call_methodv) X(sd_bus_error_free) X(sd_bus_error_is_set) X(sd_bus_flush_close_unref)   \
    X(sd_bus_get_property_trivial) X(sd_bus_get_unique_name) X(sd_bus_match_signal) X(sd_bus_message_appendv)       \
    X(sd_bus_message_close_container) X(sd_bus_message_enter_container) X(sd_bus_message_exit_container)            \
    X(sd_bus_message_new_method_call) X(sd_bus_message_open_container) X(sd_bus_message_peek_type)                  \
    X(sd_bus_message_readv) X(sd_bus_message_skip) X(sd_bus_message_unref) X(sd_bus_open_user) X(sd_bus_process)    \
    X(sd_bus_slot_unref) X(sd_bus_wait)

namespace platform::portal {
namespace {

struct SdBus {
#define DECKMOUSE_SD_BUS_MEMBER(name) decltype(&::name) name = nullptr;
    DECKMOUSE_SD_BUS_FUNCTIONS(DECKMOUSE_SD_BUS_MEMBER)
#undef DECKMOUSE_SD_BUS_MEMBER
};

SdBus gSdBus;

bool Resolve(void* library, std::string& failure) {
#define DECKMOUSE_SD_BUS_FIND(name) \
    if (!OnDemandLibrary::Find(library, #name, gSdBus.name, failure)) return false;
    DECKMOUSE_SD_BUS_FUNCTIONS(DECKMOUSE_SD_BUS_FIND)
#undef DECKMOUSE_SD_BUS_FIND
    return true;
}

}  // namespace

bool LoadSdBus(std::string& failure) {
    static OnDemandLibrary library("libsystemd.so.0", Resolve);
    return library.Load(failure);
}

}  // namespace platform::portal

using platform::portal::gSdBus;

// What sd-bus.h declares, forwarded to the loaded library.
extern "C" {

int sd_bus_call(sd_bus* bus, sd_bus_message* m, uint64_t usec, sd_bus_error* ret_error, sd_bus_message** reply) {
    return gSdBus.sd_bus_call(bus, m, usec, ret_error, reply);
}

int sd_bus_call_method(sd_bus* bus, const char* destination, const char* path, const char* interface,
                       const char* member, sd_bus_error* ret_error, sd_bus_message** reply, const char* types, ...) {
    va_list ap;
    va_start(ap, types);
    const int result = gSdBus.sd_bus_call_methodv(bus, destination, path, interface, member, ret_error, reply, types, ap);
    va_end(ap);
    return result;
}

void sd_bus_error_free(sd_bus_error* e) { gSdBus.sd_bus_error_free(e); }

int sd_bus_error_is_set(const sd_bus_error* e) { return gSdBus.sd_bus_error_is_set(e); }

sd_bus* sd_bus_flush_close_unref(sd_bus* bus) { return gSdBus.sd_bus_flush_close_unref(bus); }

int sd_bus_get_property_trivial(sd_bus* bus, const char* destination, const char* path, const char* interface,
                                const char* member, sd_bus_error* ret_error, char type, void* ret_ptr) {
    return gSdBus.sd_bus_get_property_trivial(bus, destination, path, interface, member, ret_error, type, ret_ptr);
}

int sd_bus_get_unique_name(sd_bus* bus, const char** unique) { return gSdBus.sd_bus_get_unique_name(bus, unique); }

int sd_bus_match_signal(sd_bus* bus, sd_bus_slot** ret, const char* sender, const char* path, const char* interface,
                        const char* member, sd_bus_message_handler_t callback, void* userdata) {
    return gSdBus.sd_bus_match_signal(bus, ret, sender, path, interface, member, callback, userdata);
}

int sd_bus_message_append(sd_bus_message* m, const char* types, ...) {
    va_list ap;
    va_start(ap, types);
    const int result = gSdBus.sd_bus_message_appendv(m, types, ap);
    va_end(ap);
    return result;
}

int sd_bus_message_close_container(sd_bus_message* m) { return gSdBus.sd_bus_message_close_container(m); }

int sd_bus_message_enter_container(sd_bus_message* m, char type, const char* contents) {
    return gSdBus.sd_bus_message_enter_container(m, type, contents);
}

int sd_bus_message_exit_container(sd_bus_message* m) { return gSdBus.sd_bus_message_exit_container(m); }

int sd_bus_message_new_method_call(sd_bus* bus, sd_bus_message** m, const char* destination, const char* path,
                                   const char* interface, const char* member) {
    return gSdBus.sd_bus_message_new_method_call(bus, m, destination, path, interface, member);
}

int sd_bus_message_open_container(sd_bus_message* m, char type, const char* contents) {
    return gSdBus.sd_bus_message_open_container(m, type, contents);
}

int sd_bus_message_peek_type(sd_bus_message* m, char* type, const char** contents) {
    return gSdBus.sd_bus_message_peek_type(m, type, contents);
}

int sd_bus_message_read(sd_bus_message* m, const char* types, ...) {
    va_list ap;
    va_start(ap, types);
    const int result = gSdBus.sd_bus_message_readv(m, types, ap);
    va_end(ap);
    return result;
}

int sd_bus_message_skip(sd_bus_message* m, const char* types) { return gSdBus.sd_bus_message_skip(m, types); }

sd_bus_message* sd_bus_message_unref(sd_bus_message* m) { return gSdBus.sd_bus_message_unref(m); }

int sd_bus_open_user(sd_bus** ret) { return gSdBus.sd_bus_open_user(ret); }

int sd_bus_process(sd_bus* bus, sd_bus_message** r) { return gSdBus.sd_bus_process(bus, r); }

sd_bus_slot* sd_bus_slot_unref(sd_bus_slot* slot) { return gSdBus.sd_bus_slot_unref(slot); }

int sd_bus_wait(sd_bus* bus, uint64_t timeout_usec) { return gSdBus.sd_bus_wait(bus, timeout_usec); }

}  // extern "C"
