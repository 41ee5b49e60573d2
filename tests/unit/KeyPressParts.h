#pragma once

#include "plugin/HeldButtons.h"
#include "plugin/SavedPositions.h"
#include "plugin/StopSignal.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/KeyPress.h"
#include "plugin/key/commands/KeyPressCommands.h"
#include "plugin/key/runs/OngoingCommands.h"
#include "plugin/key/runs/ToggleLocks.h"
#include "RecordedFeedback.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

// What a key press hands its command, each part recorded or fresh: the
// feedback the keys were given, the global settings the saves stored.
struct KeyPressParts {
    KeyPressParts() = default;
    // The locks held in `owner` (the process's own, as the plugin's are) rather than in `held`.
    explicit KeyPressParts(HeldButtons& owner) : toggles(owner) {}

    // Performs the command loaded last, as the key-command thread does.
    void Perform(const std::string& context, const std::string& device) {
        PerformKeyPress(KeyPress{context, device, GetActiveMouseCommand(), stop, feedback, toggles, ongoing.runs, positions});
    }

    // Returns once the key's sequence, which runs on a thread of its own, has
    // run to its end.
    void WaitForSequence(const std::string& context) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ongoing.runs.IsRunning(context, RunKind::Sequence) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    StopSignal stop;
    RecordedFeedback feedback;
    HeldButtons held;
    ToggleLocks toggles{held};
    std::vector<nlohmann::json> stored;  // what the saves handed to the host
    // No host answers here: a save before Receive gives up soon.
    static constexpr int kFirstAnswerWaitMs = 20;
    SavedPositions positions{[this](const nlohmann::json& settings) { stored.push_back(settings); },
                             kFirstAnswerWaitMs};
    OngoingCommands ongoing{toggles};  // last: its runs end before the parts they use go
};
