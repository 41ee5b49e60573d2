#pragma once

// The session bus as the desktop portal's remote desktop uses it: method
// calls, and requests whose answer comes later as a Response signal.
//
// sd-bus rather than libdbus-1: it builds and reads messages from a type
// string in one call, and waits for a signal without a main loop of its own;
// libsystemd0 is on every Debian desktop that has a portal.
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::portal {

constexpr const char* kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";

// What a request's Response signal carried that this plugin reads.
struct Response {
    // 0 granted, 1 cancelled by the user, 2 ended some other way.
    std::uint32_t code = 2;
    std::string sessionHandle;
    std::uint32_t devices = 0;
    std::string restoreToken;
};

class PortalBus {
public:
    // Appends to a message being built; returns sd-bus's result.
    using Append = std::function<int(sd_bus_message*)>;

    // The session bus, or null with `failure` saying why.
    static std::unique_ptr<PortalBus> Connect(std::string& failure);
    ~PortalBus();
    PortalBus(const PortalBus&) = delete;
    PortalBus& operator=(const PortalBus&) = delete;

    // A name for a handle_token or session_handle_token, new on each call.
    std::string NewToken();

    bool ReadProperty(const char* interface, const char* name, std::uint32_t& value, std::string& failure);

    // Calls a method of the remote desktop that answers through a request
    // object, whose last argument is its options: `arguments` appends those
    // before them, `options` entries to them ({sv}). Adds a handle_token,
    // listens on the request's path before calling, and waits up to `wait`
    // for its Response.
    bool Request(const char* method, const Append& arguments, const Append& options, std::chrono::seconds wait,
                 Response& response, std::string& failure);

    // Calls one of the remote desktop's Notify methods for `sessionHandle`,
    // with no options: `values` appends the arguments after them.
    bool Notify(const char* method, const std::string& sessionHandle, const Append& values, std::string& failure);

    // From now on, `closed` becomes true when the portal closes the session.
    bool WatchSession(const std::string& sessionHandle, bool& closed, std::string& failure);

    // Handles the signals that have arrived; false when the bus is gone.
    bool HandleArrived();

    void CloseSession(const std::string& sessionHandle);

private:
    explicit PortalBus(sd_bus* bus);
    bool Call(const char* method, const Append& before, const Append& options, const Append& after,
              std::string& failure);
    bool Wait(const bool& done, std::chrono::steady_clock::time_point deadline, std::string& failure);

    sd_bus* bus;
    std::string sender;  // the unique name as object paths spell it
    unsigned tokens = 0;
    sd_bus_slot* sessionWatch = nullptr;
};

}  // namespace platform::portal
