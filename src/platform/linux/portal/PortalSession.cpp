#include "platform/linux/portal/PortalSession.h"

namespace platform::portal {
namespace {

constexpr std::chrono::seconds kPortalAnswer{10};
// Start shows the user a question; after this long nobody is answering it.
constexpr std::chrono::seconds kUserAnswer{120};
constexpr std::uint32_t kPersistUntilRevoked = 2;

std::string Refusal(const char* method, std::uint32_t code) {
    return std::string(method) + (code == 1 ? ": the user refused" : ": the portal refused") + " (response " +
           std::to_string(code) + ")";
}

bool Granted(const char* method, const Response& response, std::string& failure) {
    if (response.code != 0) failure = Refusal(method, response.code);
    return response.code == 0;
}

}  // namespace

std::optional<Grant> StartPointerSession(PortalBus& bus, const GrantRequest& request, std::string& failure) {
    const PortalBus::Append nothing = [](sd_bus_message*) { return 0; };  // nothing before the options
    const std::string sessionToken = bus.NewToken();
    Response created;
    const PortalBus::Append sessionOptions = [&](sd_bus_message* message) {
        return sd_bus_message_append(message, "{sv}", "session_handle_token", "s", sessionToken.c_str());
    };
    if (!bus.Request("CreateSession", nothing, sessionOptions, kPortalAnswer, created, failure) ||
        !Granted("CreateSession", created, failure)) {
        return std::nullopt;
    }
    if (created.sessionHandle.empty()) {
        failure = "CreateSession: the portal named no session";
        return std::nullopt;
    }
    const std::string& session = created.sessionHandle;
    const PortalBus::Append sessionArgument = [&](sd_bus_message* message) {
        return sd_bus_message_append(message, "o", session.c_str());
    };

    const PortalBus::Append deviceOptions = [&](sd_bus_message* message) {
        int result = sd_bus_message_append(message, "{sv}", "types", "u", request.devices);
        if (result >= 0 && request.persist) {
            result = sd_bus_message_append(message, "{sv}", "persist_mode", "u", kPersistUntilRevoked);
        }
        if (result >= 0 && request.persist && !request.restoreToken.empty()) {
            result = sd_bus_message_append(message, "{sv}", "restore_token", "s", request.restoreToken.c_str());
        }
        return result;
    };
    Response selected;
    if (!bus.Request("SelectDevices", sessionArgument, deviceOptions, kPortalAnswer, selected, failure) ||
        !Granted("SelectDevices", selected, failure)) {
        bus.CloseSession(session);
        return std::nullopt;
    }

    const PortalBus::Append startArguments = [&](sd_bus_message* message) {
        return sd_bus_message_append(message, "os", session.c_str(), "");  // no parent window
    };
    Response started;
    if (!bus.Request("Start", startArguments, nothing, kUserAnswer, started, failure) ||
        !Granted("Start", started, failure)) {
        bus.CloseSession(session);
        return std::nullopt;
    }
    if ((started.devices & kPointerDevice) == 0) {
        failure = "Start: the pointer was not granted";
        bus.CloseSession(session);
        return std::nullopt;
    }
    return Grant{session, started.restoreToken, started.devices};
}

}  // namespace platform::portal
