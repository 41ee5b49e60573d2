#pragma once

#include "platform/Platform.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class StopSignal;

// The pointer positions that "MOUSE_POS_SAVE" keys store and
// "MOUSE_POS_RESTORE" keys bring back, kept in the plugin's global settings
// so that they outlive the plugin and the host:
//   {"slots": {"1": {"x": 120, "y": 45}, ...}}   desktop pixels
// A save sends the whole object back, so it is only made on top of what the
// host last answered: every member and slot it does not touch goes back as
// it came. Before the host's first answer, or after one that could not be
// read, a save sends nothing rather than overwrite what it has not seen.
// Safe from any thread.
class SavedPositions {
public:
    // Hands the whole global settings object to the host (setGlobalSettings).
    using Store = std::function<void(const nlohmann::json& globalSettings)>;

    // How long a save waits for the host's first answer. The question goes
    // out as the connection opens and a host answers within milliseconds;
    // a user who pressed a key should not wait longer to hear it failed.
    static constexpr int kFirstAnswerWaitMs = 2000;

    enum class SaveOutcome {
        kStored,
        kNoAnswer,    // the host had not answered within the wait
        kUnreadable,  // the host's last answer could not be read
        kStopped,     // the key's command was stopped while it waited
    };

    explicit SavedPositions(Store store, int firstAnswerWaitMs = kFirstAnswerWaitMs);

    // The host's answer (didReceiveGlobalSettings' "settings"), replacing
    // what was known. Anything but an object is an answer that could not be
    // read: no slot is known until a readable one comes.
    void Receive(const nlohmann::json& globalSettings);

    // The slot's position; nothing when it holds none, or holds what is not
    // a pair of 32-bit integers (a file edited by hand).
    std::optional<platform::Point> Slot(const std::string& slot) const;

    // Puts the position in the slot and stores the global settings, once
    // the host has answered; waits for the first answer on the calling
    // thread (never the connection's) until the bound or `stop`.
    SaveOutcome Save(const std::string& slot, platform::Point position, const StopSignal& stop);

private:
    // Whether the host has answered, waiting for it if not.
    bool AwaitFirstAnswer(const StopSignal& stop);

    Store store;
    const int firstAnswerWaitMs;
    mutable std::mutex mutex;
    // Read by a waiting save under its stop signal's lock, not this one.
    std::atomic<bool> answered{false};
    bool readable = false;
    nlohmann::json settings = nlohmann::json::object();
    std::set<const StopSignal*> waiting;  // the saves to wake when the answer comes
};

// "my_slot": "1".."9", "1" when empty; nothing for any other text.
std::optional<std::string> ParseSlotSetting(const std::string& text);
