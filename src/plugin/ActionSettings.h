#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

// The settings of one key, as the texts the settings page stored; numbers are
// converted only when the key is pressed.
struct ActionSettings {
    std::string my_mouse_event;
    std::string my_sleep;
    std::string my_offset_x;
    std::string my_offset_y;
    std::string my_wheel;
    std::string my_icon_color;
    std::string my_icon_name;
    std::string my_repeat_loops;
    // Read by the newer commands only; empty when the key was set up before them.
    std::string my_button;
    std::string my_return;
    std::string my_accel;
    std::string my_relative;
    std::string my_monitor;
    std::string my_modifiers;  // "CTRL+SHIFT": see ParseModifierSetting
    std::string my_icon_color_id;
};

// From a willAppear payload: the members of its "settings" object. A member
// that is not a JSON string raises the library's type error.
ActionSettings ParseActionSettings(const nlohmann::json& payload);

// From a sendToPlugin payload: overwrites the fields whose members are present.
// Returns the "background-image" path when the payload carries one and no
// "my_icon_color_id". A member that is not a string raises the library's type
// error after the fields before it have changed, so callers pass a working copy.
std::optional<std::string> ApplySettingsUpdate(const nlohmann::json& payload, ActionSettings& settings);

// Decimal text to a signed 32-bit integer: leading white space, an optional
// sign, digits up to the first other character. Raises std::invalid_argument
// when there is no digit and std::out_of_range when the value does not fit.
std::int32_t SettingToInt(const std::string& text);
