#include "plugin/dial/DialStrip.h"

#include "platform/Platform.h"
#include "support/Localizer.h"

#include <cstdlib>

namespace {

const char* AxisLabel(DialAxis axis) {
    switch (axis) {
        case DialAxis::Wheel: return "Scroll";
        case DialAxis::HWheel: return "Scroll sideways";
        case DialAxis::MoveX: return "Move left/right";
        case DialAxis::MoveY: return "Move up/down";
    }
    return "";
}

const char* ButtonLabel(DialButton button) {
    switch (button) {
        case DialButton::None: return "Nothing";
        case DialButton::Swap: return "Swap axis";
        case DialButton::LeftClick: return "Left click";
        case DialButton::MiddleClick: return "Middle click";
        case DialButton::RightClick: return "Right click";
        case DialButton::LeftHold: return "Hold the left button";
    }
    return "";
}

// "{0}" in the translated pattern stands for the number.
std::string WithNumber(const std::string& pattern, const std::string& number) {
    std::string text = Localize(pattern);
    const std::size_t at = text.find("{0}");
    return at == std::string::npos ? text : text.replace(at, 3, number);
}

// "1 notch", "-1 notch", "2 notches", "0.5 notches"; pixels as "{0} px".
std::string ValueUnit(DialAxis axis, const std::string& number) {
    if (!IsWheelAxis(axis)) return "{0} px";
    return number == "1" || number == "-1" ? "{0} notch" : "{0} notches";
}

}  // namespace

std::string StepNumber(std::int32_t step, DialAxis axis) {
    if (!IsWheelAxis(axis)) return std::to_string(step);
    // Hundredths of a notch, rounded half away from zero, trailing zeros dropped.
    const long long hundredths = (std::llabs(step) * 100LL + platform::WHEEL_DELTA / 2) / platform::WHEEL_DELTA;
    std::string text = (step < 0 ? "-" : "") + std::to_string(hundredths / 100);
    const long long fraction = hundredths % 100;
    if (fraction != 0) text += (fraction % 10 == 0 ? "." + std::to_string(fraction / 10)
                                                   : (fraction < 10 ? ".0" : ".") + std::to_string(fraction));
    return text;
}

nlohmann::json StripFeedback(const DialSettings& settings, DialAxis axis) {
    const std::string number = StepNumber(StepFor(settings, axis), axis);
    return {{"title", Localize(AxisLabel(axis))},
            {"value", WithNumber(ValueUnit(axis, number), number)},
            {"indicator", {{"value", settings.accel}}}};
}

nlohmann::json TriggerDescriptions(const DialSettings& settings, DialAxis axis) {
    return {{"rotate", Localize(AxisLabel(axis))},
            {"push", Localize(ButtonLabel(settings.press))},
            {"touch", Localize(ButtonLabel(settings.touch))},
            {"longTouch", Localize("Reset acceleration")}};
}
