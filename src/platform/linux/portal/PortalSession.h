#pragma once

#include "platform/linux/portal/PortalBus.h"

#include <optional>
#include <string>

namespace platform::portal {

// The remote desktop's device types, as SelectDevices and Start count them.
constexpr std::uint32_t kKeyboardDevice = 1;
constexpr std::uint32_t kPointerDevice = 2;

struct Grant {
    std::string sessionHandle;
    std::string restoreToken;  // empty when the portal gave none
    std::uint32_t devices = 0;  // the types the user granted
};

// What the session asks of the portal.
struct GrantRequest {
    // Ask the portal to keep the grant until it is revoked (persist_mode 2),
    // which portals before version 2 of the interface cannot.
    bool persist = false;
    std::string restoreToken;  // from an earlier grant, sent when persisting
    // The device types asked for: the pointer, and the keyboard where the
    // portal has one.
    std::uint32_t devices = kPointerDevice;
};

// CreateSession, SelectDevices for the devices asked, Start: a session whose
// pointer the user has granted, or nothing with `failure` saying why. Start waits for
// the user's answer, for as long as the portal's question may stay open.
std::optional<Grant> StartPointerSession(PortalBus& bus, const GrantRequest& request, std::string& failure);

}  // namespace platform::portal
