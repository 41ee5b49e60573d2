#pragma once

// The host's key events as the tests send them: the key action, one device.
#include <nlohmann/json.hpp>

#include <string>

inline nlohmann::json Event(const std::string& event, const std::string& context,
                            const nlohmann::json& payload = nlohmann::json::object()) {
    return {{"event", event}, {"context", context}, {"action", "org.deckmouse.mouse"}, {"device", "DEV"},
            {"payload", payload}};
}

// A key with every setting at rest but its command, and the icon arrow_2red.
inline nlohmann::json Appear(const std::string& context, const std::string& command) {
    return Event("willAppear", context,
                 {{"settings",
                   {{"my_mouse_event", command}, {"my_sleep", "0"}, {"my_offset_x", "0"}, {"my_offset_y", "0"},
                    {"my_wheel", "120"}, {"my_repeat_loops", "0"}, {"my_icon_name", "arrow"},
                    {"my_icon_color", "red"}, {"my_icon_color_id", "2"}}}});
}
