#include "plugin/key/runs/RunningInputs.h"

bool RunningInputs::Toggle(const std::string& context, const std::string& device, int periodMs,
                           std::function<void()> step) {
    std::unique_ptr<RepeatingInput> stopped;
    {
        std::lock_guard<std::mutex> guard(mutex);
        const auto found = running.find(context);
        if (found == running.end()) {
            running[context] = Running{device, std::make_unique<RepeatingInput>(periodMs, std::move(step))};
            return true;
        }
        stopped = std::move(found->second.input);
        running.erase(found);
    }
    // Out of the lock: a step may wait on the system for a while.
    stopped->Stop();
    return false;
}

std::vector<std::string> RunningInputs::StopWhere(
    const std::function<bool(const std::string&, const std::string&)>& concerns) {
    std::vector<std::string> contexts;
    std::vector<std::unique_ptr<RepeatingInput>> stopped;
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (auto entry = running.begin(); entry != running.end();) {
            if (!concerns(entry->first, entry->second.device)) {
                ++entry;
                continue;
            }
            contexts.push_back(entry->first);
            stopped.push_back(std::move(entry->second.input));
            entry = running.erase(entry);
        }
    }
    for (const auto& input : stopped) input->Stop();
    return contexts;
}

bool RunningInputs::StopKey(const std::string& context) {
    return !StopWhere([&](const std::string& key, const std::string&) { return key == context; }).empty();
}

void RunningInputs::StopDevice(const std::string& device) {
    StopWhere([&](const std::string&, const std::string& of) { return of == device; });
}

void RunningInputs::StopAll() {
    StopWhere([](const std::string&, const std::string&) { return true; });
}

bool RunningInputs::IsRunning(const std::string& context) const {
    std::lock_guard<std::mutex> guard(mutex);
    return running.count(context) != 0;
}
