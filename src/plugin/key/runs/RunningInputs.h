#pragma once

#include "plugin/key/runs/RepeatingInput.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The repeating input of toggle keys (autoclick, jiggler), one per key, each
// on its thread. Safe from any thread; what ends them returns once their
// input has stopped, a step in progress completed.
class RunningInputs {
public:
    // Stops the key's input when it runs (false then); otherwise starts it
    // as RepeatingInput does (true). `device` names the key's device.
    bool Toggle(const std::string& context, const std::string& device, int periodMs, std::function<void()> step);

    // Stops the input of the keys that `concerns`; returns those keys.
    std::vector<std::string> StopWhere(
        const std::function<bool(const std::string& context, const std::string& device)>& concerns);

    bool StopKey(const std::string& context);
    void StopDevice(const std::string& device);
    void StopAll();

    bool IsRunning(const std::string& context) const;

private:
    struct Running {
        std::string device;
        std::unique_ptr<RepeatingInput> input;
    };

    mutable std::mutex mutex;
    std::map<std::string, Running> running;
};
