#include "plugin/dial/DialAction.h"

#include "host/HostMessages.h"
#include "plugin/dial/DialStrip.h"
#include "plugin/HeldButtons.h"
#include "plugin/ModifierScope.h"
#include "plugin/MouseInjection.h"

#include <algorithm>
#include <limits>

using platform::InputEvent;
using platform::MouseButton;

namespace {

const nlohmann::json& SettingsOf(const nlohmann::json& payload) {
    static const nlohmann::json kNone;
    if (!payload.is_object()) return kNone;
    const auto found = payload.find("settings");
    return found == payload.end() ? kNone : *found;
}

std::int64_t TicksOf(const nlohmann::json& payload) {
    if (!payload.is_object()) return 0;
    const auto found = payload.find("ticks");
    if (found == payload.end() || !found->is_number()) return 0;
    // A fraction or a number beyond 64 bits is clamped, not undefined.
    const double ticks = found->get<double>();
    if (!(ticks == ticks)) return 0;
    return static_cast<std::int64_t>(std::clamp(ticks, -1e9, 1e9));
}

bool IsLongTouch(const nlohmann::json& payload) {
    if (!payload.is_object()) return false;
    const auto found = payload.find("hold");
    return found != payload.end() && found->is_boolean() && found->get<bool>();
}

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                                std::numeric_limits<std::int32_t>::max()));
}

// A clockwise turn scrolls down and right, as a physical wheel turned so
// feels; the system's wheel counts up and right as positive.
// A part of a notch carries over to the dial's next turn, so that slow
// turns of small steps add up to notches, and to nobody else's scroll.
void InjectTurn(const std::string& context, DialAxis axis, std::int64_t amount) {
    if (amount == 0) return;
    if (IsWheelAxis(axis)) {
        InjectWheelFor(context, axis == DialAxis::Wheel ? InputEvent::Wheel(ClampToInt32(-amount))
                                                        : InputEvent::HWheel(ClampToInt32(amount)));
        return;
    }
    const bool horizontal = axis == DialAxis::MoveX;
    // Where no system tells the position (Wayland), relative motion is the only move there is.
    if (!platform::CanReadCursorPos()) {
        InjectInputBatch({horizontal ? InputEvent::MoveBy(ClampToInt32(amount), 0)
                                     : InputEvent::MoveBy(0, ClampToInt32(amount))});
        return;
    }
    // From where the pointer really is, placed as the key's held move places
    // it: to the exact pixel, where relative motion would pass through the
    // system's pointer acceleration.
    platform::Point at;
    if (!platform::GetCursorPos(at)) return;
    MoveCursorTo(horizontal ? ClampToInt32(at.x + amount) : at.x, horizontal ? at.y : ClampToInt32(at.y + amount));
}

// Through the owner of held input, so that it leaves a button a lock keeps down as it is.
void InjectClick(MouseButton button) { InjectWithModifiers({}, {InputEvent::Down(button), InputEvent::Up(button)}); }

}  // namespace

void DialAction::Appear(const std::string& context, const nlohmann::json& payload, const std::string& device) {
    Dial& dial = dials[context];
    dial.settings = ParseDialSettings(SettingsOf(payload));
    dial.device = device;
    ShowStrip(context, dial);
}

void DialAction::Disappear(const std::string& context) {
    const auto found = dials.find(context);
    if (found == dials.end()) return;
    // Hosts drop the release of a dial taken away while pushed.
    HeldInput().LetGo(DialHolder(context));
    dials.erase(found);
}

void DialAction::Rotate(const std::string& context, const nlohmann::json& payload) {
    const auto found = dials.find(context);
    if (found == dials.end()) return;
    Dial& dial = found->second;
    const DialAxis axis = dial.Axis();
    const std::int64_t most = IsWheelAxis(axis) ? kMostWheelPerEvent : kMostMovePerEvent;
    const std::int64_t amount = dial.turn.Amount(TicksOf(payload), StepFor(dial.settings, axis),
                                                 dial.settings.accel, most, DialTurn::Clock::now());
    InjectTurn(context, axis, amount);
}

void DialAction::Down(const std::string& context) {
    const auto found = dials.find(context);
    if (found != dials.end()) Perform(found->second, context, found->second.settings.press);
}

void DialAction::Up(const std::string& context) {
    const auto found = dials.find(context);
    if (found != dials.end()) HeldInput().LetGo(DialHolder(context));
}

void DialAction::Tap(const std::string& context, const nlohmann::json& payload) {
    const auto found = dials.find(context);
    if (found == dials.end()) return;
    Dial& dial = found->second;
    if (IsLongTouch(payload)) {
        dial.turn.Reset();
        ShowStrip(context, dial);
        return;
    }
    Perform(dial, context, dial.settings.touch);
}

void DialAction::Update(const std::string& context, const nlohmann::json& payload) {
    const auto found = dials.find(context);
    if (found == dials.end()) return;
    Dial& dial = found->second;
    const DialSettings updated = ParseDialSettings(payload);
    // Choosing an axis undoes a swap; changing anything else keeps it.
    if (updated.axis != dial.settings.axis) dial.swapped = false;
    dial.settings = updated;
    dial.turn.Reset();
    ShowStrip(context, dial);
}

void DialAction::DeviceGone(const std::string& device) {
    for (const auto& [context, dial] : dials) {
        if (dial.device == device) HeldInput().LetGo(DialHolder(context));
    }
}

void DialAction::Perform(Dial& dial, const std::string& context, DialButton choice) {
    switch (choice) {
        case DialButton::None: return;
        case DialButton::Swap:
            dial.swapped = !dial.swapped;
            dial.turn.Reset();
            ShowStrip(context, dial);
            return;
        case DialButton::LeftClick: InjectClick(MouseButton::Left); return;
        case DialButton::MiddleClick: InjectClick(MouseButton::Middle); return;
        case DialButton::RightClick: InjectClick(MouseButton::Right); return;
        case DialButton::LeftHold:
            // Down with its first holder only: a key's lock may hold it already.
            HeldInput().Hold(DialHolder(context), MouseButton::Left);
            return;
    }
}

void DialAction::ShowStrip(const std::string& context, Dial& dial) {
    send(BuildContextMessage("setFeedback", context, StripFeedback(dial.settings, dial.Axis())));
    // Hosts that do not know the event log each one (OpenDeck warns per
    // message): send it only when its text changes.
    nlohmann::json descriptions = TriggerDescriptions(dial.settings, dial.Axis());
    if (descriptions == dial.triggerDescriptions) return;
    send(BuildContextMessage("setTriggerDescription", context, descriptions));
    dial.triggerDescriptions = std::move(descriptions);
}
