#pragma once

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <optional>
#include <string>

// The pointer positions that "MOUSE_POS_SAVE" keys store and
// "MOUSE_POS_RESTORE" keys bring back, kept in the plugin's global settings
// so that they outlive the plugin and the host:
//   {"slots": {"1": {"x": 120, "y": 45}, ...}}   desktop pixels
// Members of the global settings that are not slots are kept as the host
// gave them and sent back with every save. Safe from any thread.
class SavedPositions {
public:
    // Hands the whole global settings object to the host (setGlobalSettings).
    using Store = std::function<void(const nlohmann::json& globalSettings)>;

    explicit SavedPositions(Store store);

    // The host's global settings (didReceiveGlobalSettings' "settings"),
    // replacing what was known. Anything but an object counts as none.
    void Receive(const nlohmann::json& globalSettings);

    // The slot's position; nothing when it holds none, or holds what is not
    // a pair of 32-bit integers (a file edited by hand).
    std::optional<platform::Point> Slot(const std::string& slot) const;

    // Puts the position in the slot and stores the global settings.
    void Save(const std::string& slot, platform::Point position);

private:
    Store store;
    mutable std::mutex mutex;
    nlohmann::json settings = nlohmann::json::object();
};

// "my_slot": "1".."9", "1" when empty; nothing for any other text.
std::optional<std::string> ParseSlotSetting(const std::string& text);
