#include "plugin/dial/DialSettings.h"

#include "support/JsonMembers.h"
#include "plugin/ActionSettings.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

template <typename Value>
struct Choice {
    const char* text;
    Value value;
};

const Choice<DialAxis> kAxes[] = {
    {"WHEEL", DialAxis::Wheel}, {"HWHEEL", DialAxis::HWheel}, {"MOVE_X", DialAxis::MoveX}, {"MOVE_Y", DialAxis::MoveY}};

const Choice<DialButton> kButtons[] = {
    {"NONE", DialButton::None},
    {"SWAP", DialButton::Swap},
    {"LEFT_CLICK", DialButton::LeftClick},
    {"MIDDLE_CLICK", DialButton::MiddleClick},
    {"RIGHT_CLICK", DialButton::RightClick},
    {"LEFT_HOLD", DialButton::LeftHold},
};

template <typename Value, std::size_t N>
Value ReadChoice(const nlohmann::json& settings, const char* member, const Choice<Value> (&choices)[N],
                 Value fallback) {
    const std::string text = GetStringMember(settings, member, "");
    for (const Choice<Value>& choice : choices) {
        if (text == choice.text) return choice.value;
    }
    return fallback;
}

std::optional<std::int32_t> ReadNumber(const nlohmann::json& settings, const char* member) {
    try {
        return SettingToInt(GetStringMember(settings, member, ""));
    } catch (...) {
        return std::nullopt;  // absent, no digits or beyond 32 bits: the default serves
    }
}

}  // namespace

bool IsWheelAxis(DialAxis axis) { return axis == DialAxis::Wheel || axis == DialAxis::HWheel; }

DialAxis SwappedAxis(DialAxis axis) {
    switch (axis) {
        case DialAxis::Wheel: return DialAxis::HWheel;
        case DialAxis::HWheel: return DialAxis::Wheel;
        case DialAxis::MoveX: return DialAxis::MoveY;
        case DialAxis::MoveY: return DialAxis::MoveX;
    }
    return axis;
}

std::int32_t StepFor(const DialSettings& settings, DialAxis axis) {
    const bool wheel = IsWheelAxis(axis);
    if (settings.step == 0) return wheel ? kDefaultWheelStep : kDefaultMoveStep;
    const std::int32_t most = wheel ? kMaxWheelStep : kMaxMoveStep;
    return std::clamp(settings.step, -most, most);
}

DialSettings ParseDialSettings(const nlohmann::json& settings) {
    DialSettings parsed;
    if (!settings.is_object()) return parsed;
    parsed.axis = ReadChoice(settings, "dial_rotate", kAxes, parsed.axis);
    parsed.step = ReadNumber(settings, "dial_step").value_or(0);
    parsed.accel = std::clamp(ReadNumber(settings, "dial_accel").value_or(0), 0, kMaxDialAccel);
    parsed.press = ReadChoice(settings, "dial_press", kButtons, parsed.press);
    // A tap has no release to end a hold.
    const DialButton touch = ReadChoice(settings, "dial_touch", kButtons, parsed.touch);
    if (touch != DialButton::LeftHold) parsed.touch = touch;
    return parsed;
}
