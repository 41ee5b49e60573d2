// One JSON document read as both settings shapes: the appearance form (its
// "settings" object) and the update form (its own members), then every
// resulting field converted as a key press converts it. Each step is checked
// against what it promises, not only run.
#include "support/JsonMembers.h"
#include "plugin/ActionSettings.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

using nlohmann::json;
using Field = std::string ActionSettings::*;

struct Member {
    const char* key;
    Field field;
};

// The member names the settings page writes, each with its field.
const Member kMembers[] = {
    {"my_mouse_event", &ActionSettings::my_mouse_event},   {"my_sleep", &ActionSettings::my_sleep},
    {"my_offset_x", &ActionSettings::my_offset_x},         {"my_offset_y", &ActionSettings::my_offset_y},
    {"my_wheel", &ActionSettings::my_wheel},               {"my_icon_color", &ActionSettings::my_icon_color},
    {"my_icon_name", &ActionSettings::my_icon_name},       {"my_repeat_loops", &ActionSettings::my_repeat_loops},
    {"my_button", &ActionSettings::my_button},             {"my_return", &ActionSettings::my_return},
    {"my_accel", &ActionSettings::my_accel},               {"my_relative", &ActionSettings::my_relative},
    {"my_monitor", &ActionSettings::my_monitor},           {"my_icon_color_id", &ActionSettings::my_icon_color_id},
    {"my_steps", &ActionSettings::my_steps},               {"my_slot", &ActionSettings::my_slot},
    {"my_modifiers", &ActionSettings::my_modifiers},
};

const json kNoMembers = json::object();

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    std::abort();
}

bool IsStringMember(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string();
}

bool HasNonStringMember(const json& object) {
    for (const Member& member : kMembers) {
        if (object.contains(member.key) && !IsStringMember(object, member.key)) return true;
    }
    return false;
}

// Each field holds its member's text when the member is there, otherwise
// what it held before; a member that is there is a string, or the call raised.
void CheckFields(const json& object, const ActionSettings& before, const ActionSettings& after) {
    for (const Member& member : kMembers) {
        const auto found = object.find(member.key);
        if (found == object.end()) {
            if (after.*member.field != before.*member.field) Fail("field changed without its member:", member.key);
        } else if (!found->is_string()) {
            Fail("non-string member taken:", member.key);
        } else if (after.*member.field != found->get_ref<const std::string&>()) {
            Fail("field differs from its member:", member.key);
        }
    }
}

ActionSettings CheckAppearanceForm(const json& payload) {
    const json* settings = nullptr;
    if (payload.is_object() && payload.contains("settings") && payload.at("settings").is_object()) {
        settings = &payload.at("settings");
    }
    try {
        const ActionSettings parsed = ParseActionSettings(payload);
        CheckFields(settings != nullptr ? *settings : kNoMembers, ActionSettings{}, parsed);
        return parsed;
    } catch (const json::type_error&) {
        if (settings == nullptr || !HasNonStringMember(*settings)) Fail("type error without a non-string member");
        return ActionSettings{};
    }
}

ActionSettings CheckUpdateForm(const json& payload, const ActionSettings& before) {
    ActionSettings updated = before;
    try {
        const std::optional<std::string> image = ApplySettingsUpdate(payload, updated);
        CheckFields(payload.is_object() ? payload : kNoMembers, before, updated);
        const bool imageCounts = !payload.contains("my_icon_color_id") && payload.contains("background-image");
        if (image.has_value() != imageCounts) Fail("image returned or missed");
        if (image && payload.at("background-image") != json(*image)) Fail("image differs from its member");
    } catch (const json::type_error&) {
        const bool badImage = payload.contains("background-image") && !IsStringMember(payload, "background-image");
        if (!HasNonStringMember(payload) && !badImage) Fail("type error without a non-string member");
    }
    return updated;
}

// The C library's conversion agrees with SettingToInt on which texts hold a
// number at all and on every value; it only reaches further.
void CheckConversion(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long long reference = std::strtoll(text.c_str(), &end, 10);
    const bool noDigits = end == text.c_str();
    const bool fits = errno != ERANGE && reference >= std::numeric_limits<std::int32_t>::min() &&
                      reference <= std::numeric_limits<std::int32_t>::max();
    try {
        const std::int32_t value = SettingToInt(text);
        if (noDigits || !fits || value != reference) Fail("conversion differs for", text);
    } catch (const std::invalid_argument&) {
        if (!noDigits) Fail("digits refused in", text);
    } catch (const std::out_of_range&) {
        if (noDigits || fits) Fail("in-range value refused:", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    json payload;
    try {
        payload = ParseJsonDocument(text);
    } catch (const json::exception&) {
        // Malformed, or a number beyond the floating-point range.
    } catch (const std::length_error&) {
        // Nested too deeply.
    }
    const ActionSettings appeared = CheckAppearanceForm(payload);
    const ActionSettings updated = CheckUpdateForm(payload, appeared);
    for (const Member& member : kMembers) CheckConversion(updated.*member.field);
    // Texts that are not JSON reach the conversion too.
    CheckConversion(text);
    return 0;
}
