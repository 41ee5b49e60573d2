#pragma once

#include "platform/RecordingPlatform.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// What the plugin injected, as the tests compare it: the input calls only
// (mouse_event and SetCursorPos), without the reads.
struct Injected {
    std::string what;
    std::vector<std::int64_t> args;

    bool operator==(const Injected& other) const { return what == other.what && args == other.args; }
};

inline std::ostream& operator<<(std::ostream& out, const Injected& injected) {
    out << injected.what;
    for (const std::int64_t arg : injected.args) out << ' ' << arg;
    return out;
}

inline bool IsInput(const platform::recording::Call& call) {
    return call.what == "mouse_event" || call.what == "SetCursorPos";
}

inline std::vector<platform::recording::Call> TakeInputCalls() {
    std::vector<platform::recording::Call> input;
    for (auto& call : platform::recording::TakeCalls()) {
        if (IsInput(call)) input.push_back(std::move(call));
    }
    return input;
}

inline std::vector<Injected> Describe(const std::vector<platform::recording::Call>& calls) {
    std::vector<Injected> described;
    for (const auto& call : calls) described.push_back({call.what, call.args});
    return described;
}

inline long long MillisecondsBetween(std::chrono::steady_clock::time_point from,
                                     std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}
