#include "plugin/ActionSettings.h"

#include "plugin/key/commands/StepParser.h"
#include "support/AsciiText.h"

#include <iterator>
#include <limits>
#include <stdexcept>

namespace {

using Field = std::string ActionSettings::*;

struct SettingsMember {
    const char* key;
    Field field;
};

// The members in the order in which they are read.
const SettingsMember kMembers[] = {
    {"my_mouse_event", &ActionSettings::my_mouse_event},   {"my_sleep", &ActionSettings::my_sleep},
    {"my_offset_x", &ActionSettings::my_offset_x},         {"my_offset_y", &ActionSettings::my_offset_y},
    {"my_wheel", &ActionSettings::my_wheel},               {"my_icon_color", &ActionSettings::my_icon_color},
    {"my_icon_name", &ActionSettings::my_icon_name},       {"my_repeat_loops", &ActionSettings::my_repeat_loops},
    {"my_button", &ActionSettings::my_button},             {"my_return", &ActionSettings::my_return},
    {"my_accel", &ActionSettings::my_accel},               {"my_relative", &ActionSettings::my_relative},
    {"my_monitor", &ActionSettings::my_monitor},           {"my_steps", &ActionSettings::my_steps},
    {"my_slot", &ActionSettings::my_slot},                 {"my_modifiers", &ActionSettings::my_modifiers},
    // Last: it decides whether an update's "background-image" counts.
    {"my_icon_color_id", &ActionSettings::my_icon_color_id},
};

// Copies member `key` of `object` into the field when present; false when absent.
bool ReadMember(const nlohmann::json& object, const SettingsMember& member, ActionSettings& settings) {
    const auto found = object.find(member.key);
    if (found == object.end()) return false;
    settings.*member.field = found->get<std::string>();
    return true;
}

void ParseStepsOf(ActionSettings& settings) {
    settings.steps =
        settings.my_steps.empty() ? nullptr : std::make_shared<const ParsedSteps>(ParseSteps(settings.my_steps));
}

}  // namespace

ActionSettings ParseActionSettings(const nlohmann::json& payload) {
    ActionSettings settings;
    if (!payload.is_object()) return settings;
    const auto found = payload.find("settings");
    if (found == payload.end() || !found->is_object()) return settings;
    for (const SettingsMember& member : kMembers) ReadMember(*found, member, settings);
    ParseStepsOf(settings);
    return settings;
}

std::optional<std::string> ApplySettingsUpdate(const nlohmann::json& payload, ActionSettings& settings) {
    if (!payload.is_object()) return std::nullopt;
    // "my_icon_color_id" comes last and decides whether "background-image" counts.
    const SettingsMember& colorId = kMembers[std::size(kMembers) - 1];
    const std::string stepsBefore = settings.my_steps;
    for (const SettingsMember* member = kMembers; member != &colorId; ++member) ReadMember(payload, *member, settings);
    if (settings.my_steps != stepsBefore) ParseStepsOf(settings);
    if (ReadMember(payload, colorId, settings)) return std::nullopt;
    const auto image = payload.find("background-image");
    if (image == payload.end()) return std::nullopt;
    return image->get<std::string>();
}

std::int32_t SettingToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    // The magnitude of the most negative value is one more than the largest.
    constexpr std::int64_t kLimit = -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min());
    std::int64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (!overflow) magnitude = magnitude * 10 + (text[i] - '0');
        overflow = overflow || magnitude > kLimit;
    }
    if (i == firstDigit) throw std::invalid_argument("SettingToInt: no digits in \"" + text + "\"");
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (overflow || value > std::numeric_limits<std::int32_t>::max()) {
        throw std::out_of_range("SettingToInt: \"" + text + "\" does not fit 32 bits");
    }
    return static_cast<std::int32_t>(value);
}
