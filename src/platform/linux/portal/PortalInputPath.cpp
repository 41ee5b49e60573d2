// Input batches as the portal's NotifyPointer* calls, and modifier keys as
// NotifyKeyboardKeycode, one after the other on the session bus. The portal
// has no absolute motion without a screen cast stream, and tells no position
// and no displays.
#include "platform/linux/portal/PortalInputPath.h"

#include "platform/linux/EvdevButton.h"
#include "platform/linux/EvdevModifierKey.h"
#include "platform/PlatformLog.h"
#include "platform/linux/portal/PortalRestoreToken.h"
#include "platform/linux/portal/PortalSession.h"
#include "platform/WheelNotches.h"

#include <mutex>

namespace platform::linux_input {
namespace {

using namespace portal;

// NotifyPointerAxisDiscrete's axes; its steps are positive down and right.
constexpr std::uint32_t kVerticalAxis = 0;
constexpr std::uint32_t kHorizontalAxis = 1;
constexpr std::uint32_t kPressed = 1;
constexpr std::uint32_t kReleased = 0;

class PortalPath final : public InputPath {
public:
    PortalPath(std::unique_ptr<PortalBus> bus, std::string session, bool hasKeyboard)
        : bus(std::move(bus)), session(std::move(session)), hasKeyboard(hasKeyboard) {}
    ~PortalPath() override { bus->CloseSession(session); }

    bool Watch(std::string& failure) { return bus->WatchSession(session, closed, failure); }

    const char* Name() const override { return "portal"; }

    bool Send(const std::vector<InputEvent>& events) override {
        std::lock_guard<std::mutex> guard(mutex);
        if (!bus->HandleArrived() || closed) {
            LogFailureOnce("the portal has ended the remote desktop session");
            return false;
        }
        bool allSent = true;
        for (const InputEvent& event : events) {
            std::string failure;
            if (!Inject(event, failure)) {
                LogFailureOnce(failure);
                allSent = false;
            }
        }
        return allSent;
    }

    void EndWheelInput() override {
        std::lock_guard<std::mutex> guard(mutex);
        remainders = {};
    }

    bool CanPlaceAbsolutely() const override { return false; }
    bool ReadPointer(Point&) override { return false; }
    std::vector<Monitor> Monitors() override { return {}; }

private:
    bool Inject(const InputEvent& event, std::string& failure) {
        switch (event.kind) {
            case InputEvent::Kind::MoveAbsolute:
                failure = "a move to a desktop pixel needs a screen cast, which the plugin does not ask for";
                return false;
            case InputEvent::Kind::MoveRelative:
                return bus->Notify("NotifyPointerMotion", session, [&](sd_bus_message* message) {
                    return sd_bus_message_append(message, "dd", double(event.x), double(event.y));
                }, failure);
            case InputEvent::Kind::ButtonDown:
            case InputEvent::Kind::ButtonUp: {
                const auto code = static_cast<std::int32_t>(EvdevButtonOf(event.button));
                const std::uint32_t state = event.kind == InputEvent::Kind::ButtonDown ? kPressed : kReleased;
                return bus->Notify("NotifyPointerButton", session, [&](sd_bus_message* message) {
                    return sd_bus_message_append(message, "iu", code, state);
                }, failure);
            }
            case InputEvent::Kind::Wheel:
                // Our amounts are positive up, the portal's steps positive down.
                return Scroll(kVerticalAxis, -TakeWholeNotches(remainders.vertical, event.amount), failure);
            case InputEvent::Kind::HWheel:
                return Scroll(kHorizontalAxis, TakeWholeNotches(remainders.horizontal, event.amount), failure);
            case InputEvent::Kind::KeyDown:
            case InputEvent::Kind::KeyUp:
                return Key(event, failure);
        }
        return false;
    }

    // Whole notches only, as discrete steps. The portal's smooth axis call is
    // not sent beside them: GNOME and KDE turn each call into a scroll of its
    // own, so a notch would scroll twice.
    bool Scroll(std::uint32_t axis, long long steps, std::string& failure) {
        if (steps == 0) return true;
        const auto count = static_cast<std::int32_t>(steps);
        return bus->Notify("NotifyPointerAxisDiscrete", session, [&](sd_bus_message* message) {
            return sd_bus_message_append(message, "ui", axis, count);
        }, failure);
    }

    // A session without a keyboard leaves the keys out and sends the mouse
    // input around them as it is.
    bool Key(const InputEvent& event, std::string& failure) {
        if (!hasKeyboard) {
            if (!keysLeftOutLogged) {
                keysLeftOutLogged = true;
                LogNote("The remote desktop session has no keyboard: mouse input goes without its modifier keys");
            }
            return true;
        }
        const auto code = static_cast<std::int32_t>(EvdevKeyOf(event.key));
        const std::uint32_t state = event.kind == InputEvent::Kind::KeyDown ? kPressed : kReleased;
        return bus->Notify("NotifyKeyboardKeycode", session, [&](sd_bus_message* message) {
            return sd_bus_message_append(message, "iu", code, state);
        }, failure);
    }

    // One line for the first failure: a user who pressed a key many times
    // needs to read why once.
    void LogFailureOnce(const std::string& failure) {
        if (failureLogged) return;
        failureLogged = true;
        LogNote("Portal input failed: " + failure);
    }

    std::mutex mutex;  // the event thread and the keys' threads all send
    const std::unique_ptr<PortalBus> bus;
    const std::string session;
    const bool hasKeyboard;
    bool closed = false;
    bool failureLogged = false;
    bool keysLeftOutLogged = false;
    WheelRemainders remainders;
};

// The session, or null with `failure` saying why.
std::unique_ptr<PortalPath> Open(std::string& failure) {
    std::unique_ptr<PortalBus> bus = PortalBus::Connect(failure);
    if (bus == nullptr) return nullptr;
    std::uint32_t version = 0;
    std::uint32_t types = 0;
    if (!bus->ReadProperty(kRemoteDesktop, "version", version, failure) ||
        !bus->ReadProperty(kRemoteDesktop, "AvailableDeviceTypes", types, failure)) {
        failure = "the session bus offers no remote desktop portal (" + failure + ")";
        return nullptr;
    }
    if ((types & kPointerDevice) == 0) {
        failure = "the remote desktop portal offers no pointer";
        return nullptr;
    }
    GrantRequest request;
    request.devices = kPointerDevice | (types & kKeyboardDevice);
    // Version 2 added persist_mode and restore tokens.
    request.persist = version >= 2;
    if (request.persist) {
        request.restoreToken = ReadRestoreToken();
    } else {
        LogNote("The remote desktop portal (version " + std::to_string(version) +
                ") cannot keep a grant: it asks for the pointer at each start");
    }
    const std::optional<Grant> grant = StartPointerSession(*bus, request, failure);
    if (!grant) return nullptr;
    if (request.persist && !grant->restoreToken.empty() && !StoreRestoreToken(grant->restoreToken)) {
        LogNote("The remote desktop grant cannot be kept in \"" + RestoreTokenPath() +
                "\": the portal asks again at the next start");
    }
    auto path = std::make_unique<PortalPath>(std::move(bus), grant->sessionHandle,
                                             (grant->devices & kKeyboardDevice) != 0);
    if (!path->Watch(failure)) return nullptr;
    return path;
}

}  // namespace

std::unique_ptr<InputPath> OpenPortalInputPath() {
    std::string failure;
    std::unique_ptr<PortalPath> path = Open(failure);
    if (path == nullptr) LogNote("No input through the desktop portal: " + failure);
    return path;
}

}  // namespace platform::linux_input
