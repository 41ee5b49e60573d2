#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The recording backend: a screen in memory that records every call with the
// monotonic time at which it was made. Tests set the cursor, the screen size,
// the monitors, the executable path, the system's answers and failures, then
// read what the plugin asked for.
namespace platform::recording {

struct Call {
    // "mouse_event", "SetCursorPos" and "SendInput" inject; "EndWheelInput"
    // ends a command's wheel input; "GetCursorPos",
    // "GetSystemMetrics", "GetMonitors", "GetDoubleClickTime" and
    // "IsForegroundWindowElevated" read; "StartGuardian" and
    // "StartGuardianAgain" start a guardian; "TellGuardian" is a record that
    // the guardian's pipe took.
    std::string what;
    // mouse_event: flags, data; SetCursorPos: x, y; GetSystemMetrics: index;
    // TellGuardian: the bytes
    std::vector<std::int64_t> args;
    std::vector<InputEvent> events;  // SendInput: the batch, in order
    std::chrono::steady_clock::time_point time;
};

// Clears the recorded calls and restores the defaults: cursor (0, 0), a
// 1920x1080 screen that is the only monitor, a 500 ms double-click time, a
// foreground window within reach, an empty executable path, GetCursorPos and
// SendInput succeeding, the cursor position readable, no guardian started,
// its pipe taking what it is told, and nothing for the guardian to read.
void Reset();

// The calls recorded since the last Reset or TakeCalls, oldest first; clears them.
std::vector<Call> TakeCalls();

void SetCursor(int x, int y);
void SetScreenSize(int width, int height);
// Until the next Reset; before that, GetMonitors reports the screen as the one primary monitor.
void SetMonitors(const std::vector<Monitor>& monitors);
void SetDoubleClickTime(int milliseconds);
void SetForegroundWindowElevated(bool elevated);
void SetExecutablePath(const std::string& path);
void SetGetCursorPosFails(bool fails);
// As on Wayland: CanReadCursorPos says no, and GetCursorPos fails.
void SetCursorPosUnreadable(bool unreadable);
// The batch is recorded all the same, but the cursor stays.
void SetSendInputFails(bool fails);
// StartGuardian and StartGuardianAgain fail, as when the executable cannot
// be started again.
void SetStartGuardianFails(bool fails);
// The guardian's pipe takes nothing, as when the guardian has stopped reading.
void SetGuardianPipeFull(bool full);
// The guardian ends: TellGuardian finds it gone until one is started again.
void EndGuardian();
// What ReadFromPlugin hands out, one read per element, before it says that
// the plugin has ended.
void SetPluginReads(const std::vector<std::vector<std::uint8_t>>& reads);

// One event as text, as the log writes it: "move 10 -20", "relative 3 0",
// "down left", "up x2", "wheel 60", "hwheel -120", "press ctrl", "release meta".
std::string Describe(const InputEvent& event);

}  // namespace platform::recording

namespace platform {

// Equal when they mean the same: fields that an event's kind does not use are ignored.
inline bool operator==(const InputEvent& a, const InputEvent& b) {
    return recording::Describe(a) == recording::Describe(b);
}

inline std::ostream& operator<<(std::ostream& out, const InputEvent& event) {
    return out << recording::Describe(event);
}

}  // namespace platform
