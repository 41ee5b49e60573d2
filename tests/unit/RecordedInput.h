#pragma once

#include "platform/recording/RecordingPlatform.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// What the plugin injected, as the tests compare it: the input calls only
// (mouse_event, SetCursorPos and SendInput), without the reads.
struct Injected {
    Injected(std::string what, std::vector<std::int64_t> args, std::vector<platform::InputEvent> events = {})
        : what(std::move(what)), args(std::move(args)), events(std::move(events)) {}

    std::string what;
    std::vector<std::int64_t> args;
    std::vector<platform::InputEvent> events;  // SendInput's batch

    bool operator==(const Injected& other) const {
        return what == other.what && args == other.args && events == other.events;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Injected& injected) {
    out << injected.what;
    for (const std::int64_t arg : injected.args) out << ' ' << arg;
    for (const platform::InputEvent& event : injected.events) out << ", " << event;
    return out;
}

// The modifier keys' presses and releases, as batches carry them.
inline const platform::InputEvent kCtrl = platform::InputEvent::Press(platform::ModifierKey::Ctrl);
inline const platform::InputEvent kShift = platform::InputEvent::Press(platform::ModifierKey::Shift);
inline const platform::InputEvent kAlt = platform::InputEvent::Press(platform::ModifierKey::Alt);
inline const platform::InputEvent kMeta = platform::InputEvent::Press(platform::ModifierKey::Meta);
inline const platform::InputEvent kCtrlUp = platform::InputEvent::Release(platform::ModifierKey::Ctrl);
inline const platform::InputEvent kShiftUp = platform::InputEvent::Release(platform::ModifierKey::Shift);
inline const platform::InputEvent kAltUp = platform::InputEvent::Release(platform::ModifierKey::Alt);
inline const platform::InputEvent kMetaUp = platform::InputEvent::Release(platform::ModifierKey::Meta);

inline bool IsInput(const platform::recording::Call& call) {
    return call.what == "mouse_event" || call.what == "SetCursorPos" || call.what == "SendInput";
}

inline std::vector<platform::recording::Call> TakeInputCalls() {
    std::vector<platform::recording::Call> input;
    for (auto& call : platform::recording::TakeCalls()) {
        if (IsInput(call)) input.push_back(std::move(call));
    }
    return input;
}

// Takes input calls as they come until `count` have come or `deadline` has
// passed, whichever is first.
inline std::vector<platform::recording::Call> WaitForInput(std::size_t count, std::chrono::milliseconds deadline) {
    std::vector<platform::recording::Call> calls;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (calls.size() < count && std::chrono::steady_clock::now() < end) {
        for (auto& call : TakeInputCalls()) calls.push_back(std::move(call));
        std::this_thread::yield();
    }
    return calls;
}

inline std::vector<Injected> Describe(const std::vector<platform::recording::Call>& calls) {
    std::vector<Injected> described;
    for (const auto& call : calls) described.push_back({call.what, call.args, call.events});
    return described;
}

inline long long MillisecondsBetween(std::chrono::steady_clock::time_point from,
                                     std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}
