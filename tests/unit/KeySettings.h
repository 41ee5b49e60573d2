#pragma once

#include "plugin/ActionSettings.h"

#include <string>

// A key's settings as a settings page writes them, offsets, wheel and repeats
// at nothing; a case sets what else it needs.
inline ActionSettings KeySettings(const std::string& command, const std::string& sleep) {
    ActionSettings settings;
    settings.my_mouse_event = command;
    settings.my_sleep = sleep;
    settings.my_offset_x = "0";
    settings.my_offset_y = "0";
    settings.my_wheel = "0";
    settings.my_repeat_loops = "0";
    return settings;
}
