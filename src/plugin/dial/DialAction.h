#pragma once

#include "plugin/dial/DialSettings.h"
#include "plugin/dial/DialTurn.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <string>
#include <utility>

// The dial action: keeps each dial's settings, turns rotations into wheel
// steps or pointer moves, pushes and taps into clicks, a held button or a
// swap of axis, and keeps the dial's touch strip telling what it does.
// Nothing here waits, so it all runs on the connection's thread as the
// events arrive; the input goes through the one gate of MouseInjection, and
// a push that holds the left button holds it in the owner of held buttons.
class DialAction {
public:
    // Sends one command text to the host.
    using Send = std::function<void(const std::string& text)>;

    explicit DialAction(Send send) : send(std::move(send)) {}

    void Appear(const std::string& context, const nlohmann::json& payload, const std::string& device);
    void Disappear(const std::string& context);
    void Rotate(const std::string& context, const nlohmann::json& payload);
    void Down(const std::string& context);
    void Up(const std::string& context);
    void Tap(const std::string& context, const nlohmann::json& payload);
    // A sendToPlugin from the dial's settings page: the whole settings object.
    void Update(const std::string& context, const nlohmann::json& payload);
    void DeviceGone(const std::string& device);

    static constexpr const char* kActionUuid = "org.deckmouse.dial";

    // The most one event drives: sixty notches, or some thousands of pixels.
    static constexpr std::int64_t kMostWheelPerEvent = 60 * 120;
    static constexpr std::int64_t kMostMovePerEvent = 4000;

private:
    struct Dial {
        DialSettings settings;
        std::string device;
        bool swapped = false;  // by a push or tap, until the axis is chosen again
        DialTurn turn;
        // The trigger descriptions last sent for this dial (null: none yet).
        nlohmann::json triggerDescriptions;

        DialAxis Axis() const { return swapped ? SwappedAxis(settings.axis) : settings.axis; }
    };

    void Perform(Dial& dial, const std::string& context, DialButton choice);
    void ShowStrip(const std::string& context, Dial& dial);

    Send send;
    std::map<std::string, Dial> dials;  // by context
};
