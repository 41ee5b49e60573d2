#include "platform/linux/portal/PortalBus.h"

#include "platform/linux/portal/SdBusLibrary.h"

#include <cstring>

namespace platform::portal {
namespace {

constexpr const char* kService = "org.freedesktop.portal.Desktop";
constexpr const char* kObject = "/org/freedesktop/portal/desktop";
// A method call is answered at once; only a request's Response waits for the user.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

// Frees the error however the call returns.
struct CallError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~CallError() { sd_bus_error_free(&error); }
    std::string Describe(int result) const {
        return sd_bus_error_is_set(&error) && error.message != nullptr ? error.message : std::strerror(-result);
    }
};

// Reads a variant holding `wanted` (a one-character basic type) into `value`,
// skips one holding anything else.
template <typename Value>
int ReadVariant(sd_bus_message* message, const char* wanted, Value& value) {
    char type = 0;
    const char* contents = nullptr;
    const int peeked = sd_bus_message_peek_type(message, &type, &contents);
    if (peeked < 0) return peeked;
    if (contents == nullptr || std::strcmp(contents, wanted) != 0) return sd_bus_message_skip(message, "v");
    return sd_bus_message_read(message, "v", contents, &value);
}

int ReadText(sd_bus_message* message, std::string& text) {
    const char* read = nullptr;
    char type = 0;
    const char* contents = nullptr;
    const int peeked = sd_bus_message_peek_type(message, &type, &contents);
    if (peeked < 0) return peeked;
    // The session handle comes as a string from some portals, as a path from others.
    const char* wanted = contents != nullptr && std::strcmp(contents, "o") == 0 ? "o" : "s";
    const int result = ReadVariant(message, wanted, read);
    if (result >= 0 && read != nullptr) text = read;
    return result;
}

int ReadResponse(sd_bus_message* message, Response& response) {
    int result = sd_bus_message_read(message, "u", &response.code);
    if (result < 0) return result;
    if ((result = sd_bus_message_enter_container(message, 'a', "{sv}")) < 0) return result;
    while ((result = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((result = sd_bus_message_read(message, "s", &key)) < 0) return result;
        if (std::strcmp(key, "session_handle") == 0) {
            result = ReadText(message, response.sessionHandle);
        } else if (std::strcmp(key, "restore_token") == 0) {
            result = ReadText(message, response.restoreToken);
        } else if (std::strcmp(key, "devices") == 0) {
            result = ReadVariant(message, "u", response.devices);
        } else {
            result = sd_bus_message_skip(message, "v");
        }
        if (result < 0 || (result = sd_bus_message_exit_container(message)) < 0) return result;
    }
    return result < 0 ? result : sd_bus_message_exit_container(message);
}

int Nothing(sd_bus_message*) { return 0; }

struct PendingResponse {
    Response& response;
    bool arrived = false;
    int readResult = 0;
};

int OnResponse(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* pending = static_cast<PendingResponse*>(data);
    pending->arrived = true;
    pending->readResult = ReadResponse(message, pending->response);
    return 0;
}

int OnSessionClosed(sd_bus_message*, void* data, sd_bus_error*) {
    *static_cast<bool*>(data) = true;
    return 0;
}

}  // namespace

std::unique_ptr<PortalBus> PortalBus::Connect(std::string& failure) {
    if (!LoadSdBus(failure)) return nullptr;
    sd_bus* bus = nullptr;
    int result = sd_bus_open_user(&bus);
    if (result < 0) {
        failure = std::string("no session bus: ") + std::strerror(-result);
        return nullptr;
    }
    std::unique_ptr<PortalBus> portalBus(new PortalBus(bus));
    const char* unique = nullptr;
    if ((result = sd_bus_get_unique_name(bus, &unique)) < 0) {
        failure = std::string("no session bus: ") + std::strerror(-result);
        return nullptr;
    }
    // Request paths name the caller by its unique name, ":1.42" as "1_42".
    for (const char* c = unique[0] == ':' ? unique + 1 : unique; *c != '\0'; ++c) {
        portalBus->sender += *c == '.' ? '_' : *c;
    }
    return portalBus;
}

PortalBus::PortalBus(sd_bus* bus) : bus(bus) {}

PortalBus::~PortalBus() {
    sd_bus_slot_unref(sessionWatch);
    sd_bus_flush_close_unref(bus);
}

std::string PortalBus::NewToken() { return "deckmouse" + std::to_string(++tokens); }

bool PortalBus::ReadProperty(const char* interface, const char* name, std::uint32_t& value, std::string& failure) {
    CallError error;
    const int result = sd_bus_get_property_trivial(bus, kService, kObject, interface, name, &error.error, 'u', &value);
    if (result < 0) failure = error.Describe(result);
    return result >= 0;
}

bool PortalBus::Call(const char* method, const Append& before, const Append& options, const Append& after,
                     std::string& failure) {
    sd_bus_message* built = nullptr;
    int result = sd_bus_message_new_method_call(bus, &built, kService, kObject, kRemoteDesktop, method);
    Message call(built);
    if (result >= 0) result = before(built);
    if (result >= 0) result = sd_bus_message_open_container(built, 'a', "{sv}");
    if (result >= 0) result = options(built);
    if (result >= 0) result = sd_bus_message_close_container(built);
    if (result >= 0) result = after(built);
    CallError error;
    if (result >= 0) result = sd_bus_call(bus, built, kCallTimeoutUsec, &error.error, nullptr);
    if (result < 0) failure = std::string(method) + ": " + error.Describe(result);
    return result >= 0;
}

bool PortalBus::Request(const char* method, const Append& arguments, const Append& options, std::chrono::seconds wait,
                        Response& response, std::string& failure) {
    const std::string token = NewToken();
    const std::string path = std::string(kObject) + "/request/" + sender + "/" + token;
    PendingResponse pending{response};
    // Subscribed before the call, so that an answer given at once is not missed.
    sd_bus_slot* slot = nullptr;
    int result = sd_bus_match_signal(bus, &slot, kService, path.c_str(), "org.freedesktop.portal.Request", "Response",
                                     OnResponse, &pending);
    Slot subscription(slot);
    if (result < 0) {
        failure = std::string(method) + ": cannot listen for the answer: " + std::strerror(-result);
        return false;
    }
    const Append withToken = [&](sd_bus_message* message) {
        const int added = sd_bus_message_append(message, "{sv}", "handle_token", "s", token.c_str());
        return added < 0 ? added : options(message);
    };
    if (!Call(method, arguments, withToken, Nothing, failure)) return false;
    if (!Wait(pending.arrived, std::chrono::steady_clock::now() + wait, failure)) {
        // Takes the question off the screen.
        sd_bus_call_method(bus, kService, path.c_str(), "org.freedesktop.portal.Request", "Close", nullptr, nullptr, "");
        failure = std::string(method) + ": " + failure;
        return false;
    }
    if (pending.readResult < 0) {
        failure = std::string(method) + ": unreadable answer: " + std::strerror(-pending.readResult);
        return false;
    }
    return true;
}

bool PortalBus::Notify(const char* method, const std::string& sessionHandle, const Append& values,
                       std::string& failure) {
    const Append session = [&](sd_bus_message* message) {
        return sd_bus_message_append(message, "o", sessionHandle.c_str());
    };
    return Call(method, session, Nothing, values, failure);
}

bool PortalBus::Wait(const bool& done, std::chrono::steady_clock::time_point deadline, std::string& failure) {
    while (!done) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) {
            failure = std::string("the session bus failed: ") + std::strerror(-processed);
            return false;
        }
        if (processed > 0) continue;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            failure = "no answer in time";
            return false;
        }
        sd_bus_wait(bus, std::chrono::duration_cast<std::chrono::microseconds>(left).count());
    }
    return true;
}

bool PortalBus::WatchSession(const std::string& sessionHandle, bool& closed, std::string& failure) {
    const int result = sd_bus_match_signal(bus, &sessionWatch, kService, sessionHandle.c_str(),
                                           "org.freedesktop.portal.Session", "Closed", OnSessionClosed, &closed);
    if (result < 0) failure = std::string("cannot watch the session: ") + std::strerror(-result);
    return result >= 0;
}

bool PortalBus::HandleArrived() {
    int result = 0;
    while ((result = sd_bus_process(bus, nullptr)) > 0) {
    }
    return result >= 0;
}

void PortalBus::CloseSession(const std::string& sessionHandle) {
    sd_bus_call_method(bus, kService, sessionHandle.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                       nullptr, "");
}

}  // namespace platform::portal
